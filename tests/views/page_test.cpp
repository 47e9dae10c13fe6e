#include "views/mvmain.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>

#include "core/emenubar.h"
#include "platform/messages.h"
#include "tests/views/view_world.h"

namespace {

using views_test::MainWindowOf;
using views_test::ViewWorld;

class PageTest : public ViewWorld {
 protected:
  // An empty page in a main window of that client size.
  TMultiViewMain *NewPage(int width, int height, int mode = 1) {
    main_ = MainWindowOf(width, height);
    page_ = new TMultiViewMain(main_.get(), mode, "");
    harness_.Pump();
    return page_;
  }
  ~PageTest() override {
    delete page_;
    main_.reset();
  }
  void Post(UINT message, TMultiViewChild *pane, WPARAM wParam = 0) { Post(message, pane->PaneParam(), wParam); }
  void Post(UINT message, LPARAM pane, WPARAM wParam = 0) {
    PostMessageA(page_->Handle(), message, wParam, pane);
    harness_.Pump();
  }
  TMultiViewChild *Pane(int i) { return page_->PaneAt(i); }
  void Drag(int x0, int y0, int x1, int y1) {
    harness_.MouseDown(page_->Handle(), x0, y0);
    harness_.MouseMove(page_->Handle(), x1, y1, MK_LBUTTON);
    harness_.MouseUp(page_->Handle(), x1, y1);
    harness_.Pump();
  }

