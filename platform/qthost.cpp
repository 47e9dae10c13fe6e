// The Qt side of windows: one widget per window of the GUI thread, its
// persistent client image, Qt input turned into queued WM_ messages, and the
// hook-up of the message queue to Qt's event loop.
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QWindow>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/clock.h"
#include "platform/kernel.h"
#include "platform/qtbridge.h"
#include "platform/qtext.h"
#include "platform/internal/window_record.h"

namespace platform {

class HostWidget : public QWidget {
 public:
  HostWidget(HWND hwnd, QWidget *parent, Qt::WindowFlags flags) : QWidget(parent, flags), hwnd_(hwnd) {
    setAttribute(Qt::WA_InputMethodEnabled);
    // A child is not marked opaque: Qt would move it by copying what the
    // screen showed at its old place, stale when its parent moved in the same
    // turn (a panel floated and laid out again); it is drawn afresh instead.
    if (parent && !(flags & Qt::Window)) setAttribute(Qt::WA_OpaquePaintEvent, false);
    else setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);  // focus moves only by SetFocus, as on Windows
  }
  HWND hwnd() const { return hwnd_; }
  void Detach() { hwnd_ = nullptr; }

 protected:
  bool event(QEvent *event) override;
  void paintEvent(QPaintEvent *) override;
  void mousePressEvent(QMouseEvent *event) override { Mouse(event, false); }
  void mouseDoubleClickEvent(QMouseEvent *event) override { Mouse(event, true); }
  void mouseReleaseEvent(QMouseEvent *event) override { Mouse(event, false); }
  void mouseMoveEvent(QMouseEvent *event) override { Mouse(event, false); }
  void wheelEvent(QWheelEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override { Key(event, true); }
  void keyReleaseEvent(QKeyEvent *event) override { Key(event, false); }
  void inputMethodEvent(QInputMethodEvent *event) override;
  void leaveEvent(QEvent *) override;
  void closeEvent(QCloseEvent *event) override;
  void resizeEvent(QResizeEvent *) override { FollowUserGeometry(); }
  void moveEvent(QMoveEvent *) override { FollowUserGeometry(); }
  bool focusNextPrevChild(bool) override { return false; }  // Tab is a key like any other

 private:
  void Mouse(QMouseEvent *event, bool doubleClick);
  void Key(QKeyEvent *event, bool down);
  void FollowUserGeometry();

  HWND hwnd_;
};

namespace {

// ---- the event-loop hook-up ------------------------------------------------------
const QEvent::Type kServeEvent = QEvent::Type(QEvent::User + 883);

class Dispatcher : public QObject {
 public:
  Dispatcher() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, this, [] { Serve(); });
  }
  bool event(QEvent *event) override {
    if (event->type() != kServeEvent) return QObject::event(event);
    pending.store(false);
    Serve();
    return true;
  }
  static void Serve() {
    ServeIncomingSends();
    // An explicit GetMessage loop further up takes the queue itself.
    if (!InExplicitGetMessage()) ServeQueue();
  }
  void Arm(long long dueInMs) {
    if (dueInMs < 0) {
      timer_.stop();
      return;
    }
    int ms = int(std::min<long long>(dueInMs, 1 << 30));
    if (timer_.isActive() && timer_.remainingTime() <= ms) return;
    timer_.start(ms);
  }
  std::atomic<bool> pending{false};

 private:
  QTimer timer_;
};

Dispatcher *g_dispatcher = nullptr;
DWORD g_guiThread = 0;
int g_exitCode = 0;
HWND g_mouseWindow = nullptr;  // the window the mouse was last over
QPointer<QWidget> g_grabber;

bool QtReady(const Window &window) { return g_dispatcher && window.threadId == g_guiThread; }

QPoint ClientOffset(const Window &window) {
  RECT client = window.ClientRect();
  return QPoint(client.left, client.top);
}

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
  WPARAM keys = 0;
  if (buttons & Qt::LeftButton) keys |= MK_LBUTTON;
  if (buttons & Qt::RightButton) keys |= MK_RBUTTON;
  if (buttons & Qt::MiddleButton) keys |= MK_MBUTTON;
  if (modifiers & Qt::ShiftModifier) keys |= MK_SHIFT;
  if (modifiers & Qt::ControlModifier) keys |= MK_CONTROL;
  return keys;
}

