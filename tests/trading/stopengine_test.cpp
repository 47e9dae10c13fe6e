// The stop engine on replayed price paths: trailing steps, the N-tick
// confirmation, stop before take-profit, available volume and shared
// holders, the close order's price, the rights and the armed flag, the
// profit cells and the price-triggered condition orders.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "core/emem.h"
#include "shell/framecore.h"
#include "platform/gdi.h"
#include "testing/image_capture.h"
#include "testing/quote_replay.h"
#include "tests/trading/stop_world.h"
#include "trading/conditionorders.h"
#include "trading/deskautomation.h"
#include "trading/firingjournal.h"
#include "trading/stopengine.h"

namespace trading_test {
namespace {

class StopEngineTest : public StopWorld {
 protected:
  StopEngineTest() : conditions_(desk_, hooks_), engine_(desk_, hooks_, conditions_), replay_(STKPTR(1, 0, 0)) {
    hooks_.armed = [this] { return armed_; };
    hooks_.rights = [this] { return rights_; };
    hooks_.startOrderScripts = [this] { ++starts_; };
    hooks_.runOrderScripts = [this] { ++runs_; };
    hooks_.positionPageShown = [] { return true; };
    hooks_.profitCells = [this](int32_t row, const char *floating, const char *holding) {
      cells_[row] = std::string(floating) + "/" + holding;
    };
    engine_.tradeDate = [] { return 20240115; };
    conditions_.tradeDate = [] { return 20240115; };
    replay_.receiver = [this](STKPTR s, const REALQUOTE &q, const STKINFO &i) { engine_.CheckStopOrders(s, q, i); };
    replay_.Reset();
  }

  // One entry on a fresh position.
  InvestorPosition_Lite &Long(int32_t volume, double stop, double trailing = 0, double profit = 0,
                              double reference = 0) {
    InvestorPosition_Lite &p = AddPosition('2', volume);
    p.AddStop(desk_.positions, volume, stop, 0, profit, 0, 0, 0);
    p.Stops->First->Trailing = trailing;
    p.Stops->First->TrailReference = reference;
    return p;
  }
  // A buy-open order of M2401 when the last price is at or below 3500 for
  // the ticks.
  static ConditionOrder AtOrBelow3500(uint8_t ticks, int32_t volume) {
    ConditionOrder c;
    memset(static_cast<void *>(&c), 0, sizeof c);
    strcpy(c.InstrumentID, "M2401");
    c.Direction = '0';
    c.OffsetFlag = '0';
    c.HedgeFlag = '1';
    c.Ticks = ticks;
    c.TriggerKind = 1;
    c.PriceKind = 1;
    c.Volume = volume;
    c.TriggerPrice = 3500;
    c.Stock = STKPTR(1, 0, 0);
    return c;
  }
  void Clear() {
    ReleaseAllStops(desk_);
    desk_.positions.RemoveAll();
    desk_.tasks.RemoveAll();
  }
  const OrderScript &Task(int i) const { return desk_.tasks.GetData()[i]; }

