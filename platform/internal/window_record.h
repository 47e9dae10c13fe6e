// Window records shared by the message layer, the Qt host and the device
// contexts. Internal to the platform library.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/internal/thread_context.h"
#include "platform/winuser.h"

class QImage;

namespace platform {

class HostWidget;

struct WindowClass {
  std::string name;
  ATOM atom = 0;
  UINT style = 0;
  WNDPROC proc = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  HINSTANCE instance = nullptr;
  HICON icon = nullptr;
  HCURSOR cursor = nullptr;
  HBRUSH background = nullptr;
};

// The width of the frame a top-level window draws itself (Window::OwnFrame).
constexpr int kOwnFrameWidth = 3;

struct Window {
  HWND handle = nullptr;
  DWORD threadId = 0;
  std::shared_ptr<ThreadContext> thread;
  std::shared_ptr<WindowClass> cls;
  WNDPROC proc = nullptr;
  DWORD style = 0;
  DWORD exStyle = 0;
  LONG_PTR id = 0;
  LONG_PTR userData = 0;
  HINSTANCE instance = nullptr;
  HWND parent = nullptr;  // WS_CHILD windows only
  HWND owner = nullptr;   // top-level windows only
  std::vector<HWND> children;  // front of the z-order first
  std::vector<HWND> owned;     // top-level windows this one owns
  RECT rect{};                 // in the parent's client area, or the screen
  std::string text;
  std::vector<unsigned char> extra;
  bool visible = false;
  bool enabled = true;
  bool destroying = false;
  // Top-level windows: the place a maximised or minimised window is
  // restored to, and whether a minimised one comes back maximised.
  RECT normalRect{};
  bool restoreToMaximized = false;

  // What is left to paint, in client coordinates.
  bool needsPaint = false;
  bool needsErase = false;
  RECT dirty{};
  // The border is to be painted again (WM_NCPAINT at the next BeginPaint).
  bool needsNcPaint = true;

  // Mouse tracking requested with TrackMouseEvent.
  DWORD trackFlags = 0;
  DWORD hoverTime = 0;

  HostWidget *widget = nullptr;
  QImage *image = nullptr;  // the persistent client image
  // Drawing outside painting asked the host to show the image again; the
  // host's next paint clears it.
  bool showAsked = false;
  QImage *frame = nullptr;  // the whole window as frame contexts draw it; made on first use

  // A top-level window with a sizing frame and no caption draws its frame.
  bool OwnFrame() const {
    return !(style & (WS_CHILD | WS_POPUP)) && (style & WS_CAPTION) != WS_CAPTION && (style & WS_THICKFRAME);
  }
  [[gnu::visibility("hidden")]] int BorderWidth() const;
  [[gnu::visibility("hidden")]] RECT ClientRect() const;  // in window coordinates: the inset of the border
  int ClientWidth() const { return ClientRect().right - ClientRect().left; }
  int ClientHeight() const { return ClientRect().bottom - ClientRect().top; }
};

// Lock-free. Only the window's own thread may read the record it returns:
// that thread deletes it at will. Other threads learn a window's thread from
// its table slot (WindowThreadId, ThreadOfWindow in window_layer.h).
[[gnu::visibility("hidden")]] Window *FindWindowRecord(HWND hwnd);
// The window if it is alive and belongs to the calling thread.
[[gnu::visibility("hidden")]] Window *OwnWindow(HWND hwnd);

// Sends through the thread's WH_CALLWNDPROC hooks to the window procedure.
LRESULT CallWindowWithHooks(Window &window, UINT message, WPARAM wParam, LPARAM lParam, bool fromThisThread);

// Posts an input message built from a Qt event to the window's thread.
void PostInput(Window &window, UINT message, WPARAM wParam, LPARAM lParam);
// Text that TranslateMessage turns a recorded key-down into (GBK bytes).
void RecordKeyText(HWND hwnd, WPARAM virtualKey, LPARAM lParam, std::string text);

// The Qt side: made, moved, shown and dropped with the window.
void HostCreate(Window &window);
void HostDestroy(Window &window);
void HostGeometryChanged(Window &window);
void HostVisibilityChanged(Window &window);
void HostParentChanged(Window &window);
// Stacks a child's widget where the window sits in its parent's child list.
void HostZOrderChanged(Window &window);
void HostFocus(Window &window);
void HostCapture(Window *window);
void HostUpdate(Window &window);
void HostArmTimer(ThreadContext &context, long long dueInMs);
// The widget's state follows the window's: minimised, or covering a screen.
void HostStateChanged(Window &window);
// The user's sizing stays within these sizes.
void HostTrackLimits(Window &window, POINT minimum, POINT maximum);
// The desktop's own sizing or moving of a top-level window, started by a
// press on its frame (edge 1 left .. 8 bottom right; 0 moves it). False
// where the desktop can't.
bool HostSystemSizeOrMove(Window &window, int edge);
// The screens: geometry and work area of screen i (0 the primary); false
// past the last.
bool HostScreen(int index, RECT *geometry, RECT *work);
void HostStartHoverTimer(Window &window);
POINT HostCursorPos();
void HostSetCursorPos(POINT screen);
// A button message as a press or release at the cursor would make it (the
// left or right button's down or up), queued to the window it goes to.
void HostSynthesizeButton(UINT message);
Window *HostWindowAt(POINT screen);
// Notes the window a mouse message goes to: the cursor set for another
// window stops showing.
void CursorPointerWindow(HWND hwnd);

void HostQuit(int exitCode);
// Lets Qt deliver its pending events (and wait for one when asked).
void HostProcessEvents(bool wait);

// The characters a key press types on a plain US layout, for key-downs that
// did not come with their own text (posted by code or by tests).
std::string CharsForKey(int virtualKey, bool shift, bool control, bool capsLock);
void ValidateAfterPaint(Window &window);
void MarkGuiThread();
DWORD GuiThreadId();  // 0 before a GUI thread exists
// Queues a sent message or task for another thread and waits for its answer,
// serving what is sent to the calling thread meanwhile.
LRESULT DeliverAndWait(ThreadContext &target, SentMessage &sent);

// Loop plumbing used by the Qt side.
// Answers every message other threads sent to the calling thread. Returns
// whether any was served.
bool ServeIncomingSends();
void ServeQueue();
long long NextTimerDueMs();  // -1 when no timer runs
bool InExplicitGetMessage();

}  // namespace platform
