#include "platform/msgbox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>

#include "platform/qtext.h"
#include "testing/msgbox_recorder.h"

namespace {

QApplication &App() {
  if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance())) return *app;
  static int argc = 1;
  static char name[] = "platform_tests";
  static char *argv[] = {name, nullptr};
  static QApplication app(argc, argv);
  return app;
}

QString Q(const char16_t *text) { return QString::fromUtf16(text); }

TEST(MessageBoxRecorderTest, RecordsCallsAndAnswersInTurn) {
  MessageBoxRecorder recorder(IDNO);
  recorder.QueueAnswer(IDYES);
  recorder.QueueAnswer(IDCANCEL);
  auto owner = reinterpret_cast<HWND>(uintptr_t(0x40));
  EXPECT_EQ(MessageBoxA(owner, "是否调整时区？", "提示", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST),
            IDYES);
  EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_YESNOCANCEL), IDCANCEL);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_YESNO), IDNO);
  const auto calls = recorder.Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].owner, owner);
  EXPECT_EQ(calls[0].text, "是否调整时区？");
  EXPECT_EQ(calls[0].caption, "提示");
  EXPECT_EQ(calls[0].type, MB_YESNO | MB_ICONQUESTION | MB_TOPMOST);
  EXPECT_EQ(calls[2].text, "");
  EXPECT_EQ(calls[2].caption, "错误");
}

TEST(MessageBoxRecorderTest, NestsAndRestoresTheHandlerBefore) {
  MessageBoxRecorder outer(IDOK);
  {
    MessageBoxRecorder inner(IDRETRY);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_RETRYCANCEL), IDRETRY);
  }
  EXPECT_EQ(MessageBoxA(nullptr, "x", "y", MB_OK), IDOK);
  EXPECT_EQ(outer.Count(), 1u);
}

TEST(MessageBoxRecorderTest, CallsFromAnotherThreadCanBeAwaited) {
  MessageBoxRecorder recorder(IDYES);
  std::atomic<int> answer{0};
  std::thread worker([&] { answer = MessageBoxA(nullptr, "调整", "提示", MB_YESNO); });
  EXPECT_TRUE(recorder.WaitForCalls(1, 5000));
  worker.join();
  EXPECT_EQ(answer, IDYES);
  EXPECT_FALSE(recorder.WaitForCalls(2, 10));
}

// The Qt message box itself: a timer finds the box once it is up and acts
// on it as a user would.
class QtMessageBox : public ::testing::Test {
 protected:
  void SetUp() override { App(); }

  // Runs action on the box as soon as it shows; the box comes back by value
  // in what the action records.
  void WhenShown(std::function<void(QMessageBox &)> action) {
    auto *timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
      auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
      if (!box || !box->isVisible()) return;
      timer->stop();
      timer->deleteLater();
      action(*box);
    });
    timer->start();
  }

  static QAbstractButton *ButtonNamed(QMessageBox &box, const QString &text) {
    for (QAbstractButton *button : box.buttons())
      if (button->text() == text) return button;
    return nullptr;
  }

  static void Press(QMessageBox &box, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &press);
  }
};

TEST_F(QtMessageBox, ShowsGbkTextChineseButtonsInOrderAndReturnsTheClickedOne) {
  QString title, text;
  QStringList labels;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  bool topmost = false;
  WhenShown([&](QMessageBox &box) {
    title = box.windowTitle();
    text = box.text();
    icon = box.icon();
    topmost = box.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    auto buttons = box.buttons();
    std::sort(buttons.begin(), buttons.end(),
              [](QAbstractButton *a, QAbstractButton *b) { return a->x() < b->x(); });
    for (QAbstractButton *button : buttons) labels << button->text();
    ButtonNamed(box, Q(u"否(&N)"))->click();
  });
  EXPECT_EQ(MessageBoxA(nullptr, "系统时间误差大于5分钟。是否自动调整？  ", "提示",
                        MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST),
            IDNO);
  EXPECT_EQ(title, Q(u"提示"));
  EXPECT_EQ(text, Q(u"系统时间误差大于5分钟。是否自动调整？  "));
  EXPECT_EQ(icon, QMessageBox::Question);
  EXPECT_TRUE(topmost);
  EXPECT_EQ(labels, QStringList({Q(u"是(&Y)"), Q(u"否(&N)"), Q(u"取消")}));
}

struct KeyCase {
  UINT type;
  int key;  // pressed first
  const char16_t *thenClick;  // when the key leaves the box up
  int expected;
  const char16_t *defaultLabel;
  QMessageBox::Icon icon;
};

TEST_F(QtMessageBox, EscapeEnterAndDefaultButtonsFollowWin32) {
  const KeyCase cases[] = {
      {MB_OK | MB_ICONERROR, Qt::Key_Escape, nullptr, IDOK, u"确定", QMessageBox::Critical},
      {MB_OKCANCEL | MB_ICONWARNING, Qt::Key_Escape, nullptr, IDCANCEL, u"确定", QMessageBox::Warning},
      {MB_RETRYCANCEL, Qt::Key_Escape, nullptr, IDCANCEL, u"重试(&R)", QMessageBox::NoIcon},
      {MB_YESNO, Qt::Key_Escape, u"是(&Y)", IDYES, u"是(&Y)", QMessageBox::NoIcon},
      {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3 | MB_ICONINFORMATION, Qt::Key_Escape, u"中止(&A)",
       IDABORT, u"忽略(&I)", QMessageBox::Information},
      {MB_YESNO | MB_DEFBUTTON2, Qt::Key_Return, nullptr, IDNO, u"否(&N)", QMessageBox::NoIcon},
      {MB_YESNOCANCEL | MB_DEFBUTTON3, Qt::Key_Return, nullptr, IDCANCEL, u"取消", QMessageBox::NoIcon},
      {MB_OKCANCEL | MB_DEFBUTTON3, Qt::Key_Return, nullptr, IDOK, u"确定", QMessageBox::NoIcon},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(::testing::Message() << "type 0x" << std::hex << c.type);
    QString defaultLabel;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool stayedUp = false;
    WhenShown([&](QMessageBox &box) {
      defaultLabel = box.defaultButton() ? box.defaultButton()->text() : QString();
      icon = box.icon();
      Press(box, c.key);
      stayedUp = box.isVisible();
      if (c.thenClick && stayedUp) ButtonNamed(box, Q(c.thenClick))->click();
    });
    EXPECT_EQ(MessageBoxA(nullptr, "text", nullptr, c.type), c.expected);
    EXPECT_EQ(defaultLabel, Q(c.defaultLabel));
    EXPECT_EQ(icon, c.icon);
    EXPECT_EQ(stayedUp, c.thenClick != nullptr);
  }
}

TEST_F(QtMessageBox, CallFromAWorkerThreadShowsOnTheGuiThread) {
  Qt::HANDLE shownOn = nullptr;
  WhenShown([&](QMessageBox &box) {
    shownOn = QThread::currentThreadId();
    ButtonNamed(box, Q(u"确定"))->click();
  });
  std::atomic<int> answer{-1};
  std::thread worker([&] { answer = MessageBoxA(nullptr, "调整时区成功", "提示", MB_OK); });
  while (answer == -1) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker.join();
  EXPECT_EQ(answer, IDOK);
  EXPECT_EQ(shownOn, QThread::currentThreadId());
}

TEST_F(QtMessageBox, UnknownButtonSetIsRefused) {
  SetLastError(0);
  EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 0x0000000E), 0);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

}  // namespace
