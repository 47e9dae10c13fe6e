#include "testing/view_harness.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include <algorithm>
#include <memory>

#include "platform/gdi.h"
#include "platform/qtbridge.h"
#include "platform/qtext.h"
#include "platform/qtwrap.h"

namespace testing_support {

namespace {
constexpr UINT kRunScript = WM_APP + 0x3A1;
}

ViewHarness::ViewHarness() {
  WNDCLASSA wc{};
  wc.lpfnWndProc = &ViewHarness::ScriptProc;
  wc.lpszClassName = "KivoHarnessScript";
  if (!GetClassInfoA(nullptr, wc.lpszClassName, &wc)) RegisterClassA(&wc);
  scriptWindow_ = CreateWindowExA(0, "KivoHarnessScript", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  Pump();
}

ViewHarness::~ViewHarness() {
  Pump();
  if (IsWindow(scriptWindow_)) DestroyWindow(scriptWindow_);
  Pump();
}

LRESULT ViewHarness::ScriptProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kRunScript) {
    auto *script = reinterpret_cast<std::function<void()> *>(lParam);
    (*script)();
    delete script;
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

void ViewHarness::Soon(const std::function<void()> &script) {
  PostMessageA(scriptWindow_, kRunScript, 0, reinterpret_cast<LPARAM>(new std::function<void()>(script)));
}

int ViewHarness::RunModal(TCustomForm *form, const std::function<void()> &script) {
  auto running = std::make_shared<bool>(true);
  Soon([this, form, script, running] {
    Pump();  // the form is shown and focused first
    script();
    // Queued behind whatever the script left queued.
    Soon([form, running] {
      if (*running && form->Modal() && form->ModalResult() == mrNone) form->SetModalResult(-1);
    });
  });
  int result = form->ShowModal();
  *running = false;
  return result;
}

void ViewHarness::Pump() { platform::ProcessPendingMessages(); }

void ViewHarness::Advance(uint64_t ms, uint64_t step) {
  if (step == 0) step = ms;
  while (ms > 0) {
    uint64_t now = std::min(ms, step);
    clock_.Advance(now);
    ms -= now;
    Pump();
  }
}

void ViewHarness::Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  PostMessageA(hwnd, message, wParam, lParam);
}

namespace {

UINT DownMessage(TMouseButton b) {
  return b == mbRight ? WM_RBUTTONDOWN : b == mbMiddle ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
}
UINT UpMessage(TMouseButton b) { return b == mbRight ? WM_RBUTTONUP : b == mbMiddle ? WM_MBUTTONUP : WM_LBUTTONUP; }
WPARAM ButtonKey(TMouseButton b) { return b == mbRight ? MK_RBUTTON : b == mbMiddle ? MK_MBUTTON : MK_LBUTTON; }
LPARAM At(int x, int y) { return MAKELPARAM(WORD(SHORT(x)), WORD(SHORT(y))); }

}  // namespace

namespace {

// A disabled child does not get the mouse: its parent does, as on the screen.
HWND EnabledTarget(HWND hwnd, int &x, int &y) {
  while (hwnd && !IsWindowEnabled(hwnd) && (GetWindowLongA(hwnd, GWL_STYLE) & WS_CHILD)) {
    HWND parent = GetParent(hwnd);
    POINT p{x, y};
    ClientToScreen(hwnd, &p);
    ScreenToClient(parent, &p);
    x = p.x;
    y = p.y;
    hwnd = parent;
  }
  return IsWindowEnabled(hwnd) ? hwnd : nullptr;
}

}  // namespace

void ViewHarness::MouseDown(HWND hwnd, int x, int y, TMouseButton button, UINT keys) {
  hwnd = EnabledTarget(hwnd, x, y);
  if (!hwnd) return;
  Post(hwnd, WM_MOUSEMOVE, keys, At(x, y));
  Post(hwnd, DownMessage(button), keys | ButtonKey(button), At(x, y));
  Pump();
}

void ViewHarness::MouseUp(HWND hwnd, int x, int y, TMouseButton button, UINT keys) {
  // The window holding the capture gets the release, as on the screen.
  if (!GetCapture()) hwnd = EnabledTarget(hwnd, x, y);
  if (!hwnd) return;
  HWND target = GetCapture() ? GetCapture() : hwnd;
  POINT p{x, y};
  if (target != hwnd) {
    ClientToScreen(hwnd, &p);
    ScreenToClient(target, &p);
  }
  Post(target, UpMessage(button), keys, At(p.x, p.y));
  Pump();
}

void ViewHarness::MouseMove(HWND hwnd, int x, int y, UINT keys) {
  HWND target = GetCapture() ? GetCapture() : hwnd;
  POINT p{x, y};
  if (target != hwnd) {
    ClientToScreen(hwnd, &p);
    ScreenToClient(target, &p);
  }
  Post(target, WM_MOUSEMOVE, keys, At(p.x, p.y));
  Pump();
}

void ViewHarness::Click(HWND hwnd, int x, int y, TMouseButton button, UINT keys) {
  MouseDown(hwnd, x, y, button, keys);
  MouseUp(hwnd, x, y, button, keys);
}

void ViewHarness::DoubleClick(HWND hwnd, int x, int y) {
  Click(hwnd, x, y);
  Post(hwnd, WM_LBUTTONDBLCLK, MK_LBUTTON, At(x, y));
  Pump();
  MouseUp(hwnd, x, y);
}

void ViewHarness::Click(TControl *control, int x, int y, TMouseButton button) {
  if (auto *win = dynamic_cast<TWinControl *>(control)) {
    Click(win->Handle(), x, y, button);
    return;
  }
  if (control->Parent()) Click(control->Parent()->Handle(), control->Left() + x, control->Top() + y, button);
}

void ViewHarness::Key(int vk, TShiftState shift, HWND target) {
  Pump();
  if (!target) target = GetFocus();
  if (!target) return;
  std::vector<int> held;
  if (shift.Contains(ssShift)) held.push_back(VK_SHIFT);
  if (shift.Contains(ssCtrl)) held.push_back(VK_CONTROL);
  if (shift.Contains(ssAlt)) held.push_back(VK_MENU);
  bool alt = shift.Contains(ssAlt);
  for (int k : held) Post(target, alt && k != VK_MENU ? WM_SYSKEYDOWN : WM_KEYDOWN, WPARAM(k), 1);
  Post(target, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, WPARAM(vk), 1);
  Pump();
  // The key may have moved the focus; the release goes where it is now.
  HWND now = GetFocus() ? GetFocus() : target;
  if (!IsWindow(now)) return;
  LPARAM up = LPARAM(1) | (LPARAM(1) << 30) | (LPARAM(1) << 31);
  Post(now, alt ? WM_SYSKEYUP : WM_KEYUP, WPARAM(vk), up);
  for (auto it = held.rbegin(); it != held.rend(); ++it) Post(now, alt && *it != VK_MENU ? WM_SYSKEYUP : WM_KEYUP, WPARAM(*it), up);
  Pump();
}

void ViewHarness::PostKey(int vk, TShiftState shift, HWND target) {
  if (!target) target = GetFocus();
  if (!target) return;
  std::vector<int> held;
  if (shift.Contains(ssShift)) held.push_back(VK_SHIFT);
  if (shift.Contains(ssCtrl)) held.push_back(VK_CONTROL);
  for (int k : held) Post(target, WM_KEYDOWN, WPARAM(k), 1);
  Post(target, WM_KEYDOWN, WPARAM(vk), 1);
  LPARAM up = LPARAM(1) | (LPARAM(1) << 30) | (LPARAM(1) << 31);
  Post(target, WM_KEYUP, WPARAM(vk), up);
  for (auto it = held.rbegin(); it != held.rend(); ++it) Post(target, WM_KEYUP, WPARAM(*it), up);
}

void ViewHarness::PostClick(HWND hwnd, int x, int y, TMouseButton button) {
  Post(hwnd, WM_MOUSEMOVE, 0, At(x, y));
  Post(hwnd, DownMessage(button), ButtonKey(button), At(x, y));
  Post(hwnd, UpMessage(button), 0, At(x, y));
}

void ViewHarness::Type(const std::string &gbk, HWND target) {
  Pump();
  if (!target) target = GetFocus();
  if (!target) return;
  for (size_t i = 0; i < gbk.size(); ++i) {
    BYTE c = BYTE(gbk[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < gbk.size()) {
      Post(target, WM_CHAR, c, 1);
      Post(target, WM_CHAR, BYTE(gbk[++i]), 1);
      Pump();
      continue;
    }
    int vk = 0;
    bool shift = false;
    if (c >= 'a' && c <= 'z') vk = c - 32;
    else if (c >= 'A' && c <= 'Z') { vk = c; shift = true; }
    else if (c >= '0' && c <= '9') vk = c;
    else if (c == ' ') vk = VK_SPACE;
    else if (c == '.') vk = VK_OEM_PERIOD;
    else if (c == '-') vk = VK_OEM_MINUS;
    else if (c == ',') vk = VK_OEM_COMMA;
    if (vk) {
      Key(vk, shift ? TShiftState(ssShift) : TShiftState(), GetFocus() ? GetFocus() : target);
    } else {
      Post(GetFocus() ? GetFocus() : target, WM_CHAR, c, 1);
      Pump();
    }
  }
}

namespace {

QWidget *FocusedWidget() {
  QWidget *widget = platform::WidgetFromHandle(GetFocus());
  while (widget && widget->focusProxy()) widget = widget->focusProxy();
  return widget;
}

}  // namespace

void ViewHarness::QtKey(int qtKey, Qt::KeyboardModifiers modifiers, const QString &text) {
  Pump();
  QWidget *widget = FocusedWidget();
  if (!widget) return;
  QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
  QCoreApplication::sendEvent(widget, &press);
  Pump();
  if (QWidget *now = FocusedWidget()) {
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, text);
    QCoreApplication::sendEvent(now, &release);
  }
  Pump();
}

void ViewHarness::QtType(const QString &text) {
  for (QChar c : text) {
    int key = c.toUpper().unicode();
    if (c.unicode() > 0x7F) {
      // Characters no key types arrive through the input method.
      Pump();
      QWidget *widget = FocusedWidget();
      if (!widget) return;
      QInputMethodEvent event;
      event.setCommitString(QString(c));
      QCoreApplication::sendEvent(widget, &event);
      Pump();
      continue;
    }
    Qt::KeyboardModifiers modifiers = c.isUpper() ? Qt::ShiftModifier : Qt::NoModifier;
    if (c == QLatin1Char('.')) key = Qt::Key_Period;
    if (c == QLatin1Char('-')) key = Qt::Key_Minus;
    if (c == QLatin1Char(' ')) key = Qt::Key_Space;
    QtKey(key, modifiers, QString(c));
  }
}

void ViewHarness::QtClick(HWND hwnd, int x, int y, Qt::MouseButton button) {
  Pump();
  QWidget *host = platform::WidgetFromHandle(hwnd);
  if (!host) return;
  RECT window, client;
  GetWindowRect(hwnd, &window);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  QPoint local(x + origin.x - window.left, y + origin.y - window.top);
  QWidget *target = host->childAt(local);
  if (!target) target = host;
  QPoint at = target->mapFrom(host, local);
  QPoint global = host->mapToGlobal(local);
  (void)client;
  QMouseEvent press(QEvent::MouseButtonPress, at, global, button, button, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &press);
  Pump();
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, button, Qt::NoButton, Qt::NoModifier);
  QCoreApplication::sendEvent(target, &release);
  Pump();
}

