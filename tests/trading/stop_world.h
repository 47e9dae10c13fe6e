// A desk with positions, contracts and stop files for the stop-store,
// stop-engine, condition-order and journal tests: the contract M2401 on
// the day futures market (market 1, stock 0, tick 0.2, multiple 10) and
// CU2405 (market 1, stock 1).
#pragma once

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/trading/desk_fixture.h"
#include "trading/stoporders.h"

namespace trading_test {

// A speculative position record of the desk, added at its end.
inline InvestorPosition_Lite &AddHeldPosition(TTradeDesk &desk, const char *code, char direction, int32_t volume,
                                              char attribute, STKPTR stock) {
  InvestorPosition_Lite p{};
  memset(static_cast<void *>(&p), 0, sizeof p);
  strncpy(p.InstrumentID, code, 7);
  p.PosiDirection = direction;
  p.HedgeFlag = '1';
  p.Attribute = attribute;
  p.Volume = volume;
  p.Stock = stock;
  desk.positions.Add(p);
  return desk.positions.GetData()[desk.positions.GetCount() - 1];
}

class StopWorld : public DeskTest {
 protected:
  StopWorld() {
    std::filesystem::create_directories(box_.Path("user/880001/stoporder"));
    CContractInfo table[2] = {Contract("M2401", STKPTR(1, 0, 0)), Contract("CU2405", STKPTR(1, 0, 1))};
    table[0].PriceTick = 0.2;
    table[0].VolumeMultiple = 10;
    strcpy(table[0].ExchangeID, "DCE");
    table[1].PriceTick = 10;
    table[1].VolumeMultiple = 5;
    strcpy(table[1].ExchangeID, "SHFE");
    desk_.SetContracts(table, 2);
  }
  ~StopWorld() override { ReleaseAllStops(desk_); }

  // A position record of M2401 (or code) on the side.
  InvestorPosition_Lite &AddPosition(char direction, int32_t volume, char attribute = 0, const char *code = "M2401",
                                     STKPTR stock = STKPTR(1, 0, 0)) {
    return AddHeldPosition(desk_, code, direction, volume, attribute, stock);
  }

  // One lot of code bought to open, speculative, priced by kind 1 one tick
  // through.
  static ConditionOrder BuyToOpenCondition(const char *code, int8_t trigger) {
    ConditionOrder c;
    memset(static_cast<void *>(&c), 0, sizeof c);
    strcpy(c.InstrumentID, code);
    c.Direction = '0';
    c.OffsetFlag = '0';
    c.HedgeFlag = '1';
    c.Ticks = 1;
    c.TriggerKind = trigger;
    c.PriceKind = 1;
    c.Volume = 1;
    return c;
  }
  // A speculative opening condition order on M2401, priced by kind 1, added
  // to the desk.
  ConditionOrder &AddConditionOrder(char direction, int8_t trigger, double triggerPrice, int32_t volume,
                                    uint8_t state) {
    ConditionOrder c;
    memset(static_cast<void *>(&c), 0, sizeof c);
    strcpy(c.InstrumentID, "M2401");
    c.Direction = direction;
    c.OffsetFlag = '0';
    c.HedgeFlag = '1';
    c.TriggerKind = trigger;
    c.TriggerPrice = triggerPrice;
    c.PriceKind = 1;
    c.Volume = volume;
    c.State = state;
    c.Stock = STKPTR(1, 0, 0);
    desk_.conditions.Add(c);
    return desk_.conditions.GetData()[desk_.conditions.GetCount() - 1];
  }

  static std::vector<double> Stops(const InvestorPosition_Lite &p) {
    std::vector<double> out;
    for (const StopOrder *e = p.Stops ? p.Stops->First : nullptr; e; e = e->Next) out.push_back(e->StopPrice);
    return out;
  }
  static std::vector<int32_t> Volumes(const InvestorPosition_Lite &p) {
    std::vector<int32_t> out;
    for (const StopOrder *e = p.Stops ? p.Stops->First : nullptr; e; e = e->Next) out.push_back(e->Volume);
    return out;
  }

  std::string ReadBytes(const std::string &name) const {
    std::ifstream in(AccountPath(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteBytes(const std::string &name, const std::string &bytes) const {
    std::ofstream(AccountPath(name), std::ios::binary) << bytes;
  }
  static std::string Record(double stop, double trailing, double profit, double reference, int32_t volume,
                            int32_t expiry = 0, size_t size = kStopRecordSize) {
    StopOrder e{};
    e.StopPrice = stop;
    e.Trailing = trailing;
    e.ProfitPrice = profit;
    e.TrailReference = reference;
    e.Volume = volume;
    e.ExpiryDay = expiry;
    unsigned char bytes[kStopRecordSize];
    PutStopRecord(e, bytes);
    memset(bytes + 12, 0xAB, 4);  // a stale link as older writers left it
    return std::string(reinterpret_cast<char *>(bytes), size);
  }
  // The quote of an instrument of market 1, prices in units of 1/1000.
  static REALQUOTE &Quote(int stock = 0) { return MarketAt(1)->m_quotes[stock]; }
};

}  // namespace trading_test