  TAutomationHooks hooks_;
  TConditionOrders conditions_;
  TStopEngine engine_;
  TQuoteReplay replay_;
  bool armed_ = true;
  uint8_t rights_ = kRightStopOrders | kRightConditionOrders;
  int starts_ = 0, runs_ = 0;
  std::map<int32_t, std::string> cells_;
};

TEST_F(StopEngineTest, TrailingStopMovesInWholeStepsNeverBack) {
  desk_.options.StopTrigger = 1;
  InvestorPosition_Lite &p = Long(1, 3500, 10, 0, 3500);
  struct Step {
    double last, stop, reference;
  } path[] = {{3525, 3520, 3520}, {3529.9, 3520, 3520}};
  for (const Step &s : path) {
    replay_.Apply(s.last);
    SCOPED_TRACE(s.last);
    ASSERT_NE(p.Stops->First, nullptr);
    EXPECT_DOUBLE_EQ(p.Stops->First->StopPrice, s.stop);
    EXPECT_DOUBLE_EQ(p.Stops->First->TrailReference, s.reference);
  }
  // The moved stop is in the file.
  const std::string file = ReadBytes("stoporder/M240121.sto");
  ASSERT_EQ(file.size(), 8u + 56);
  EXPECT_DOUBLE_EQ(GetStopRecord(reinterpret_cast<const unsigned char *>(file.data()) + 8, 56).StopPrice, 3520);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  // 3530 moves it once more, onto the price itself, which hits it.
  replay_.Apply(3530);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_NE(std::string(Task(0).Description).find("止损触发: 3530.000，浮动: 10.000"), std::string::npos);
}

// Steps are counted at once, not added one by one: a price right on a
// step takes it whatever the rounding of the sums, and a far jump over a
// fine distance (or a reference a damaged file left) costs one step.
TEST_F(StopEngineTest, TrailingStepsLandingOnThePriceAreTakenAtOnce) {
  desk_.options.StopTrigger = 1;
  struct Case {
    const char *name;
    char side;
    double stop, trailing, reference, last, wantStop, wantReference;
  } cases[] = {
      {"long, two steps of 0.05", '2', 3490, 0.05, 3500, 3500.1, 3490.1, 3500.1},
      {"long, three steps of 0.3 from 3500.2", '2', 3490, 0.3, 3500.2, 3501.1, 3490.9, 3501.1},
      {"short, two steps of 0.3", '3', 3510, 0.3, 3500, 3499.4, 3509.4, 3499.4},
      {"long, a hundred million steps of 0.001", '2', 3490, 0.001, 3500, 103500, 103490, 103500},
      {"short, a reference far above any price", '3', 3510, 1, 1e300, 3500, 0, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    replay_.Reset();
    InvestorPosition_Lite &p = AddPosition(c.side, 1);
    p.AddStop(desk_.positions, 1, c.stop, 0, 0, 0, 0, 0);
    p.Stops->First->Trailing = c.trailing;
    p.Stops->First->TrailReference = c.reference;
    replay_.Apply(c.last);
    EXPECT_TRUE(desk_.tasks.IsEmpty());
    if (c.wantStop == 0) {
      // The step took the stop below any price: the entry can't fire.
      EXPECT_TRUE(!p.Stops->First || !PriceIsSet(p.Stops->First->StopPrice));
      continue;
    }
    ASSERT_NE(p.Stops->First, nullptr);
    EXPECT_NEAR(p.Stops->First->StopPrice, c.wantStop, 1e-7);
    EXPECT_NEAR(p.Stops->First->TrailReference, c.wantReference, 1e-7);
  }
}

TEST_F(StopEngineTest, AFirstTrailingRunOnlySetsTheReference) {
  InvestorPosition_Lite &p = Long(1, 3500, 10, 0, 0);
  replay_.Apply(3600);
  EXPECT_EQ(p.Stops->First->TrailReference, 3600);
  EXPECT_EQ(p.Stops->First->StopPrice, 3500);
}

TEST_F(StopEngineTest, StopsWaitForTheConfirmingPreviousPrices) {
  struct Case {
    const char *name;
    int trigger;
    std::vector<double> path;  // the last is the quote tested
    bool fires;
  } cases[] = {
      {"2: previous at the stop", 2, {3500, 3499}, true},
      {"2: previous above", 2, {3501, 3499}, false},
      {"2: previous unknown", 2, {3499}, false},
      {"1: previous not looked at", 1, {3600, 3499}, true},
      {"9 counts as 6: five previous needed", 9, {3490, 3490, 3490, 3490, 3490, 3499}, true},
      {"9: one of five above", 9, {3490, 3501, 3490, 3490, 3490, 3499}, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Clear();
    replay_.Reset();
    desk_.options.StopTrigger = c.trigger;
    // Set after the path's earlier quotes so that only the last one can hit.
    for (size_t i = 0; i + 1 < c.path.size(); ++i) replay_.Apply(c.path[i]);
    Long(1, 3500);
    replay_.Apply(c.path.back());
    EXPECT_EQ(desk_.tasks.GetCount(), c.fires ? 1 : 0);
  }
}

TEST_F(StopEngineTest, BidMethodFallsBackToTheLastPriceButTestsPreviousBids) {
  desk_.options.StopTriggerMethodL = 1;
  desk_.options.StopTrigger = 2;
  replay_.Apply(3510, 3499, 3511);  // previous bid 3499
  InvestorPosition_Lite &p = Long(1, 3500);
  replay_.Apply(3499, 0, 0);  // no bid: the last price stands in
  EXPECT_EQ(desk_.tasks.GetCount(), 1);
  (void)p;
  desk_.tasks.RemoveAll();
  replay_.Reset();
  replay_.Apply(3499, 3505, 3506);  // previous bid above the stop
  Long(1, 3500);
  replay_.Apply(3499, 0, 0);
  EXPECT_EQ(desk_.tasks.GetCount(), 0);
}

TEST_F(StopEngineTest, StopAndTakeProfitHitTogetherFireTheStopOnly) {
  desk_.options.StopTrigger = 1;
  InvestorPosition_Lite &p = Long(2, 3500, 0, 3400);
  replay_.Apply(3450);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_NE(std::string(Task(0).Description).find("执行止损"), std::string::npos);
  EXPECT_EQ(p.Stops->First, nullptr);
}

TEST_F(StopEngineTest, CloseOrdersArePricedByTheOption) {
  struct Case {
    int option;
    uint8_t kind;
    double value;
    int32_t timeOut;
  } cases[] = {{1, 3, 0, -1}, {2, 6, 0, -1}, {3, 2, 3500.2, -1}, {0, 1, 0.6, 0}};
  desk_.options.StopTrigger = 1;
  desk_.options.PriceOffsetSSell = 3;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.option);
    desk_.options.StopLPrice = c.option;
    Clear();
    Long(1, 3500.3);
    replay_.Apply(3500);
    ASSERT_EQ(desk_.tasks.GetCount(), 1);
    EXPECT_EQ(Task(0).PriceKind, c.kind);
    EXPECT_NEAR(Task(0).PriceValue, c.value, 1e-9);
    EXPECT_EQ(Task(0).TimeOut, c.timeOut);
    EXPECT_EQ(Task(0).Direction, '1');
    EXPECT_EQ(Task(0).OffsetFlag, '1');
    EXPECT_EQ(Task(0).TaskKind, kTaskStop);
  }
}

TEST_F(StopEngineTest, AvailableVolumeLimitsTheCloseAndSharedHoldersSplitTheEntry) {
  desk_.options.StopTrigger = 1;
  // Not shared, 2 of 5 frozen: one task of 3 and the entry is gone.
  InvestorPosition_Lite &p = Long(5, 3500);
  p.Frozen = 2;
  replay_.Apply(3490);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_EQ(Task(0).Volume, 3u);
  EXPECT_EQ(p.Stops->First, nullptr);

  // Shared by today's 3 and yesterday's 2: 3 close-today, then 2 close.
  Clear();
  AddPosition('2', 3, 2);
  AddPosition('2', 2, 1);
  desk_.positions.GetData()[0].AddStop(desk_.positions, 5, 3500, 0, 0, 0, 0, 0);
  replay_.Apply(3480);
  ASSERT_EQ(desk_.tasks.GetCount(), 2);
  EXPECT_EQ(Task(0).Volume, 3u);
  EXPECT_EQ(Task(0).OffsetFlag, '3');
  EXPECT_EQ(Task(1).Volume, 2u);
  EXPECT_EQ(Task(1).OffsetFlag, '1');
  EXPECT_EQ(desk_.positions.GetData()[0].Stops->First, nullptr);

  // Today's record has nothing available: the entry waits for the other.
  Clear();
  AddPosition('2', 3, 2).Frozen = 3;
  AddPosition('2', 2, 1);
  desk_.positions.GetData()[0].AddStop(desk_.positions, 5, 3500, 0, 0, 0, 0, 0);
  replay_.Apply(3470);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_EQ(Task(0).Volume, 2u);
  EXPECT_EQ(Volumes(desk_.positions.GetData()[0]), std::vector<int32_t>{3});
}

TEST_F(StopEngineTest, TheQueueStartsWithStopRightsAloneAndNothingRunsUnarmed) {
  desk_.options.StopTrigger = 1;
  rights_ = kRightStopOrders;
  Long(1, 3500);
  replay_.Apply(3490);
  EXPECT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_EQ(starts_, 1);
  Long(1, 3500);
  replay_.Apply(3480);
  EXPECT_EQ(runs_, 1);  // the queue was not empty: continued

  desk_.tasks.RemoveAll();
  armed_ = false;
  InvestorPosition_Lite &p = Long(1, 3500, 10, 0, 3400);
  cells_.clear();
  replay_.Apply(3470);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  EXPECT_EQ(p.Stops->First->StopPrice, 3500);  // no trailing step
  EXPECT_FALSE(cells_.empty());                 // profit cells still refreshed
}

TEST_F(StopEngineTest, ProfitCellsFollowTheLastPrice) {
  armed_ = false;
  InvestorPosition_Lite &p = AddPosition('2', 2);
  p.OpenAverage = 3500;
  p.HoldingAverage = 3510;
  InvestorPosition_Lite &s = AddPosition('3', 1);
  s.OpenAverage = 3500;
  replay_.Apply(3520);
  EXPECT_EQ(cells_[0], "400/200");  // (3520-3500)*2*10
  EXPECT_EQ(cells_[1], "-200/");
  replay_.Reset();
  replay_.Apply(0);
  EXPECT_EQ(cells_[0], "/");
}

TEST_F(StopEngineTest, MovedStopsAreSortedAgainSoTheRestGoesWhereTheOrderSays) {
  desk_.options.StopTrigger = 1;
  InvestorPosition_Lite &p = AddPosition('2', 10);
  p.AddStop(desk_.positions, 1, 3490, 0, 0, 0, 0, 0);
  p.AddStop(desk_.positions, 1, 3480, 10, 0, 3480, 0, 0);
  p.SortStops();
  replay_.Apply(3505);  // the trailing stop moves to 3500, above 3490
  EXPECT_EQ(Stops(p), (std::vector<double>{3500, 3490}));
}

TEST_F(StopEngineTest, ThreeTickConditionOrderFiresOnlyWhenAllThreeAreAtOrBelow) {
  desk_.conditions.Add(AtOrBelow3500(3, 2));
  for (double last : {3500.0, 3501.0, 3499.0, 3498.0}) replay_.Apply(last);
  EXPECT_EQ(desk_.conditions.GetCount(), 1);  // 3501 two quotes back
  replay_.Apply(3497);
  EXPECT_EQ(desk_.conditions.GetCount(), 0);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_EQ(Task(0).TaskKind, kTaskCondition);
  EXPECT_EQ(Task(0).Volume, 2u);
  EXPECT_STREQ(Task(0).Description, "条件单: M2401(最新价) <= 3500.00");
}


TEST_F(StopEngineTest, TheFramesQuoteFanOutRunsTheEngine) {
  TFrameReceivers receivers;
  receivers.checkStopOrders = [this](uint32_t stock, const REALQUOTE &quote, const STKINFO &info) {
    engine_.CheckStopOrders(STKPTR(stock), quote, info);
  };
  TFrameCore core(TFrameLinks{}, receivers);
  replay_.receiver = [&](STKPTR stock, const REALQUOTE &, const STKINFO &) {
    core.OnQuote(MFEVENTSLOT{stock.Word(), 0}, false);
  };
  desk_.options.StopTrigger = 2;
  Long(1, 3500);
  replay_.Apply(3500);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  core.OnQuote(MFEVENTSLOT{STKPTR(1, 0, 0).Word(), 0}, true);  // a head-only change is no quote
  replay_.Apply(3499);
  EXPECT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_EQ(starts_, 1);
}

// A picture of a replayed path: the price (blue), the trailing stop's
// steps (red) and the firing point (green).
TEST_F(StopEngineTest, ReplayPictureShowsTheStopStepsAndTheFiringPoint) {
  desk_.options.StopTrigger = 1;
  InvestorPosition_Lite &p = Long(1, 3490, 10, 0, 3500);
  const double path[] = {3500, 3505, 3512, 3518, 3525, 3523, 3528, 3532, 3536, 3531, 3527, 3524, 3519, 3515};
  std::vector<double> stops;
  int fired = -1;
  for (double last : path) {
    replay_.Apply(last);
    if (fired < 0 && !desk_.tasks.IsEmpty()) fired = int(stops.size());
    stops.push_back(p.Stops->First ? p.Stops->First->StopPrice : stops.back());
  }
  ASSERT_EQ(fired, 12);
  EXPECT_EQ(stops[4], 3510);
  EXPECT_EQ(stops[11], 3520);

  const int width = 600, height = 320;
  auto X = [](int i) { return 20 + i * 40; };
  auto Y = [](double price) { return int((3545 - price) * 5); };
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void *bits = nullptr;
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(dc, bitmap);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255)), green = CreateSolidBrush(RGB(0, 160, 0));
  RECT all{0, 0, width, height};
  FillRect(dc, &all, white);
  HPEN blue = CreatePen(PS_SOLID, 2, RGB(0, 0, 255)), red = CreatePen(PS_SOLID, 2, RGB(220, 0, 0));
  SelectObject(dc, blue);
  MoveToEx(dc, X(0), Y(path[0]), nullptr);
  for (int i = 1; i < int(std::size(path)); ++i) LineTo(dc, X(i), Y(path[i]));
  SelectObject(dc, red);
  MoveToEx(dc, X(0), Y(stops[0]), nullptr);
  for (int i = 1; i < int(stops.size()); ++i) {
    LineTo(dc, X(i), Y(stops[i - 1]));
    LineTo(dc, X(i), Y(stops[i]));
  }
  RECT mark{X(fired) - 6, Y(path[fired]) - 6, X(fired) + 7, Y(path[fired]) + 7};
  FillRect(dc, &mark, green);
  SelectObject(dc, old);
  EXPECT_TRUE(testing_support::SaveDibPng(bitmap, testing_support::PicturePath("stop-replay.png")));
  EXPECT_EQ(testing_support::DibPixel(bitmap, X(fired), Y(path[fired])), RGB(0, 160, 0));
  EXPECT_EQ(testing_support::DibPixel(bitmap, (X(5) + X(6)) / 2, Y(3510)), RGB(220, 0, 0));  // the stop at 3510
  EXPECT_EQ(testing_support::DibPixel(bitmap, 5, 5), RGB(255, 255, 255));
  DeleteObject(blue);
  DeleteObject(red);
  DeleteObject(white);
  DeleteObject(green);
  DeleteObject(bitmap);
  DeleteDC(dc);
}

