#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/gdi.h"
#include "classlib/imglist.h"
#include "classlib/listview.h"
#include "tests/classlib/control_fixture.h"

namespace {

using ListViewTest = ControlTest;

constexpr COLORREF kFrame = RGB(127, 157, 185);
WNDPROC g_headerBefore = nullptr;

// A form's own header painting: white, with a line right of each item.
LRESULT FlatHeaderProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_ERASEBKGND: {
      RECT r;
      GetClientRect(hwnd, &r);
      HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
      FillRect(reinterpret_cast<HDC>(wParam), &r, white);
      DeleteObject(white);
      return 1;
    }
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      HPEN pen = CreatePen(PS_SOLID, 1, kFrame);
      HGDIOBJ old = SelectObject(dc, pen);
      int count = int(SendMessageA(hwnd, HDM_GETITEMCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        RECT item;
        SendMessageA(hwnd, HDM_GETITEMRECT, WPARAM(i), reinterpret_cast<LPARAM>(&item));
        MoveToEx(dc, item.right - 1, item.top, nullptr);
        LineTo(dc, item.right - 1, item.bottom);
      }
      SelectObject(dc, old);
      DeleteObject(pen);
      EndPaint(hwnd, &ps);
      return 0;
    }
    default: return CallWindowProcA(g_headerBefore, hwnd, msg, wParam, lParam);
  }
}

TListView *MakeOrders(ControlTest &t) {
  auto *list = t.Make<TListView>(0, 0, 300, 120);
  const char *captions[] = {"委托时间", "合约", "委托价格"};
  const int widths[] = {61, 50, 60};
  for (int i = 0; i < 3; ++i) {
    TListColumn *column = list->Columns()->Add();
    column->SetCaption(captions[i]);
    column->SetWidth(widths[i]);
    if (i == 2) column->SetAlignment(taRightJustify);
  }
  for (int i = 0; i < 3; ++i) {
    TListItem *item = list->Items()->Add();
    item->SetCaption("09:3" + std::to_string(i));
    item->SubItems()->Add("IF2412");
    item->SubItems()->Add("3512.4");
  }
  return list;
}

TEST_F(ListViewTest, TheHeaderIsAChildWindowThatAFormCanSubclass) {
  TListView *list = MakeOrders(*this);
  ShowForm();
  HWND header = reinterpret_cast<HWND>(SendMessageA(list->Handle(), LVM_GETHEADER, 0, 0));
  ASSERT_TRUE(IsWindow(header));
  EXPECT_EQ(GetParent(header), list->Handle());
  char className[32] = {};
  GetClassNameA(header, className, sizeof className);
  EXPECT_STREQ(className, "SysHeader32");

  // What a header painter reads of the items.
  char text[260] = {};
  HDITEMA item{};
  item.mask = HDI_TEXT | HDI_FORMAT | HDI_ORDER;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  ASSERT_TRUE(SendMessageA(header, HDM_GETITEMA, 2, reinterpret_cast<LPARAM>(&item)));
  EXPECT_STREQ(text, "委托价格");
  EXPECT_EQ(item.fmt & HDF_JUSTIFYMASK, int(HDF_RIGHT));
  EXPECT_EQ(item.iOrder, 2);
  item.cchTextMax = 5;  // a short buffer gets a cut, terminated text
  SendMessageA(header, HDM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
  EXPECT_EQ(std::strlen(text), 4u);
  RECT second{};
  ASSERT_TRUE(SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second)));
  EXPECT_EQ(second.left, 61);
  EXPECT_EQ(second.right, 111);
  EXPECT_FALSE(SendMessageA(header, HDM_GETITEMRECT, 3, reinterpret_cast<LPARAM>(&second)));

  g_headerBefore = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&FlatHeaderProc)));
  InvalidateRect(header, nullptr, TRUE);
  h.Pump();
  EXPECT_EQ(h.Pixel(header, 30, 5), COLORREF(RGB(255, 255, 255)));
  EXPECT_EQ(h.Pixel(header, 60, 5), kFrame);
  EXPECT_EQ(h.Pixel(header, 110, 5), kFrame);
  // The font comes from the list view, through the subclass to the old procedure.
  EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(header, WM_GETFONT, 0, 0)), list->Font()->Handle());
  SetWindowLongPtrA(header, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_headerBefore));
}

