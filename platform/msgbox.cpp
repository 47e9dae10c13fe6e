#include "platform/msgbox.h"

#include "platform/kernel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QPushButton>
#include <QThread>

#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/gbk.h"
#include "platform/qtbridge.h"
#include "platform/qtext.h"

namespace {

std::mutex g_handlerLock;

platform::MessageBoxHandler &InstalledHandler() {
  static auto *handler = new platform::MessageBoxHandler;  // lives past static destruction
  return *handler;
}

struct ButtonChoice {
  const char *label;  // GBK
  int id;
};

// The buttons of a set, left to right; empty for an unknown set.
std::vector<ButtonChoice> ButtonsOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {{"确定", IDOK}};
    case MB_OKCANCEL: return {{"确定", IDOK}, {"取消", IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
      return {{"中止(&A)", IDABORT}, {"重试(&R)", IDRETRY}, {"忽略(&I)", IDIGNORE}};
    case MB_YESNOCANCEL: return {{"是(&Y)", IDYES}, {"否(&N)", IDNO}, {"取消", IDCANCEL}};
    case MB_YESNO: return {{"是(&Y)", IDYES}, {"否(&N)", IDNO}};
    case MB_RETRYCANCEL: return {{"重试(&R)", IDRETRY}, {"取消", IDCANCEL}};
    default: return {};
  }
}

// What Escape and the close button choose: Cancel where there is one, OK
// when it stands alone, else nothing (0).
int EscapeIdOf(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_OKCANCEL:
    case MB_YESNOCANCEL:
    case MB_RETRYCANCEL: return IDCANCEL;
    default: return 0;
  }
}

QMessageBox::Icon IconOf(UINT type) {
  switch (type & MB_ICONMASK) {
    case MB_ICONHAND: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONEXCLAMATION: return QMessageBox::Warning;
    case MB_ICONASTERISK: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

int ShowOnGuiThread(const platform::MessageBoxCall &call) {
  const std::vector<ButtonChoice> choices = ButtonsOf(call.type);
  QWidget *parent = call.owner ? platform::WidgetFromHandle(call.owner) : nullptr;
  QMessageBox box(parent);
  box.setWindowTitle(platform::FromGbk(call.caption.c_str()));
  box.setTextFormat(Qt::PlainText);
  box.setText(platform::FromGbk(call.text.c_str()));
  box.setIcon(IconOf(call.type));

  // One role for every button keeps them in the order they are added, and
  // leaves Qt no role from which to guess an escape button Win32 lacks.
  std::vector<std::pair<QAbstractButton *, int>> buttons;
  for (const ButtonChoice &choice : choices)
    buttons.emplace_back(box.addButton(platform::FromGbk(choice.label), QMessageBox::AcceptRole),
                         choice.id);
  const size_t defaultIndex = (call.type & MB_DEFMASK) >> 8;
  box.setDefaultButton(
      static_cast<QPushButton *>(buttons[defaultIndex < buttons.size() ? defaultIndex : 0].first));
  const int escapeId = EscapeIdOf(call.type);
  for (const auto &[button, id] : buttons)
    if (id == escapeId) box.setEscapeButton(button);

  box.setWindowModality(parent && (call.type & MB_MODEMASK) == MB_APPLMODAL ? Qt::WindowModal
                                                                             : Qt::ApplicationModal);
  // After the modality, which would drop the hint again.
  if ((call.type & MB_TOPMOST) || (call.type & MB_MODEMASK) == MB_SYSTEMMODAL)
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  if (call.type & MB_SETFOREGROUND) {
    box.show();
    box.raise();
    box.activateWindow();
  }
  box.exec();

  QAbstractButton *clicked = box.clickedButton();
  for (const auto &[button, id] : buttons)
    if (button == clicked) return id;
  return escapeId;
}

}  // namespace

namespace platform {

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
  std::lock_guard guard(g_handlerLock);
  std::swap(InstalledHandler(), handler);
  return handler;
}

}  // namespace platform

int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
  platform::MessageBoxCall call{owner, text ? text : "", caption ? caption : "错误", type};
  platform::MessageBoxHandler handler;
  {
    std::lock_guard guard(g_handlerLock);
    handler = InstalledHandler();
  }
  if (handler) return handler(call);

  if (ButtonsOf(type).empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
  if (!app) {
    // Nowhere to show it: keep the text where someone may read it.
    std::fprintf(stderr, "%s: %s\n", platform::GbkToUtf8(call.caption).c_str(),
                 platform::GbkToUtf8(call.text).c_str());
    return 0;
  }
  if (QThread::currentThread() == app->thread()) return ShowOnGuiThread(call);
  // Shown by the GUI thread like a sent message, so that a GUI thread
  // waiting for this worker still answers it.
  int result = 0;
  if (!platform::RunOnGuiThread([&] { result = ShowOnGuiThread(call); }))
    QMetaObject::invokeMethod(
        app, [&] { result = ShowOnGuiThread(call); }, Qt::BlockingQueuedConnection);
  return result;
}
