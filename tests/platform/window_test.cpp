#include <QApplication>
#include <QEventLoop>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/clock.h"
#include "platform/gdi.h"
#include "platform/kernel.h"
#include "platform/qtbridge.h"
#include "platform/qtwrap.h"
#include "platform/winuser.h"
#include "testing/fake_clock.h"
#include "testing/message_trace.h"
#include "testing/settle.h"

using testing_support::MessageTrace;

namespace {

struct WindowTest : ::testing::Test {
  void TearDown() override {
    for (HWND hwnd : owned)
      if (IsWindow(hwnd)) DestroyWindow(hwnd);
    platform::ProcessPendingMessages();
  }
  HWND Keep(HWND hwnd) {
    owned.push_back(hwnd);
    return hwnd;
  }
  MessageTrace trace;
  std::vector<HWND> owned;
};

LRESULT RefuseCreate(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) return -1;
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(WindowTest, CreationAndDestructionFollowWindowsOrder) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED, nullptr, RECT{10, 20, 210, 120}));
  ASSERT_TRUE(top);
  EXPECT_EQ(trace.NumbersOf({WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_MOVE, WM_SIZE}, top),
            (std::vector<UINT>{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_MOVE, WM_SIZE}));
  HWND child = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 200});
  ASSERT_TRUE(child);
  EXPECT_EQ(trace.Numbers(child).front(), UINT(WM_NCCREATE));  // children get no WM_GETMINMAXINFO
  auto size = std::find_if(trace.Messages().begin(), trace.Messages().end(),
                           [&](auto &m) { return m.hwnd == child && m.message == WM_SIZE; });
  ASSERT_NE(size, trace.Messages().end());
  EXPECT_EQ(LOWORD(size->lParam), 100);
  EXPECT_EQ(HIWORD(size->lParam), 200);

  trace.Clear();
  ASSERT_TRUE(DestroyWindow(top));
  std::vector<std::pair<HWND, UINT>> order;
  for (auto &m : trace.Messages())
    if (m.message == WM_DESTROY || m.message == WM_NCDESTROY) order.emplace_back(m.hwnd, m.message);
  EXPECT_EQ(order, (std::vector<std::pair<HWND, UINT>>{
                       {top, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {top, WM_NCDESTROY}}));
  EXPECT_EQ(trace.Messages().back().message, UINT(WM_NCDESTROY));
  EXPECT_FALSE(IsWindow(top));
  EXPECT_FALSE(IsWindow(child));
}