TEST_F(ListViewTest, TheHeaderSizesColumnsByTheirDividerAndReportsClicks) {
  TListView *list = MakeOrders(*this);
  std::vector<int> clicked;
  list->OnColumnClick = [&](TObject *, TListColumn *column) { clicked.push_back(column->Index()); };
  ShowForm();
  HWND header = list->HeaderHandle();
  h.MouseDown(header, 61, 5);  // the divider right of the first column
  h.MouseMove(header, 81, 5, MK_LBUTTON);
  h.MouseUp(header, 81, 5);
  EXPECT_EQ(list->Columns()->Items(0)->Width(), 81);
  EXPECT_TRUE(clicked.empty());
  RECT second{};
  SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second));
  EXPECT_EQ(second.left, 81);
  h.Click(header, 100, 5);
  EXPECT_EQ(clicked, std::vector<int>{1});
  // The cells follow the new widths.
  RECT sub{};
  sub.top = 1;
  SendMessageA(list->Handle(), LVM_GETSUBITEMRECT, 0, reinterpret_cast<LPARAM>(&sub));
  EXPECT_EQ(sub.left, 81);
}

TEST_F(ListViewTest, SmallPicturesStandBeforeTheCaptions) {
  TListView *list = MakeOrders(*this);
  auto *images = new TImageList(form.get());
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = 16;
  info.bmiHeader.biHeight = 16;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  void *bits = nullptr;
  HBITMAP red = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(red);
  auto *bytes = static_cast<unsigned char *>(bits);
  for (int i = 0; i < 16 * 16 * 3; i += 3) bytes[i + 2] = 255;  // blue, green, red
  ASSERT_EQ(images->Add(red), 0);
  DeleteObject(red);
  list->SetSmallImages(images);
  list->Items()->Item(1)->ImageIndex = 0;
  ShowForm();
  TRect label = list->Items()->Item(1)->DisplayRect(LVIR_LABEL);
  EXPECT_EQ(label.Left, 18);
  TRect row = list->Items()->Item(1)->DisplayRect();
  EXPECT_EQ(h.Pixel(list, 10, (row.Top + row.Bottom) / 2), COLORREF(RGB(255, 0, 0)));
  delete images;  // the list view lets go of a freed image list
  EXPECT_EQ(list->SmallImages(), nullptr);
  EXPECT_EQ(list->Items()->Item(1)->DisplayRect(LVIR_LABEL).Left, 0);
}

TEST_F(ListViewTest, OwnerDrawsRowsAndSelectionMovesByKeys) {
  TListView *list = MakeOrders(*this);
  list->RowSelect = true;
  list->OnCustomDrawItem = [&](TCustomListView *, TListItem *item, TCustomDrawState state, bool &defaultDraw) {
    TCanvas *canvas = list->Canvas();
    canvas->Brush()->SetColor((state & cdsSelected) ? clNavy : (item->Index() % 2 ? TColor(RGB(245, 245, 245)) : clWhite));
    canvas->FillRect(item->DisplayRect());
    defaultDraw = false;
  };
  std::vector<std::pair<int, bool>> selections;
  list->OnSelectItem = [&](TObject *, TListItem *item, bool selected) { selections.emplace_back(item->Index(), selected); };
  ShowForm();
  list->SetFocus();
  h.Key(VK_DOWN);
  h.Key(VK_DOWN);
  EXPECT_EQ(list->ItemIndex(), 1);
  EXPECT_EQ(selections, (std::vector<std::pair<int, bool>>{{0, true}, {0, false}, {1, true}}));

  int rowY = list->Items()->Item(1)->DisplayRect().Top + 2;
  EXPECT_EQ(h.Pixel(list, 20, rowY), COLORREF(RGB(0, 0, 128)));
  int otherY = list->Items()->Item(2)->DisplayRect().Top + 2;
  EXPECT_EQ(h.Pixel(list, 20, otherY), COLORREF(RGB(255, 255, 255)));
  int oddY = list->Items()->Item(1)->DisplayRect().Top + 2;
  list->SetItemIndex(2);
  h.Pump();
  EXPECT_EQ(h.Pixel(list, 20, oddY), COLORREF(RGB(245, 245, 245)));

  // A click on no row lets the selection go.
  h.Click(list->Handle(), 20, 115);
  EXPECT_EQ(list->Selected(), nullptr);
}

