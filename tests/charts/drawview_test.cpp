// The chart base view in a pane: its command box, information panel,
// cross-hair, menus, blocks, printing and trade marks.
#include <QImage>

#include <cstdio>
#include <filesystem>

#include "charts/quotepanel.h"
#include "platform/gdi.h"
#include "platform/winuser.h"
#include "testing/image_capture.h"
#include "testing/print_dialog_standin.h"
#include "tests/charts/chart_world.h"

namespace charts_test {
namespace {

using testing_support::TDrawViewDouble;

// The window's client image as it is now, pixel by pixel.
std::vector<uint32_t> Grab(HWND hwnd, int width, int height) {
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) pixels[size_t(y) * size_t(width) + size_t(x)] = testing_support::WindowPixel(hwnd, x, y);
  return pixels;
}

TEST_F(ChartWorld, CommandBoxHasFivePlacesInAKLineViewAndThreeElsewhere) {
  struct Case {
    int type;
    std::vector<int> kinds;
  } cases[] = {{VIEW_TYPE_KLINE, {8, -1, 5, 6, 7}}, {VIEW_TYPE_INTRADAY, {5, 6, 7}}};
  for (const Case &c : cases) {
    auto page = OpenChart(Stock(SH, 1), c.type);
    TDrawViewDouble *view = Chart(*page);
    ASSERT_TRUE(view && view->CmdBox) << c.type;
    std::vector<int> kinds(view->CmdBox->m_kinds, view->CmdBox->m_kinds + view->CmdBox->m_count);
    EXPECT_EQ(kinds, c.kinds) << c.type;
  }
}

TEST_F(ChartWorld, NarrowPaneHidesThePanelAndKeepsTheUsersChoice) {
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  ASSERT_TRUE(view);
  if (!view->N5->Checked) view->N5Click();
  ASSERT_TRUE(view->Panel1->Visible());
  const int width = view->Panel1->Width();

  page->Window()->SetBounds(0, 0, width + 60, 400);
  harness_.Pump();
  EXPECT_FALSE(view->Panel1->Visible());
  EXPECT_TRUE(view->N5->Checked);

  page->Window()->SetBounds(0, 0, width + 300, 400);
  harness_.Pump();
  EXPECT_TRUE(view->Panel1->Visible());
  // The command box sits left of the panel.
  RECT box;
  GetWindowRect(view->CmdBox->m_hWnd, &box);
  POINT corner{box.left, box.top};
  ScreenToClient(view->Handle(), &corner);
  EXPECT_EQ(corner.x, view->Panel1->Left() - view->CmdBox->m_width - 1);
}

TEST_F(ChartWorld, InfoWindowItemTogglesThePanelAndTellsTheView) {
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  const bool before = view->Panel1->Visible();
  view->N5Click();
  EXPECT_EQ(view->Panel1->Visible(), !before);
  EXPECT_EQ(view->N5->Checked, !before);
  EXPECT_EQ(view->panelToggles, 1);
}

TEST_F(ChartWorld, CrossHairTestIsInclusiveAndXorTwiceLeavesTheImage) {
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  if (view->Panel1->Visible()) view->N5Click();
  harness_.Pump();
  HWND hwnd = view->Handle();
  view->CrossHairRect = TRect(10, 10, 100, 80);
  const std::vector<uint32_t> before = Grab(hwnd, 120, 100);
  const COLORREF background = testing_support::WindowPixel(hwnd, 50, 80);

  // A point on the right and bottom edges is inside.
  view->DrawCrossHair(0, 100, 80, true);
  EXPECT_NE(testing_support::WindowPixel(hwnd, 50, 80), background);
  EXPECT_NE(testing_support::WindowPixel(hwnd, 100, 50), background);
  // Moving outside takes the lines away and draws none; the point is kept.
  view->DrawCrossHair(0, 101, 50, false);
  EXPECT_EQ(view->CrossHairX, 101);
  EXPECT_EQ(view->CrossHairY, 50);
  EXPECT_EQ(Grab(hwnd, 120, 100), before);
}

TEST_F(ChartWorld, MouseMovesDrawTheCrossHairOnlyInCrossHairMode) {
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  if (view->Panel1->Visible()) view->N5Click();
  harness_.Pump();
  view->FormMouseMove(nullptr, TShiftState(), 40, 40);
  EXPECT_FALSE(view->CrossHairShown);
  EXPECT_EQ(view->LastMouseX, 40);
  view->CrossHairMode = true;
  view->FormMouseMove(nullptr, TShiftState(), 50, 50);
  EXPECT_TRUE(view->CrossHairShown);
  view->EraseCrossHair();
  EXPECT_FALSE(view->CrossHairShown);
}

TEST_F(ChartWorld, MenuCaptionsCarryTheHotKeys) {
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  // No key anywhere: the captions end in their blanks, the alarm item has its own text.
  view->UpdateMenuCaptions();
  EXPECT_EQ(view->Tickfm->Caption, "闪电图        ");
  EXPECT_EQ(view->A2->Caption, "加入预警(&A)");
  ViewDisplay().hotKey = [](int command, uint32_t *flags, char keys[16]) {
    if (command == 81) return false;
    *flags = command == 66 ? 1 : 0;
    std::snprintf(keys, 16, "%s", command == 66 ? "L" : "0");
    return true;
  };
  view->UpdateMenuCaptions();
  EXPECT_EQ(view->Tickfm->Caption, "闪电图        0");
  EXPECT_EQ(view->N5->Caption, "信息窗口      CTRL+L");
  EXPECT_EQ(view->A2->Caption, "加入预警(&A)");
  ViewDisplay().hotKey = [](int, uint32_t *flags, char keys[16]) {
    *flags = 0;
    std::snprintf(keys, 16, "7");
    return true;
  };
  view->UpdateMenuCaptions();
  EXPECT_EQ(view->A2->Caption, "加入预警      7");
}

TEST_F(ChartWorld, PopupOffersUserBlocksAndHidesWhatAnIndexLacks) {
  auto index = OpenChart(Stock(SH, 0));
  TDrawViewDouble *view = Chart(*index);
  view->PopupMenu1Popup();
  EXPECT_FALSE(view->Tickfm->Visible);
  EXPECT_FALSE(view->dadantiqu->Visible);
  EXPECT_FALSE(view->showbroker->Visible);
  ASSERT_EQ(view->AddBk->Count(), 1);
  EXPECT_EQ(view->AddBk->Items(0)->Caption, "自选 一");
  index.reset();
  auto hk = OpenChart(Stock(HK, 0));
  Chart(*hk)->PopupMenu1Popup();
  EXPECT_TRUE(Chart(*hk)->Tickfm->Visible);
  EXPECT_TRUE(Chart(*hk)->showbroker->Visible);
}

TEST_F(ChartWorld, AddingToABlockRefusesAFullBlockOrAKnownMemberSilently) {
  auto page = OpenChart(Stock(DL, 0));
  TDrawViewDouble *view = Chart(*page);
  BLOCK *block = FindBlockByName("自选 一");
  ASSERT_TRUE(block);
  std::vector<std::string> told;
  ViewServices().notifyViews = [&](int code, uint32_t stock, intptr_t first, intptr_t) {
    told.push_back(std::to_string(code) + " " + std::to_string(stock) + " " + std::to_string(first));
  };
  const std::string expected = "10 " + std::to_string(view->m_attr.stock.Word()) + " " + std::to_string(block->blockId);

  view->AddShownInstrumentToBlock(block->blockId);  // new: appended
  EXPECT_EQ(block->memberCount, 2);
  view->AddShownInstrumentToBlock(block->blockId);  // known: nothing
  EXPECT_EQ(block->memberCount, 2);
  block->memberCount = kMaxBlockMembers;
  view->Notify(1, Stock(DL, 2).Word(), 0, 0);
  view->AddShownInstrumentToBlock(block->blockId);  // full: nothing
  EXPECT_EQ(block->memberCount, kMaxBlockMembers);
  EXPECT_EQ(told.size(), 3u);
  EXPECT_EQ(told[0], expected);
  EXPECT_TRUE(boxes_.Calls().empty());
}

TEST_F(ChartWorld, PrintLayoutTurnsWhenThePageAndTheViewDisagree) {
  struct Case {
    int pageW, pageH, viewW, viewH;
    bool turned;
  } cases[] = {
      {2480, 3508, 640, 400, true},   // a wide view on an upright page
      {2480, 3508, 400, 640, false},  // a tall view stays upright
      {3508, 2480, 640, 400, false},
      {3508, 2480, 400, 640, true},
      {2480, 3508, 500, 500, false},  // a square view is never turned
  };
  for (const Case &c : cases)
    EXPECT_EQ(ComputePrintLayout(c.pageW, c.pageH, c.viewW, c.viewH).turned, c.turned)
        << c.pageW << "x" << c.pageH << " " << c.viewW << "x" << c.viewH;
  const TPrintLayout l = ComputePrintLayout(2480, 3508, 640, 400);
  EXPECT_EQ(l.marginX, 124);
  EXPECT_EQ(l.marginY, 175);
  EXPECT_EQ(l.width, 1972);   // trunc(400 x 3158 / 640) - 1
  EXPECT_EQ(l.height, 3157);  // trunc(640 x 3158 / 640) - 1
}

TEST_F(ChartWorld, PrintPictureWhitensTheBackgroundsAndTurns) {
  const COLORREF white[] = {ViewColor(1), ViewColor(64)};
  auto pixel = [](COLORREF c) { return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c); };
  // 3 x 2: background, a line colour, the unit row colour / line, background, line.
  const uint32_t image[] = {pixel(ViewColor(1)), pixel(ViewColor(2)), pixel(ViewColor(64)),
                            pixel(ViewColor(2)), pixel(ViewColor(1)), pixel(ViewColor(5))};
  uint32_t upright[6], turned[6];
  MakePrintPicture(image, 3, 2, false, white, 2, upright);
  EXPECT_EQ(std::vector<uint32_t>(upright, upright + 6),
            (std::vector<uint32_t>{0xFFFFFF, 0, 0xFFFFFF, 0, 0xFFFFFF, 0}));
  // Turned: (x, y) goes to (1 - y, x) of a 2 x 3 picture.
  MakePrintPicture(image, 3, 2, true, white, 2, turned);
  EXPECT_EQ(std::vector<uint32_t>(turned, turned + 6),
            (std::vector<uint32_t>{0, 0xFFFFFF, 0xFFFFFF, 0, 0, 0xFFFFFF}));
}