  std::unique_ptr<TForm> main_;
  TMultiViewMain *page_ = nullptr;
};

TEST_F(PageTest, SplitsNeedRoomForTwoPanes) {
  struct Case {
    int width, height;
    UINT message;
    bool refused;
    int firstSize, secondSize;
  } cases[] = {
      {149, 300, WM_MVM_SPLIT_VERT, true, 0, 0},    // a 150-pixel pane
      {249, 300, WM_MVM_SPLIT_VERT, false, 125, 125},
      {400, 98, WM_MVM_SPLIT_HORZ, true, 0, 0},     // 99 pixels high
      {400, 99, WM_MVM_SPLIT_HORZ, false, 50, 50},
  };
  for (const Case &c : cases) {
    NewPage(c.width, c.height);
    boxes_.Clear();
    Post(c.message, Pane(0));
    ASSERT_EQ(page_->PaneCount(), c.refused ? 1 : 2) << c.width << "x" << c.height;
    if (c.refused) {
      ASSERT_EQ(boxes_.Count(), 1u);
      EXPECT_EQ(boxes_.Calls()[0].text, "已有窗口太小，无法切分。  ");
    } else {
      const PaneNode *node = page_->m_root.first;
      const bool across = c.message == WM_MVM_SPLIT_VERT;
      EXPECT_EQ(across ? node->first->width : node->first->height, c.firstSize);
      EXPECT_EQ(across ? node->second->width : node->second->height, c.secondSize);
      // The new pane is the second one, right or below; the old one stays active.
      EXPECT_EQ(node->first->pane, Pane(0));
      EXPECT_EQ(page_->m_active, Pane(0));
    }
    delete page_;
    page_ = nullptr;
  }
}

TEST_F(PageTest, PanesAreInsetInTheirNodes) {
  NewPage(999, 599);
  Post(WM_MVM_SPLIT_VERT, Pane(0));
  const PaneNode *right = page_->m_root.first->second;
  EXPECT_EQ(right->left, 500);
  EXPECT_EQ(right->width, 500);
  TMultiViewChild *pane = right->pane;
  EXPECT_EQ(pane->Left(), 502);
  EXPECT_EQ(pane->Top(), 2);
  EXPECT_EQ(pane->Width(), 495);
  EXPECT_EQ(pane->Height(), 595);
  // Borders between panes are found by the hit test; the page's outer
  // edges belong to the root.
  struct Hit {
    int x, y, edge;
    bool root;
  } hits[] = {{0, 300, 1, true}, {999, 300, 2, true}, {300, 0, 3, true}, {498, 300, 2, false},
              {501, 300, 1, false}, {300, 300, 0, false}};
  for (const Hit &h : hits) {
    PaneNode *node = nullptr;
    EXPECT_EQ(page_->HitTest(h.x, h.y, &node), h.edge) << h.x << "," << h.y;
    if (h.edge) EXPECT_EQ(node == &page_->m_root, h.root) << h.x;
  }
}

TEST_F(PageTest, HoveringABorderShowsTheSplitCursor) {
  NewPage(999, 599);
  Post(WM_MVM_SPLIT_VERT, Pane(0));
  const HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  struct Hover {
    int x, y;
    HCURSOR cursor;
  } hovers[] = {{498, 300, LoadCursorA(nullptr, IDC_SIZEWE)}, {300, 300, arrow}, {0, 300, LoadCursorA(nullptr, IDC_SIZEWE)},
                {300, 598, LoadCursorA(nullptr, IDC_SIZENS)}, {300, 300, arrow}};
  for (const Hover &h : hovers) {
    harness_.MouseMove(page_->Handle(), h.x, h.y);
    EXPECT_EQ(GetCursor(), h.cursor) << h.x << "," << h.y;
  }
  // With a zoomed pane the borders are gone.
  harness_.MouseMove(page_->Handle(), 498, 300);
  Post(WM_MVM_ACTIVATE_VIEW, Pane(0));
  harness_.MouseMove(page_->Handle(), 0, 300);
  EXPECT_EQ(GetCursor(), arrow);
}

TEST_F(PageTest, BorderDragsStopAtTheMinimumSizes) {
  NewPage(999, 599);
  Post(WM_MVM_SPLIT_VERT, Pane(0));
  TMultiViewChild *right = page_->m_root.first->second->pane;
  Post(WM_MVM_SPLIT_VERT, right);  // the right half holds two panes side by side
  const PaneNode *split = page_->m_root.first;
  struct Case {
    int to, leftWidth;
  } cases[] = {{48, 100}, {198, 200}, {990, 800}};
  int at = 498;
  for (const Case &c : cases) {
    Drag(at, 300, c.to, 300);
    EXPECT_EQ(split->first->width, c.leftWidth) << "drag to " << c.to;
    EXPECT_EQ(split->second->width, 1000 - c.leftWidth);
    at = c.leftWidth - 2;
  }
  EXPECT_EQ(page_->m_dragging, 0);
  EXPECT_FALSE(page_->m_overlay->Visible());
}

TEST_F(PageTest, OuterEdgesGiveNewPanesOfAtLeastTheMinimum) {
  struct Case {
    int width;
    int panes, newWidth;
  } cases[] = {{999, 2, 100}, {149, 1, 0}};
  for (const Case &c : cases) {
    NewPage(c.width, 400);
    Drag(0, 200, 60, 200);
    ASSERT_EQ(page_->PaneCount(), c.panes) << c.width;
    if (c.panes == 2) {
      const PaneNode *inner = page_->m_root.first;
      ASSERT_NE(inner->first, nullptr);
      EXPECT_EQ(inner->first->side, kSideLeft);
      EXPECT_EQ(inner->first->width, c.newWidth);
      EXPECT_EQ(inner->first->pane->ViewType(), VIEW_TYPE_NONE);
      EXPECT_EQ(inner->second->width, c.width + 1 - c.newWidth);
    } else {
      EXPECT_NE(page_->m_root.first->pane, nullptr);
    }
    delete page_;
    page_ = nullptr;
  }
}

TEST_F(PageTest, TheBackHistoryKeepsOneRecordPerViewType) {
  NewPage(800, 500, 1);
  const UINT switches[] = {WM_MVM_SHOW_REPORT, WM_MVM_SHOW_KLINE, WM_MVM_SHOW_TICK,  WM_MVM_SHOW_TEXT,
                           WM_MVM_SHOW_MINUTE, WM_MVM_SHOW_NEWS,  WM_MVM_SHOW_KLINE, WM_MVM_SHOW_REPORT};
  for (int round = 0; round < 5; ++round)
    for (UINT message : switches) {
      Post(message, Pane(0));
      ASSERT_EQ(page_->PaneCount(), 1);
      const EArray<VIEW_ATTR_13> *history = Pane(0)->m_history;
      ASSERT_LE(history->GetCount(), kMaxHistory);
      std::set<std::pair<int, bool>> seen;
      for (int i = 0; i < history->GetCount(); ++i) {
        const VIEW_ATTR_13 &e = history->GetData()[i];
        const bool tick = e.viewType == VIEW_TYPE_INTRADAY && (e.flags & kViewFlagTickMode);
        EXPECT_TRUE(seen.insert({e.viewType, tick}).second) << "twice: " << std::hex << e.viewType;
      }
    }
  // The pane's place keeps its tag, data and history through every switch.
  EXPECT_EQ(Pane(0)->ViewType(), VIEW_TYPE_REPORT);
  Post(WM_MVM_SHOW_TICK, Pane(0));
  EXPECT_EQ(Pane(0)->ViewType(), VIEW_TYPE_INTRADAY);
  EXPECT_NE(Pane(0)->m_attr.flags & kViewFlagTickMode, 0u);
  Post(WM_MVM_SHOW_MINUTE, Pane(0));
  EXPECT_EQ(Pane(0)->m_attr.flags & kViewFlagTickMode, 0u);
}

TEST_F(PageTest, GoingBackKeepsTheChartsInstrumentInTheReportsMarket) {
  struct Case {
    STKPTR shown;
    STKPTR expected;
  } cases[] = {{STKPTR(1, 0, 1), STKPTR(1, 0, 1)}, {STKPTR(0, 0, 1), STKPTR(1, 0, 0)}};
  for (const Case &c : cases) {
    NewPage(800, 500, 1);
    Post(WM_MVM_SHOW_REPORT, Pane(0));
    ASSERT_TRUE(SameStock(Pane(0)->m_attr.stock, STKPTR(1, 0, 0)));
    Post(WM_MVM_SHOW_KLINE, Pane(0));
    Pane(0)->Notify(1, c.shown.Word(), 0, 0);
    Post(WM_MVM_BACK, Pane(0));
    EXPECT_EQ(Pane(0)->ViewType(), VIEW_TYPE_REPORT);
    EXPECT_TRUE(SameStock(Pane(0)->m_attr.stock, c.expected));
    delete page_;
    page_ = nullptr;
  }
}

TEST_F(PageTest, AReportHandsItsRowsToTheChartThatReplacesIt) {
  struct Report : TPlaceholderView {
    using TPlaceholderView::TPlaceholderView;
    uint32_t MakeHandOverList(int32_t *position) override {
      const STKPTR rows[3] = {STKPTR(1, 0, 0), STKPTR(1, 0, 1), STKPTR(0, 0, 0)};
      *position = 2;
      return NewViewStockList(rows, 3);
    }
  };
  RegisterViewClass(VIEW_TYPE_REPORT, [](TMultiViewMain *page, const VIEW_ATTR_13 *r, MVCDATA_12 *d,
                                         EArray<VIEW_ATTR_13> *h, PaneNode *n, int) -> TMultiViewChild * {
    return new Report(VIEW_TYPE_REPORT, page, r, d, h, n);
  });
  const int lists = LiveViewStockLists();
  NewPage(800, 500, 1);
  Post(WM_MVM_SHOW_REPORT, Pane(0));
  Post(WM_MVM_SHOW_KLINE, Pane(0));
  const ViewStockList *list = FindViewStockList(Pane(0)->m_attr.HandOverList());
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count, 3u);
  EXPECT_EQ(list->refCount, 1u);
  EXPECT_EQ(Pane(0)->m_attr.HandOverPosition(), 2);
  // Switching on to another chart passes the same list on; going back to a
  // report lets it go.
  Post(WM_MVM_SHOW_MINUTE, Pane(0));
  EXPECT_EQ(FindViewStockList(Pane(0)->m_attr.HandOverList()), list);
  Post(WM_MVM_SHOW_REPORT, Pane(0));
  EXPECT_EQ(LiveViewStockLists(), lists);
  RegisterViewClass(VIEW_TYPE_REPORT, nullptr);
}

