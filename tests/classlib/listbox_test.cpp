#include <gtest/gtest.h>

#include <vector>

#include "platform/gdi.h"
#include "classlib/listbox.h"
#include "tests/classlib/control_fixture.h"

namespace {

using ListBoxTest = ControlTest;

const TColor kItemColors[] = {clRed, clLime, clBlue};

TEST_F(ListBoxTest, OwnerDrawnItemsArePaintedByTheirOwnerInTheirRectangles) {
  auto *list = Make<TListBox>(0, 0, 100, 80);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  for (const char *text : {"a", "b", "c"}) list->Items()->Add(text);
  std::vector<TRect> rects;
  list->OnDrawItem = [&](TWinControl *, int index, TRect rect, TOwnerDrawState) {
    rects.push_back(rect);
    list->Canvas()->Brush()->SetColor(kItemColors[index]);
    list->Canvas()->FillRect(rect);
  };
  ShowForm();
  ASSERT_GE(rects.size(), 3u);
  EXPECT_EQ(rects[1], Rect(0, 20, 100, 40));
  EXPECT_EQ(h.Pixel(list, 50, 10), COLORREF(RGB(255, 0, 0)));
  EXPECT_EQ(h.Pixel(list, 50, 30), COLORREF(RGB(0, 255, 0)));
  EXPECT_EQ(h.Pixel(list, 50, 50), COLORREF(RGB(0, 0, 255)));
  EXPECT_EQ(h.Pixel(list, 50, 70), ColorToRGB(clWindow));  // below the items

  // A standard list draws its own items and never asks.
  rects.clear();
  list->SetStyle(lbStandard);
  h.Pump();
  EXPECT_TRUE(rects.empty());
  EXPECT_EQ(h.Pixel(list, 95, 10), ColorToRGB(clWindow));
}

TEST_F(ListBoxTest, VariableItemsTakeTheHeightTheirOwnerMeasures) {
  auto *list = Make<TListBox>(0, 0, 100, 60);
  list->SetStyle(lbOwnerDrawVariable);
  for (const char *text : {"a", "b", "c", "d"}) list->Items()->Add(text);
  list->OnMeasureItem = [](TWinControl *, int index, int &height) { height = 10 + 5 * index; };
  std::vector<std::pair<int, TRect>> drawn;
  list->OnDrawItem = [&](TWinControl *, int index, TRect rect, TOwnerDrawState) { drawn.emplace_back(index, rect); };
  ShowForm();
  EXPECT_EQ(list->ItemRect(2), Rect(0, 25, 100, 45));
  EXPECT_EQ(SendMessageA(list->Handle(), LB_GETITEMHEIGHT, 2, 0), 20);
  for (WPARAM past : {WPARAM(4), WPARAM(-1)})  // no item there: its owner is not asked
    EXPECT_EQ(SendMessageA(list->Handle(), LB_GETITEMHEIGHT, past, 0), LB_ERR) << intptr_t(past);
  EXPECT_EQ(list->ItemAtPos(Point(5, 47)), 3);
  EXPECT_EQ(list->VisibleCount(), 3);  // the fourth item (45..70) is cut off
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back().first, 3);    // but drawn as far as it shows
  list->SetItemIndex(3);
  EXPECT_EQ(list->TopIndex(), 1);      // shown whole: 15 + 20 + 25 = 60
}

TEST_F(ListBoxTest, AWindowProcedureThatTakesTheOwnerDrawMessageReplacesOnDrawItem) {
  auto *list = Make<TListBox>(0, 0, 100, 80);
  list->SetStyle(lbOwnerDrawFixed);
  list->SetItemHeight(20);
  list->Items()->Add("a");
  list->Items()->Add("b");
  list->SetItemIndex(1);
  bool onDrawItem = false;
  list->OnDrawItem = [&](TWinControl *, int, TRect, TOwnerDrawState) { onDrawItem = true; };
  std::vector<DRAWITEMSTRUCT> records;
  KeepWindowProc keep(list);
  TWndMethod inherited = keep.inherited;
  list->WindowProc = [&](TMessage &m) {
    if (m.Msg == CN_DRAWITEM) {
      auto *record = reinterpret_cast<DRAWITEMSTRUCT *>(m.LParam);
      records.push_back(*record);
      HBRUSH brush = CreateSolidBrush(RGB(0, 0, 128));
      FillRect(record->hDC, &record->rcItem, brush);
      DeleteObject(brush);
      m.Result = 1;
      return;
    }
    inherited(m);
  };
  ShowForm();
  ASSERT_GE(records.size(), 2u);
  EXPECT_FALSE(onDrawItem);
  EXPECT_EQ(records[0].CtlType, UINT(ODT_LISTBOX));
  EXPECT_EQ(records[0].hwndItem, list->Handle());
  EXPECT_EQ(records[1].itemID, 1u);
  EXPECT_TRUE(records[1].itemState & ODS_SELECTED);
  EXPECT_FALSE(records[0].itemState & ODS_SELECTED);
  EXPECT_EQ(h.Pixel(list, 50, 30), COLORREF(RGB(0, 0, 128)));
}

