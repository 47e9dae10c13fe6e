// Edits: every character reaches the control's window procedure first, so
// a control can refuse it; typed at the message level or the Qt level,
// pasted with the keyboard or by message.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPalette>
#include <QWidget>

#include "classlib/forms.h"
#include "platform/qtwrap.h"
#include "classlib/stdctrls.h"
#include "testing/shell_recorder.h"
#include "testing/view_harness.h"

using testing_support::ViewHarness;

namespace {

// Accepts digits and backspace only, and nothing else: control characters
// included, so Ctrl+V is refused too. A price box of the trading panel
// filters the same way.
class DigitEdit : public TEdit {
 public:
  using TEdit::TEdit;
  int refused = 0;

 protected:
  void WndProc(TMessage &m) override {
    if (m.Msg == WM_CHAR && !(m.WParam >= '0' && m.WParam <= '9') && m.WParam != 8) {
      ++refused;
      m.Result = 0;
      return;
    }
    TEdit::WndProc(m);
  }
};

struct EditFixture : ::testing::Test {
  EditFixture() {
    form.SetBounds(0, 0, 300, 120);
    form.Show();
  }
  template <class T>
  T *Add() {
    auto *edit = new T(&form);
    edit->SetParent(&form);
    edit->SetBounds(8, 8 + 28 * form.ControlCount(), 200, 21);
    edit->SetFocus();
    harness.Pump();
    return edit;
  }
  void Paste(const char *text) {
    shell.SetClipboard(std::string(text));
    harness.Key('V', TShiftState(ssCtrl));
  }
  ShellRecorder shell;
  ViewHarness harness;
  TForm form{nullptr};
};

TEST_F(EditFixture, AFilterRefusesTypedAndPastedCharacters) {
  DigitEdit *edit = Add<DigitEdit>();
  harness.Type("1a2");
  EXPECT_EQ(edit->Text(), "12");
  Paste("34");
  EXPECT_EQ(edit->Text(), "12");  // the paste key's character was refused
  harness.Key(VK_BACK);
  EXPECT_EQ(edit->Text(), "1");
  EXPECT_EQ(edit->refused, 2);
}

TEST_F(EditFixture, AFilterSeesCharactersTypedAtTheQtLevel) {
  DigitEdit *edit = Add<DigitEdit>();
  harness.QtType("4x5");
  EXPECT_EQ(edit->Text(), "45");
  harness.QtKey(Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(edit->Text(), "45");
}

TEST_F(EditFixture, QtLevelClicksPressButtonsAndFocusEdits) {
  TEdit *first = Add<TEdit>();
  TEdit *second = Add<TEdit>();
  auto *button = new TButton(&form);
  button->SetParent(&form);
  button->SetBounds(220, 8, 60, 25);
  int clicks = 0;
  button->OnClick = [&](TObject *) { ++clicks; };
  harness.QtClick(button->Handle(), 5, 5);
  EXPECT_EQ(clicks, 1);
  harness.QtClick(first->Handle(), 5, 5);
  EXPECT_TRUE(first->Focused());
  harness.QtType("7");
  EXPECT_EQ(first->Text(), "7");
  EXPECT_EQ(second->Text(), "");
}

TEST_F(EditFixture, KeyPressHandlerRefusesACharacter) {
  TEdit *edit = Add<TEdit>();
  edit->OnKeyPress = [](TObject *, char &key) {
    if (key == ' ') key = 0;
  };
  harness.Type("a b");
  EXPECT_EQ(edit->Text(), "ab");
}

struct PasteCase {
  const char *clipboard;
  const char *expected;
};

class NumbersOnlyPaste : public EditFixture, public ::testing::WithParamInterface<PasteCase> {};

TEST_P(NumbersOnlyPaste, OnlyDigitsArePasted) {
  TEdit *edit = Add<TEdit>();
  edit->NumbersOnly = true;
  edit->RecreateWnd();
  edit->SetFocus();
  harness.Type("1x");
  Paste(GetParam().clipboard);
  EXPECT_EQ(edit->Text(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Edits, NumbersOnlyPaste,
                         ::testing::Values(PasteCase{"23", "123"}, PasteCase{"2a3", "1"}, PasteCase{"", "1"}));

TEST_F(EditFixture, MaxLengthCountsGbkBytesAndKeepsDoubleByteCharactersWhole) {
  TEdit *edit = Add<TEdit>();
  edit->SetMaxLength(3);
  harness.Type("中文");  // four bytes: the second character does not fit
  EXPECT_EQ(edit->Text(), "中");
  harness.Type("ab");
  EXPECT_EQ(edit->Text(), "中a");
}

TEST_F(EditFixture, SelectionAndTextAreInGbkBytes) {
  TEdit *edit = Add<TEdit>();
  edit->SetText("价格12");
  int changes = 0;
  edit->OnChange = [&](TObject *) { ++changes; };
  edit->SetSelStart(4);
  edit->SetSelLength(2);
  EXPECT_EQ(edit->SelText(), "12");
  harness.Type("9");
  EXPECT_EQ(edit->Text(), "价格9");
  EXPECT_EQ(changes, 1);
}

// A memo's offsets are bytes of the text GetWindowTextA gives, where each
// line break is CR LF: a position found in that text selects the same
// characters.
TEST_F(EditFixture, MemoOffsetsCountEachLineBreakAsTwoBytes) {
  auto *memo = Add<TMemo>();
  const std::string text = "价格\r\n第二行\r\nX:BAD;";
  memo->SetText(text);
  ASSERT_EQ(memo->Text(), text);
  const int at = int(text.find("BAD"));
  memo->SetSelStart(at);
  memo->SetSelLength(3);
  EXPECT_EQ(memo->SelText(), "BAD");
  EXPECT_EQ(memo->SelStart(), at);
}

TEST_F(EditFixture, CopyCutAndPasteGoThroughTheDesktopClipboardInGbk) {
  TEdit *edit = Add<TEdit>();
  edit->SetText("价格12");
  edit->SetSelStart(0);
  edit->SetSelLength(4);
  harness.Key('C', TShiftState(ssCtrl));
  edit->SetSelStart(4);
  edit->SetSelLength(2);
  edit->CutToClipboard();
  EXPECT_EQ(shell.ClipboardWrites(), (std::vector<std::string>{"价格", "12"}));
  EXPECT_EQ(edit->Text(), "价格");
  Paste("成交");
  EXPECT_EQ(edit->Text(), "价格成交");

  edit->SetPasswordChar('*');
  edit->SelectAll();
  edit->CopyToClipboard();  // a password never leaves the box
  EXPECT_EQ(shell.ClipboardWrites().size(), 2u);
}

TEST_F(EditFixture, MemoTakesEnterAndKeepsItsLines) {
  auto *memo = Add<TMemo>();
  harness.Type("one");
  harness.Key(VK_RETURN);
  harness.Type("two");
  ASSERT_EQ(memo->Lines()->Count(), 2);
  EXPECT_EQ(memo->Lines()->Get(1), "two");
  EXPECT_EQ(memo->Text(), "one\r\ntwo");
  memo->Lines()->Insert(0, "zero");
  EXPECT_EQ(memo->Text(), "zero\r\none\r\ntwo");
}

// The edit shows the colour it is given, and its font's colour, in every
// state the parent is asked about: editable, read-only, and after a change.
TEST_F(EditFixture, ColorAndFontColorReachTheEditor) {
  const TColor pale = TColor(RGB(255, 255, 204)), green = TColor(RGB(200, 240, 200));
  TEdit *plain = Add<TEdit>();
  TEdit *field = Add<TEdit>();
  field->SetColor(pale);
  field->Font()->SetColor(clMaroon);
  TEdit *readOnly = Add<TEdit>();
  readOnly->SetReadOnly(true);
  readOnly->SetColor(green);
  // Beyond the text, so only the background is probed.
  auto background = [&](TEdit *e) {
    QImage image = harness.Render(e->Handle());
    QRgb c = image.pixel(image.width() - 4, image.height() / 2);
    return RGB(BYTE(qRed(c)), BYTE(qGreen(c)), BYTE(qBlue(c)));
  };
  EXPECT_EQ(background(plain), RGB(255, 255, 255));
  EXPECT_EQ(background(field), ColorToRGB(pale));
  EXPECT_EQ(background(readOnly), ColorToRGB(green));
  QWidget *editor = platform::WrappedWidget(field->Handle());
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->palette().color(QPalette::Active, QPalette::Text), QColor(128, 0, 0));

  field->SetColor(clAqua);
  EXPECT_EQ(background(field), ColorToRGB(clAqua));
  readOnly->SetReadOnly(false);
  EXPECT_EQ(background(readOnly), ColorToRGB(green)) << "editable again, same colour";
}

TEST_F(EditFixture, AFixedWidthFaceKeepsTheColumnsOfAMemo) {
  // A text table laid out in columns of characters: every single-byte
  // character takes one width in the face drawing maps "宋体" to.
  auto *memo = Add<TMemo>();
  memo->Font()->SetName("宋体");
  memo->Font()->SetHeight(-12);
  QWidget *editor = platform::WrappedWidget(memo->Handle());
  ASSERT_NE(editor, nullptr);
  const QFontMetrics m(editor->font());
  const int four = m.horizontalAdvance(QStringLiteral("iiii"));
  EXPECT_GT(four, 0);
  for (const QString &text : {QStringLiteral("    "), QStringLiteral("WWWW"), QStringLiteral("1.00")})
    EXPECT_EQ(m.horizontalAdvance(text), four) << text.toStdString();
}

TEST_F(EditFixture, TheApplicationSeesTheButtonsAnEditTakes) {
  // An edit takes its buttons itself; the application's message handler
  // still sees them, as it sees all other input (the idle timers count it).
  TEdit *edit = Add<TEdit>();
  std::vector<MSG> seen;
  platform::AppMessageHook previous = platform::SetAppMessageHook([&seen](MSG &msg, bool &) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST && msg.message != WM_MOUSEMOVE) seen.push_back(msg);
  });
  QWidget *editor = platform::WrappedWidget(edit->Handle());
  ASSERT_NE(editor, nullptr);
  const QPointF local(5, 6);
  for (auto [type, buttons] : {std::pair{QEvent::MouseButtonPress, Qt::MouseButtons(Qt::LeftButton)},
                               std::pair{QEvent::MouseButtonRelease, Qt::MouseButtons(Qt::NoButton)}}) {
    QMouseEvent event(type, local, editor->mapToGlobal(local), Qt::LeftButton, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(editor, &event);
  }
  harness.Pump();
  platform::SetAppMessageHook(std::move(previous));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].message, UINT(WM_LBUTTONDOWN));
  EXPECT_EQ(seen[1].message, UINT(WM_LBUTTONUP));
  for (const MSG &msg : seen) {
    EXPECT_EQ(msg.hwnd, edit->Handle());
    EXPECT_EQ(msg.lParam, MAKELPARAM(5, 6));
  }
}

}  // namespace