TEST_F(PageTest, ZoomRestoreAndClose) {
  NewPage(800, 500);
  Post(WM_MVM_SPLIT_VERT, Pane(0));
  TMultiViewChild *a = Pane(0), *b = Pane(1);
  Post(WM_MVM_ACTIVATE_VIEW, a);
  EXPECT_EQ(page_->m_zoomed, a);
  EXPECT_EQ(a->m_cmdBox->m_kinds[0], 2);
  EXPECT_EQ(a->Width(), 796);
  EXPECT_FALSE(b->Visible());
  // Zooming another pane restores the first; a zoomed pane can't be closed
  // and nothing splits while one is zoomed.
  Post(WM_MVM_ACTIVATE_VIEW, b);
  EXPECT_EQ(page_->m_zoomed, b);
  EXPECT_EQ(a->m_zoomed, 0);
  EXPECT_EQ(a->m_cmdBox->m_kinds[0], 1);
  EXPECT_EQ(page_->m_active, b);
  Post(WM_MVM_CLOSE_PANE, b);
  Post(WM_MVM_SPLIT_VERT, b);
  EXPECT_EQ(page_->PaneCount(), 2);
  Post(WM_MVM_RESTORE_VIEW, b);
  EXPECT_EQ(page_->m_zoomed, nullptr);
  EXPECT_TRUE(a->Visible());
  EXPECT_EQ(b->m_cmdBox->m_kinds[0], 1);
  // Closing the active pane activates another; the last pane stays.
  const LPARAM gone = b->PaneParam();
  Post(WM_MVM_CLOSE_PANE, b);
  EXPECT_EQ(page_->PaneCount(), 1);
  EXPECT_EQ(page_->m_active, a);
  EXPECT_EQ(page_->m_root.first->pane, a);
  EXPECT_EQ(a->Width(), 796);
  Post(WM_MVM_CLOSE_PANE, a);
  EXPECT_EQ(page_->PaneCount(), 1);
  // A message for a pane that is gone is dropped, and so is one that
  // carries a pane's address instead of its number.
  Post(WM_MVM_ACTIVATE_VIEW, gone);
  Post(WM_MVM_SHOW_KLINE, gone);
  Post(WM_MVM_SHOW_KLINE, reinterpret_cast<LPARAM>(a));
  EXPECT_EQ(page_->m_zoomed, nullptr);
  EXPECT_EQ(a->ViewType(), VIEW_TYPE_NONE);
}