// ---- firing that survives a restart ----

CKivoOrderField BrokerOrder(const OrderScript &task) {
  CKivoOrderField o{};
  memcpy(o.InstrumentID, task.InstrumentID, 7);
  o.Direction = task.Direction;
  o.OffsetFlag = task.OffsetFlag;
  o.HedgeFlag = task.HedgeFlag;
  o.VolumeTotal = int32_t(task.Volume);
  strcpy(o.OrderRef, "1001");
  return o;
}

// Stop holders and entries past the first StopAllocationsLeft are refused.
int StopAllocationsLeft = 0;
bool RefuseStopAllocations(int32_t size) {
  if (size != int32_t(sizeof(StopOrder)) && size != int32_t(sizeof(StopOrderPointer))) return false;
  return StopAllocationsLeft-- <= 0;
}

class FiringRestartTest : public StopEngineTest {
 protected:
  enum Point { AfterIntent, AfterItemFile, BrokerStored, Returned };
  enum Item { Stop, TrailingStop, TakeProfit, PriceCondition };

  FiringRestartTest() {
    hooks_.journal = &journal_;
    journal_.saveConditionOrders = [this] { conditions_.SaveConditionOrders(); };
  }

  void Arm(Item item) {
    desk_.options.StopTrigger = 1;
    desk_.options.StopTriggerP = 1;
    desk_.options.StopTriggerMethodP = 0;
    InvestorPosition_Lite &p = AddPosition('2', 2);
    if (item == Stop) p.AddStop(desk_.positions, 2, 3500, 0, 0, 0, 0, 0);
    if (item == TrailingStop) p.AddStop(desk_.positions, 2, 3490, 10, 0, 3500, 0, 0);
    if (item == TakeProfit) p.AddStop(desk_.positions, 2, 0, 0, 3600, 0, 0, 0);
    SaveStopOrders(desk_, nullptr, false);
    if (item == PriceCondition) {
      desk_.conditions.Add(AtOrBelow3500(1, 1));
      conditions_.SaveConditionOrders();
    }
  }
  double Hitting(Item item) const { return item == TakeProfit ? 3600 : item == TrailingStop ? 3450 : 3495; }