// A step of the user on a multi-select list: a click on a row (-1: below the
// rows) with mouse keys, or a key with the shift keys held.
struct ListViewMultiStep {
  enum { kClick, kRightClick, kKey } kind;
  int rowOrKey;
  unsigned keys;
};

struct ListViewMultiCase {
  const char *name;
  std::vector<ListViewMultiStep> steps;
  const char *selection;  // 'x' for a selected row
  int focused;
};

TEST_F(ListViewTest, MultiSelectFollowsCtrlAndShiftByMouseAndKeys) {
  using S = ListViewMultiStep;
  const unsigned kCtrlKeys = MK_CONTROL, kShiftKeys = MK_SHIFT;
  const unsigned kCtrl = ssCtrl, kShift = ssShift;
  const ListViewMultiCase cases[] = {
      {"plain clicks select one row", {{S::kClick, 1, 0}, {S::kClick, 3, 0}}, "...x..", 3},
      {"ctrl click takes rows in and out",
       {{S::kClick, 1, 0}, {S::kClick, 3, kCtrlKeys}, {S::kClick, 4, kCtrlKeys}, {S::kClick, 1, kCtrlKeys}},
       "...xx.", 1},
      {"shift click selects the run from the anchor, which stays",
       {{S::kClick, 1, 0}, {S::kClick, 4, kShiftKeys}, {S::kClick, 0, kShiftKeys}}, "xx....", 0},
      {"ctrl moves the anchor for the next shift click",
       {{S::kClick, 0, 0}, {S::kClick, 3, kCtrlKeys}, {S::kClick, 5, kShiftKeys}}, "...xxx", 5},
      {"ctrl+shift click adds the run",
       {{S::kClick, 0, 0}, {S::kClick, 3, kCtrlKeys}, {S::kClick, 5, kCtrlKeys | kShiftKeys}}, "x..xxx", 5},
      {"shift arrows grow and shrink the run",
       {{S::kClick, 2, 0}, {S::kKey, VK_DOWN, kShift}, {S::kKey, VK_DOWN, kShift}, {S::kKey, VK_UP, kShift},
        {S::kKey, VK_UP, kShift}, {S::kKey, VK_UP, kShift}},
       ".xx...", 1},
      {"shift+end selects to the last row", {{S::kClick, 3, 0}, {S::kKey, VK_END, kShift}}, "...xxx", 5},
      {"ctrl arrows move the focus alone and ctrl+space takes the row",
       {{S::kClick, 0, 0}, {S::kKey, VK_DOWN, kCtrl}, {S::kKey, VK_DOWN, kCtrl}, {S::kKey, VK_SPACE, kCtrl}},
       "x.x...", 2},
      {"a plain arrow goes back to one row",
       {{S::kClick, 0, 0}, {S::kClick, 2, kCtrlKeys}, {S::kKey, VK_DOWN, 0}}, "...x..", 3},
      {"a right click on a selected row keeps the selection",
       {{S::kClick, 0, 0}, {S::kClick, 2, kCtrlKeys}, {S::kRightClick, 0, 0}}, "x.x...", 0},
      {"a right click elsewhere selects that row alone",
       {{S::kClick, 0, 0}, {S::kClick, 2, kCtrlKeys}, {S::kRightClick, 4, 0}}, "....x.", 4},
      {"a click below the rows lets all go, a ctrl click there keeps them",
       {{S::kClick, 0, 0}, {S::kClick, 2, kCtrlKeys}, {S::kClick, -1, kCtrlKeys}}, "x.x...", 2},
      {"a plain click below the rows", {{S::kClick, 0, 0}, {S::kClick, 2, kCtrlKeys}, {S::kClick, -1, 0}}, "......", 2},
  };
  for (const ListViewMultiCase &c : cases) {
    SCOPED_TRACE(c.name);
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(40, 40, 420, 320);
    auto *list = Make<TListView>(0, 0, 300, 200);
    list->RowSelect = true;
    list->MultiSelect = true;
    list->Columns()->Add()->SetWidth(120);
    for (int i = 0; i < 6; ++i) list->Items()->Add()->SetCaption(std::to_string(i));
    ShowForm();
    list->SetFocus();
    for (const ListViewMultiStep &step : c.steps) {
      if (step.kind == S::kKey) {
        h.Key(step.rowOrKey, TShiftState(step.keys));
        continue;
      }
      const int y = step.rowOrKey < 0 ? 190 : list->Items()->Item(step.rowOrKey)->DisplayRect().Top + 2;
      h.Click(list->Handle(), 20, y, step.kind == S::kRightClick ? mbRight : mbLeft, step.keys);
    }
    std::string marks;
    for (int i = 0; i < list->Items()->Count(); ++i) marks += list->Items()->Item(i)->Selected() ? 'x' : '.';
    EXPECT_EQ(marks, c.selection);
    ASSERT_NE(list->ItemFocused(), nullptr);
    EXPECT_EQ(list->ItemFocused()->Index(), c.focused);
    EXPECT_EQ(SendMessageA(list->Handle(), LVM_GETSELECTEDCOUNT, 0, 0), LRESULT(std::count(marks.begin(), marks.end(), 'x')));
  }
}