TEST_F(WindowTest, RefusedCreationDestroysTheHalfMadeWindow) {
  size_t before = platform::LiveWindowCount();
  HWND parent = Keep(trace.Create(WS_OVERLAPPED));
  trace.SetHandler(nullptr, nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = RefuseCreate;
  wc.lpszClassName = "RefuseCreate";
  RegisterClassA(&wc);
  EXPECT_EQ(CreateWindowExA(0, "refusecreate", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr),
            nullptr);
  EXPECT_EQ(platform::LiveWindowCount(), before + 1);
  EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowTest, MessagesToDestroyedWindowsFailAndHandlesAreNotReused) {
  HWND first = trace.Create(WS_OVERLAPPED);
  ASSERT_TRUE(PostMessageA(first, WM_USER + 1, 0, 0));
  DestroyWindow(first);
  EXPECT_FALSE(PostMessageA(first, WM_USER + 2, 0, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
  EXPECT_EQ(SendMessageA(first, WM_USER + 3, 0, 0), 0);
  HWND second = Keep(trace.Create(WS_OVERLAPPED));
  EXPECT_NE(first, second);
  trace.Clear();
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_USER + 1), 0u);  // posted before, never delivered after
}

TEST_F(WindowTest, PostedMessagesArriveInOrderThroughTheApplicationHook) {
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  std::vector<UINT> seen;
  auto previous = platform::SetAppMessageHook([&](MSG &msg, bool &handled) {
    seen.push_back(msg.message);
    handled = msg.message == WM_USER + 2;  // swallowed before dispatch
  });
  for (UINT i = 1; i <= 3; ++i) PostMessageA(hwnd, WM_USER + i, i, 0);
  platform::ProcessPendingMessages();
  platform::SetAppMessageHook(previous);
  EXPECT_EQ(seen, (std::vector<UINT>{WM_USER + 1, WM_USER + 2, WM_USER + 3}));
  EXPECT_EQ(trace.NumbersOf({WM_USER + 1, WM_USER + 2, WM_USER + 3}),
            (std::vector<UINT>{WM_USER + 1, WM_USER + 3}));
}

std::vector<UINT> g_hooked;
HHOOK g_hook;
LRESULT HookProc(int code, WPARAM wParam, LPARAM lParam) {
  g_hooked.push_back(reinterpret_cast<CWPSTRUCT *>(lParam)->message);
  return CallNextHookEx(g_hook, code, wParam, lParam);
}

TEST_F(WindowTest, CallWndProcHookSeesSentMessagesOnly) {
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  g_hooked.clear();
  g_hook = SetWindowsHookExA(WH_CALLWNDPROC, HookProc, nullptr, GetCurrentThreadId());
  ASSERT_TRUE(g_hook);
  SendMessageA(hwnd, WM_USER + 7, 0, 0);
  PostMessageA(hwnd, WM_USER + 8, 0, 0);
  platform::ProcessPendingMessages();
  UnhookWindowsHookEx(g_hook);
  SendMessageA(hwnd, WM_USER + 9, 0, 0);
  EXPECT_EQ(g_hooked, std::vector<UINT>{WM_USER + 7});
  EXPECT_EQ(trace.Count(WM_USER + 8), 1u);
}

LRESULT Doubling(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) return LRESULT(wParam * 2);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(WindowTest, SubclassingChainsThroughCallWindowProc) {
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  trace.SetHandler(hwnd, Doubling);
  static WNDPROC original;
  original = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
      hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
        return CallWindowProcA(original, h, m, w + 1, l);
      })));
  EXPECT_EQ(SendMessageA(hwnd, WM_USER, 20, 0), 42);
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
  EXPECT_EQ(SendMessageA(hwnd, WM_USER, 20, 0), 40);
}

LRESULT Echo(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER + 50) return LRESULT(GetCurrentThreadId());
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(WindowTest, WorkerSendCompletesWhileGuiThreadRunsAModalLoop) {
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  trace.SetHandler(hwnd, Echo);
  std::atomic<LRESULT> answer{0};
  QEventLoop modal;
  std::thread worker([&] {
    answer = SendMessageA(hwnd, WM_USER + 50, 0, 0);
    QMetaObject::invokeMethod(&modal, [&] { modal.quit(); }, Qt::QueuedConnection);
  });
  QTimer::singleShot(5000, &modal, [&] { modal.quit(); });  // a hang fails, not blocks
  modal.exec();
  worker.join();
  EXPECT_EQ(DWORD(answer.load()), GetCurrentThreadId());
}

TEST_F(WindowTest, WorkerSendCompletesWhileGuiThreadWaits) {
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  trace.SetHandler(hwnd, Echo);
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::atomic<LRESULT> answer{0};
  std::thread worker([&] {
    answer = SendMessageA(hwnd, WM_USER + 50, 0, 0);
    SetEvent(done);
  });
  EXPECT_EQ(WaitForSingleObject(done, 5000), WAIT_OBJECT_0);
  worker.join();
  CloseHandle(done);
  EXPECT_EQ(DWORD(answer.load()), GetCurrentThreadId());
}

