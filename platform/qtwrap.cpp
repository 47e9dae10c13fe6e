// Qt widgets inside windows: key input turned into our messages, focus kept
// in step, and the window's geometry followed.
#include "platform/qtwrap.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <unordered_map>

#include "platform/clock.h"
#include "platform/gbk.h"
#include "platform/internal/window_layer.h"
#include "platform/qtbridge.h"
#include "platform/qtext.h"
#include "platform/winuser.h"

namespace platform {
namespace {

std::unordered_map<HWND, QPointer<QWidget>> &Wraps() {
  static std::unordered_map<HWND, QPointer<QWidget>> wraps;
  return wraps;
}

// Set while a key message is handed back to a wrapped widget.
bool g_replaying = false;

int QtKeyFor(int vk) {
  switch (vk) {
    case VK_LEFT: return Qt::Key_Left;
    case VK_RIGHT: return Qt::Key_Right;
    case VK_UP: return Qt::Key_Up;
    case VK_DOWN: return Qt::Key_Down;
    case VK_HOME: return Qt::Key_Home;
    case VK_END: return Qt::Key_End;
    case VK_PRIOR: return Qt::Key_PageUp;
    case VK_NEXT: return Qt::Key_PageDown;
    case VK_DELETE: return Qt::Key_Delete;
    case VK_BACK: return Qt::Key_Backspace;
    case VK_INSERT: return Qt::Key_Insert;
    case VK_RETURN: return Qt::Key_Return;
    case VK_TAB: return Qt::Key_Tab;
    default:
      if (vk >= 'A' && vk <= 'Z') return Qt::Key_A + (vk - 'A');
      if (vk >= '0' && vk <= '9') return Qt::Key_0 + (vk - '0');
      return 0;
  }
}

class WrapFilter : public QObject {
 public:
  WrapFilter(HWND hwnd, bool routeMouse) : hwnd_(hwnd), routeMouse_(routeMouse) {}

  bool eventFilter(QObject *object, QEvent *event) override {
    switch (event->type()) {
      case QEvent::ChildAdded: {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child->isWidgetType()) child->installEventFilter(this);
        return false;
      }
      case QEvent::ShortcutOverride:
        // Every key comes to us as a key press, shortcuts included.
        if (g_replaying) return false;
        event->accept();
        return true;
      case QEvent::KeyPress:
      case QEvent::KeyRelease:
      case QEvent::InputMethod: {
        if (g_replaying) return false;
        // The window's own widget turns it into our messages.
        if (QWidget *host = WidgetFromHandle(hwnd_)) {
          if (GetFocus() != hwnd_ && IsWindow(hwnd_)) SetFocus(hwnd_);
          QCoreApplication::sendEvent(host, event);
        }
        return true;
      }
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseButtonRelease:
        if (routeMouse_ && !g_replaying) return PostMouse(static_cast<QMouseEvent *>(event));
        // The widget takes the button itself; the application still sees
        // it, as it sees every input that comes through the queue.
        if (!g_replaying) ShowMouseToApplication(static_cast<QMouseEvent *>(event));
        if (event->type() == QEvent::MouseButtonRelease) return false;
        [[fallthrough]];
      case QEvent::FocusIn:
        // A press takes the focus, as an edit window does.
        if (IsWindow(hwnd_) && IsWindowEnabled(hwnd_) && GetFocus() != hwnd_) SetFocus(hwnd_);
        return false;
      case QEvent::ContextMenu:
      case QEvent::DragEnter:
      case QEvent::Drop:
        return true;  // no way around our messages
      default: return false;
    }
  }