TEST_F(PageTest, ClickingAnActiveChartHandsItsInstrumentOverAgain) {
  struct Case {
    UINT show;
    size_t handOvers;
  } cases[] = {{WM_MVM_SHOW_KLINE, 2}, {WM_MVM_SHOW_REPORT, 1}};
  for (const Case &c : cases) {
    NewPage(600, 400);
    Post(c.show, Pane(0));
    host_.Clear();
    harness_.Click(Pane(0)->Handle(), 100, 100);  // already active
    const size_t afterClick = host_.Calls("SetOrderContract").size();
    Post(WM_MVM_SPLIT_VERT, Pane(0));
    host_.Clear();
    harness_.Click(Pane(1)->Handle(), 50, 50);
    harness_.Click(Pane(0)->Handle(), 50, 50);  // becomes active again
    EXPECT_EQ(afterClick + host_.Calls("SetOrderContract").size(), c.handOvers) << std::hex << c.show;
    const bool kline = c.show == WM_MVM_SHOW_KLINE;
    EXPECT_EQ(host_.Calls("ShowDrawingTools").back(), std::string("ShowDrawingTools ") + (kline ? "1" : "0"));
    delete page_;
    page_ = nullptr;
  }
}

TEST_F(PageTest, EveryPaneRunsInitViewOnce) {
  static int inits;
  inits = 0;
  struct Counting : TPlaceholderView {
    using TPlaceholderView::TPlaceholderView;
    void InitView() override { ++inits; }
  };
  RegisterViewClass(VIEW_TYPE_NOTES, [](TMultiViewMain *page, const VIEW_ATTR_13 *r, MVCDATA_12 *d,
                                        EArray<VIEW_ATTR_13> *h, PaneNode *n, int) -> TMultiViewChild * {
    return new Counting(VIEW_TYPE_NOTES, page, r, d, h, n);
  });
  NewPage(600, 400);
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_NOTES, &r);
  page_->CreateView(Pane(0)->m_node, &r, 1, 1);
  harness_.Pump();
  EXPECT_EQ(inits, 1);
  PostMessageA(Pane(0)->Handle(), WM_MVC_LAYOUT_DONE, 0, 0);
  page_->LayoutAll();
  harness_.Pump();
  EXPECT_EQ(inits, 1);
  RegisterViewClass(VIEW_TYPE_NOTES, nullptr);
}

