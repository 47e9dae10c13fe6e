// The main window's own window: it draws its frame in the skin's three
// border colours, keeps itself from being sized too small, and is
// maximised with its frame just outside the work area of its screen. The
// rules are plain functions over what the desktop reports, so tests give
// them any screens they like.
#pragma once

#include "platform/gdi.h"
#include "platform/winuser.h"

// Process-wide: set by the first restore from the maximised state, and by
// the first WM_GETMINMAXINFO on the primary screen.
struct TFrameWindowFlags {
  bool restoredOnce = false;
  bool placementCentred = false;
};
extern TFrameWindowFlags FrameWindowFlags;

// What WM_GETMINMAXINFO is told of the desktop.
struct TFrameDesktop {
  bool monitorKnown = false;  // the screen under the window's centre
  bool monitorPrimary = false;
  RECT monitorWork{};
  bool primaryWorkKnown = false;
  RECT primaryWork{};
};
// The desktop around the window rectangle's centre, as the platform has it.
TFrameDesktop FrameDesktopAt(const RECT &window);

struct TMinMaxAnswer {
  bool resultSet = false;      // the message's result is 0; else left as it was
  bool placeRestored = false;  // the restored place becomes `restored`
  RECT restored{};
};
// Fills the record: maximised at (-2, -2) with the work area's size plus 4,
// and on the primary screen the smallest tracking size (640 x 460 until
// the window was once restored, 250 x 275 after). The first time on the
// primary screen the restored place is centred in the work area.
TMinMaxAnswer FrameMinMaxInfo(const TFrameDesktop &desktop, TFrameWindowFlags &flags, MINMAXINFO &info);

// The frame's three one-pixel rings, outer to inner, on the whole window.
void PaintFrameBorder(HDC dc, int width, int height, const COLORREF colors[3]);