COLORREF ViewHarness::Pixel(HWND hwnd, int x, int y) {
  Pump();
  UpdateWindow(hwnd);
  const QImage *image = platform::WindowImage(hwnd);
  if (!image || image->isNull() || !image->rect().contains(x, y)) return 0xFFFFFFFFu;
  QRgb c = image->pixel(x, y);
  return RGB(BYTE(qRed(c)), BYTE(qGreen(c)), BYTE(qBlue(c)));
}

COLORREF ViewHarness::Pixel(TControl *control, int x, int y) {
  if (auto *win = dynamic_cast<TWinControl *>(control)) return Pixel(win->Handle(), x, y);
  if (!control->Parent()) return 0xFFFFFFFFu;
  return Pixel(control->Parent()->Handle(), control->Left() + x, control->Top() + y);
}

QImage ViewHarness::Render(HWND hwnd) {
  Pump();
  RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump();
  QWidget *widget = platform::WidgetFromHandle(hwnd);
  if (!widget) return QImage();
  QImage image = widget->grab().toImage();
  // Only the client area: the border of a child window is the frame.
  RECT window;
  GetWindowRect(hwnd, &window);
  POINT origin{0, 0};
  ClientToScreen(hwnd, &origin);
  RECT client;
  GetClientRect(hwnd, &client);
  return image.copy(origin.x - window.left, origin.y - window.top, client.right, client.bottom)
      .convertToFormat(QImage::Format_RGB32);
}

