// The world of the main window's core tests: the standard data set (with a
// second futures market and a wide second market) as the market table, the
// block table, every right, a page in a form that plays the main window
// whose views record what they are told, and receivers that record what the
// core asks of the parts built elsewhere.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "shell/framecore.h"
#include "shell/quoteconn.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/msgbox_recorder.h"
#include "testing/view_harness.h"
#include "views/mvmain.h"

namespace frame_test {

// What a recording view was told, in order, by every view.
struct ViewCall {
  std::string what;
  TMultiViewChild *view;
  int code;
  uint32_t stock;
  intptr_t first;
};
inline std::vector<ViewCall> &ViewLog() {
  static std::vector<ViewCall> log;
  return log;
}
// One trace of the views' notifications and the receivers' calls.
inline std::vector<std::string> &Trace() {
  static std::vector<std::string> trace;
  return trace;
}

// How the recording receivers write a view or frame action.
inline std::string V(TViewAction action, intptr_t arg) {
  return "view " + std::to_string(int(action)) + " " + std::to_string(arg);
}
inline std::string F(TFrameAction action, intptr_t arg) {
  return "frame " + std::to_string(int(action)) + " " + std::to_string(arg);
}

class RecordingView : public TPlaceholderView {
 public:
  using TPlaceholderView::TPlaceholderView;
  int Notify(int code, uint32_t stock, intptr_t first, intptr_t second) override {
    ViewLog().push_back({"notify", this, code, stock, first});
    char text[32];
    std::snprintf(text, sizeof text, "notify %d %x", code, unsigned(ViewType()));
    Trace().push_back(text);
    return TPlaceholderView::Notify(code, stock, first, second);
  }
  void CollectStocks(EArray<STKMS> *stocks) override {
    if (!m_attr.stock.IsNone()) stocks->Add(STKMS{m_attr.stock.market, m_attr.stock.stock});
  }
  void InitView() override { ViewLog().push_back({"init", this, 0, 0, 0}); }
  void ApplyFonts() override { ViewLog().push_back({"fonts", this, 0, 0, 0}); }
};

class SinkRecorder : public TSubscriptionSink {
 public:
  ~SinkRecorder() override { delete current_; }
  const EArray<STKMS> *Current() override { return current_; }
  void Subscribe(EArray<STKMS> *list, uint16_t count) override {
    delete current_;
    current_ = list;
    sends.push_back({Entries(), count});
  }
  void Drop() {
    delete current_;
    current_ = nullptr;
  }
  std::vector<STKMS> Entries() const {
    std::vector<STKMS> out;
    if (current_)
      for (int i = 0; i < current_->GetCount(); ++i) out.push_back(current_->GetData()[i]);
    return out;
  }
  struct Send {
    std::vector<STKMS> entries;
    uint16_t count;
  };
  std::vector<Send> sends;

 private:
  EArray<STKMS> *current_ = nullptr;
};

class FrameWorld : public ::testing::Test {
 protected:
  static constexpr int kWideStocks = 300;  // extra stocks of market 1, kind 1