int VirtualKeyFromQt(int key, Qt::KeyboardModifiers modifiers) {
  bool keypad = modifiers & Qt::KeypadModifier;
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return keypad ? VK_NUMPAD0 + (key - Qt::Key_0) : key;
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return VK_F1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Clear: return VK_CLEAR;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Select: return VK_SELECT;
    case Qt::Key_Print: return VK_SNAPSHOT;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Help: return VK_HELP;
    case Qt::Key_Meta: return VK_LWIN;
    case Qt::Key_Menu: return VK_APPS;
    case Qt::Key_NumLock: return VK_NUMLOCK;
    case Qt::Key_ScrollLock: return VK_SCROLL;
    case Qt::Key_Asterisk: return keypad ? VK_MULTIPLY : int('8');
    case Qt::Key_Plus: return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Minus: return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Period: return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Slash: return keypad ? VK_DIVIDE : VK_OEM_2;
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Comma:
    case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Question: return VK_OEM_2;
    case Qt::Key_Semicolon:
    case Qt::Key_Colon: return VK_OEM_1;
    case Qt::Key_QuoteLeft:
    case Qt::Key_AsciiTilde: return VK_OEM_3;
    case Qt::Key_BracketLeft:
    case Qt::Key_BraceLeft: return VK_OEM_4;
    case Qt::Key_Backslash:
    case Qt::Key_Bar: return VK_OEM_5;
    case Qt::Key_BracketRight:
    case Qt::Key_BraceRight: return VK_OEM_6;
    case Qt::Key_Apostrophe:
    case Qt::Key_QuoteDbl: return VK_OEM_7;
    case Qt::Key_Exclam: return '1';
    case Qt::Key_At: return '2';
    case Qt::Key_NumberSign: return '3';
    case Qt::Key_Dollar: return '4';
    case Qt::Key_Percent: return '5';
    case Qt::Key_AsciiCircum: return '6';
    case Qt::Key_Ampersand: return '7';
    case Qt::Key_ParenLeft: return '9';
    case Qt::Key_ParenRight: return '0';
    default: return 0;
  }
}

}  // namespace

// ---- key characters ----------------------------------------------------------
std::string CharsForKey(int vk, bool shift, bool control, bool capsLock) {
  if (vk >= 'A' && vk <= 'Z') {
    if (control) return std::string(1, char(vk - 'A' + 1));
    bool upper = shift != capsLock;
    return std::string(1, char(upper ? vk : vk + 32));
  }
  if (control) {
    switch (vk) {
      case VK_OEM_4: return "\x1b";
      case VK_OEM_5: return "\x1c";
      case VK_OEM_6: return "\x1d";
      case VK_BACK: return "\x7f";
      case VK_RETURN: return "\n";
      default: return "";
    }
  }
  if (vk >= '0' && vk <= '9') return std::string(1, shift ? ")!@#$%^&*("[vk - '0'] : char(vk));
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return std::string(1, char('0' + vk - VK_NUMPAD0));
  struct Pair {
    int vk;
    char plain, shifted;
  };
  static const Pair pairs[] = {
      {VK_SPACE, ' ', ' '},       {VK_RETURN, '\r', '\r'},    {VK_BACK, '\b', '\b'},      {VK_TAB, '\t', '\t'},
      {VK_ESCAPE, 27, 27},        {VK_MULTIPLY, '*', '*'},    {VK_ADD, '+', '+'},         {VK_SUBTRACT, '-', '-'},
      {VK_DECIMAL, '.', '.'},     {VK_DIVIDE, '/', '/'},      {VK_OEM_1, ';', ':'},       {VK_OEM_PLUS, '=', '+'},
      {VK_OEM_COMMA, ',', '<'},   {VK_OEM_MINUS, '-', '_'},   {VK_OEM_PERIOD, '.', '>'},  {VK_OEM_2, '/', '?'},
      {VK_OEM_3, '`', '~'},       {VK_OEM_4, '[', '{'},       {VK_OEM_5, '\\', '|'},      {VK_OEM_6, ']', '}'},
      {VK_OEM_7, '\'', '"'},
  };
  for (const Pair &pair : pairs)
    if (pair.vk == vk) return std::string(1, shift ? pair.shifted : pair.plain);
  return "";
}