TEST_F(WindowTest, SendToAWindowDestroyedBeforeItIsServedReturnsZero) {
  HWND hwnd = trace.Create(WS_OVERLAPPED);
  trace.SetHandler(hwnd, Echo);
  std::atomic<pid_t> workerId{0};
  std::atomic<LRESULT> answer{-1};
  std::thread worker([&] {
    workerId = testing_support::ThreadId();
    answer = SendMessageA(hwnd, WM_USER + 50, 0, 0);
  });
  while (workerId == 0) std::this_thread::yield();
  // The worker has queued its send and waits for the answer; nothing here
  // serves it.
  EXPECT_TRUE(testing_support::WaitForThreadToBlock(workerId));
  DestroyWindow(hwnd);
  platform::ProcessPendingMessages();
  worker.join();
  EXPECT_EQ(answer.load(), 0);
}

TEST_F(WindowTest, TimersFollowThePlatformClockWithoutBacklog) {
  ScopedFakeClock clock;
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  ASSERT_EQ(SetTimer(hwnd, 7, 20, nullptr), 7u);
  clock.Advance(19);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_TIMER, hwnd), 0u);
  clock.Advance(131);  // the loop stalls for several periods
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_TIMER, hwnd), 1u);
  ASSERT_TRUE(KillTimer(hwnd, 7));
  EXPECT_FALSE(KillTimer(hwnd, 7));
  clock.Advance(40);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_TIMER, hwnd), 1u);
}

TEST_F(WindowTest, ModalGetMessageLoopGetsTimersAndQuit) {
  ScopedFakeClock clock;
  HWND hwnd = Keep(trace.Create(WS_OVERLAPPED));
  SetTimer(hwnd, 1, 10, nullptr);
  MSG msg;
  int timers = 0;
  clock.Advance(10);
  while (GetMessageA(&msg, nullptr, 0, 0)) {
    if (msg.message == WM_TIMER && ++timers == 3) PostQuitMessage(5);
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    clock.Advance(10);
  }
  EXPECT_EQ(msg.message, UINT(WM_QUIT));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_EQ(trace.Count(WM_TIMER, hwnd), 3u);
  KillTimer(hwnd, 1);
}

TEST_F(WindowTest, WorkerThreadHasItsOwnQueue) {
  std::atomic<DWORD> workerId{0};
  std::vector<UINT> got;
  std::thread worker([&] {
    MSG msg;
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists from here on
    workerId = GetCurrentThreadId();
    while (GetMessageA(&msg, nullptr, 0, 0)) got.push_back(msg.message);
  });
  while (!workerId) std::this_thread::yield();
  EXPECT_TRUE(PostThreadMessageA(workerId, WM_USER + 1, 0, 0));
  EXPECT_TRUE(PostThreadMessageA(workerId, WM_QUIT, 0, 0));
  worker.join();
  EXPECT_EQ(got, std::vector<UINT>{WM_USER + 1});
  EXPECT_FALSE(PostThreadMessageA(workerId, WM_USER + 2, 0, 0));
}

TEST_F(WindowTest, SizeMoveFocusAndCapture) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  HWND a = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 50, 50});
  HWND b = trace.Create(WS_CHILD | WS_VISIBLE | WS_BORDER, top, RECT{60, 0, 110, 50});
  trace.Clear();
  MoveWindow(a, 5, 6, 100, 200, TRUE);
  EXPECT_EQ(trace.NumbersOf({WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}, a),
            (std::vector<UINT>{WM_WINDOWPOSCHANGING, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE}));
  RECT client;
  GetClientRect(b, &client);
  EXPECT_EQ(client.right, 48);  // a one-pixel border on each side

  trace.Clear();
  SetFocus(a);
  SetFocus(b);
  EXPECT_EQ(GetFocus(), b);
  // The shown top-level window took the focus when it was activated.
  ASSERT_EQ(trace.NumbersOf({WM_SETFOCUS, WM_KILLFOCUS}),
            (std::vector<UINT>{WM_KILLFOCUS, WM_SETFOCUS, WM_KILLFOCUS, WM_SETFOCUS}));
  EXPECT_EQ(trace.Messages().back().wParam, reinterpret_cast<WPARAM>(a));

  SetCapture(a);
  EXPECT_EQ(GetCapture(), a);
  trace.Clear();
  SetCapture(b);
  ASSERT_EQ(trace.Count(WM_CAPTURECHANGED, a), 1u);
  ReleaseCapture();
  EXPECT_EQ(GetCapture(), nullptr);
  EXPECT_EQ(trace.Count(WM_CAPTURECHANGED, b), 1u);
}