QImage ViewHarness::Render(TControl *control) {
  if (auto *win = dynamic_cast<TWinControl *>(control)) return Render(win->Handle());
  if (!control->Parent()) return QImage();
  QImage parent = Render(control->Parent()->Handle());
  return parent.copy(control->Left(), control->Top(), control->Width(), control->Height());
}

std::string ViewHarness::PicturesFolder() {
#ifdef KIVO_PICTURES_DIR
  std::string folder = KIVO_PICTURES_DIR;
#else
  std::string folder = "pictures";
#endif
  QDir().mkpath(QString::fromStdString(folder));
  return folder;
}

std::string ViewHarness::SavePng(const QImage &image, const std::string &name) {
  std::string path = PicturesFolder() + "/" + name + ".png";
  image.save(QString::fromStdString(path), "PNG");
  return path;
}

void PictureSheet::Add(const std::string &label, const QImage &image) { items_.emplace_back(label, image); }

QImage PictureSheet::Compose() const {
  if (items_.empty()) return QImage();
  const int pad = 8, labelHeight = 16;
  int cellW = 0, cellH = 0;
  for (const auto &[label, image] : items_) {
    cellW = std::max(cellW, image.width());
    cellH = std::max(cellH, image.height());
  }
  cellW = std::max(cellW, 120) + 2 * pad;
  cellH += labelHeight + 2 * pad;
  int columns = std::max(1, std::min(columns_, int(items_.size())));
  int rows = (int(items_.size()) + columns - 1) / columns;
  QImage sheet(columns * cellW, rows * cellH, QImage::Format_RGB32);
  sheet.fill(QColor(224, 224, 224));
  QPainter painter(&sheet);
  for (size_t i = 0; i < items_.size(); ++i) {
    int x = int(i % size_t(columns)) * cellW + pad, y = int(i / size_t(columns)) * cellH + pad;
    painter.setPen(Qt::black);
    painter.drawText(QRect(x, y, cellW - 2 * pad, labelHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     platform::FromGbk(items_[i].first.c_str()));
    painter.drawImage(x, y + labelHeight, items_[i].second);
  }
  return sheet;
}

}  // namespace testing_support