TEST_F(PageTest, AnInstrumentGoesToTheLinkedChartsAndTheirLists) {
  NewPage(900, 500);
  Post(WM_MVM_SPLIT_VERT, Pane(0));
  Post(WM_MVM_SPLIT_VERT, Pane(1));
  ASSERT_EQ(page_->PaneCount(), 3);
  Post(WM_MVM_SHOW_TEXT, page_->m_root.first->first->pane);
  Post(WM_MVM_SHOW_KLINE, page_->m_root.first->second->first->pane);
  Post(WM_MVM_SHOW_REPORT, page_->m_root.first->second->second->pane);
  TMultiViewChild *text = page_->m_root.first->first->pane;
  TMultiViewChild *kline = page_->m_root.first->second->first->pane;
  TMultiViewChild *report = page_->m_root.first->second->second->pane;
  // Views join the pane list as they are made.
  ASSERT_EQ(Pane(0), text);
  ASSERT_EQ(Pane(1), kline);

  // Nothing is linked yet: the main window makes a view instead.
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_KLINE, &r);
  r.stock = STKPTR(0, 0, 1);
  EXPECT_EQ(page_->ShowStockInLinkedViews(&r, 0), 0);
  EXPECT_EQ(page_->FindView(VIEW_TYPE_KLINE, 0), nullptr);
  EXPECT_EQ(page_->FindView(VIEW_TYPE_KLINE, 1), kline);

  kline->m_linked = 1;
  text->m_linked = 1;
  const STKPTR rows[2] = {STKPTR(0, 0, 0), STKPTR(0, 0, 1)};
  const uint32_t list = NewViewStockList(rows, 2);
  r.SetHandOverList(list);
  r.SetHandOverPosition(1);
  // The last linked view handled is the K-line chart.
  EXPECT_EQ(page_->ShowStockInLinkedViews(&r, 1), 1);
  EXPECT_TRUE(SameStock(kline->m_attr.stock, STKPTR(0, 0, 1)));
  EXPECT_TRUE(SameStock(text->m_attr.stock, STKPTR(0, 0, 1)));
  EXPECT_FALSE(SameStock(report->m_attr.stock, STKPTR(0, 0, 1)));
  EXPECT_EQ(FindViewStockList(list)->refCount, 2u);
  EXPECT_EQ(kline->m_attr.HandOverPosition(), 1);
  harness_.Pump();
  EXPECT_EQ(page_->m_zoomed, text);  // the first linked view is zoomed
  EXPECT_EQ(page_->FindView(VIEW_TYPE_KLINE, 0), kline);
  Post(WM_MVM_RESTORE_VIEW, text);
  // Closing both views gives the list back.
  Post(WM_MVM_CLOSE_PANE, kline);
  Post(WM_MVM_CLOSE_PANE, text);
  EXPECT_EQ(FindViewStockList(list), nullptr);
}