// Overlapping children are drawn and hit in the order SetWindowPos gives
// them, not in the order they were made.
TEST_F(WindowTest, TheZOrderOfChildrenIsTheOrderOnScreen) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  HWND a = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 100});
  HWND b = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 100});
  HWND c = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 100});
  // Bottom to top as Qt stacks them.
  const auto stacked = [&] {
    std::vector<HWND> order;
    for (QObject *o : platform::WidgetFromHandle(top)->children())
      for (HWND h : {a, b, c})
        if (o == platform::WidgetFromHandle(h)) order.push_back(h);
    return order;
  };
  struct Case {
    HWND window, after;
    UINT flags;
    std::vector<HWND> order;
  } cases[] = {
      {a, HWND_TOP, 0, {b, c, a}},
      {a, HWND_BOTTOM, 0, {a, b, c}},
      {c, a, 0, {c, a, b}},
      {b, HWND_TOP, SWP_NOZORDER, {c, a, b}},
      {a, HWND_TOP, 0, {c, b, a}},
      {c, a, 0, {b, c, a}},
  };
  for (const Case &k : cases) {
    SetWindowPos(k.window, k.after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | k.flags);
    EXPECT_EQ(stacked(), k.order) << (&k - cases);
  }
}

TEST_F(WindowTest, QtMouseInputBecomesWindowsMessages) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  QWidget *widget = platform::WidgetFromHandle(top);
  ASSERT_TRUE(widget);
  auto send = [&](QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    QPointF local(30, 40);
    QMouseEvent event(type, local, widget->mapToGlobal(local), button, buttons, mods);
    QApplication::sendEvent(widget, &event);
  };
  trace.Clear();
  send(QEvent::MouseButtonPress, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
  send(QEvent::MouseButtonRelease, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  send(QEvent::MouseButtonDblClick, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  send(QEvent::MouseButtonPress, Qt::RightButton, Qt::RightButton, Qt::ShiftModifier);
  platform::ProcessPendingMessages();
  auto mouse = trace.NumbersOf({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}, top);
  EXPECT_EQ(mouse, (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN}));
  auto down = std::find_if(trace.Messages().begin(), trace.Messages().end(),
                           [](auto &m) { return m.message == WM_LBUTTONDOWN; });
  EXPECT_EQ(down->wParam, WPARAM(MK_LBUTTON | MK_CONTROL));
  EXPECT_EQ(GET_X_LPARAM(down->lParam), 30);
  EXPECT_EQ(GET_Y_LPARAM(down->lParam), 40);
}

TEST_F(WindowTest, WheelAndTrackedMouseLeave) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  HWND child = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 110, 110});
  QWidget *widget = platform::WidgetFromHandle(child);
  QPointF local(5, 6);
  QWheelEvent wheel(local, widget->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::ShiftModifier,
                    Qt::NoScrollPhase, false);
  QApplication::sendEvent(widget, &wheel);
  TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, child, 0};
  ASSERT_TRUE(TrackMouseEvent(&track));
  trace.Clear();
  platform::ProcessPendingMessages();
  // The child passes the unhandled wheel on to its parent, as the default does.
  ASSERT_EQ(trace.Count(WM_MOUSEWHEEL, child), 1u);
  EXPECT_EQ(trace.Count(WM_MOUSEWHEEL, top), 1u);
  auto it = std::find_if(trace.Messages().begin(), trace.Messages().end(),
                         [&](auto &m) { return m.message == WM_MOUSEWHEEL; });
  EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(it->wParam), -120);
  EXPECT_EQ(LOWORD(it->wParam), MK_SHIFT);
  // The mouse is not over the child here, so tracking ends at once with one leave.
  EXPECT_EQ(trace.Count(WM_MOUSELEAVE, child), 1u);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(widget, &leave);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_MOUSELEAVE, child), 1u);
}