 private:
  // The button message of a press or release over the wrapped widget, in
  // the window's client coordinates; false for a button we have no message for.
  bool ButtonMessage(QMouseEvent *event, MSG &msg) {
    QWidget *wrapped = WrappedWidget(hwnd_);
    if (!wrapped || !IsWindow(hwnd_)) return false;
    const bool up = event->type() == QEvent::MouseButtonRelease;
    const bool dbl = event->type() == QEvent::MouseButtonDblClick;
    switch (event->button()) {
      case Qt::LeftButton: msg.message = up ? WM_LBUTTONUP : dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN; break;
      case Qt::RightButton: msg.message = up ? WM_RBUTTONUP : dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN; break;
      case Qt::MiddleButton: msg.message = up ? WM_MBUTTONUP : dbl ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN; break;
      default: return false;
    }
    WPARAM keys = 0;
    if (event->buttons() & Qt::LeftButton) keys |= MK_LBUTTON;
    if (event->buttons() & Qt::RightButton) keys |= MK_RBUTTON;
    if (event->buttons() & Qt::MiddleButton) keys |= MK_MBUTTON;
    if (event->modifiers() & Qt::ShiftModifier) keys |= MK_SHIFT;
    if (event->modifiers() & Qt::ControlModifier) keys |= MK_CONTROL;
    const QPoint global = event->globalPosition().toPoint();
    const QPoint at = wrapped->mapFromGlobal(global);
    msg.hwnd = hwnd_;
    msg.wParam = keys;
    msg.lParam = MAKELPARAM(WORD(at.x()), WORD(at.y()));
    msg.time = GetTickCount();
    msg.pt = POINT{global.x(), global.y()};
    return true;
  }

  bool PostMouse(QMouseEvent *event) {
    MSG msg{};
    if (!ButtonMessage(event, msg)) return false;
    if (event->type() != QEvent::MouseButtonRelease && IsWindowEnabled(hwnd_) && GetFocus() != hwnd_) SetFocus(hwnd_);
    PostMessageA(hwnd_, msg.message, msg.wParam, msg.lParam);
    event->accept();
    return true;
  }

  // Shown to the application's message handler only: the widget handles the
  // button itself, so the handler cannot keep it from the widget.
  void ShowMouseToApplication(QMouseEvent *event) {
    MSG msg{};
    if (!ButtonMessage(event, msg)) return;
    bool handled = false;
    if (AppMessageHook hook = AppHook()) hook(msg, handled);
  }

  HWND hwnd_;
  bool routeMouse_;
};

void FilterTree(QWidget *widget, WrapFilter *filter) {
  widget->installEventFilter(filter);
  for (QObject *child : widget->children())
    if (auto *w = qobject_cast<QWidget *>(child)) FilterTree(w, filter);
}

}  // namespace

void WrapQtWidget(HWND hwnd, QWidget *widget, bool routeMouse) {
  QWidget *host = WidgetFromHandle(hwnd);
  if (!widget) return;
  if (!host) {
    delete widget;
    return;
  }
  widget->setParent(host);
  widget->setAttribute(Qt::WA_InputMethodEnabled);
  widget->setContextMenuPolicy(Qt::NoContextMenu);
  widget->setAcceptDrops(false);
  auto *filter = new WrapFilter(hwnd, routeMouse);
  filter->setParent(widget);
  FilterTree(widget, filter);
  host->setFocusProxy(widget);
  Wraps()[hwnd] = widget;
  FitWrapped(hwnd);
  widget->show();
}

QWidget *WrappedWidget(HWND hwnd) {
  auto it = Wraps().find(hwnd);
  if (it == Wraps().end()) return nullptr;
  if (!it->second) {
    Wraps().erase(it);
    return nullptr;
  }
  return it->second;
}

HWND WindowOfWrapped(const QWidget *widget) {
  for (const QWidget *w = widget; w; w = w->parentWidget())
    for (auto &[hwnd, wrapped] : Wraps())
      if (wrapped == w) return hwnd;
  return nullptr;
}

void ReplayKey(HWND hwnd, UINT message, WPARAM virtualKey, LPARAM) {
  QWidget *widget = WrappedWidget(hwnd);
  if (!widget) return;
  int key = QtKeyFor(int(virtualKey));
  if (!key) return;
  Qt::KeyboardModifiers modifiers;
  if (GetKeyState(VK_SHIFT) < 0) modifiers |= Qt::ShiftModifier;
  if (GetKeyState(VK_CONTROL) < 0) modifiers |= Qt::ControlModifier;
  QEvent::Type type = message == WM_KEYUP || message == WM_SYSKEYUP ? QEvent::KeyRelease : QEvent::KeyPress;
  QKeyEvent event(type, key, modifiers);
  // The widget with Qt's focus inside the wrapped one takes it (a spin
  // box's line edit, for instance).
  QWidget *target = widget->focusWidget() ? widget->focusWidget() : widget;
  bool was = g_replaying;
  g_replaying = true;
  QCoreApplication::sendEvent(target, &event);
  g_replaying = was;
}