  // The program's memory is gone; the desk comes back from its files, the
  // broker's order list and the journal.
  void Restart(int32_t tradeDate) {
    ReleaseAllStops(desk_);
    desk_.tasks.RemoveAll();
    desk_.conditions.RemoveAll();
    for (int32_t i = 0; i < desk_.positions.GetCount(); ++i) desk_.positions.GetData()[i].Further = 0;
    conditions_.LoadConditionOrders(tradeDate);
    LoadStopOrders(desk_, tradeDate);
    journal_.Load();
    journal_.Reconcile(tradeDate);
    EXPECT_TRUE(journal_.Intents().empty());
  }

  TFiringJournal journal_{desk_};
};

TEST_F(FiringRestartTest, EveryCrashPointEndsWithExactlyOneOrderPerItem) {
  for (Item item : {Stop, TrailingStop, TakeProfit, PriceCondition}) {
    for (Point point : {AfterIntent, AfterItemFile, BrokerStored, Returned}) {
      SCOPED_TRACE(testing::Message() << "item " << item << " point " << point);
      Clear();
      desk_.conditions.RemoveAll();
      desk_.orders.RemoveAll();
      std::filesystem::remove(AccountPath("firing.jnl"));
      journal_.Load();
      replay_.Reset();
      Arm(item);
      const std::string stopFile = ReadBytes("stoporder/M240121.sto");
      const std::string conditionFile = ReadBytes("DEALLIST.SET");
      if (item == TrailingStop) replay_.Apply(3520);  // the stop trails to 3510
      const std::string trailedFile = ReadBytes("stoporder/M240121.sto");
      replay_.Apply(Hitting(item));
      ASSERT_EQ(desk_.tasks.GetCount(), 1);
      const OrderScript task = Task(0);
      ASSERT_GT(TaskIntent(task), 0);
      if (point == AfterIntent) {
        // The item's file was never rewritten.
        WriteBytes("stoporder/M240121.sto", item == TrailingStop ? trailedFile : stopFile);
        WriteBytes("DEALLIST.SET", conditionFile);
      }
      if (point >= BrokerStored) desk_.orders.Add(BrokerOrder(task));
      if (point == Returned) journal_.OnOrderInsert(task, 0, "1001", "");
      Restart(20240115);
      // Another quote at the level: a restored item fires again.
      replay_.Apply(Hitting(item));
      EXPECT_EQ(desk_.orders.GetCount() + desk_.tasks.GetCount(), 1);
    }
  }
}

