// Top-level window states, tracking sizes, the screens, and the mouse on
// a window's own frame.
#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/qtbridge.h"
#include "platform/winuser.h"
#include "testing/message_trace.h"

using testing_support::MessageTrace;

namespace {

constexpr DWORD kOwnFrame = WS_THICKFRAME | WS_SYSMENU | WS_MAXIMIZEBOX;

// Maximised at (5, 6) of the work area, 300 x 200; never smaller than
// 120 x 90 nor wider than 700.
LRESULT Limits(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_GETMINMAXINFO) {
    auto *info = reinterpret_cast<MINMAXINFO *>(lParam);
    info->ptMaxPosition = POINT{5, 6};
    info->ptMaxSize = POINT{300, 200};
    info->ptMinTrackSize = POINT{120, 90};
    info->ptMaxTrackSize = POINT{700, 32767};
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Everything left of the client area is the left edge; the rest is client.
LRESULT LeftEdge(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCHITTEST) {
    POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(hwnd, &p);
    return p.x < 0 ? HTLEFT : HTCLIENT;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

RECT Rect(HWND hwnd) {
  RECT r{};
  GetWindowRect(hwnd, &r);
  return r;
}

bool Same(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct WindowStateTest : ::testing::Test {
  void TearDown() override {
    if (IsWindow(top)) DestroyWindow(top);
    platform::ProcessPendingMessages();
  }
  RECT Work() const {
    RECT work{};
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
    return work;
  }
  // The kind of the last WM_SIZE.
  WPARAM LastSize() const {
    WPARAM kind = 99;
    for (const auto &m : trace.Messages())
      if (m.hwnd == top && m.message == WM_SIZE) kind = m.wParam;
    return kind;
  }
  MessageTrace trace;
  HWND top = nullptr;
};

// Maximised where WM_GETMINMAXINFO says, within the work area; restored to
// the old place; a minimised window that was maximised comes back so.
TEST_F(WindowStateTest, MaximiseMinimiseAndRestore) {
  const RECT normal{40, 50, 240, 170};
  top = trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, normal);
  trace.SetHandler(top, Limits);
  const RECT work = Work();

  SendMessageA(top, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  EXPECT_TRUE(IsZoomed(top));
  EXPECT_TRUE(GetWindowLongA(top, GWL_STYLE) & WS_MAXIMIZE);
  EXPECT_TRUE(Same(Rect(top), RECT{work.left + 5, work.top + 6, work.left + 305, work.top + 206}));
  EXPECT_EQ(LastSize(), WPARAM(SIZE_MAXIMIZED));
  WINDOWPLACEMENT placement{sizeof placement, 0, 0, {}, {}, {}};
  ASSERT_TRUE(GetWindowPlacement(top, &placement));
  EXPECT_EQ(placement.showCmd, UINT(SW_SHOWMAXIMIZED));
  EXPECT_TRUE(Same(placement.rcNormalPosition, normal));

  ShowWindow(top, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(top));
  EXPECT_FALSE(IsZoomed(top));
  EXPECT_TRUE(IsWindowVisible(top));
  EXPECT_EQ(LastSize(), WPARAM(SIZE_MINIMIZED));
  SendMessageA(top, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsIconic(top));
  EXPECT_TRUE(IsZoomed(top)) << "it was maximised before";

  SendMessageA(top, WM_SYSCOMMAND, SC_RESTORE, 0);
  EXPECT_FALSE(IsZoomed(top));
  EXPECT_TRUE(Same(Rect(top), normal));
  EXPECT_EQ(LastSize(), WPARAM(SIZE_RESTORED));

  // A new restored place moves a restored window at once, a maximised one later.
  placement.rcNormalPosition = RECT{60, 70, 260, 190};
  placement.showCmd = SW_SHOWMAXIMIZED;
  ASSERT_TRUE(SetWindowPlacement(top, &placement));
  EXPECT_TRUE(IsZoomed(top));
  ShowWindow(top, SW_RESTORE);
  EXPECT_TRUE(Same(Rect(top), placement.rcNormalPosition));

  SendMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_FALSE(IsWindow(top));
}

// A top-level window is held within its tracking sizes; a child is not.
TEST_F(WindowStateTest, TrackingSizesBoundTopLevelWindowsOnly) {
  top = trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 200, 150});
  trace.SetHandler(top, Limits);
  SetWindowPos(top, nullptr, 0, 0, 50, 40, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_TRUE(Same(Rect(top), RECT{0, 0, 120, 90}));
  SetWindowPos(top, nullptr, 0, 0, 900, 400, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_TRUE(Same(Rect(top), RECT{0, 0, 700, 400}));
  QWidget *widget = platform::WidgetFromHandle(top);
  ASSERT_TRUE(widget);
  EXPECT_EQ(widget->minimumSize(), QSize(120, 90)) << "the desktop's sizing keeps them too";

  HWND child = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 100});
  trace.SetHandler(child, Limits);
  SetWindowPos(child, nullptr, 0, 0, 10, 10, SWP_NOZORDER | SWP_NOMOVE);
  RECT client{};
  GetClientRect(child, &client);
  EXPECT_EQ(client.right, 10);
}

// A window with a sizing frame and no caption has a frame of its own; the
// mouse over it brings the non-client messages with the part's code, and
// a press on an edge asks to size the window from that edge.
TEST_F(WindowStateTest, TheMouseOnAnOwnFrameIsNonClient) {
  top = trace.Create(kOwnFrame | WS_VISIBLE, nullptr, RECT{100, 100, 400, 300});
  trace.SetHandler(top, LeftEdge);
  RECT client{};
  GetClientRect(top, &client);
  EXPECT_EQ(client.right, 300 - 6);
  QWidget *widget = platform::WidgetFromHandle(top);
  ASSERT_TRUE(widget);
  EXPECT_TRUE(widget->windowFlags() & Qt::FramelessWindowHint);
  auto send = [&](QEvent::Type type, QPointF local, Qt::MouseButton button) {
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, button == Qt::NoButton ? Qt::NoButton : button,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
  };
  trace.Clear();
  send(QEvent::MouseMove, QPointF(1, 50), Qt::NoButton);
  send(QEvent::MouseButtonPress, QPointF(1, 50), Qt::LeftButton);
  send(QEvent::MouseMove, QPointF(30, 50), Qt::NoButton);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.NumbersOf({WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_SYSCOMMAND, WM_MOUSEMOVE}, top),
            (std::vector<UINT>{WM_NCMOUSEMOVE, WM_NCLBUTTONDOWN, WM_SYSCOMMAND, WM_MOUSEMOVE}));
  const auto &messages = trace.Messages();
  auto move = std::find_if(messages.begin(), messages.end(), [](auto &m) { return m.message == WM_NCMOUSEMOVE; });
  EXPECT_EQ(move->wParam, WPARAM(HTLEFT));
  const QPoint screen = widget->mapToGlobal(QPoint(1, 50));
  EXPECT_EQ(GET_X_LPARAM(move->lParam), screen.x());
  EXPECT_EQ(GET_Y_LPARAM(move->lParam), screen.y());
  auto size = std::find_if(messages.begin(), messages.end(), [](auto &m) { return m.message == WM_SYSCOMMAND; });
  EXPECT_EQ(size->wParam, WPARAM(SC_SIZE | 1));

  // Left alone, the frame's edges and corners size the window.
  trace.SetHandler(top, nullptr);
  struct Case {
    int x, y;
    LRESULT hit;
  } cases[] = {{100, 100, HTTOPLEFT}, {250, 102, HTTOP}, {399, 100, HTTOPRIGHT}, {397, 200, HTRIGHT},
               {103, 200, HTCLIENT}, {396, 296, HTCLIENT}, {100, 299, HTBOTTOMLEFT}, {397, 297, HTBOTTOMRIGHT}};
  for (const Case &c : cases)
    EXPECT_EQ(SendMessageA(top, WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y)), c.hit) << c.x << "," << c.y;
}