  FrameWorld() {
    using namespace market_fixture;
    DataSetDesc set = StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0));
    MarketDesc &sz = set.markets[1];
    for (int i = 0; i < kWideStocks; ++i) {
      char code[16];
      std::snprintf(code, sizeof code, "9%05d", i % 100000);
      InstrumentDesc stock;
      stock.code = code;
      stock.name = "宽股";
      stock.kind = 1;
      sz.instruments.push_back(stock);
    }
    sz.capacity = uint16_t(sz.instruments.size() + 8);
    MarketDesc dl = set.markets[3];
    dl.name = "大连期货";
    dl.shortName = "DL";
    dl.extension = "dlf";
    dl.calendarKey = 3;
    dl.instruments.clear();
    InstrumentDesc meal;
    meal.code = "M09";
    meal.name = "豆粕2409";
    meal.kind = 2;
    meal.contract = "M2409";
    meal.priceDivisor = 1;
    meal.decimals = 0;
    meal.price = 3300;
    dl.instruments.push_back(meal);
    set.markets.push_back(dl);
    WriteDataSet(set, box_.Root());
    BuildMarketTableOffline();
    blocks_ = std::make_unique<TBlockGroup>();
    DSINFO all{};
    std::memset(all.marketRights, 0xFF, sizeof all.marketRights);
    TakeOverRights(all);
    for (int type : {VIEW_TYPE_INTRADAY, VIEW_TYPE_KLINE, VIEW_TYPE_NEWS, VIEW_TYPE_TEXT, VIEW_TYPE_NOTES,
                     VIEW_TYPE_RANKING, VIEW_TYPE_REPORT})
      RegisterViewClass(type, [](TMultiViewMain *page, const VIEW_ATTR_13 *r, MVCDATA_12 *d, EArray<VIEW_ATTR_13> *h,
                                 PaneNode *n, int) -> TMultiViewChild * {
        return new RecordingView(r ? r->viewType : VIEW_TYPE_REPORT, page, r, d, h, n);
      });
    main_ = std::make_unique<TForm>(nullptr);
    main_->SetBorderStyle(bsNone);
    main_->SetClientSize(1200, 800);
    main_->Show();
    page_ = new TMultiViewMain(main_.get(), 1, "");
    harness_.Pump();
    links_.window = main_->Handle();
    links_.page = &page_;
    links_.indices = indices_;
    links_.quoteBoardBlock = &quoteBoardBlock_;
    links_.tickFirst = &tickFirst_;
    links_.orderStock = &orderStock_;
    links_.retryCounter = &retryCounter_;
    Record();
    core_ = std::make_unique<TFrameCore>(links_, receivers_);
    core_->SetSubscriptionSink(&sink_);
    ViewLog().clear();
  }
  ~FrameWorld() override {
    core_.reset();
    delete page_;
    main_.reset();
    for (int type : {VIEW_TYPE_INTRADAY, VIEW_TYPE_KLINE, VIEW_TYPE_NEWS, VIEW_TYPE_TEXT, VIEW_TYPE_NOTES,
                     VIEW_TYPE_RANKING, VIEW_TYPE_REPORT})
      RegisterViewClass(type, nullptr);
    ClearRights();
    blocks_.reset();
    FreeMarketTable();
    ViewLog().clear();
    Trace().clear();
  }

  // Every receiver appends its name (and argument) to calls_.
  void Record() {
    auto note = [](std::string text) { Trace().push_back(std::move(text)); };
    receivers_.view = [note](TViewAction action, TMultiViewChild *, intptr_t arg) { note(V(action, arg)); };
    receivers_.frame = [note](TFrameAction action, intptr_t arg, uint32_t) { note(F(action, arg)); };
    receivers_.checkStopOrders = [note](uint32_t, const REALQUOTE &, const STKINFO &) { note("stop"); };
    receivers_.orderEntryLayout = [this] { return layout_; };
    receivers_.orderPriceIsWord = [this] { return priceWord_; };
    receivers_.updatePriceFields = [note](uint32_t, const REALQUOTE &, const STKINFO &) { note("order"); };
    receivers_.alarmsOn = [this] { return alarmsOn_; };
    receivers_.checkAlarm = [note](uint32_t, const REALQUOTE &) { note("alarm"); };
    receivers_.rearmAlarms = [note] { note("rearm"); };
    receivers_.indicesChanged = [note] { note("indices"); };
    receivers_.clockChanged = [note] { note("clock"); };
    receivers_.quoteBoardVisible = [this] { return boardVisible_; };
    receivers_.quoteBoardCells = [this] { return boardCells_; };
    receivers_.quoteBoardCell = [note](uint32_t) { note("board"); };
    receivers_.connectionPanel = [note](int tag, const char *hint) { note("panel " + std::to_string(tag) + " " + hint); };
  }

  // The page split into n panes side by side; the panes in page order.
  void SplitInto(int n) {
    for (int i = 1; i < n; ++i) {
      // Across and down in turn, so that every pane keeps room to split.
      page_->PaneAt(page_->PaneCount() - 1)->PostToPage(i % 2 ? WM_MVM_SPLIT_VERT : WM_MVM_SPLIT_HORZ);
      harness_.Pump();
    }
    EXPECT_EQ(page_->PaneCount(), n);
    nodes_.clear();
    for (int i = 0; i < page_->PaneCount(); ++i) nodes_.push_back(page_->PaneAt(i)->m_node);
  }
  // A view of that type showing the stock in pane i, laid out; the active
  // one when active is set.
  TMultiViewChild *Show(int i, int type, STKPTR stock, bool active = false, bool layoutDone = true) {
    VIEW_ATTR_13 attributes{};
    InitViewAttr(type, &attributes);
    attributes.stock = stock;
    TMultiViewChild *view = page_->CreateView(nodes_.at(size_t(i)), &attributes, 0, 0);
    harness_.Pump();
    view->m_layoutDone = layoutDone ? 1 : 0;
    if (active) page_->SetActiveChild(view);
    ViewLog().clear();
    Trace().clear();
    return view;
  }
  static const char *IndexCode(int slot) { return kIndexSlotCode[slot]; }
  static STKPTR Find(const char *code, int market) {
    uint16_t m = uint16_t(market);
    const STKINFO *info = LookupStock(code, &m, 0);
    return info ? STKPTR(m, 0, info->index) : STKPTR();
  }
  std::vector<std::string> TakeCalls() {
    std::vector<std::string> out;
    out.swap(Trace());
    return out;
  }

  testing_support::ViewHarness harness_;
  market_fixture::MarketSandbox box_;
  MessageBoxRecorder boxes_;
  std::unique_ptr<TBlockGroup> blocks_;
  std::unique_ptr<TForm> main_;
  TMultiViewMain *page_ = nullptr;
  std::vector<PaneNode *> nodes_;
  TIndexSlot indices_[3];
  int32_t quoteBoardBlock_ = -1;
  bool tickFirst_ = false;
  STKPTR orderStock_;
  int32_t retryCounter_ = 12;
  int layout_ = 0;
  bool priceWord_ = false;
  bool alarmsOn_ = true;
  bool boardVisible_ = false;
  int boardCells_ = 0;
  TFrameLinks links_;
  TFrameReceivers receivers_;
  SinkRecorder sink_;
  std::unique_ptr<TFrameCore> core_;
};

}  // namespace frame_test