// ---- the widget ------------------------------------------------------------------
bool HostWidget::event(QEvent *event) {
  Window *window = FindWindowRecord(hwnd_);
  if (window) {
    switch (event->type()) {
      case QEvent::KeyPress: {
        // Tab and Backtab would otherwise move Qt's focus chain.
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
          Key(key, true);
          return true;
        }
        break;
      }
      case QEvent::WindowActivate:
        if (!(window->style & WS_CHILD)) SetActiveWindow(hwnd_);
        break;
      case QEvent::WindowStateChange: {
        // Minimised or brought back by the desktop.
        const bool iconic = windowState() & Qt::WindowMinimized;
        if (!(window->style & WS_CHILD) && iconic != bool(window->style & WS_MINIMIZE))
          ShowWindow(hwnd_, iconic ? SW_MINIMIZE : SW_RESTORE);
        break;
      }
      default: break;
    }
  }
  return QWidget::event(event);
}

void HostWidget::paintEvent(QPaintEvent *) {
  QPainter painter(this);
  Window *window = FindWindowRecord(hwnd_);
  if (!window) return;
  window->showAsked = false;
  if (window->image && !window->image->isNull()) painter.drawImage(ClientOffset(*window), *window->image);
  int border = window->BorderWidth();
  if (border > 0 && window->frame && window->frame->size() == size()) {
    // A frame that code painted itself through a frame context.
    RECT client = window->ClientRect();
    painter.setClipRegion(QRegion(rect()) - QRegion(client.left, client.top, client.right - client.left,
                                                     client.bottom - client.top));
    painter.drawImage(0, 0, *window->frame);
  } else if (border > 0) {
    painter.setPen(QColor(128, 128, 128));
    painter.drawRect(0, 0, width() - 1, height() - 1);
    if (border > 1) {
      painter.setPen(QColor(64, 64, 64));
      painter.drawRect(1, 1, width() - 3, height() - 3);
    }
  }
}

// A window takes mouse input only while it and every window that holds it
// are enabled: the children of a form disabled under a modal dialog take
// none.
static bool HostInputEnabled(const Window &window) {
  for (const Window *w = &window; w; w = w->parent ? FindWindowRecord(w->parent) : nullptr)
    if (!w->enabled) return false;
  return true;
}

// A mouse message posted to the window it goes to. Without a capture the
// window says which part of it is under the mouse; outside its client part
// the message is the non-client one, at the screen point with the part's
// code.
static void PostMouseMessage(HWND handle, UINT message, QPoint global, WPARAM keys, bool captured) {
  LRESULT hit = HTCLIENT;
  if (!captured) hit = SendMessageA(handle, WM_NCHITTEST, 0, MAKELPARAM(WORD(global.x()), WORD(global.y())));
  Window *target = FindWindowRecord(handle);
  if (!target || !target->widget) return;
  if (hit != HTCLIENT && hit > HTNOWHERE) {
    PostInput(*target, message - WM_MOUSEMOVE + WM_NCMOUSEMOVE, WPARAM(hit),
              MAKELPARAM(WORD(global.x()), WORD(global.y())));
    return;
  }
  const QPoint local = target->widget->mapFromGlobal(global) - ClientOffset(*target);
  PostInput(*target, message, keys, MAKELPARAM(WORD(local.x()), WORD(local.y())));
}

void HostWidget::Mouse(QMouseEvent *event, bool doubleClick) {
  Window *source = FindWindowRecord(hwnd_);
  if (!source) return;
  // Windows sends mouse input to the capturing window, else to the window
  // under the cursor; Qt's implicit grab on a press is not Windows' way.
  QPoint global = event->globalPosition().toPoint();
  Window *target = FindWindowRecord(GetCapture());
  if (!target) target = HostWindowAt(POINT{global.x(), global.y()});
  if (!target) target = source;
  if (!target->widget || !HostInputEnabled(*target)) return;

  // Leaving the window the mouse was over ends its tracking.
  if (g_mouseWindow != target->handle) {
    if (Window *old = FindWindowRecord(g_mouseWindow); old && (old->trackFlags & TME_LEAVE)) {
      old->trackFlags &= ~DWORD(TME_LEAVE | TME_HOVER);
      PostInput(*old, WM_MOUSELEAVE, 0, 0);
    }
    g_mouseWindow = target->handle;
  }

  const HWND targetHandle = target->handle;
  const bool captured = GetCapture() != nullptr;
  UINT message = WM_MOUSEMOVE;
  Qt::MouseButton button = event->button();
  bool dbl = doubleClick && (target->cls->style & CS_DBLCLKS);
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      message = button == Qt::RightButton    ? (dbl ? WM_RBUTTONDBLCLK : WM_RBUTTONDOWN)
                : button == Qt::MiddleButton ? (dbl ? WM_MBUTTONDBLCLK : WM_MBUTTONDOWN)
                                             : (dbl ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN);
      break;
    case QEvent::MouseButtonRelease:
      message = button == Qt::RightButton ? WM_RBUTTONUP : button == Qt::MiddleButton ? WM_MBUTTONUP : WM_LBUTTONUP;
      break;
    default:
      if (target->trackFlags & TME_HOVER) HostStartHoverTimer(*target);
      break;
  }
  PostMouseMessage(targetHandle, message, global, MouseKeys(event->buttons(), event->modifiers()), captured);
  event->accept();
}

