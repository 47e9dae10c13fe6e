#include <gtest/gtest.h>

#include "core/xpcombobox.h"
#include "core/xpdatetimepicker.h"
#include "testing/msgbox_recorder.h"
#include "tests/core/xp_test_support.h"

namespace {

using xp_test::FramePixel;

constexpr COLORREF kNormal = RGB(183, 207, 251), kPressed = RGB(138, 165, 244), kHot = RGB(221, 239, 253);

class XPCombo : public ::testing::Test {
 protected:
  void SetUp() override {
    TXPComboBox::OSVersionCode = 0;
    combo = new TXPComboBox(&form.form);
    combo->SetParent(&form.form);
    combo->SetBounds(10, 10, 120, 21);
    combo->SetColor(RGB(255, 255, 255));
    combo->Items()->Add("one");
    combo->Handle();
    h.Pump();
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    SendMessageA(combo->Handle(), CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(&info));
    button = info.rcButton;
  }
  void TearDown() override { TXPComboBox::OSVersionCode = 0; }
  // A pixel inside the drop button, clear of the arrow.
  COLORREF ButtonFace() { return h.Pixel(combo->Handle(), button.right - 2, button.top + 1); }

  testing_support::ViewHarness h;
  xp_test::Form form{h};
  TXPComboBox *combo = nullptr;
  RECT button{};
};

TEST_F(XPCombo, FlatFrameButtonAndArrow) {
  HWND w = combo->Handle();
  EXPECT_EQ(TXPComboBox::OSVersionCode, 50001);
  EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_EXSTYLE)) & (WS_EX_STATICEDGE | WS_EX_CLIENTEDGE), DWORD(WS_EX_STATICEDGE));
  EXPECT_EQ(FramePixel(w, 0, 0), XPFrameColor);
  EXPECT_EQ(FramePixel(w, 119, 20), XPFrameColor);
  EXPECT_EQ(ButtonFace(), kNormal);
  EXPECT_EQ(h.Pixel(w, button.left, button.top + 3), XPFrameColor);
  // The text field has no edge of its own inside the box's.
  EXPECT_EQ(DWORD(GetWindowLongA(combo->Edit()->Handle(), GWL_EXSTYLE)) & WS_EX_CLIENTEDGE, 0u);
  // The face colour over the edge at the top and left of the text field.
  EXPECT_EQ(h.Pixel(w, 0, 5), RGB(255, 255, 255));
  EXPECT_EQ(h.Pixel(w, 5, 1), RGB(255, 255, 255));
  // The arrow around its centre.
  const int top = button.top - 2;
  const int x = button.left + (button.right - button.left - 1) / 2, y = top + (button.bottom - top) / 2;
  const COLORREF arrow = RGB(77, 97, 133);
  for (POINT p : {POINT{x - 3, y - 2}, POINT{x + 3, y - 2}, POINT{x - 4, y - 1}, POINT{x + 4, y - 1}, POINT{x - 1, y},
                  POINT{x + 1, y}, POINT{x + 2, y + 1}, POINT{x, y + 3}})
    EXPECT_EQ(h.Pixel(w, p.x, p.y), arrow) << p.x - x << "," << p.y - y;
  for (POINT p : {POINT{x, y}, POINT{x, y - 1}, POINT{x - 3, y + 1}, POINT{x, y + 4}})
    EXPECT_EQ(h.Pixel(w, p.x, p.y), kNormal) << p.x - x << "," << p.y - y;
}

TEST_F(XPCombo, ButtonFollowsTheMouse) {
  HWND w = combo->Handle();
  // Over the edge left of the text field: the combo box itself gets the mouse.
  xp_test::Hover(h, w, 1, 5);
  EXPECT_TRUE(combo->Hot());
  EXPECT_EQ(ButtonFace(), kHot);
  h.MouseDown(w, 1, 5);
  EXPECT_EQ(combo->ButtonState(), 1);  // shown from the next paint on
  combo->Invalidate();
  EXPECT_EQ(ButtonFace(), kPressed);
  h.MouseMove(w, 2, 6, MK_LBUTTON);  // the pointer stays where it is
  EXPECT_EQ(ButtonFace(), kPressed);
  h.MouseUp(w, 2, 6);
  EXPECT_EQ(combo->ButtonState(), 2);  // released over it: hot from the next paint on
  combo->Invalidate();
  EXPECT_EQ(ButtonFace(), kHot);
  xp_test::Hover(h, w, 2, 7);
  EXPECT_EQ(ButtonFace(), kHot);
  // A double click is two button-downs.
  h.DoubleClick(w, 1, 5);
  EXPECT_EQ(combo->ButtonState(), 2);
  PostMessageA(w, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(1, 5));
  h.Pump();
  EXPECT_EQ(combo->ButtonState(), 1);
  h.MouseUp(w, 1, 5);
  xp_test::Leave(h, w);
  EXPECT_FALSE(combo->Hot());
  EXPECT_EQ(combo->ButtonState(), 0);
  EXPECT_EQ(ButtonFace(), kNormal);
}