// A window disabled under a modal dialog takes no mouse input, and neither
// do its children; enabled again, both do.
TEST_F(WindowTest, ChildrenOfADisabledWindowTakeNoMouseInput) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  HWND child = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 200, 100});
  platform::ProcessPendingMessages();
  QWidget *widget = platform::WidgetFromHandle(child);
  ASSERT_TRUE(widget);
  auto click = [&] {
    trace.Clear();
    QPointF local(20, 20);
    QMouseEvent press(QEvent::MouseButtonPress, local, widget->mapToGlobal(local), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, widget->mapToGlobal(local), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
    QWheelEvent wheel(local, widget->mapToGlobal(local), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &wheel);
    platform::ProcessPendingMessages();
    return trace.Count(WM_LBUTTONDOWN, child) + trace.Count(WM_MOUSEWHEEL, child);
  };
  EnableWindow(top, FALSE);
  EXPECT_EQ(click(), 0u);
  EnableWindow(top, TRUE);
  EXPECT_EQ(click(), 2u);
}

// A synthesised press and release land where the cursor is, as the user's
// would: the window under it in client coordinates, the capturing window
// wherever the cursor is, nothing over a disabled window or over no window.
// WindowFromPoint names the window a press would reach.
TEST_F(WindowTest, SynthesisedButtonsGoWhereTheCursorIs) {
  // Undecorated: the desktop puts no frame of its own around it.
  HWND top = Keep(trace.Create(WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  HWND child = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 200, 100});
  HWND other = trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{210, 10, 290, 100});
  platform::ProcessPendingMessages();
  POINT inChild{7, 9}, inOther{5, 5};
  ClientToScreen(child, &inChild);
  ClientToScreen(other, &inOther);
  EXPECT_EQ(WindowFromPoint(inChild), child);
  EXPECT_EQ(WindowFromPoint(inOther), other);
  EXPECT_EQ(WindowFromPoint(POINT{5000, 5000}), nullptr);
  auto click = [&](POINT at) {
    ASSERT_TRUE(SetCursorPos(at.x, at.y));
    POINT now{};
    ASSERT_TRUE(GetCursorPos(&now));
    ASSERT_EQ(now.x, at.x);
    ASSERT_EQ(now.y, at.y);
    trace.Clear();
    mouse_event(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    platform::ProcessPendingMessages();
  };
  click(inChild);
  ASSERT_EQ(trace.NumbersOf({WM_LBUTTONDOWN, WM_LBUTTONUP}, child), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP}));
  const auto &down = *std::find_if(trace.Messages().begin(), trace.Messages().end(),
                                   [](auto &m) { return m.message == WM_LBUTTONDOWN; });
  EXPECT_EQ(down.wParam & MK_LBUTTON, WPARAM(MK_LBUTTON));
  EXPECT_EQ(GET_X_LPARAM(down.lParam), 7);
  EXPECT_EQ(GET_Y_LPARAM(down.lParam), 9);
  const auto &up = *std::find_if(trace.Messages().begin(), trace.Messages().end(),
                                 [](auto &m) { return m.message == WM_LBUTTONUP; });
  EXPECT_EQ(up.wParam & MK_LBUTTON, 0u);

  SetCapture(child);
  click(inOther);
  EXPECT_EQ(trace.Count(WM_LBUTTONDOWN, child), 1u) << "the capture takes it";
  EXPECT_EQ(trace.Count(WM_LBUTTONDOWN, other), 0u);
  ReleaseCapture();
  click(inOther);
  EXPECT_EQ(trace.Count(WM_LBUTTONDOWN, other), 1u);

  EnableWindow(top, FALSE);
  click(inChild);
  EXPECT_EQ(trace.Count(WM_LBUTTONDOWN, child) + trace.Count(WM_LBUTTONUP, child), 0u);
  EnableWindow(top, TRUE);
  click(POINT{5000, 5000});
  EXPECT_EQ(trace.Count(WM_LBUTTONDOWN), 0u);
}