TEST_F(PageTest, ARecordWithoutLinkedChartsReplacesTheActiveView) {
  host_.tickFirst = true;
  NewPage(600, 400);
  Post(WM_MVM_SHOW_REPORT, Pane(0));
  VIEW_ATTR_13 r;
  std::memset(static_cast<void *>(&r), 0, sizeof r);
  InitViewAttr(VIEW_TYPE_INTRADAY, &r);
  r.stock = STKPTR(0, 0, 1);
  page_->ShowRecord(&r);
  harness_.Pump();
  ASSERT_EQ(page_->PaneCount(), 1);
  EXPECT_EQ(Pane(0)->ViewType(), VIEW_TYPE_INTRADAY);
  EXPECT_NE(Pane(0)->m_attr.flags & kViewFlagTickMode, 0u);
  EXPECT_TRUE(SameStock(Pane(0)->m_attr.stock, STKPTR(0, 0, 1)));
  EXPECT_EQ(page_->m_active, Pane(0));
  page_->ShowRecord(nullptr);
}

TEST_F(PageTest, ThePaneMenuFollowsZoomAndTheWebSetting) {
  NewPage(600, 400);
  TMultiViewChild *pane = Pane(0);
  pane->MVCPM1->OnPopup(pane->MVCPM1);
  EXPECT_EQ(pane->NMVCZoom->Caption, "放大");
  EXPECT_FALSE(pane->NMVCWeb->Visible);
  WritePrivateProfileStringA("Option", "EnableCreateWebPage", "1", "..\\cfg\\Setting.ini");
  Post(WM_MVM_ACTIVATE_VIEW, pane);
  pane->MVCPM1->OnPopup(pane->MVCPM1);
  EXPECT_EQ(pane->NMVCZoom->Caption, "还原");
  EXPECT_TRUE(pane->NMVCWeb->Visible);
  EXPECT_TRUE(pane->NMVCWeb->Enabled);
  // The zoom item restores a zoomed pane; the web item asks for an address
  // and shows it in a news view.
  pane->NMVCZoom->Click();
  harness_.Pump();
  EXPECT_EQ(page_->m_zoomed, nullptr);
  host_.webAddress = "http://example.invalid/";
  pane->NMVCWeb->Click();
  harness_.Pump();
  EXPECT_EQ(host_.Calls("AskWebAddress").size(), 1u);
  ASSERT_EQ(Pane(0)->ViewType(), VIEW_TYPE_NEWS);
  EXPECT_EQ(std::string(Pane(0)->m_attr.webAddress), "http://example.invalid/");
}

TEST(CmdBox, WidthAndIconColours) {
  int width = 0;
  for (int kind : {8, -1, 5, 6, 7}) width += TMVCmdBox::CellWidth(kind);
  EXPECT_EQ(width, 99);
  EXPECT_EQ(TMVCmdBox::IconColorFor(RGB(255, 255, 255)), 0x875F0Bu);
  EXPECT_EQ(TMVCmdBox::IconColorFor(RGB(0, 0, 0)), 0xFFBF7Fu);
  EXPECT_EQ(TMultiViewChild::HintRect(170).Right, 140);
  EXPECT_EQ(TMultiViewChild::HintRect(400).Right, 150);
}

