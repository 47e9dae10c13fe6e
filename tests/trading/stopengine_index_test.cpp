// The stop engine's index by instrument against a walk over the whole
// arrays: two desks get the same changes of their position, stop and
// condition lists and the same quotes, one engine uses its index and the
// other walks everything; after every quote both desks must hold the same
// tasks, stops, orders and profit cells.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "testing/quote_replay.h"
#include "tests/trading/stop_world.h"
#include "trading/conditionorders.h"
#include "trading/stopengine.h"

namespace trading_test {
namespace {

constexpr int32_t kIndexTradeDate = 20240115;

// One desk with its engine.
struct IndexSide {
  explicit IndexSide(TTradeDesk &d) : desk(d), conditions(d, hooks), engine(d, hooks, conditions) {
    hooks.armed = [] { return true; };
    hooks.rights = [] { return uint8_t(kRightStopOrders | kRightConditionOrders); };
    hooks.positionPageShown = [] { return true; };
    hooks.profitCells = [this](int32_t row, const char *floating, const char *holding) {
      cells << row << ':' << floating << '/' << holding << ' ';
    };
    engine.tradeDate = [] { return kIndexTradeDate; };
    conditions.tradeDate = [] { return kIndexTradeDate; };
  }

  // Everything the engine may have changed, as text.
  std::string State() const {
    std::ostringstream out;
    for (int32_t i = 0; i < desk.tasks.GetCount(); ++i) {
      const OrderScript &t = desk.tasks.GetData()[i];
      out << "task " << t.InstrumentID << t.Direction << t.OffsetFlag << ' ' << t.Volume << ' ' << t.Description
          << '\n';
    }
    for (int32_t i = 0; i < desk.positions.GetCount(); ++i) {
      const InvestorPosition_Lite &p = desk.positions.GetData()[i];
      out << "position " << p.InstrumentID << p.PosiDirection << int(p.Attribute) << ' ' << p.Volume << ' '
          << p.Further << ':';
      for (const StopOrder *e = p.Stops ? p.Stops->First : nullptr; e; e = e->Next)
        out << ' ' << e->Volume << '@' << e->StopPrice << '/' << e->ProfitPrice << '~' << e->TrailReference;
      out << '\n';
    }
    for (int32_t i = 0; i < desk.conditions.GetCount(); ++i) {
      const ConditionOrder &c = desk.conditions.GetData()[i];
      out << "order " << c.InstrumentID << ' ' << c.TriggerPrice << ' ' << int(c.State) << '\n';
    }
    return out.str() + cells.str();
  }

  TTradeDesk &desk;
  TAutomationHooks hooks;
  TConditionOrders conditions;
  TStopEngine engine;
  std::ostringstream cells;
  StopOrderPointer *spare = nullptr;  // a holder made ready for a change
};

class StopEngineIndexTest : public StopWorld {
 protected:
  StopEngineIndexTest() : m_(STKPTR(1, 0, 0)), cu_(STKPTR(1, 0, 1)) {
    std::filesystem::create_directories(box_.Path("user/880002/stoporder"));
    twin_.SetAccount("880002");
    SetTable(false);
    walked_.engine.walkAll = true;
    for (TTradeDesk *d : {&desk_, &twin_}) d->options.StopTrigger = d->options.StopTriggerP = 1;
    const auto both = [this](STKPTR s, const REALQUOTE &q, const STKINFO &i) {
      indexed_.engine.CheckStopOrders(s.Word(), q, i);  // as the frame hands it on
      walked_.engine.CheckStopOrders(s, q, i);
    };
    m_.receiver = cu_.receiver = both;
    m_.Reset();
    cu_.Reset();
  }
  ~StopEngineIndexTest() override { ReleaseAllStops(twin_); }