TEST_F(FiringRestartTest, AnUnsentConditionFromAnEarlierDayComesBackPaused) {
  Arm(PriceCondition);
  replay_.Apply(3495);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  Restart(20240116);
  ASSERT_EQ(desk_.conditions.GetCount(), 1);
  EXPECT_EQ(desk_.conditions.GetData()[0].State & 0x01, 0x01);
}

// The terminal's own road: the position list's end reads the stop files
// through the desk's stop store, and what the journal kept is settled then.
TEST_F(FiringRestartTest, TheDesksPositionListEndSettlesWhatACrashLeft) {
  Arm(Stop);
  const std::string stopFile = ReadBytes("stoporder/M240121.sto");
  replay_.Apply(3495);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  WriteBytes("stoporder/M240121.sto", stopFile);  // the crash came right after the intent
  ReleaseAllStops(desk_);
  desk_.tasks.RemoveAll();
  for (int32_t i = 0; i < desk_.positions.GetCount(); ++i) desk_.positions.GetData()[i].Further = 0;
  TStopStore *const fixtureStore = desk_.stopStore;
  {
    TDeskAutomation automation(desk_);
    ASSERT_EQ(desk_.stopStore, &automation.stops);
    EXPECT_FALSE(desk_.stopStore->LoadStopOrders(20240115));
    EXPECT_TRUE(automation.journal.Intents().empty());
    EXPECT_FALSE(std::filesystem::exists(AccountPath("firing.jnl")));
  }
  desk_.stopStore = fixtureStore;
  // The unsent stop is back and fires once more.
  replay_.Apply(3495);
  EXPECT_EQ(desk_.tasks.GetCount(), 1);
}

