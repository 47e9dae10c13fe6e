#include "tests/trading/dispatcher_fixture.h"
#include "tests/trading/tradedesk_fixture.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/netutil.h"
#include "platform/messages.h"
#include "trading/pluginapi.h"
#include "trading/tradelog.h"

using namespace tb;

namespace trading_test {

ChainBroker Broker;

char *ChainBroker::Block(const void *data, size_t size) {
  char *block = new char[kResultBlockSize]();
  if (data) memcpy(block, data, size);
  live[block] = 0;
  return block;
}

char *ChainBroker::TextBlock(const std::string &text) { return Block(text.c_str(), text.size() + 1); }

int ChainBroker::Ask(const std::string &name) {
  calls.push_back(name);
  const auto result = results.find(name);
  if (result != results.end() && result->second != 0) return result->second;
  const auto answer = answers.find(name);
  if (answer == answers.end()) return 1;
  answer->second();
  return 0;
}

namespace {

int ShortName(char *out) {
  if (out) strcpy(out, "KV");
  return Broker.shortName;
}
int Initialize(HWND, UINT, int, char *, char *, char *, char *) { return Broker.Ask("TradeInitialize"); }
void Finalize() { Broker.calls.push_back("TradeFinalize"); }
void Investor(char *name, char *id, char *password) {
  if (name) strcpy(name, "张三");
  if (id) strcpy(id, "880001");
  if (password) strcpy(password, "111111");
}
void Free(void *block) {
  const auto it = Broker.live.find(block);
  if (it == Broker.live.end()) {
    ++Broker.strayFrees;
    return;
  }
  Broker.live.erase(it);
  ++Broker.freed;
  delete[] static_cast<char *>(block);
}
int Notice() { return Broker.Ask("QueryBrokerNotice"); }
int Settlement(char *, unsigned, int) { return Broker.Ask("QuerySettlementInfo"); }
int Confirm() { return Broker.Ask("SettlementInfoConfirm"); }
int Contracts() { return Broker.Ask("QueryContract"); }
int Orders(int wait) { return Broker.Ask("QueryOrder " + std::to_string(wait)); }
int Trades(char *, char *, int wait) { return Broker.Ask("QueryTrade " + std::to_string(wait)); }
int Positions(int wait) { return Broker.Ask("QueryInvestorPosition " + std::to_string(wait)); }
int Banks() { return Broker.Ask("QueryBank"); }
int Limit(char *, char *) { return Broker.Ask("QueryFutureToBankLimit"); }
void Exchange(unsigned index, char *out) {
  out[0] = 0;
  if (index == 1) strcpy(out, Broker.exchangeOf1.c_str());
}

// The desk tests' plug-in, with this broker's answers and the chain's queries.
void InstallChainPlugin() {
  InstallFakePlugin();
  TradePlugin.GetShortNameOfTradeSystem = ShortName;
  TradePlugin.TradeInitialize = Initialize;
  TradePlugin.TradeFinalize = Finalize;
  TradePlugin.TraderDllFree = Free;
  TradePlugin.GetInvestor = Investor;
  TradePlugin.QueryBrokerNotice = Notice;
  TradePlugin.QuerySettlementInfo = Settlement;
  TradePlugin.SettlementInfoConfirm = Confirm;
  TradePlugin.QueryContract = Contracts;
  TradePlugin.QueryOrder = Orders;
  TradePlugin.QueryTrade = Trades;
  TradePlugin.QueryInvestorPosition = Positions;
  TradePlugin.QueryBank = Banks;
  TradePlugin.QueryFutureToBankLimit = Limit;
  TradePlugin.GetExchangeID = Exchange;
}

}  // namespace

DispatcherTest::DispatcherTest() : trading_(desk_, host_, ui_), dispatch_(trading_, host_) {
  Broker = ChainBroker{};
  ui_.desk = &trading_;
  host_.desk = &trading_;
  host_.window = trace_.Create(0);
  Broker.window = host_.window;
  trading_.bind = [] {
    InstallChainPlugin();
    return true;
  };
  InstallChainPlugin();
  BindLoggerLibrary();
}

DispatcherTest::~DispatcherTest() {
  CloseTradeLog(desk_);
  TradePlugin = TradePluginApi{};
  for (auto &[block, count] : Broker.live) delete[] static_cast<char *>(block);
  Broker.live.clear();
  if (host_.window) DestroyWindow(host_.window);
}

void DispatcherTest::Pump() {
  MSG msg;
  for (int i = 0; i < 10000 && PeekMessageA(&msg, host_.window, WM_TRADE_NOTIFY, WM_TRADE_NOTIFY, PM_REMOVE); ++i)
    dispatch_.HandleTradeNotify(msg.wParam, msg.lParam);
}

std::vector<int> DispatcherTest::PageStates() const {
  std::vector<int> states;
  for (const std::string &call : ui_.Calls("Layout ")) {
    const int state = atoi(call.c_str() + 7);
    if (states.empty() || states.back() != state) states.push_back(state);
  }
  return states;
}

char *DispatcherTest::ContractBlock(const char *code, int valid) {
  TB_CONTRACT c{};
  memcpy(c.InstrumentID, code, strnlen(code, 8));
  strcpy(c.ExchangeID, "DCE");
  c.Attribute = 10;
  c.PriceTick = 1.0;
  c.Valid = valid;
  return Broker.Block(&c, sizeof c);
}

void DispatcherTest::WriteProgramFile(const std::string &name, const std::string &text) {
  std::ofstream(std::filesystem::current_path() / name, std::ios::binary) << text;
}

bool DispatcherTest::ProgramFileExists(const std::string &name) const {
  return std::filesystem::exists(std::filesystem::current_path() / name);
}

}  // namespace trading_test