// Placed over the whole screen, a window with its own frame covers it.
TEST_F(WindowStateTest, AnOwnFrameOverTheWholeScreenCoversIt) {
  top = trace.Create(kOwnFrame | WS_VISIBLE, nullptr, RECT{10, 10, 300, 200});
  QWidget *widget = platform::WidgetFromHandle(top);
  ASSERT_TRUE(widget);
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  ASSERT_GT(width, 0);
  ASSERT_GT(height, 0);
  SetWindowPos(top, nullptr, 0, 0, width, height, SWP_NOZORDER);
  EXPECT_TRUE(widget->windowState() & Qt::WindowFullScreen);
  SetWindowPos(top, nullptr, 10, 10, 290, 190, SWP_NOZORDER);
  EXPECT_FALSE(widget->windowState() & Qt::WindowFullScreen);
  EXPECT_EQ(widget->geometry(), QRect(10, 10, 290, 190));
}

TEST(Screens, PointsRectanglesAndWindowsFindTheirScreen) {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  HMONITOR primary = MonitorFromPoint(POINT{width / 2, height / 2}, MONITOR_DEFAULTTONULL);
  ASSERT_TRUE(primary);
  MONITORINFO info{sizeof info, {}, {}, 0};
  ASSERT_TRUE(GetMonitorInfoA(primary, &info));
  EXPECT_EQ(info.dwFlags, DWORD(MONITORINFOF_PRIMARY));
  EXPECT_EQ(info.rcMonitor.right - info.rcMonitor.left, width);
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_TRUE(Same(work, info.rcWork));
  // Far off every screen: nothing, the primary one, or the nearest.
  const POINT away{width + 5000, 10};
  EXPECT_EQ(MonitorFromPoint(away, MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_EQ(MonitorFromPoint(away, MONITOR_DEFAULTTOPRIMARY), primary);
  EXPECT_EQ(MonitorFromPoint(away, MONITOR_DEFAULTTONEAREST), primary);
  const RECT offScreen{away.x, 0, away.x + 100, 100};
  EXPECT_EQ(MonitorFromRect(&offScreen, MONITOR_DEFAULTTONULL), nullptr);
  EXPECT_FALSE(GetMonitorInfoA(nullptr, &info));
  MONITORINFO small{sizeof small - 1, {}, {}, 0};
  EXPECT_FALSE(GetMonitorInfoA(primary, &small));
  EXPECT_FALSE(SystemParametersInfoA(SPI_GETWORKAREA + 1, 0, &work, 0));
  EXPECT_EQ(GetSystemMetrics(99), 0);
}

TEST(FindWindow, TopLevelWindowsByClassAndTitle) {
  MessageTrace trace;
  HWND top = trace.Create(WS_OVERLAPPED);
  SetWindowTextA(top, "找我");
  HWND child = trace.Create(WS_CHILD, top);
  EXPECT_EQ(FindWindowA("kivotrace", "找我"), top);
  EXPECT_EQ(FindWindowA(nullptr, "找我"), top);
  EXPECT_EQ(FindWindowA("Shell_trayWnd", nullptr), nullptr) << "the desktop's own bar is not ours";
  EXPECT_NE(FindWindowA("KivoTrace", nullptr), child);
  DestroyWindow(top);
  EXPECT_EQ(FindWindowA(nullptr, "找我"), nullptr);
}

}  // namespace