// A position list whose stop files could not all be read for lack of
// memory settles the journal all the same: a sent stop that its file still
// held as it was before it fired would otherwise fire a second time.
TEST_F(FiringRestartTest, APositionListEndShortOfMemoryStillSettlesWhatACrashLeft) {
  Arm(Stop);
  AddPosition('2', 1, 0, "CU2405", STKPTR(1, 0, 1)).AddStop(desk_.positions, 1, 70000, 0, 0, 0, 0, 0);
  SaveStopOrders(desk_, nullptr, false);
  std::filesystem::create_directories(AccountPath("stoporder/M240121.sto.new/x"));
  replay_.Apply(3495);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  desk_.orders.Add(BrokerOrder(Task(0)));
  journal_.OnOrderInsert(Task(0), 0, "1001", "");
  std::filesystem::remove_all(AccountPath("stoporder/M240121.sto.new"));
  ReleaseAllStops(desk_);
  desk_.tasks.RemoveAll();
  for (int32_t i = 0; i < desk_.positions.GetCount(); ++i) desk_.positions.GetData()[i].Further = 0;
  TStopStore *const fixtureStore = desk_.stopStore;
  {
    TDeskAutomation automation(desk_);
    StopAllocationsLeft = 2;  // M2401's holder and entry; CU2405's holder is refused
    SetMallocRefusal(RefuseStopAllocations);
    const bool shortOfMemory = desk_.stopStore->LoadStopOrders(20240115);
    SetMallocRefusal(nullptr);
    ASSERT_TRUE(shortOfMemory);
    ASSERT_EQ(desk_.positions.GetData()[1].StopCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(AccountPath("firing.jnl")));
  }
  desk_.stopStore = fixtureStore;
  replay_.Apply(3495);
  EXPECT_EQ(desk_.orders.GetCount() + desk_.tasks.GetCount(), 1);
}