void HostWidget::wheelEvent(QWheelEvent *event) {
  Window *window = FindWindowRecord(hwnd_);
  if (!window || !HostInputEnabled(*window)) return;
  QPoint global = event->globalPosition().toPoint();
  int delta = event->angleDelta().y();
  if (delta == 0) return;
  PostInput(*window, WM_MOUSEWHEEL, MAKEWPARAM(WORD(MouseKeys(event->buttons(), event->modifiers())), WORD(delta)),
            MAKELPARAM(WORD(global.x()), WORD(global.y())));
  event->accept();
}

void HostWidget::Key(QKeyEvent *event, bool down) {
  HWND target = GetFocus();
  if (!target) target = hwnd_;
  Window *window = FindWindowRecord(target);
  if (!window) return;
  int vk = VirtualKeyFromQt(event->key(), event->modifiers());
  if (vk == 0) return;
  bool alt = event->modifiers() & Qt::AltModifier;
  LPARAM lParam = 1 | (alt ? LPARAM(1) << 29 : 0);
  // F10 is a system key on the desktop, with or without Alt.
  const bool system = alt || vk == VK_F10;
  if (down) {
    if (event->isAutoRepeat()) lParam |= LPARAM(1) << 30;
    // The characters this press types, in GBK, for TranslateMessage.
    std::string text;
    bool control = event->modifiers() & Qt::ControlModifier;
    if (control && vk >= 'A' && vk <= 'Z') {
      text = std::string(1, char(vk - 'A' + 1));
    } else if (!event->text().isEmpty() && !(event->text().size() == 1 && event->text()[0].unicode() == 0x7F)) {
      QByteArray gbk = ToGbk(event->text());
      text.assign(gbk.constData(), size_t(gbk.size()));
    }
    if (!text.empty() || vk == VK_DELETE) RecordKeyText(target, WPARAM(vk), lParam, text);
    PostInput(*window, system ? WM_SYSKEYDOWN : WM_KEYDOWN, WPARAM(vk), lParam);
  } else {
    lParam |= (LPARAM(1) << 30) | (LPARAM(1) << 31);
    PostInput(*window, system ? WM_SYSKEYUP : WM_KEYUP, WPARAM(vk), lParam);
  }
  event->accept();
}

void HostWidget::inputMethodEvent(QInputMethodEvent *event) {
  HWND target = GetFocus();
  if (!target) target = hwnd_;
  Window *window = FindWindowRecord(target);
  if (!window || event->commitString().isEmpty()) return;
  // A double-byte character arrives as two WM_CHAR messages, lead byte first.
  QByteArray gbk = ToGbk(event->commitString());
  for (char c : gbk) PostInput(*window, WM_CHAR, WPARAM(BYTE(c)), 1);
  event->accept();
}

void HostWidget::leaveEvent(QEvent *) {
  Window *window = FindWindowRecord(hwnd_);
  if (!window || GetCapture() == hwnd_) return;
  if (g_mouseWindow == hwnd_) g_mouseWindow = nullptr;
  if (window->trackFlags & TME_LEAVE) {
    window->trackFlags &= ~DWORD(TME_LEAVE | TME_HOVER);
    PostInput(*window, WM_MOUSELEAVE, 0, 0);
  }
}

void HostWidget::closeEvent(QCloseEvent *event) {
  // The window decides: WM_CLOSE, whose default destroys it.
  event->ignore();
  if (IsWindow(hwnd_)) SendMessageA(hwnd_, WM_CLOSE, 0, 0);
}