  // The two contracts, in their order or the other way round (a new table
  // after a relogin).
  void SetTable(bool reversed) {
    CContractInfo table[2] = {Contract("M2401", STKPTR(1, 0, 0)), Contract("CU2405", STKPTR(1, 0, 1))};
    table[0].PriceTick = 0.2;
    table[0].VolumeMultiple = 10;
    table[1].PriceTick = 10;
    table[1].VolumeMultiple = 5;
    if (reversed) std::swap(table[0], table[1]);
    desk_.SetContracts(table, 2);
    twin_.SetContracts(table, 2);
  }

  static InvestorPosition_Lite &Held(TTradeDesk &desk, const char *code, char direction, int32_t volume,
                                     char attribute = 0) {
    InvestorPosition_Lite &p =
        AddHeldPosition(desk, code, direction, volume, attribute, STKPTR(1, 0, strcmp(code, "M2401") == 0 ? 0 : 1));
    p.OpenAverage = p.HoldingAverage = 3500;
    return p;
  }
  static ConditionOrder Order(const char *code, uint8_t kind, double trigger) {
    ConditionOrder c = BuyToOpenCondition(code, int8_t(kind));
    c.TriggerPrice = trigger;
    c.Stock = STKPTR(1, 0, strcmp(code, "M2401") == 0 ? 0 : 1);
    return c;
  }

