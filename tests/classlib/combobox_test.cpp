#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "classlib/combobox.h"
#include "tests/classlib/control_fixture.h"

namespace {

struct ComboBoxTest : ControlTest {
  TComboBox *MakeCombo(TComboBoxStyle style) {
    auto *combo = Make<TComboBox>(10, 10, 120, 21);
    combo->SetStyle(style);
    for (const char *text : {"1.开仓", "2.平今", "3.平仓"}) combo->Items()->Add(text);
    combo->OnClick = [this](TObject *) { events.push_back("click"); };
    combo->OnChange = [this](TObject *) { events.push_back("change"); };
    combo->OnSelect = [this](TObject *) { events.push_back("select"); };
    return combo;
  }
  std::vector<std::string> events;
};

TEST_F(ComboBoxTest, UserSelectionRaisesEventsAndCodeDoesNot) {
  TComboBox *combo = MakeCombo(csDropDownList);
  ShowForm();
  combo->SetFocus();
  h.Key(VK_DOWN);
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "select", "change"}));
  h.Key(VK_UP);  // already at the first item
  EXPECT_EQ(events.size(), 3u);

  events.clear();
  combo->SetItemIndex(2);
  combo->SetText("2.平今");
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "2.平今");
  combo->SetText("none such");  // a list keeps its selection
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_TRUE(events.empty());
}

TEST_F(ComboBoxTest, TheDroppedListPicksByKeysAndByMouse) {
  TComboBox *combo = MakeCombo(csDropDownList);
  int drops = 0, closes = 0;
  combo->OnDropDown = [&](TObject *) { ++drops; };
  combo->OnCloseUp = [&](TObject *) { ++closes; };
  ShowForm();
  combo->SetFocus();
  h.Key(VK_F1 + 3);  // F4
  ASSERT_TRUE(combo->DroppedDown());
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(SendMessageA(combo->Handle(), CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(&info)));
  EXPECT_TRUE(IsWindowVisible(info.hwndList));
  h.Key(VK_DOWN);
  h.Key(VK_DOWN);
  EXPECT_TRUE(events.empty());  // moving inside the open list picks nothing yet
  h.Key(VK_RETURN);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(events, (std::vector<std::string>{"click", "select", "change"}));

  // The drop button opens it, a release over an item picks that item.
  events.clear();
  TRect button = combo->ButtonRect();
  h.Click(combo->Handle(), button.Left + 5, 10);
  ASSERT_TRUE(combo->DroppedDown());
  h.MouseUp(info.hwndList, 20, 2 * combo->ItemHeight() + 5);
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_FALSE(combo->DroppedDown());
  // A press outside the list closes it and changes nothing.
  h.Click(combo->Handle(), button.Left + 5, 10);
  h.MouseDown(info.hwndList, -30, -30);
  EXPECT_FALSE(combo->DroppedDown());
  EXPECT_EQ(combo->ItemIndex(), 2);
  EXPECT_EQ(drops, 3);
  EXPECT_EQ(closes, 3);
}

TEST_F(ComboBoxTest, ADropDownBoxEditsInAChildEditWindow) {
  TComboBox *combo = MakeCombo(csDropDown);
  ShowForm();
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(SendMessageA(combo->Handle(), CB_GETCOMBOBOXINFO, 0, reinterpret_cast<LPARAM>(&info)));
  ASSERT_NE(info.hwndItem, combo->Handle());
  EXPECT_EQ(GetParent(info.hwndItem), combo->Handle());
  EXPECT_EQ(TWinControl::FromHandle(info.hwndItem), combo->Edit());

  combo->SetText("2.平今");  // by code: selected, no event
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_TRUE(events.empty());
  combo->SetFocus();
  h.Type("9");
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(events, std::vector<std::string>{"change"});
  h.QtType("5");  // typed on the keyboard reaches the edit through our messages
  EXPECT_EQ(combo->Text(), "2.平今95");
  EXPECT_EQ(events.size(), 2u);
  h.Key(VK_DOWN);  // arrows in the edit still step through the items
  EXPECT_EQ(combo->ItemIndex(), 0);
  EXPECT_EQ(combo->Text(), "1.开仓");

  // The caret put behind the text through the box (byte offsets, GBK):
  // what is typed next is appended, not put in front.
  const int end = int(combo->Text().size());
  EXPECT_EQ(SendMessageA(combo->Handle(), CB_SETEDITSEL, 0, MAKELPARAM(end, end)), TRUE);
  DWORD start = 99, stop = 99;
  SendMessageA(combo->Handle(), CB_GETEDITSEL, WPARAM(&start), LPARAM(&stop));
  EXPECT_EQ(start, DWORD(end));
  EXPECT_EQ(stop, DWORD(end));
  h.Type("7");
  EXPECT_EQ(combo->Text(), "1.开仓7");
  // A list-only box has no edit to select in.
  TComboBox *list = MakeCombo(csDropDownList);
  EXPECT_EQ(SendMessageA(list->Handle(), CB_SETEDITSEL, 0, 0), LRESULT(CB_ERR));
}

}  // namespace