TEST_F(WindowTest, KeyPressesBecomeKeyDownThenCharacters) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}));
  SetFocus(top);
  QWidget *widget = platform::WidgetFromHandle(top);
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    QString text;
    WPARAM vk;
    std::vector<WPARAM> chars;
  };
  const Case cases[] = {
      {Qt::Key_A, Qt::NoModifier, "a", 'A', {'a'}},
      {Qt::Key_A, Qt::ShiftModifier, "A", 'A', {'A'}},
      {Qt::Key_A, Qt::ControlModifier, "", 'A', {1}},  // Ctrl+letter types a control character
      {Qt::Key_5, Qt::KeypadModifier, "5", VK_NUMPAD0 + 5, {'5'}},
      {Qt::Key_Return, Qt::NoModifier, "\r", VK_RETURN, {'\r'}},
      {Qt::Key_Up, Qt::NoModifier, "", VK_UP, {}},
      {Qt::Key_Delete, Qt::NoModifier, QString(QChar(0x7F)), VK_DELETE, {}},
      {Qt::Key_Tab, Qt::NoModifier, "\t", VK_TAB, {'\t'}},
  };
  for (const Case &c : cases) {
    trace.Clear();
    QKeyEvent press(QEvent::KeyPress, c.key, c.mods, c.text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, c.key, c.mods, c.text);
    QApplication::sendEvent(widget, &release);
    platform::ProcessPendingMessages();
    std::vector<WPARAM> chars;
    WPARAM vk = 0;
    for (auto &m : trace.Messages()) {
      if (m.message == WM_CHAR) chars.push_back(m.wParam);
      if (m.message == WM_KEYDOWN) vk = m.wParam;
    }
    EXPECT_EQ(vk, c.vk) << c.key;
    EXPECT_EQ(chars, c.chars) << c.key;
    EXPECT_EQ(trace.NumbersOf({WM_KEYDOWN, WM_CHAR, WM_KEYUP}).back(), UINT(WM_KEYUP));
  }
  // F10 is a system key, as on the desktop.
  trace.Clear();
  QKeyEvent f10(QEvent::KeyPress, Qt::Key_F10, Qt::NoModifier);
  QApplication::sendEvent(widget, &f10);
  QKeyEvent f10up(QEvent::KeyRelease, Qt::Key_F10, Qt::NoModifier);
  QApplication::sendEvent(widget, &f10up);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.NumbersOf({WM_KEYDOWN, WM_SYSKEYDOWN, WM_KEYUP, WM_SYSKEYUP}),
            (std::vector<UINT>{WM_SYSKEYDOWN, WM_SYSKEYUP}));
  // A Chinese character committed by an input method arrives as its two GBK bytes.
  trace.Clear();
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("\xE4\xB8\xAD"));  // 中 = D6 D0 in GBK
  QApplication::sendEvent(widget, &commit);
  platform::ProcessPendingMessages();
  std::vector<WPARAM> chars;
  for (auto &m : trace.Messages())
    if (m.message == WM_CHAR) chars.push_back(m.wParam);
  EXPECT_EQ(chars, (std::vector<WPARAM>{0xD6, 0xD0}));
}

