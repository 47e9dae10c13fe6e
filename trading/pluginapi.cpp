#include "trading/pluginapi.h"

#include <cstring>

#include "platform/module.h"
#include "platform/msgbox.h"

TradePluginApi TradePlugin{};

namespace {

// The names looked up, in slot order; a second name where an older plug-in
// exports one.
struct SlotName {
  const char *name;
  const char *older;
};
constexpr SlotName kSlotNames[37] = {
    {"GetTraderDllVersion", nullptr},
    {"GetNameOfTradeSystem", nullptr},
    {"GetShortNameOfTradeSystem", nullptr},
    {"GetServerCount", nullptr},
    {"GetServerName", "GetTradeServerName"},
    {"TradeInitialize", "Initialize"},
    {"TradeFinalize", "Finalize"},
    {"TraderDllFree", nullptr},
    {"GetTradeDate", nullptr},
    {"GetInvestor", nullptr},
    {"QueryMoneyHistory", nullptr},
    {"QuerySettlementInfo", nullptr},
    {"SettlementInfoConfirm", nullptr},
    {"QueryContract", nullptr},
    {"QueryMaxOrderVolume", nullptr},
    {"OrderInsert", nullptr},
    {"OrderAction", nullptr},
    {"QueryTradeStatistics", nullptr},
    {"QueryTradingAccount", nullptr},
    {"QueryInvestorPosition", nullptr},
    {"QuerySinglePosition", nullptr},
    {"QueryTrade", nullptr},
    {"QueryOrder", nullptr},
    {"QuerySingleOrder", nullptr},
    {"ChangePassword", nullptr},
    {"ProcessCloseToday", nullptr},
    {"QueryInvestorPositionDetail", nullptr},
    {"QueryBrokerNotice", nullptr},
    {"GetExchangeID", nullptr},
    {"QueryBank", nullptr},
    {"QueryBankAccount", nullptr},
    {"QueryBankBalance", nullptr},
    {"QueryBankTransferDetail", nullptr},
    {"QueryFutureToBankLimit", nullptr},
    {"TransferBankToFuture", nullptr},
    {"TransferFutureToBank", nullptr},
    {"QueryCFMMC", nullptr},
};

int Refuse(HWND owner, const char *text) {
  TradePlugin = TradePluginApi{};
  MessageBoxA(owner, text, "错误", MB_ICONERROR | MB_TOPMOST);
  return 0;
}

}  // namespace

int LoadTradePlugin(HWND owner, const char *pluginName, const char *kernelName) {
  if (!GetModuleHandleA(kernelName) && !LoadLibraryA(kernelName)) return 0;
  HMODULE plugin = GetModuleHandleA(pluginName);
  if (!plugin) plugin = LoadLibraryA(pluginName);
  if (!plugin) return 0;

  TradePluginApi api{};
  void **slots = PluginSlots(api);
  for (int i = 0; i < 37; ++i) {
    FARPROC entry = GetProcAddress(plugin, kSlotNames[i].name);
    if (!entry && kSlotNames[i].older) entry = GetProcAddress(plugin, kSlotNames[i].older);
    slots[i] = reinterpret_cast<void *>(entry);
  }
  for (int i = 0; i < kRequiredPluginSlots; ++i)
    if (!slots[i]) return Refuse(owner, "交易初始化失败，请重新安装本软件。  ");
  if (api.GetTraderDllVersion() != tb::kInterfaceVersion)
    return Refuse(owner, "文件 tradebridge.dll 不匹配，交易初始化失败。  ");
  TradePlugin = api;
  return 1;
}

bool IsProcessCloseToday(const char *exchangeId) {
  if (!TradePlugin.ProcessCloseToday) return false;
  char exchange[16] = {};
  strncpy(exchange, exchangeId ? exchangeId : "", sizeof exchange - 1);
  return TradePlugin.ProcessCloseToday(exchange) != 0;
}
