#include "shell/framewindow.h"

TFrameWindowFlags FrameWindowFlags;

namespace {

constexpr int kFirstWidth = 640, kFirstHeight = 460;    // before the first restore
constexpr int kLaterWidth = 250, kLaterHeight = 275;    // after it
constexpr int kHiddenFrame = 2;                         // frame pixels outside the work area

void Maximised(const RECT &work, MINMAXINFO &info) {
  info.ptMaxPosition = POINT{-kHiddenFrame, -kHiddenFrame};
  info.ptMaxSize = POINT{work.right - work.left + 2 * kHiddenFrame, work.bottom - work.top + 2 * kHiddenFrame};
}

}  // namespace

TFrameDesktop FrameDesktopAt(const RECT &window) {
  TFrameDesktop desktop;
  const POINT centre{(window.left + window.right) / 2, (window.top + window.bottom) / 2};
  MONITORINFO info{sizeof info, {}, {}, 0};
  if (HMONITOR monitor = MonitorFromPoint(centre, MONITOR_DEFAULTTONULL); monitor && GetMonitorInfoA(monitor, &info)) {
    desktop.monitorKnown = true;
    desktop.monitorPrimary = info.dwFlags & MONITORINFOF_PRIMARY;
    desktop.monitorWork = info.rcWork;
  }
  desktop.primaryWorkKnown = SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop.primaryWork, 0);
  return desktop;
}

TMinMaxAnswer FrameMinMaxInfo(const TFrameDesktop &desktop, TFrameWindowFlags &flags, MINMAXINFO &info) {
  TMinMaxAnswer answer;
  if (desktop.monitorKnown && !desktop.monitorPrimary) {
    Maximised(desktop.monitorWork, info);
    return answer;
  }
  answer.resultSet = true;
  if (!desktop.primaryWorkKnown) return answer;
  const RECT &work = desktop.primaryWork;
  if (!flags.placementCentred) {
    flags.placementCentred = true;
    const LONG left = work.left + (work.right - work.left - kFirstWidth) / 2;
    const LONG top = work.top + (work.bottom - work.top - kFirstHeight) / 2;
    answer.placeRestored = true;
    answer.restored = RECT{left, top, left + kFirstWidth, top + kFirstHeight};
  }
  Maximised(work, info);
  info.ptMinTrackSize = flags.restoredOnce ? POINT{kLaterWidth, kLaterHeight} : POINT{kFirstWidth, kFirstHeight};
  return answer;
}

void PaintFrameBorder(HDC dc, int width, int height, const COLORREF colors[3]) {
  for (int ring = 0; ring < 3; ++ring) {
    HBRUSH brush = CreateSolidBrush(colors[ring]);
    const RECT r{ring, ring, width - ring, height - ring};
    FrameRect(dc, &r, brush);
    DeleteObject(brush);
  }
}
