// Pictures for tests: a window's persistent image or a DIB section saved as
// PNG, and single pixels read back.
#pragma once

#include <QImage>

#include <string>

#include "platform/gdi.h"
#include "platform/winuser.h"

namespace testing_support {

bool SaveWindowPng(HWND hwnd, const std::string &path);
bool SaveDibPng(HBITMAP bitmap, const std::string &path);
// What the screen shows of a window's client area now: the picture the
// window system last composed for its top-level window (the offscreen
// platform keeps it), after the host's pending updates ran, without asking
// the window to paint. Null when it can't be had.
QImage ShownImage(HWND hwnd);
// CLR_INVALID (0xFFFFFFFF) when the point lies outside.
COLORREF WindowPixel(HWND hwnd, int x, int y);
COLORREF DibPixel(HBITMAP bitmap, int x, int y);

// Where pictures for a person to look at go: the folder "pictures" of the
// build folder (beside the test binaries' "bin"), made when missing.
std::string PicturePath(const std::string &name);

}  // namespace testing_support