  TTradeDesk twin_;
  IndexSide indexed_{desk_}, walked_{twin_};
  TQuoteReplay m_, cu_;
};

TEST_F(StopEngineIndexTest, EveryChangeOfTheListsFiresAsAWalkOverThemWould) {
  struct Quote {
    bool copper;
    double last, bid, ask;
  };
  struct Step {
    const char *change;
    std::function<void(TTradeDesk &, IndexSide &)> apply;
    std::vector<Quote> quotes;
    int tasks;  // new tasks the quotes queue
  };
  const Step steps[] = {
      {"positions, stops and orders added",
       [](TTradeDesk &d, IndexSide &) {
         Held(d, "M2401", '2', 3).AddStop(d.positions, 3, 3490, 0, 3560, 0, 0, kIndexTradeDate);
         Held(d, "CU2405", '3', 2).AddStop(d.positions, 2, 3620, 10, 0, 3600, 0, kIndexTradeDate);
         d.conditions.Add(Order("M2401", 1, 3480));
         d.conditions.Add(Order("CU2405", 0, 3700));
       },
       {{false, 3500, 3499, 3501}, {true, 3600, 0, 0}, {true, 3580, 3570, 3590}, {false, 3495, 0, 0}},
       0},
      {"a position in front deleted",
       [](TTradeDesk &d, IndexSide &) {
         if (d.positions.GetData()[0].Stops && d.positions.GetData()[0].Stops->Release())
           StopOrderPointer::Destroy(d.positions.GetData()[0].Stops);
         d.positions.RemoveAt(0);
       },
       {{false, 3480, 0, 0}, {true, 3600, 0, 0}},
       2},
      {"stops saved, positions renewed in another order, stops loaded from the files",
       [](TTradeDesk &d, IndexSide &) {
         ReleaseAllStops(d);
         d.positions.RemoveAll();
         Held(d, "CU2405", '2', 4);
         Held(d, "M2401", '3', 2);
         Held(d, "M2401", '2', 5);
         d.positions.GetData()[0].AddStop(d.positions, 4, 3550, 0, 0, 0, 0, kIndexTradeDate);
         d.positions.GetData()[1].AddStop(d.positions, 1, 3540, 10, 3400, 3500, 0, kIndexTradeDate);
         d.positions.GetData()[2].AddStop(d.positions, 2, 3450, 0, 3530, 0, 0, kIndexTradeDate);
         SaveStopOrders(d, nullptr, false);
         ReleaseAllStops(d);
         LoadStopOrders(d, kIndexTradeDate);
       },
       {{false, 3480, 0, 0}, {false, 3470, 3468, 3472}, {true, 3560, 0, 0}, {false, 3535, 0, 0}},
       2},
      {"a fill adds yesterday's record sharing the holder",
       [](TTradeDesk &d, IndexSide &) {
         StopOrderPointer *shared = d.positions.GetData()[2].Stops;
         InvestorPosition_Lite &y = Held(d, "M2401", '2', 2, 1);
         y.Stops = shared->AddRef();
         y.AddStop(d.positions, 2, 3460, 0, 0, 0, 0, kIndexTradeDate);
       },
       {{false, 3455, 0, 0}},
       1},
      {"an order cancelled, one added and one moved to the other contract",
       [](TTradeDesk &d, IndexSide &) {
         d.conditions.Add(Order("M2401", 1, 3430));
         d.conditions.RemoveAt(0);
         d.conditions.Add(Order("M2401", 0, 3600));
         d.conditions.SetAt(1, Order("CU2405", 0, 3705));
       },
       {{true, 3710, 0, 0}, {false, 3425, 0, 0}},
       2},
      {"two orders of one contract fire in one quote around another's",
       [](TTradeDesk &d, IndexSide &) {
         d.conditions.Add(Order("M2401", 1, 3420));
         d.conditions.Add(Order("CU2405", 1, 3000));
         d.conditions.Add(Order("M2401", 1, 3415));
       },
       {{false, 3410, 0, 0}, {true, 3100, 0, 0}},
       3},
      {"relogin: lists emptied, a new contract table, orders loaded from the file",
       [this](TTradeDesk &d, IndexSide &side) {
         SetTable(true);
         side.conditions.SaveConditionOrders();
         ReleaseAllStops(d);
         d.positions.RemoveAll();
         d.conditions.RemoveAll();
         side.conditions.LoadConditionOrders(kIndexTradeDate);
         Held(d, "M2401", '3', 3).AddStop(d.positions, 3, 3700, 0, 0, 0, 0, kIndexTradeDate);
         Held(d, "CU2405", '2', 1).AddStop(d.positions, 1, 3100, 0, 0, 0, 0, kIndexTradeDate);
       },
       {{false, 3650, 0, 0}, {false, 3705, 0, 0}, {true, 3100, 0, 0}},
       2},
      {"instruments bound anew in place",
       [](TTradeDesk &d, IndexSide &) {
         Held(d, "M2401", '2', 1).AddStop(d.positions, 1, 3300, 0, 0, 0, 0, kIndexTradeDate);
         d.positions.GetData()[d.positions.GetCount() - 1].Stock = STKPTR(1, 0, 1);
         d.positions.MarkChanged();
         d.conditions.Add(Order("CU2405", 0, 3200));
         d.conditions.GetData()[d.conditions.GetCount() - 1].Stock = STKPTR(1, 0, 0);
         d.conditions.MarkChanged();
       },
       {{true, 3290, 0, 0}, {false, 3250, 0, 0}},
       2},
  };
  int32_t before = 0;
  for (const Step &step : steps) {
    SCOPED_TRACE(step.change);
    step.apply(desk_, indexed_);
    step.apply(twin_, walked_);
    for (const Quote &q : step.quotes) {
      (q.copper ? cu_ : m_).Apply(q.last, q.bid, q.ask);
      ASSERT_EQ(indexed_.State(), walked_.State()) << "after " << q.last;
    }
    EXPECT_EQ(desk_.tasks.GetCount() - before, step.tasks);
    before = desk_.tasks.GetCount();
  }
}

TEST_F(StopEngineIndexTest, ANewContractTableIsSeenByTheNextQuote) {
  for (TTradeDesk *d : {&desk_, &twin_})
    Held(*d, "M2401", '2', 1).AddStop(d->positions, 1, 3490, 0, 0, 0, 0, kIndexTradeDate);
  m_.Apply(3500);
  // The table goes away: the stop has no contract to be priced by.
  desk_.FreeContracts();
  twin_.FreeContracts();
  m_.Apply(3480);
  EXPECT_TRUE(desk_.tasks.IsEmpty());
  SetTable(true);
  m_.Apply(3470);
  ASSERT_EQ(desk_.tasks.GetCount(), 1);
  EXPECT_EQ(indexed_.State(), walked_.State());
}

// The engine skips an instrument's entries and orders while the price is
// outside their trigger bands; each change below comes alone after a quote
// that computed the bands and makes the next quote fire.
TEST_F(StopEngineIndexTest, EachChangeAloneAfterAQuoteIsSeenByTheNext) {
  using Change = std::function<void(TTradeDesk &, IndexSide &)>;
  const auto none = [](TTradeDesk &, IndexSide &) {};
  struct Case {
    const char *change;
    Change setup, apply;
    double first, then;  // M2401's last price before and after the change
  } cases[] = {
      {"an entry added", [](TTradeDesk &d, IndexSide &) { Held(d, "M2401", '2', 2).AddStop(d.positions, 1, 3400, 0, 0, 0, 0, kIndexTradeDate); },
       [](TTradeDesk &d, IndexSide &) { d.positions.GetData()[0].AddStop(d.positions, 1, 3490, 0, 0, 0, 0, kIndexTradeDate); },
       3500, 3489},
      {"the entries replaced as the stop dialog saves them",
       [](TTradeDesk &d, IndexSide &side) {
         Held(d, "M2401", '2', 2).AddStop(d.positions, 1, 3400, 0, 0, 0, 0, kIndexTradeDate);
         side.spare = StopOrderPointer::Create();
         side.spare->AddEntry(STKPTR(1, 0, 0), 1, 3300, 0, 3510, 0, 0, kIndexTradeDate);
       },
       [](TTradeDesk &d, IndexSide &side) {
         d.positions.GetData()[0].Stops->Assign(side.spare);
         StopOrderPointer::Destroy(side.spare);
         side.spare = nullptr;
       },
       3500, 3511},
      {"the entries loaded from a file written meanwhile",
       [this](TTradeDesk &d, IndexSide &) {
         Held(d, "M2401", '3', 2).AddStop(d.positions, 1, 3600, 0, 0, 0, 0, kIndexTradeDate);
         SaveStopOrders(d, nullptr, false);
         const std::string account = &d == &desk_ ? "880001" : "880002";
         std::ofstream(box_.Path("user/" + account + "/stoporder/M240131.sto"), std::ios::binary)
             << "kvstop2" << '\0' << Record(3510, 0, 0, 0, 1);
       },
       [](TTradeDesk &d, IndexSide &) { LoadStopOrders(d, kIndexTradeDate); }, 3500, 3512},
      {"a trailing stop moved by the quote before",
       [](TTradeDesk &d, IndexSide &) { Held(d, "M2401", '2', 1).AddStop(d.positions, 1, 3400, 50, 0, 3500, 0, kIndexTradeDate); },
       none, 3600, 3500},
      {"a paused order resumed in place",
       [](TTradeDesk &d, IndexSide &) {
         ConditionOrder c = Order("M2401", 1, 3480);
         c.State = 0x01;
         d.conditions.Add(c);
       },
       [](TTradeDesk &d, IndexSide &) { d.conditions.GetData()[0].State = 0; }, 3470, 3470},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.change);
    for (IndexSide *side : {&indexed_, &walked_}) {
      ReleaseAllStops(side->desk);
      side->desk.positions.RemoveAll();
      side->desk.conditions.RemoveAll();
      side->desk.tasks.RemoveAll();
      c.setup(side->desk, *side);
    }
    m_.Reset();
    m_.Apply(c.first);
    ASSERT_TRUE(desk_.tasks.IsEmpty());
    c.apply(desk_, indexed_);
    c.apply(twin_, walked_);
    m_.Apply(c.then);
    EXPECT_EQ(desk_.tasks.GetCount(), 1);
    EXPECT_EQ(indexed_.State(), walked_.State());
  }
}

}  // namespace
}  // namespace trading_test