TEST_F(ListBoxTest, KeysAndClicksSelectAndReportTheSelection) {
  auto *list = Make<TListBox>(0, 0, 100, 48);  // three 16-pixel items show
  for (int i = 0; i < 10; ++i) list->Items()->Add("item " + std::to_string(i));
  int clicks = 0;
  list->OnClick = [&](TObject *) { ++clicks; };
  ShowForm();
  list->SetFocus();
  h.Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 0);
  h.Key(VK_END);
  EXPECT_EQ(list->ItemIndex(), 9);
  EXPECT_EQ(list->TopIndex(), 7);
  EXPECT_EQ(clicks, 2);
  h.Click(list->Handle(), 10, 20);  // second shown item
  EXPECT_EQ(list->ItemIndex(), 8);
  EXPECT_EQ(clicks, 3);
  list->SetItemIndex(2);  // by code: no event
  EXPECT_EQ(clicks, 3);
  list->Items()->Delete(0);  // the selection follows its item
  EXPECT_EQ(list->ItemIndex(), 1);
  list->Items()->Delete(1);
  EXPECT_EQ(list->ItemIndex(), -1);
}

TEST_F(ListBoxTest, MultiSelectTakesRunsAndSingleItemsByShiftAndCtrl) {
  auto *list = Make<TListBox>(0, 0, 100, 96);
  list->MultiSelect = true;
  for (int i = 0; i < 6; ++i) list->Items()->Add(std::to_string(i));
  ShowForm();
  auto selection = [&] {
    std::string marks;
    for (int i = 0; i < list->Count(); ++i) marks += list->Selected(i) ? 'x' : '.';
    return marks;
  };
  h.Click(list->Handle(), 10, 8);                // item 0
  h.Click(list->Handle(), 10, 40, mbLeft, MK_SHIFT);  // items 0 to 2
  EXPECT_EQ(selection(), "xxx...");
  h.Click(list->Handle(), 10, 72, mbLeft, MK_CONTROL);  // item 4 added
  h.Click(list->Handle(), 10, 24, mbLeft, MK_CONTROL);  // item 1 taken away
  EXPECT_EQ(selection(), "x.x.x.");
  EXPECT_EQ(list->SelCount(), 3);
  EXPECT_EQ(list->ItemIndex(), 1);  // the focus follows the last click
  h.Key(VK_DOWN);  // a plain arrow selects one
  EXPECT_EQ(selection(), "..x...");
  h.Key(VK_DOWN, ssShift);
  EXPECT_EQ(selection(), "..xx..");
  list->Items()->Delete(0);  // marks stay with their items
  EXPECT_EQ(selection(), ".xx..");
}

TEST_F(ListBoxTest, CheckListTogglesByBoxClickAndSpace) {
  auto *list = Make<TCheckListBox>(0, 0, 120, 60);
  list->Items()->Add("x");
  list->Items()->Add("y");
  int checks = 0;
  list->OnClickCheck = [&](TObject *) { ++checks; };
  ShowForm();
  h.Click(list->Handle(), 6, 24);  // the box of the second item
  EXPECT_TRUE(list->Checked(1));
  EXPECT_EQ(list->ItemIndex(), 1);
  h.Click(list->Handle(), 60, 8);  // the text of the first item selects only
  EXPECT_FALSE(list->Checked(0));
  h.Key(VK_SPACE);
  EXPECT_TRUE(list->Checked(0));
  EXPECT_EQ(checks, 2);
  list->Items()->Insert(0, "new");  // checks stay with their items
  EXPECT_FALSE(list->Checked(0));
  EXPECT_TRUE(list->Checked(1));
  EXPECT_TRUE(list->Checked(2));
}

}  // namespace