TEST_F(PageTest, FourPanePagePicture) {
  box_.WriteText("prog/skin/" + std::to_string(SkinLayout) + "/" + std::to_string(SkinNumber) + "/skin.ini",
                 "[Color]\r\nActiveSubWndBorder=" + std::to_string(RGB(255, 64, 0)) +
                     "\r\nSubWndBorder=" + std::to_string(RGB(60, 60, 140)) +
                     "\r\nSubWndBorderInner=" + std::to_string(RGB(0, 160, 0)) + "\r\n");
  host_.colors[0] = RGB(16, 16, 32);
  NewPage(640, 400);
  Post(WM_MVM_SHOW_REPORT, Pane(0));
  Post(WM_MVM_SPLIT_VERT, Pane(0));
  Post(WM_MVM_SPLIT_HORZ, Pane(0));
  Post(WM_MVM_SPLIT_HORZ, page_->m_root.first->second->pane);
  ASSERT_EQ(page_->PaneCount(), 4);
  TMultiViewChild *chart = page_->m_root.first->second->first->pane;
  Post(WM_MVM_SHOW_KLINE, chart);
  chart = page_->m_root.first->second->first->pane;
  harness_.Click(chart->Handle(), 40, 40);
  harness_.Pump();
  ASSERT_EQ(page_->m_active, chart);

  const PaneNode *active = chart->m_node;
  const PaneNode *report = page_->m_root.first->first->first;
  const PaneNode *empty = page_->m_root.first->first->second;
  EXPECT_EQ(harness_.Pixel(page_->Handle(), active->left, active->top + 20), RGB(255, 64, 0));
  EXPECT_EQ(harness_.Pixel(page_->Handle(), active->left + 1, active->top + 20), RGB(255, 64, 0));
  EXPECT_EQ(harness_.Pixel(page_->Handle(), report->left, report->top + 20), RGB(60, 60, 140));
  EXPECT_EQ(harness_.Pixel(page_->Handle(), report->left + 1, report->top + 20), RGB(0, 160, 0));
  EXPECT_EQ(harness_.Pixel(page_->Handle(), empty->left + 1, empty->top + 20), RGB(16, 16, 32));
  // The caption buttons: the K-line box is 99 pixels wide at the top right,
  // the empty pane's zoom button framed in the light icon colour.
  TMVCmdBox *box = empty->pane->m_cmdBox;
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(harness_.Pixel(box->m_hWnd, 0, 0), 0xFFBF7Fu);
  EXPECT_EQ(chart->m_cmdBox->m_width, 99);
  const QImage four = harness_.Render(main_->Handle());

  Post(WM_MVM_ACTIVATE_VIEW, chart);
  EXPECT_EQ(harness_.Pixel(page_->Handle(), 0, 100), RGB(255, 64, 0));
  EXPECT_EQ(harness_.Pixel(page_->Handle(), 1, 100), RGB(255, 64, 0));
  EXPECT_EQ(chart->m_cmdBox->m_kinds[0], 8);
  const QImage zoomed = harness_.Render(main_->Handle());
  Post(WM_MVM_RESTORE_VIEW, chart);

  // A border drag shows its XOR lines on the overlay.
  const int w = page_->m_root.first->first->width;
  harness_.MouseDown(page_->Handle(), w - 2, 200);
  harness_.MouseMove(page_->Handle(), w - 42, 200, MK_LBUTTON);
  const QImage dragging = harness_.Render(main_->Handle());
  const COLORREF under = RGB(16, 16, 32);
  EXPECT_EQ(page_->m_overlay->PixelAt(w - 42, 150), under ^ 0xFFFFFF);
  EXPECT_EQ(page_->m_overlay->PixelAt(w - 45, 150), under);
  harness_.MouseUp(page_->Handle(), w - 42, 200);
  harness_.Pump();

  testing_support::PictureSheet sheet(3);
  sheet.Add("四个窗口", four);
  sheet.Add("放大", zoomed);
  sheet.Add("拖动边框", dragging);
  harness_.SavePng(sheet.Compose(), "page_four_panes");
}

}  // namespace