void ReplayChar(HWND hwnd, WPARAM character) {
  // A double-byte character comes as two messages, lead byte first; a
  // character that is not typed text ends a half character.
  static HWND leadWindow = nullptr;
  static char lead = 0;
  QWidget *widget = WrappedWidget(hwnd);
  if (!widget || character < 0x20 || character > 0xFF) {
    leadWindow = nullptr;
    return;
  }
  const char byte = char(character);
  QString text;
  if (leadWindow == hwnd) {
    const char pair[2] = {lead, byte};
    text = FromGbk(pair, 2);
    leadWindow = nullptr;
  } else if (platform::IsGbkLead(static_cast<unsigned char>(character))) {
    leadWindow = hwnd;
    lead = byte;
    return;
  } else {
    text = QString(QChar(char16_t(character)));
  }
  if (text.isEmpty()) return;
  QWidget *target = widget->focusWidget() ? widget->focusWidget() : widget;
  QKeyEvent event(QEvent::KeyPress, 0, Qt::NoModifier, text);
  bool was = g_replaying;
  g_replaying = true;
  QCoreApplication::sendEvent(target, &event);
  g_replaying = was;
}

void ReplayMouse(HWND hwnd, UINT message, WPARAM keys, LPARAM lParam) {
  QWidget *widget = WrappedWidget(hwnd);
  if (!widget) return;
  QEvent::Type type = QEvent::MouseButtonPress;
  Qt::MouseButton button = Qt::LeftButton;
  switch (message) {
    case WM_LBUTTONUP: type = QEvent::MouseButtonRelease; break;
    case WM_LBUTTONDBLCLK: type = QEvent::MouseButtonDblClick; break;
    case WM_RBUTTONDOWN: button = Qt::RightButton; break;
    case WM_RBUTTONUP: type = QEvent::MouseButtonRelease, button = Qt::RightButton; break;
    case WM_RBUTTONDBLCLK: type = QEvent::MouseButtonDblClick, button = Qt::RightButton; break;
    case WM_MBUTTONDOWN: button = Qt::MiddleButton; break;
    case WM_MBUTTONUP: type = QEvent::MouseButtonRelease, button = Qt::MiddleButton; break;
    case WM_MBUTTONDBLCLK: type = QEvent::MouseButtonDblClick, button = Qt::MiddleButton; break;
    case WM_LBUTTONDOWN: break;
    default: return;
  }
  Qt::MouseButtons buttons;
  if (keys & MK_LBUTTON) buttons |= Qt::LeftButton;
  if (keys & MK_RBUTTON) buttons |= Qt::RightButton;
  if (keys & MK_MBUTTON) buttons |= Qt::MiddleButton;
  Qt::KeyboardModifiers modifiers;
  if (keys & MK_SHIFT) modifiers |= Qt::ShiftModifier;
  if (keys & MK_CONTROL) modifiers |= Qt::ControlModifier;
  const QPoint at(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  QWidget *target = widget->childAt(at);
  if (!target) target = widget;
  const QPointF local = target->mapFrom(widget, at);
  QMouseEvent event(type, local, QPointF(widget->mapToGlobal(at)), button, buttons, modifiers);
  bool was = g_replaying;
  g_replaying = true;
  QCoreApplication::sendEvent(target, &event);
  g_replaying = was;
}

void FitWrapped(HWND hwnd) {
  QWidget *widget = WrappedWidget(hwnd);
  if (!widget) return;
  RECT client;
  GetClientRect(hwnd, &client);
  // The client area sits inside the window's border.
  RECT window;
  GetWindowRect(hwnd, &window);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  int dx = origin.x - window.left, dy = origin.y - window.top;
  widget->setGeometry(dx, dy, client.right - client.left, client.bottom - client.top);
  widget->setEnabled(IsWindowEnabled(hwnd));
}

}  // namespace platform