TEST_F(XPCombo, BeforeTheXPLookItIsThePlainComboBox) {
  TXPComboBox::OSVersionCode = 50000;
  auto *plain = new TXPComboBox(&form.form);
  plain->SetParent(&form.form);
  plain->SetBounds(10, 50, 120, 21);
  HWND w = plain->Handle();
  h.Pump();
  EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_EXSTYLE)) & WS_EX_STATICEDGE, 0u);
  xp_test::Hover(h, w, 1, 5);
  EXPECT_FALSE(plain->Hot());
  TRect b = plain->ButtonRect();
  EXPECT_EQ(h.Pixel(w, b.Right - 3, b.Top + 2), GetSysColor(COLOR_BTNFACE));
}

// ---- date edit --------------------------------------------------------------------------
class XPDate : public ::testing::Test {
 protected:
  void SetUp() override {
    first = new TEdit(&form.form);
    first->SetParent(&form.form);
    first->SetBounds(10, 10, 60, 20);
    date = new TXPDateTimePicker(&form.form);
    date->SetBounds(10, 40, 100, 22);  // the edit is made at the size the window is made with
    date->SetParent(&form.form);
    date->TabStop = true;
    date->Handle();
    h.Pump();
  }
  std::string EditText() {
    char text[64] = {};
    GetWindowTextA(date->EditHandle(), text, sizeof text);
    return text;
  }
  MessageBoxRecorder boxes;
  testing_support::ViewHarness h;
  xp_test::Form form{h};
  TEdit *first = nullptr;
  TXPDateTimePicker *date = nullptr;
};

TEST_F(XPDate, SeparatorsBecomeDashesAndOnlyDigitsPass) {
  HWND edit = date->EditHandle();
  ASSERT_NE(edit, nullptr);
  RECT r;
  GetWindowRect(edit, &r);
  EXPECT_EQ(r.right - r.left, 100 - 12);
  EXPECT_EQ(r.bottom - r.top, 22 - 4);
  EXPECT_EQ(GetWindowLongA(edit, GWL_ID), 1001);

  struct Case {
    const char *typed, *text;
  };
  ::SetFocus(edit);
  for (const Case &c : {Case{"2024/05/06", "2024-05-06"}, Case{"2024.5.6", "2024-5-6"}, Case{"1,2\\3-4", "1-2-3-4"},
                        Case{"ab 12x", "12"}, Case{"--", "--"}}) {
    SetWindowTextA(edit, "");
    h.Type(c.typed, edit);
    EXPECT_EQ(EditText(), c.text) << c.typed;
  }
  SendMessageA(edit, WM_CHAR, 8, 0);
  EXPECT_EQ(EditText(), "-");
  // Keys that reach the box go on to the edit.
  SetFocus(date->Handle());
  SetFocus(edit);
  SendMessageA(date->Handle(), WM_KEYDOWN, VK_END, 0);
  // Nothing is shown to the user along the way.
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(XPDate, TabSelectsTheWholeTextAndTheFrameIsFlat) {
  HWND edit = date->EditHandle();
  SetWindowTextA(edit, "2024-01-02");
  first->SetFocus();
  h.Pump();
  h.Key(VK_TAB);
  EXPECT_EQ(GetFocus(), edit);
  DWORD start = 0, end = 0;
  SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(end, 10u);
  HWND w = date->Handle();
  EXPECT_EQ(DWORD(GetWindowLongA(w, GWL_STYLE)) & (WS_TABSTOP | WS_BORDER), DWORD(WS_TABSTOP));
  EXPECT_EQ(FramePixel(w, 0, 0), XPFrameColor);
  EXPECT_EQ(FramePixel(w, 99, 21), XPFrameColor);
  EXPECT_EQ(boxes.Count(), 0u);
}

}  // namespace