// An unsent stop that memory can't take back stays in the journal and
// comes back with the next position list.
TEST_F(FiringRestartTest, AStopMemoryCannotTakeBackWaitsForTheNextList) {
  Arm(Stop);
  replay_.Apply(3495);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  ReleaseAllStops(desk_);
  desk_.tasks.RemoveAll();
  desk_.positions.GetData()[0].Further = 0;
  LoadStopOrders(desk_, 20240115);
  journal_.Load();
  StopAllocationsLeft = 0;
  SetMallocRefusal(RefuseStopAllocations);
  journal_.Reconcile(20240115);
  SetMallocRefusal(nullptr);
  EXPECT_EQ(desk_.positions.GetData()[0].StopCount(), 0);
  ASSERT_EQ(journal_.Intents().size(), 1u);
  journal_.Load();  // kept on disk too
  ASSERT_EQ(journal_.Intents().size(), 1u);
  journal_.Reconcile(20240115);
  EXPECT_TRUE(journal_.Intents().empty());
  replay_.Apply(3495);
  EXPECT_EQ(desk_.tasks.GetCount(), 1);
}

TEST_F(FiringRestartTest, AnUnwritableJournalNeverStopsAFiring) {
  int told = 0;
  journal_.tellFailure = [&](const char *) { ++told; };
  std::filesystem::create_directories(AccountPath("firing.jnl.new/x"));  // the new file can't be made
  Arm(Stop);
  replay_.Apply(3495);
  Long(1, 3480);
  replay_.Apply(3470);
  EXPECT_EQ(desk_.tasks.GetCount(), 2);
  EXPECT_EQ(TaskIntent(Task(0)), 0);
  EXPECT_EQ(told, 1);
}

TEST_F(FiringRestartTest, AnUnwritableStopFileAfterAFiringDoesNotFireTwice) {
  Arm(Stop);
  std::filesystem::create_directories(AccountPath("stoporder/M240121.sto.new/x"));
  replay_.Apply(3495);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  desk_.orders.Add(BrokerOrder(Task(0)));
  journal_.OnOrderInsert(Task(0), 0, "1001", "");
  std::filesystem::remove_all(AccountPath("stoporder/M240121.sto.new"));
  Restart(20240115);
  replay_.Apply(3495);
  EXPECT_EQ(desk_.orders.GetCount() + desk_.tasks.GetCount(), 1);
}

TEST_F(FiringRestartTest, APositionRefreshLeavesAnIntentWhoseTaskStillWaits) {
  Arm(Stop);
  replay_.Apply(3495);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  // The positions come again while the close task waits in the queue.
  LoadStopOrders(desk_, 20240115);
  journal_.Reconcile(20240115);
  EXPECT_EQ(journal_.Intents().size(), 1u);
  EXPECT_EQ(desk_.positions.GetData()[0].StopCount(), 0);  // not put back
  journal_.OnOrderInsert(Task(0), 0, "1001", "");
  EXPECT_EQ(journal_.Intents()[0].state, kIntentSent);
}

}  // namespace
}  // namespace trading_test