TEST_F(ListViewTest, MultiSelectTellsLeavingRowsFirstAndSingleSelectIgnoresCtrl) {
  auto *list = Make<TListView>(0, 0, 300, 200);
  list->RowSelect = true;
  list->Columns()->Add()->SetWidth(120);
  for (int i = 0; i < 4; ++i) list->Items()->Add()->SetCaption(std::to_string(i));
  std::vector<std::pair<int, bool>> told;
  list->OnSelectItem = [&](TObject *, TListItem *item, bool selected) { told.emplace_back(item->Index(), selected); };
  ShowForm();
  const auto rowY = [&](int row) { return list->Items()->Item(row)->DisplayRect().Top + 2; };
  // One row at a time: Ctrl and Shift change nothing.
  h.Click(list->Handle(), 20, rowY(0));
  h.Click(list->Handle(), 20, rowY(2), mbLeft, MK_CONTROL);
  h.Click(list->Handle(), 20, rowY(3), mbLeft, MK_SHIFT);
  EXPECT_EQ(list->SelCount(), 1);
  EXPECT_EQ(list->ItemIndex(), 3);

  list->MultiSelect = true;
  h.Click(list->Handle(), 20, rowY(1), mbLeft, MK_CONTROL);
  told.clear();
  h.Click(list->Handle(), 20, rowY(0), mbLeft, MK_SHIFT);  // the run 1..0 from the anchor row 1
  EXPECT_EQ(told, (std::vector<std::pair<int, bool>>{{3, false}, {0, true}}));
  told.clear();
  h.Click(list->Handle(), 20, rowY(2));
  EXPECT_EQ(told, (std::vector<std::pair<int, bool>>{{0, false}, {1, false}, {2, true}}));
  // Setting the selected row selects that one alone.
  h.Click(list->Handle(), 20, rowY(3), mbLeft, MK_CONTROL);
  list->SetSelected(list->Items()->Item(0));
  EXPECT_EQ(list->SelCount(), 1);
  EXPECT_EQ(list->ItemIndex(), 0);
}

}  // namespace