// Characters handed back to a wrapped editor: two GBK bytes make one
// character, and a character that is filtered out (a control character, a
// value past a byte) drops a half character waiting for its second byte.
TEST_F(WindowTest, ReplayedCharactersJoinDoubleBytesAndAFilteredOneDropsAHalf) {
  HWND host = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 200, 40}));
  auto *edit = new QLineEdit;
  platform::WrapQtWidget(host, edit);
  for (WPARAM c : {WPARAM('a'), WPARAM(0xD6), WPARAM(0xD0), WPARAM(0xB0), WPARAM('\r'), WPARAM('b'), WPARAM(0xB0),
                   WPARAM(0x141), WPARAM('c')})
    platform::ReplayChar(host, c);
  EXPECT_EQ(edit->text(), QString::fromUtf8("a\xE4\xB8\xAD" "bc"));  // a中bc
}

TEST_F(WindowTest, PaintingValidatesAndDrawsIntoThePersistentImage) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 64, 32}));
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_PAINT, top), 1u);
  RECT update;
  EXPECT_FALSE(GetUpdateRect(top, &update, FALSE));
  InvalidateRect(top, nullptr, TRUE);
  InvalidateRect(top, nullptr, TRUE);  // merged into one paint
  EXPECT_TRUE(GetUpdateRect(top, &update, FALSE));
  EXPECT_EQ(update.right, 64);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_PAINT, top), 2u);
  EXPECT_EQ(trace.Count(WM_ERASEBKGND, top), 2u);
}

TEST_F(WindowTest, ABorderIsPaintedFirstWhenItIsNew) {
  HWND top = Keep(trace.Create(WS_OVERLAPPED | WS_VISIBLE, nullptr, RECT{0, 0, 200, 100}));
  HWND edged = Keep(trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 70, 40}, WS_EX_STATICEDGE));
  HWND plain = Keep(trace.Create(WS_CHILD | WS_VISIBLE, top, RECT{80, 10, 140, 40}));
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_NCPAINT, edged), 1u);
  EXPECT_EQ(trace.Count(WM_NCPAINT, plain), 0u);
  EXPECT_EQ(trace.Count(WM_NCPAINT, top), 0u);
  // A plain repaint of the client area leaves the border as it is.
  InvalidateRect(edged, nullptr, TRUE);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_NCPAINT, edged), 1u);
  // A new size, a changed frame: painted again.
  SetWindowPos(edged, nullptr, 0, 0, 50, 20, SWP_NOMOVE | SWP_NOZORDER);
  platform::ProcessPendingMessages();
  EXPECT_EQ(trace.Count(WM_NCPAINT, edged), 2u);
  RedrawWindow(edged, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE | RDW_UPDATENOW);
  EXPECT_EQ(trace.Count(WM_NCPAINT, edged), 3u);
  EXPECT_EQ(trace.Count(WM_NCPAINT, plain), 0u);
}

TEST_F(WindowTest, WindowLongsAndTextKeepTheirValues) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.cbWndExtra = 16;
  wc.lpszClassName = "WithExtra";
  RegisterClassA(&wc);
  HWND hwnd = Keep(CreateWindowExA(0, "WithExtra", "标题", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(hwnd);
  EXPECT_EQ(SetWindowLongPtrA(hwnd, GWLP_USERDATA, 1234), 0);
  EXPECT_EQ(GetWindowLongPtrA(hwnd, GWLP_USERDATA), 1234);
  SetWindowLongA(hwnd, 12, 77);
  EXPECT_EQ(GetWindowLongA(hwnd, 12), 77);
  EXPECT_EQ(GetWindowLongA(hwnd, 13), 0);  // would read past the extra bytes
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  char text[3];
  EXPECT_EQ(GetWindowTextA(hwnd, text, sizeof text), 2);  // truncated to the buffer
  EXPECT_EQ(GetWindowTextLengthA(hwnd), 4);
  char name[32];
  EXPECT_EQ(GetClassNameA(hwnd, name, sizeof name), 9);
  EXPECT_STREQ(name, "WithExtra");
}

}  // namespace