void HostWidget::FollowUserGeometry() {
  Window *window = FindWindowRecord(hwnd_);
  if (!window || (window->style & WS_CHILD) || !isVisible()) return;
  QRect g = geometry();
  RECT r = window->rect;
  if (g.x() == r.left && g.y() == r.top && g.width() == r.right - r.left && g.height() == r.bottom - r.top) return;
  SetWindowPos(hwnd_, nullptr, g.x(), g.y(), g.width(), g.height(), SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- what the window layer asks of Qt ---------------------------------------------------
void HostCreate(Window &window) {
  if (!QtReady(window)) return;
  QWidget *parent = nullptr;
  Qt::WindowFlags flags;
  if (window.style & WS_CHILD) {
    if (Window *p = FindWindowRecord(window.parent)) parent = p->widget;
  } else {
    flags = (window.style & WS_POPUP) ? (Qt::Tool | Qt::FramelessWindowHint)
            : window.OwnFrame()       ? (Qt::Window | Qt::FramelessWindowHint)
                                      : Qt::Window;
    if (window.exStyle & WS_EX_TOPMOST) flags |= Qt::WindowStaysOnTopHint;
    if (Window *owner = FindWindowRecord(window.owner)) parent = owner->widget;
  }
  window.widget = new HostWidget(window.handle, parent, flags);
  // A child stays hidden until the window layer shows it: Qt would show a
  // child it was never told to hide together with its parent.
  if (window.style & WS_CHILD) window.widget->hide();
  if (!(window.style & WS_CHILD)) window.widget->setWindowTitle(FromGbk(window.text.c_str()));
  window.image = new QImage();
  HostGeometryChanged(window);
}

void HostDestroy(Window &window) {
  delete window.image;
  window.image = nullptr;
  delete window.frame;
  window.frame = nullptr;
  if (g_mouseWindow == window.handle) g_mouseWindow = nullptr;
  if (HostWidget *widget = window.widget) {
    window.widget = nullptr;
    widget->Detach();
    widget->hide();
    // Children were destroyed before; the widget may be inside its own event.
    widget->setParent(nullptr);
    widget->deleteLater();
  }
}

void HostGeometryChanged(Window &window) {
  if (!window.widget) return;
  QRect g(window.rect.left, window.rect.top, window.rect.right - window.rect.left,
          window.rect.bottom - window.rect.top);
  if (window.style & WS_CHILD) {
    if (Window *parent = FindWindowRecord(window.parent)) g.translate(ClientOffset(*parent));
  }
  if (window.widget->geometry() != g) window.widget->setGeometry(g);
  if (window.OwnFrame()) {
    // Over the whole of a screen the window covers it, the desktop's bars
    // included.
    bool covers = false;
    RECT screen, work;
    for (int i = 0; !covers && HostScreen(i, &screen, &work); ++i)
      covers = g == QRect(screen.left, screen.top, screen.right - screen.left, screen.bottom - screen.top);
    const Qt::WindowStates states = window.widget->windowState();
    if (covers != bool(states & Qt::WindowFullScreen)) {
      window.widget->setWindowState(covers ? states | Qt::WindowFullScreen : states & ~Qt::WindowFullScreen);
      if (!covers && window.widget->geometry() != g) window.widget->setGeometry(g);
    }
  }
  // The client image keeps what was drawn; new area starts white.
  QSize size(window.ClientWidth(), window.ClientHeight());
  if (window.image && window.image->size() != size) {
    QImage fresh(size, QImage::Format_RGB32);
    if (!fresh.isNull()) {
      fresh.fill(Qt::white);
      if (!window.image->isNull()) {
        QPainter painter(&fresh);
        painter.drawImage(0, 0, *window.image);
      }
    }
    *window.image = fresh;
  }
  if (window.style & WS_CHILD) {
    for (HWND child : window.children)
      if (Window *c = FindWindowRecord(child)) HostGeometryChanged(*c);
  }
}

void HostStateChanged(Window &window) {
  if (!window.widget) return;
  const Qt::WindowStates states = window.widget->windowState();
  const bool iconic = window.style & WS_MINIMIZE;
  if (iconic != bool(states & Qt::WindowMinimized))
    window.widget->setWindowState(iconic ? states | Qt::WindowMinimized : states & ~Qt::WindowMinimized);
}

void HostTrackLimits(Window &window, POINT minimum, POINT maximum) {
  if (!window.widget) return;
  window.widget->setMinimumSize(std::max(0, int(minimum.x)), std::max(0, int(minimum.y)));
  window.widget->setMaximumSize(std::clamp(int(maximum.x), 0, QWIDGETSIZE_MAX), std::clamp(int(maximum.y), 0, QWIDGETSIZE_MAX));
}

bool HostSystemSizeOrMove(Window &window, int edge) {
  QWindow *handle = window.widget ? window.widget->windowHandle() : nullptr;
  if (!handle || (window.style & WS_CHILD)) return false;
  if (edge == 0) return handle->startSystemMove();
  static const Qt::Edges kEdges[8] = {
      Qt::LeftEdge, Qt::RightEdge, Qt::TopEdge, Qt::TopEdge | Qt::LeftEdge, Qt::TopEdge | Qt::RightEdge,
      Qt::BottomEdge, Qt::BottomEdge | Qt::LeftEdge, Qt::BottomEdge | Qt::RightEdge,
  };
  if (edge < 1 || edge > 8) return false;
  return handle->startSystemResize(kEdges[edge - 1]);
}

bool HostScreen(int index, RECT *geometry, RECT *work) {
  const auto toRect = [](const QRect &r) { return RECT{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; };
  QList<QScreen *> screens;
  QScreen *primary = nullptr;
  if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
    screens = QGuiApplication::screens();
    primary = QGuiApplication::primaryScreen();
  }
  if (screens.isEmpty() || !primary) {
    // No desktop: one screen of the size the forms assume.
    if (index != 0) return false;
    *geometry = *work = RECT{0, 0, 1024, 768};
    return true;
  }
  // The primary screen first, then the others in the desktop's order.
  screens.removeAll(primary);
  screens.prepend(primary);
  if (index < 0 || index >= screens.size()) return false;
  *geometry = toRect(screens[index]->geometry());
  *work = toRect(screens[index]->availableGeometry());
  return true;
}

void HostVisibilityChanged(Window &window) {
  if (window.widget) window.widget->setVisible(window.visible);
}

void HostParentChanged(Window &window) {
  if (!window.widget) return;
  Window *parent = FindWindowRecord(window.parent);
  bool visible = window.visible;
  if (parent && parent->widget)
    window.widget->setParent(parent->widget, Qt::Widget);
  else
    window.widget->setParent(nullptr, Qt::Window);
  HostGeometryChanged(window);
  window.widget->setVisible(visible);
}

void HostZOrderChanged(Window &window) {
  // What is drawn on top and what the mouse finds is Qt's stacking, not the
  // child list: an overlapping sibling made later would cover this window.
  if (!window.widget || !(window.style & WS_CHILD)) return;
  Window *parent = FindWindowRecord(window.parent);
  if (!parent) return;
  const std::vector<HWND> &list = parent->children;
  const auto at = std::find(list.begin(), list.end(), window.handle);
  if (at == list.end()) return;
  if (at == list.begin()) {
    window.widget->raise();
    return;
  }
  if (at + 1 == list.end()) {
    window.widget->lower();
    return;
  }
  Window *above = FindWindowRecord(*(at - 1));
  if (above && above->widget && above->widget->parentWidget() == window.widget->parentWidget())
    window.widget->stackUnder(above->widget);
}

void HostFocus(Window &window) {
  if (window.widget) window.widget->setFocus(Qt::OtherFocusReason);
}

void HostCapture(Window *window) {
  if (g_grabber) {
    g_grabber->releaseMouse();
    g_grabber = nullptr;
  }
  // The headless platform has no pointer to grab; the capture still steers
  // our own routing of mouse messages.
  static const bool canGrab = QGuiApplication::platformName() != QLatin1String("offscreen");
  if (canGrab && window && window->widget && window->widget->isVisible()) {
    window->widget->grabMouse();
    g_grabber = window->widget;
  }
}

void HostUpdate(Window &window) {
  if (window.widget) window.widget->update();
}

void HostArmTimer(ThreadContext &, long long dueInMs) {
  if (g_dispatcher && IsGuiThread()) g_dispatcher->Arm(dueInMs);
}

void HostStartHoverTimer(Window &window) {
  if (!window.widget) return;
  HWND hwnd = window.handle;
  DWORD startedAt = GetTickCount();
  static std::unordered_map<HWND, DWORD> lastStart;  // GUI thread only
  lastStart[hwnd] = startedAt;
  QTimer::singleShot(int(window.hoverTime), window.widget, [hwnd, startedAt] {
    Window *w = FindWindowRecord(hwnd);
    auto it = lastStart.find(hwnd);
    if (!w || it == lastStart.end() || it->second != startedAt) return;
    lastStart.erase(it);
    if (!(w->trackFlags & TME_HOVER) || g_mouseWindow != hwnd || !w->widget) return;
    w->trackFlags &= ~DWORD(TME_HOVER);
    QPoint local = w->widget->mapFromGlobal(QCursor::pos()) - ClientOffset(*w);
    PostInput(*w, WM_MOUSEHOVER, MouseKeys(QApplication::mouseButtons(), QApplication::keyboardModifiers()),
              MAKELPARAM(WORD(local.x()), WORD(local.y())));
  });
}

POINT HostCursorPos() {
  if (!g_dispatcher) return POINT{};
  QPoint p = QCursor::pos();
  return POINT{p.x(), p.y()};
}

void HostSetCursorPos(POINT screen) {
  if (g_dispatcher) QCursor::setPos(screen.x, screen.y);
}

void HostSynthesizeButton(UINT message) {
  if (!g_dispatcher || !IsGuiThread()) return;
  const POINT at = HostCursorPos();
  // Where a real press at the cursor would go: the capturing window, else
  // the window under the cursor.
  Window *target = FindWindowRecord(GetCapture());
  if (!target) target = HostWindowAt(at);
  if (!target || !target->widget || !HostInputEnabled(*target)) return;
  const bool left = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP;
  const bool down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
  Qt::MouseButtons buttons = QApplication::mouseButtons();
  buttons.setFlag(left ? Qt::LeftButton : Qt::RightButton, down);
  PostMouseMessage(target->handle, message, QPoint(at.x, at.y), MouseKeys(buttons, QApplication::keyboardModifiers()),
                   GetCapture() != nullptr);
}

Window *HostWindowAt(POINT screen) {
  if (!g_dispatcher) return nullptr;
  for (QWidget *widget = QApplication::widgetAt(QPoint(screen.x, screen.y)); widget;
       widget = widget->parentWidget()) {
    if (auto *host = dynamic_cast<HostWidget *>(widget)) return FindWindowRecord(host->hwnd());
  }
  return nullptr;
}

void HostQuit(int exitCode) {
  g_exitCode = exitCode;
  QCoreApplication::exit(exitCode);
}

void HostProcessEvents(bool wait) {
  if (!g_dispatcher) return;
  QCoreApplication::processEvents(wait ? QEventLoop::WaitForMoreEvents : QEventLoop::AllEvents);
}

void InitGuiThread() {
  if (g_dispatcher) return;
  auto *app = QCoreApplication::instance();
  if (!qobject_cast<QApplication *>(app) || app->thread() != QThread::currentThread()) return;
  MarkGuiThread();
  g_guiThread = GetCurrentThreadId();
  g_dispatcher = new Dispatcher;
  ThreadContext &context = CurrentContext();
  std::lock_guard guard(SyncLock());
  context.kickEventLoop = [] {
    if (!g_dispatcher->pending.exchange(true))
      QCoreApplication::postEvent(g_dispatcher, new QEvent(kServeEvent), Qt::HighEventPriority);
  };
}

int RunMessageLoop() {
  InitGuiThread();
  if (!g_dispatcher) return -1;
  ServeQueue();
  return QCoreApplication::exec();
}

void ProcessPendingMessages() {
  if (IsGuiThread() && g_dispatcher) {
    ThreadContext &self = CurrentContext();
    // Until a round finds nothing left: Qt's events, then our queue.
    for (int round = 0; round < 1000; ++round) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      ServeQueue();
      bool idle;
      {
        std::lock_guard guard(self.postLock);
        idle = self.posted.empty();
      }
      {
        std::lock_guard guard(SyncLock());
        idle = idle && self.incoming.empty();
      }
      if (idle) return;
    }
    return;
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(int(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

QWidget *WidgetFromHandle(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window ? window->widget : nullptr;
}

const QImage *WindowImage(HWND hwnd) {
  Window *window = FindWindowRecord(hwnd);
  return window ? window->image : nullptr;
}

}  // namespace platform