TEST_F(ChartWorld, PrintingWritesTheDocumentAndLeavesTheRebuildFlag) {
  PutQuote(SH, 1);
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  {
    PrintDialogStandIn cancelled("");
    view->Print();
    EXPECT_EQ(cancelled.Shown(), 1);
    EXPECT_EQ(view->PaintFlags, 0u);
  }
  const std::string pdf = box_.Path("chart.pdf");
  PrintDialogStandIn dialog(pdf);
  view->Print();
  EXPECT_TRUE(boxes_.Calls().empty());
  EXPECT_GT(std::filesystem::file_size(pdf), 0u);
  EXPECT_EQ(view->PaintFlags & kPaintForPrint, 0u);
}

TEST_F(ChartWorld, TradeMarksAskByContractCodeAndItsShortForm) {
  struct Case {
    STKPTR stock;
    const char *call;  // empty: not asked
  } cases[] = {
      {Stock(DL, 1), "GetChartTradeMarks [] [CU2405] [CU405] 4 4"},  // kind 2, six characters
      {Stock(DL, 0), "GetChartTradeMarks [] [M2401] [] 4 4"},
      {Stock(DL, 2), "GetChartTradeMarks [] [XYZ1234] [] 4 4"},  // a full field, read bounded
      {Stock(SH, 1), ""},                                          // not a trading market
  };
  auto page = OpenChart(Stock(SH, 1));
  TDrawViewDouble *view = Chart(*page);
  for (const Case &c : cases) {
    host_.Clear();
    view->m_attr.stock = c.stock;
    view->LoadTradeMarks();
    const auto calls = host_.Calls("GetChartTradeMarks");
    if (!*c.call)
      EXPECT_TRUE(calls.empty());
    else
      EXPECT_EQ(calls, std::vector<std::string>{c.call}) << c.stock.Word();
  }
}

TEST_F(ChartWorld, ClosingGivesTheInstrumentListBack) {
  const STKPTR list[] = {Stock(SH, 1), Stock(DL, 0)};
  const int before = LiveViewStockLists();
  VIEW_ATTR_13 record{};
  InitViewAttr(VIEW_TYPE_INTRADAY, &record);
  record.stock = list[0];
  record.SetHandOverList(NewViewStockList(list, 2));
  record.SetHandOverPosition(1);
  {
    testing_support::ViewPage page(VIEW_TYPE_INTRADAY, &record);
    harness_.Pump();
    TDrawViewDouble *view = Chart(page);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->StockList, record.HandOverList());
    EXPECT_EQ(view->StockListPosition, 1u);
    EXPECT_EQ(view->m_attr.HandOverList(), 0u);
  }
  EXPECT_EQ(LiveViewStockLists(), before);
}

}  // namespace
}  // namespace charts_test
