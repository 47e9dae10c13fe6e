#include "trading/dispatcher.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "trading/deskdata.h"
#include "trading/listarea.h"
#include "trading/pendingorders.h"
#include "trading/pluginapi.h"
#include "trading/stopcolumns.h"
#include "trading/stopdialog.h"
#include "trading/tradedesk.h"
#include "trading/tradelog.h"

using namespace tb;

namespace {

constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kBlue = 0xFF0000;

// The block of one notification, returned to the plug-in once, after its
// last use, whatever path the case takes.
class TBlockGuard {
 public:
  explicit TBlockGuard(void *block) : block_(block) {}
  ~TBlockGuard() { Free(); }
  TBlockGuard(const TBlockGuard &) = delete;
  TBlockGuard &operator=(const TBlockGuard &) = delete;
  void Free() {
    if (block_ && TradePlugin.TraderDllFree) TradePlugin.TraderDllFree(block_);
    block_ = nullptr;
  }
  // Someone else returns it now (a dialog the block is posted to).
  void *Release() {
    void *b = block_;
    block_ = nullptr;
    return b;
  }

 private:
  void *block_;
};

// Whether lParam of that notification is one of the plug-in's blocks.
bool CarriesBlock(uint32_t code, uint32_t high, LPARAM lParam) {
  if (lParam == 0) return false;
  switch (code) {
    case TN_CONNECTION_STATE:
    case TN_LOGIN_PROGRESS:
    case TN_EXCHANGE_STATUS:
      return false;  // values
    case TN_PASSWORD_CHANGED:
      return high != 0;  // the kind changed is a value
    case 22:
      return high != 1;  // a trade built here from a fill
    case TN_SETTLEMENT_INFO: case TN_SETTLEMENT_CONFIRMED: case 6: case TN_ORDER_ACTION_RESULT:
    case TN_CONTRACT: case TN_LOGIN_DONE: case TN_QUERY_REPORT: case TN_POSITIONS: case TN_TRADES:
    case TN_ORDERS: case TN_MAX_ORDER_VOLUME: case TN_SINGLE_POSITION: case TN_ORDER_RETURN: case TN_BANKS:
    case TN_BANK_BALANCE: case TN_BANK_TRANSFERS: case TN_BANK_TO_FUTURE_DONE: case TN_FUTURE_TO_BANK_DONE:
    case TN_BROKER_NOTICE: case TN_SYSTEM_NOTICE: case TN_CFMMC: case TN_WITHDRAW_LIMIT: case 37: case 38:
      return true;
    default:
      return false;  // codes never asked for, or without a meaning
  }
}

// The failure text of a block, read within the block, or the default.
std::string FailureText(const char *block, const char *fallback) {
  if (!block) return fallback;
  return std::string(block, strnlen(block, kMaxBlockText));
}

int TradeDateNumber() {
  char date[16] = {};
  if (TradePlugin.GetTradeDate) TradePlugin.GetTradeDate(date);
  return atoi(date);
}

// A per-account file of day data: deleted and dated anew when its date is
// not the trade date.
void ResetDayFile(const std::string &file, const char *tradeDate) {
  char stored[16] = {};
  GetPrivateProfileStringA("General", "Date", "", stored, sizeof stored, file.c_str());
  if (strncmp(stored, tradeDate, 8) == 0) return;
  DeleteFileA(file.c_str());
  WritePrivateProfileStringA("General", "Date", tradeDate, file.c_str());
}

}  // namespace

// ---- list texts ----

const char *HedgeFlagName(char flag) { return flag == '2' ? "套利" : flag == '3' ? "保值" : "投机"; }
const char *HedgeFlagShortName(char flag) { return flag == '2' ? "  套" : flag == '3' ? "  保" : "投"; }
const char *OffsetFlagName(char flag) { return flag == '1' ? "平仓" : flag == '3' ? "平今" : "开仓"; }

char *TrimPriceText(char *text) {
  const size_t n = strlen(text);
  bool cut = false;
  if (n >= 5 && strcmp(text + n - 4, ".000") == 0) {
    text[n - 4] = 0;
    cut = true;
  } else if (n >= 4 && strcmp(text + n - 3, ".00") == 0) {
    text[n - 3] = 0;
    cut = true;
  }
  if (cut) {
    if (strcmp(text, "-0") == 0) strcpy(text, "0");
    return text;
  }
  if (!strchr(text, '.')) return text;
  size_t end = n;
  while (end > 0 && text[end - 1] == '0') --end;
  text[end] = 0;
  return text;
}

std::string BlockPathInside(const char *block, size_t room) {
  if (!block) return {};
  const size_t length = strnlen(block, room);
  if (length == 0 || length == room) return {};
  const std::string path(block, length);
  const std::string resolved = platform::ResolvePath(path.c_str());
  std::string folder = platform::ResolvePath(".");
  if (folder.empty() || resolved.empty()) return {};
  if (folder.back() != '/') folder += '/';
  if (resolved.compare(0, folder.size(), folder) != 0 || resolved.size() == folder.size()) return {};
  return path;
}

// ---- the handler ----

TTradeDispatcher::TTradeDispatcher(TTradingDesk &desk, TDeskHost &host)
    : contracts(desk.Data()), book(desk.Data(), host), pending(desk.Data(), book), positionBook(desk.Data()),
      taskQueue(desk, book, host), desk_(desk), data_(desk.Data()),
      host_(host) {
  desk_.closing = [this] { contracts.Abandon(); };
  book.positions = &positionBook;
  positionBook.updateStopColumns = [this](const InvestorPosition_Lite &p) {
    UpdatePositionStopColumns(positionBook.rows, data_.positions, p);
  };
  positionBook.stopDialogChanged = [this](InvestorPosition_Lite *p) {
    const bool added = p && positionBook.stopAdded;
    positionBook.stopAdded = false;
    StopDialogPositionChanged(p, added ? &positionBook.stopAddition : nullptr);
  };
  book.onTaskOrderReturn = [this](CKivoOrderField *order) { taskQueue.OnTaskOrderReturn(order); };
  book.onTaskCancelResult = [this](const char *block) { return taskQueue.OnTaskCancelResult(block); };
  book.hasPendingOrders = [this] { return HasPendingOrders(data_); };
  book.loadPendingOrders = [this] {
    if (hooks.loadPendingOrders)
      hooks.loadPendingOrders();
    else
      pending.Load(true);
  };
  pending.armed = [this] { return desk_.automationArmed; };
  book.clearPanelFunds = [this] { panel.edit6.clear(), panel.edit7.clear(), panel.labelF65.clear(), panel.labelF66.clear(); };
  book.refocusOrderArea = [this] { desk_.Ui().RefocusOrderArea(); };
  book.tradingWindowVisible = [this] { return desk_.Ui().PanelVisible(); };
}

TTradeDispatcher::~TTradeDispatcher() { desk_.closing = nullptr; }

void TTradeDispatcher::Post(uint32_t wParam, LPARAM lParam) {
  PostMessageA(host_.Window(), WM_TRADE_NOTIFY, wParam, lParam);
}

void TTradeDispatcher::Progress(const char *text) {
  desk_.SetMessage(text, kBlue, 9);
  desk_.Ui().LoginPageChanged();
}

void TTradeDispatcher::CloseTrading(const char *text) {
  contracts.Abandon();
  desk_.CloseTrading(text);
}

LRESULT TTradeDispatcher::HandleTradeNotify(WPARAM wParam, LPARAM lParam) {
  if (!TradingBound()) return 0;
  const uint32_t code = uint32_t(wParam) & 0xFFFF;
  const uint32_t high = uint32_t(wParam) >> 16;
  if (code > 38) return 0;
  const bool owned = CarriesBlock(code, high, lParam);
  char *block = owned ? reinterpret_cast<char *>(lParam) : nullptr;
  TBlockGuard guard(block);
  switch (code) {
    case TN_CONNECTION_STATE: ConnectionState(int32_t(lParam)); break;
    case TN_LOGIN_PROGRESS:
      if (int(desk_.login.servers.size()) > int(high)) {
        desk_.login.serverIndex = int(high);
        desk_.Ui().LoginPageChanged();
      }
      break;
    case TN_SETTLEMENT_INFO: {
      const HWND dialog = hooks.reportDialog ? hooks.reportDialog() : nullptr;
      const bool failed = high != 0 || !block;
      if (dialog && failed) {
        const std::string text = FailureText(block, "");
        if (!(text.find("未发布") != std::string::npos || text.find("未生成") != std::string::npos)) {
          // The dialog shows the text and returns the block.
          if (!PostMessageA(dialog, WM_TONGJI_SETTLEMENT, WPARAM(guard.Release()), 0)) guard.Free();
          break;
        }
      }
      if (dialog) {
        if (hooks.onSettlementInfo) hooks.onSettlementInfo(block, failed);
        break;
      }
      SettlementInfo(high, block);
      break;
    }
    case TN_SETTLEMENT_CONFIRMED: SettlementConfirmed(high, block); break;
    case 6:  // an order-insert error
      if (high != 0) book.InsertError(block);
      break;
    case TN_ORDER_ACTION_RESULT:
      if (high != 0 || block) book.CancelError(block);
      break;
    case TN_ORDER_RETURN: book.OrderReturn(reinterpret_cast<const CKivoOrderField *>(block)); break;
    case 22:  // a trade: the plug-in's block, or one built from a fill (high word 1)
      book.TradeReturn(reinterpret_cast<const TB_TRADE *>(lParam));
      break;
    case TN_SINGLE_POSITION:
      if (high == 0 && block)
        positionBook.UpdatePositionPrices(*reinterpret_cast<const TB_POSITION *>(block),
                                          data_.serverMinute ? data_.serverMinute() : 0);
      break;
    case TN_CONTRACT: Contract(high, block); break;
    case TN_LOGIN_DONE: LoginDone(high, block); break;
    case TN_QUERY_REPORT: QueryReport(high, block); break;
    case TN_POSITIONS: Positions(high, block); break;
    case TN_TRADES: Trades(high, block); break;
    case TN_ORDERS: Orders(high, block); break;
    case TN_PASSWORD_CHANGED:
      if (high != 0)
        MessageBoxA(host_.Window(), FailureText(block, "系统内存不足。  ").c_str(), "修改密码失败",
                    MB_OK | MB_ICONERROR | MB_TOPMOST);
      else
        MessageBoxA(host_.Window(),
                    lParam == 0 ? "修改交易密码成功，下次登录请使用新密码。  " : "修改资金密码成功，下次请使用新密码。",
                    "修改密码成功", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
      desk_.Ui().RefocusOrderArea();
      break;
    case TN_MAX_ORDER_VOLUME: MaxOrderVolume(high, block); break;
    case TN_CFMMC: MarginMonitor(high, block); break;
    case TN_BANKS:
      if (high != 0 && hooks.bankPage) {
        hooks.bankPage(code | TN_TEXT_FLAG, LPARAM(guard.Release()));
        block = nullptr;
      }
      Banks(high, block);
      break;
    case TN_BANK_BALANCE: case TN_BANK_TRANSFERS: case TN_BANK_TO_FUTURE_DONE: case TN_FUTURE_TO_BANK_DONE:
    case 38:
      if (hooks.bankPage) hooks.bankPage(code | (high != 0 || !block ? TN_TEXT_FLAG : 0), LPARAM(guard.Release()));
      break;
    case TN_BROKER_NOTICE: BrokerNotice(high); break;
    case TN_SYSTEM_NOTICE:
      if (block)
        MessageBoxA(host_.Window(), FailureText(block, "").c_str(), "交易系统提示",
                    MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
      break;
    case TN_EXCHANGE_STATUS: ExchangeStatus(uint32_t(lParam)); break;
    case TN_WITHDRAW_LIMIT:
      if (high == 0 && block) {
        int32_t minimum;
        memcpy(&minimum, block, sizeof minimum);
        withdrawMinimum = minimum;
      }
      guard.Free();
      ChainEnd();
      break;
    case 37: BankAccount(high, block); break;
    default: break;  // 0, 1, 17 to 20, 31 to 34: nothing
  }
  return 0;
}

// ---- the session ----

void TTradeDispatcher::LoginDone(uint32_t high, const char *block) {
  if (high != 0 || !block) {
    CloseTrading(FailureText(block, "查询投资者信息失败。").c_str());
    return;
  }
  char name[64] = {}, id[64] = {};
  TradePlugin.GetInvestor(name, id, nullptr);
  data_.SetAccount(id);
  char command[128];
  snprintf(command, sizeof command, "..\\svcdesk\\svcdesk.exe -HIDE-%s 2", id);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, "..\\svcdesk\\", &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  desk_.holderName = name;
  data_.LoadOptionShortcuts();
  char title[96];
  snprintf(title, sizeof title, "kivo %s", name);
  host_.SetTitle(title);

  char tradeDate[16] = {};
  TradePlugin.GetTradeDate(tradeDate);
  const int date = atoi(tradeDate);
  PurgeTradeLogs(data_, date);
  // A log that cannot be opened has shown its box; trading goes on unlogged.
  const bool logged = OpenTradeLog(data_, date) == 1;
  if (logged) {
    WriteTradeLog(data_, TLOG_CONNECTION, host_.QuoteConnected() ? "1|1|" : "1|0|");
    LogDiskSpace(data_);
  }
  ResetDayFile(data_.AccountFile("ordrtime.ini"), tradeDate);
  ResetDayFile(data_.AccountFile("scriptorder.ini"), tradeDate);
  NoteDayFilesChanged();
  if (TradePlugin.QueryCFMMC && GetPrivateProfileIntA("UI", "CFMMC", 1, kSharedConsign) != 0) {
    const std::string file = data_.AccountFile("consign.ini");
    char last[16] = {};
    GetPrivateProfileStringA("Config", "LASTCFMMC", "", last, sizeof last, file.c_str());
    if (strcmp(last, tradeDate) != 0) {
      WritePrivateProfileStringA("Config", "LASTCFMMC", tradeDate, file.c_str());
      TradePlugin.QueryCFMMC();
    }
  }
  if (logged) {
    const uint32_t n = host_.ProgramVersion();
    char version[48];
    snprintf(version, sizeof version, "0|%u.%u.%u", n / 10000000, n % 10000000 / 10000, n % 10000);
    WriteTradeLog(data_, TLOG_VERSION, version);
  }
  desk_.automationArmed = false;
  if (logged)
    for (int code : {TLOG_PENDING_EVENT, TLOG_STOP_EVENT, TLOG_CONDITION_EVENT}) WriteTradeLog(data_, code, "3|");
  desk_.SetupTradingPanel(1);
  desk_.Ui().ShowQuickKeys();

  const auto *login = reinterpret_cast<const TB_LOGIN *>(block);
  const int first = login->Flags[0] - '0', second = login->Flags[1] - '0';
  desk_.loginFlags = int32_t(uint32_t(first & 0xFFFF) | uint32_t(second & 0xFFFF) << 16);
  desk_.ShowPage(kPageLoggedIn);
  desk_.Ui().ClearViewer();
  const std::string summary = BlockPathInside(login->SummaryPath, sizeof login->SummaryPath);
  if (!summary.empty()) {
    desk_.Ui().LoadViewer(summary.c_str());
    DeleteFileA(summary.c_str());
  }
  desk_.Ui().FocusViewer();
  const int shortName = TradePlugin.GetShortNameOfTradeSystem(nullptr);
  if (desk_.autoRelogin || (shortName == 0 && (first == 0 || second != 0))) desk_.XPButton19Click();
}

void TTradeDispatcher::SettlementInfo(uint32_t high, char *block) {
  const bool failed = high != 0 || !block;
  if (desk_.pageState == kPageLogin) {
    if (failed) {
      desk_.SetMessage(FailureText(block, "查询结算单失败，系统内存不足。").c_str(), kRed, 9);
      desk_.Ui().LoginPageChanged();
      Post(TN_SETTLEMENT_CONFIRMED, 0);
      return;
    }
    desk_.ShowPage(kPageStatement);
    desk_.Ui().ClearViewer();
    desk_.Ui().ViewerFontSize(12);
    const std::string path = BlockPathInside(block, kResultBlockSize);
    if (!path.empty()) {
      desk_.Ui().LoadViewer(path.c_str());
      DeleteFileA(path.c_str());
    }
    desk_.Ui().FocusViewer();
    return;
  }
  if (desk_.pageState == kPageQuery) {
    if (failed) {
      if (hooks.queryPageNotice)
        hooks.queryPageNotice(FailureText(block, "查询结算单失败，系统内存不足。").c_str(), true);
      return;
    }
    const std::string path = BlockPathInside(block, kResultBlockSize);
    if (!path.empty()) {
      if (hooks.queryPageFile) hooks.queryPageFile(path.c_str());
      DeleteFileA(path.c_str());
      if (hooks.queryStatementShown) hooks.queryStatementShown();
    }
  }
}

void TTradeDispatcher::SettlementConfirmed(uint32_t high, const char *block) {
  if (high != 0) {
    CloseTrading(FailureText(block, "确认结算单失败，系统内存不足。").c_str());
    return;
  }
  contracts.Begin();
  desk_.Ui().ClearContractCombos();
  const int r = TradePlugin.QueryContract();
  if (r != 0) {
    char text[64];
    snprintf(text, sizeof text, "查询合约失败 (%i) ", r);
    CloseTrading(text);
    return;
  }
  Progress("更新合约列表...");
  desk_.ShowPage(kPageLogin);
  desk_.Ui().ClearViewer();
}

void TTradeDispatcher::BrokerNotice(uint32_t high) {
  const char *file = ".\\BrokerNote.txt";
  HANDLE f = high != 0 ? INVALID_HANDLE_VALUE
                       : CreateFileA(file, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    desk_.pageState = kPageNoticeRead;
    desk_.XPButton19Click();
    return;
  }
  DWORD size = GetFileSize(f, nullptr);
  std::string text;
  if (size != INVALID_FILE_SIZE) {
    text.resize(size);
    DWORD read = 0;
    ReadFile(f, text.data(), size, &read, nullptr);
    text.resize(read);
  }
  CloseHandle(f);
  desk_.Ui().ClearViewer();
  if (hooks.showNotice) hooks.showNotice(text.c_str());
  desk_.ShowPage(kPageNoticeRead);
  desk_.Ui().FocusViewer();
  if (desk_.autoRelogin) desk_.XPButton19Click();
}

// ---- the lists of the chain ----

void TTradeDispatcher::Contract(uint32_t high, const char *block) {
  if (high != 0) {
    CloseTrading(FailureText(block, "查询合约失败，系统内存不足。").c_str());
    return;
  }
  if (block) {
    const bool written = contracts.Add(*reinterpret_cast<const TB_CONTRACT *>(block));
    if (!written) {
      desk_.SetMessage("写入临时文件失败。", kRed, 9);
      desk_.Ui().LoginPageChanged();
      return;
    }
    char text[64];
    snprintf(text, sizeof text, "更新合约列表...%i", contracts.Count());
    Progress(text);
    return;
  }
  if (const char *failure = contracts.Finish()) {
    CloseTrading(failure);
    return;
  }
  desk_.Ui().FillContractCombos();
  if (hooks.loadPendingOrders)
    hooks.loadPendingOrders();
  else
    pending.Load(false);
  if (hooks.loadConditionOrders) hooks.loadConditionOrders(TradeDateNumber());
  desk_.ShowPage(kPageContracts);
  XPButton4Click(false);
}

// A list of the chain: the page it runs on, the page that shows it, its
// texts and what its end logs when records were lost.
struct TListStep {
  int chainPage, ownPage;
  const char *refused, *failure, *progress, *lost;
};

namespace {
constexpr TListStep kOrderList{kPageContracts, kPageOrders, "查询当日委托失败 (%i) ", "查询当日委托失败，系统内存不足。",
                               "正在查询当日委托...", "2|内存不足，部分委托未能保存"};
constexpr TListStep kTradeList{kPageOrdersLoaded, kPageTrades, "查询当日成交失败 (%i) ", "查询当日成交失败，系统内存不足。",
                               "正在查询当日成交...", "2|内存不足，部分成交未能保存"};
constexpr TListStep kPositionList{kPageTradesLoaded, kPagePositions, "查询持仓失败 (%i) ", "查询持仓失败，系统内存不足。",
                                  "正在查询持仓...", "2|内存不足，部分持仓未能保存"};

}  // namespace

void TTradeDispatcher::ListAsked(int result, const TListStep &step) {
  if (result != 0) {
    char text[64];
    snprintf(text, sizeof text, step.refused, result);
    ListFailed(text, step.chainPage, step.ownPage);
    return;
  }
  if (desk_.pageState == step.chainPage)
    Progress(step.progress);
  else if (step.ownPage == kPageTrades)
    TradeNotice(step.progress, false);
}

bool TTradeDispatcher::ListItem(uint32_t high, const char *block, const TListStep &step, int &storeFailed,
                                const std::function<int32_t(const char *)> &add) {
  if (high != 0) {
    // Records that arrived stay; the end's steps are skipped.
    ListFailed(FailureText(block, step.failure).c_str(), step.chainPage, step.ownPage);
    return false;
  }
  if (block) {
    const int32_t count = add(block);
    if (count < 0) storeFailed = 1;
    if (desk_.pageState == step.chainPage && count >= 0) {
      char text[64];
      snprintf(text, sizeof text, "%s%i", step.progress, int(count));
      Progress(text);
    }
    return false;
  }
  if (storeFailed) WriteTradeLog(data_, TLOG_TEXT, step.lost);
  return true;
}

void TTradeDispatcher::XPButton4Click(bool sender) {
  if (hooks.closeStopDialog) hooks.closeStopDialog();
  if (sender) {
    const DWORD interval = desk_.queryInterval > 0 ? DWORD(desk_.queryInterval) : 0;
    const TRefreshRefusal refusal = CheckUserRefresh(lastQueryTick, refreshTag, interval, GetTickCount());
    if (refusal != TRefreshRefusal::None) {
      MessageBoxA(host_.Window(), RefreshRefusalText(refusal, interval).c_str(), "提示",
                  MB_OK | MB_ICONWARNING | MB_TOPMOST);
      desk_.Ui().RefocusOrderPanel();
      return;
    }
    refreshTag = 1;
    tradeStoreFailed = positionStoreFailed = 0;
    data_.trades.RemoveAll();
    data_.positions.RemoveAll();
  }
  orderStoreFailed = 0;
  data_.orders.RemoveAll();
  ListAsked(TradePlugin.QueryOrder(desk_.pageState < 11), kOrderList);
}

void TTradeDispatcher::XPButton20Click() {
  tradeStoreFailed = 0;
  data_.trades.RemoveAll();
  ListAsked(TradePlugin.QueryTrade(nullptr, nullptr, desk_.pageState < 11), kTradeList);
}

void TTradeDispatcher::OnPositionRefreshClick() {
  positionStoreFailed = 0;
  data_.positions.RemoveAll();
  ListAsked(TradePlugin.QueryInvestorPosition(desk_.pageState < 11), kPositionList);
}

void TTradeDispatcher::ListFailed(const char *text, int chainPage, int ownPage) {
  refreshTag = 0;
  if (desk_.pageState == chainPage) {
    CloseTrading(text);
    return;
  }
  const bool trades = ownPage == kPageTrades;
  if (trades) TradeNotice(text, true);
  if (desk_.pageState == ownPage) return;
  MessageBoxA(host_.Window(), text, trades ? "错误" : "提示", MB_OK | MB_ICONERROR | (trades ? 0 : MB_TOPMOST));
  desk_.Ui().RefocusOrderPanel();
}

void TTradeDispatcher::TradeNotice(const char *text, bool failed) {
  book.lists.tradeWarning = text;
  book.lists.tradeWarningColour = failed ? RGB(255, 0, 0) : RGB(0, 0, 255);
  book.lists.tradeWarningShown = true;
  ++book.lists.tradePaneLayouts;
}

void TTradeDispatcher::Orders(uint32_t high, const char *block) {
  const bool end = ListItem(high, block, kOrderList, orderStoreFailed, [this](const char *b) {
    return book.OrderListRecord(*reinterpret_cast<const CKivoOrderField *>(b));
  });
  if (!end) return;
  book.OrderListEnd();
  if (desk_.pageState == kPageContracts) {
    desk_.ShowPage(kPageOrdersLoaded);
    XPButton20Click();
  } else if (refreshTag == 1) {
    XPButton20Click();
  }
  host_.PostViewsUpdate();
}

void TTradeDispatcher::Trades(uint32_t high, const char *block) {
  const bool end = ListItem(high, block, kTradeList, tradeStoreFailed, [this](const char *b) {
    return book.TradeListRecord(*reinterpret_cast<const TB_TRADE *>(b));
  });
  if (!end) return;
  book.TradeListEnd(tradeStoreFailed != 0);
  if (desk_.pageState == kPageOrdersLoaded) {
    desk_.ShowPage(kPageTradesLoaded);
    OnPositionRefreshClick();
  } else if (refreshTag == 1) {
    OnPositionRefreshClick();
  }
}

void TTradeDispatcher::Positions(uint32_t high, const char *block) {
  const int minute = data_.serverMinute ? data_.serverMinute() : 0;
  const bool end = ListItem(high, block, kPositionList, positionStoreFailed, [this, minute](const char *b) {
    return positionBook.PositionListRecord(*reinterpret_cast<const TB_POSITION *>(b), minute) < 0
               ? -1
               : data_.positions.GetCount();
  });
  if (!end) return;
  positionBook.storeFailed = positionStoreFailed;
  positionBook.PositionListEnd(TradeDateNumber());
  refreshTag = 0;
  host_.PostViewsUpdate();
  if (desk_.pageState != kPageTradesLoaded) return;
  data_.banks.RemoveAll();
  bankAccountIndex = 0;
  if (!TradePlugin.QueryBank || TradePlugin.QueryBank() != 0) {
    Post(TN_BANKS | TN_TEXT_FLAG, 0);
    return;
  }
  Progress("正在查询转帐银行...");
}

// ---- banks and the end of the chain ----

void TTradeDispatcher::Banks(uint32_t high, const char *block) {
  const bool chain = desk_.pageState == kPageTradesLoaded;
  if (high != 0 || !block) {
    if (chain) NextBankStep();
    return;
  }
  CKivoTransferBankField bank;
  memcpy(&bank, block, sizeof bank);
  bank.Flag = 0;
  data_.banks.Add(bank);
}

void TTradeDispatcher::BankAccount(uint32_t high, const char *block) {
  if (high == 0 && block && bankAccountIndex < data_.banks.GetCount()) {
    CKivoTransferBankField &bank = data_.banks.GetData()[bankAccountIndex];
    memcpy(bank.BankAccount, block + offsetof(CKivoTransferBankField, BankAccount), sizeof bank.BankAccount);
    bank.BankAccount[sizeof bank.BankAccount - 1] = 0;
    bank.Flag = 1;
    return;
  }
  // The end of one bank's answer (or its failure): the next step.
  if (bankAccountIndex < data_.banks.GetCount()) data_.banks.GetData()[bankAccountIndex].Flag = 1;
  if (desk_.pageState == kPageTradesLoaded) NextBankStep();
}

void TTradeDispatcher::NextBankStep() {
  if (TradePlugin.QueryBankAccount) {
    for (bankAccountIndex = 0; bankAccountIndex < data_.banks.GetCount(); ++bankAccountIndex) {
      CKivoTransferBankField &bank = data_.banks.GetData()[bankAccountIndex];
      if (bank.Flag != 0 || bank.BankAccount[0] != 0) continue;
      char id[10] = {};
      memcpy(id, bank.BankID, 9);
      if (TradePlugin.QueryBankAccount(id) == 0) {
        Progress("正在查询银行帐号...");
        return;
      }
      bank.Flag = 1;
    }
  }
  if (!TradePlugin.QueryFutureToBankLimit || TradePlugin.QueryFutureToBankLimit(nullptr, nullptr) != 0) {
    Post(TN_WITHDRAW_LIMIT | TN_TEXT_FLAG, 0);
    return;
  }
  Progress("正在查询转帐限额...");
}

void TTradeDispatcher::ChainEnd() {
  if (desk_.pageState != kPageTradesLoaded) return;
  if (!desk_.autoRelogin && hooks.hasArmedAutomation && hooks.hasArmedAutomation()) {
    if (hooks.fillAutomationCheckList) hooks.fillAutomationCheckList();
    desk_.ShowPage(kPageCheckList);
    return;
  }
  XPButton50Click();
}

void TTradeDispatcher::XPButton50Click() {
  desk_.autoRelogin = 0;
  desk_.pageState = kPageTrading;
  if (data_.options.FloatUI) {
    // Floating again stores the option again.
    data_.options.FloatUI = false;
    desk_.OnTradeFloatClick(true);
  }
  if (data_.options.QuickDeal) desk_.Ui().ShowQuickDeal(true);
  LogTradeOptions(data_);
  LogStopSettings(data_);
  LogConditionOrders(data_);
  LogPendingOrders(data_);
  for (int code : {TLOG_PENDING_EVENT, TLOG_STOP_EVENT, TLOG_CONDITION_EVENT}) WriteTradeLog(data_, code, "4|");
  if (positionBook.updateStopColumns)
    for (int32_t i = 0; i < data_.positions.GetCount(); ++i) positionBook.updateStopColumns(data_.positions.GetData()[i]);
  desk_.automationArmed = true;
  if (hooks.executePendingOrders)
    hooks.executePendingOrders(nullptr);
  else
    pending.Execute(nullptr);
  desk_.Ui().Layout();
  desk_.Ui().RefocusOrderArea();
  host_.PostViewsUpdate();
}

// ---- the connection and the exchanges ----

void TTradeDispatcher::ConnectionState(int32_t value) {
  refreshTag = 0;
  if (desk_.pageState < kPageTrading) return;
  const bool reconnected = desk_.connectionState < 0 && value > 0;
  desk_.connectionState = value;
  desk_.Ui().ConnectionBand(value < 0 ? 22 : 10);
  if (!desk_.Ui().Docked()) desk_.Ui().RepaintFrame();
  if (reconnected) {
    lastQueryTick = 0;
    XPButton4Click(true);
  }
  if (value != -1) return;
  SYSTEMTIME now;
  GetLocalTime(&now);
  const unsigned today = unsigned(now.wYear) * 10000 + now.wMonth * 100 + now.wDay;
  const std::string file = data_.AccountFile("Consign.ini");
  if (GetPrivateProfileIntA("Config", "lndw", 0, file.c_str()) >= today) return;
  char text[16];
  snprintf(text, sizeof text, "%u%02u%02u", unsigned(now.wYear), unsigned(now.wMonth), unsigned(now.wDay));
  WritePrivateProfileStringA("Config", "lndw", text, file.c_str());
  MessageBoxA(host_.Window(),
              "与交易服务器的网络连接已断开，正在重新连接。网络断开期间，止损止盈、条件单等功能将不可用。  \r\n\r\n"
              "要提高网络的可靠性，登录交易时应选择与您网络类型对应的交易站点，即电信用户登录电信站点、\r\n"
              "联通用户登录联通站点。交易期间，请勿运行占用网络带宽大的程序。\r\n\r\n本信息每日仅提示一次。",
              "警告", MB_OK | MB_ICONWARNING | MB_TOPMOST);
}

void TTradeDispatcher::ExchangeStatus(uint32_t value) {
  if (value == 0) {
    if (desk_.pageState < kPageTrading) return;
    WriteTradeLog(data_, TLOG_SESSION, "0|");
    char id[64] = {}, password[64] = {};
    TradePlugin.GetInvestor(nullptr, id, password);
    desk_.autoRelogin = 1;
    desk_.OnTradeCloseClick(TCloseSender::CmdClose);
    desk_.login.account = id;
    desk_.login.password = password;
    // The drawn code is typed for the user: a login by itself has no one to read it.
    desk_.login.code = desk_.login.verifyCode;
    // The login reads the page: the session's values go onto it first.
    desk_.Ui().LoginPageChanged();
    if (!host_.TradingWindowChecked()) host_.ToggleTradingWindow();
    desk_.autoRelogin = 1;
    desk_.XPButton5Click();
    return;
  }
  const uint32_t state = value & 0xFFFF;
  if ((state != 1 && state != 2) || !TradePlugin.GetExchangeID) return;
  char exchange[64] = {};
  TradePlugin.GetExchangeID(value >> 16, exchange);
  // An unknown index gives no id: nothing is sent for "every exchange".
  if (exchange[0] == 0) return;
  char text[80];
  snprintf(text, sizeof text, "%u|%s", state, exchange);
  WriteTradeLog(data_, TLOG_SESSION, text);
  if (state != 1) return;
  if (hooks.executePendingOrders)
    hooks.executePendingOrders(exchange);
  else
    pending.Execute(exchange);
  if (hooks.triggerOpenConditionOrders) hooks.triggerOpenConditionOrders(exchange);
}

// ---- funds, volumes and the margin-monitoring link ----

std::string FundsCaption(const std::string &caption, double funds) {
  char text[48];
  const std::string shown = caption.substr(0, 63);
  if (shown.compare(0, strlen("可开: "), "可开: ") != 0) {
    snprintf(text, sizeof text, "资金: %.2f", funds);
    return text;
  }
  std::string volume = shown;
  const size_t at = volume.find("资金: ");
  if (at != std::string::npos) {
    size_t from = at;
    while (from > 0 && volume[from - 1] == ' ') --from;
    volume.erase(from);
  }
  snprintf(text, sizeof text, "  资金: %.2f", funds);
  return volume + text;
}

void TTradeDispatcher::QueryReport(uint32_t high, const char *block) {
  if (high != 0 || !block) {
    const std::string text = FailureText(block, "查询失败，系统内存不足。");
    // The funds query that did not wait may meet a running query once.
    if (fundsAsked && text.rfind("前次查询尚未完成", 0) == 0) {
      fundsAsked = false;
      return;
    }
    if (hooks.queryPageNotice) hooks.queryPageNotice(text.c_str(), true);
    return;
  }
  fundsAsked = false;
  const char *pathText;
  double funds = 0, withdrawable = 0;
  if (!ReadReport(block, &pathText, &funds, &withdrawable)) return;
  const std::string path = BlockPathInside(block, kResultBlockSize - 2 * sizeof(double));
  if (!path.empty()) {
    if (hooks.queryPageFile) hooks.queryPageFile(path.c_str());
    DeleteFileA(path.c_str());
  }
  if (funds != 0) {
    char text[48];
    snprintf(text, sizeof text, "%.2f", funds);
    switch (data_.options.Layout) {
      case kLayoutNormal: panel.label1005 = FundsCaption(panel.label1005, funds); break;
      case kLayoutKeyboard: panel.edit6 = text; break;
      case kLayoutQuick: panel.labelF65 = text; break;
      default: break;
    }
  }
  if (hooks.bankFunds) hooks.bankFunds(withdrawMinimum, withdrawable);
  if (hooks.queryPageNotice) hooks.queryPageNotice("日期格式为YYYYMMDD，如20070801。", false);
}

void TTradeDispatcher::MaxOrderVolume(uint32_t high, const char *block) {
  const int layout = data_.options.Layout;
  if (high != 0 || !block) {
    if (layout == kLayoutNormal) {
      panel.label1005 = FailureText(block, "查询可开平数量失败，系统内存不足。");
      panel.label1005Colour = kRed;
    } else {
      MessageBoxA(host_.Window(), FailureText(block, "查询可开数量失败，系统内存不足。  ").c_str(), "提示",
                  MB_OK | MB_ICONWARNING | MB_TOPMOST);
      desk_.Ui().RefocusOrderArea();
    }
    return;
  }
  const auto *answer = reinterpret_cast<const TB_MAXVOL *>(block);
  char code[9] = {};
  memcpy(code, answer->InstrumentID, 8);
  bool matches = strcasecmp(code, panel.contract.c_str()) == 0 && answer->HedgeFlag == panel.hedge;
  if (layout == kLayoutNormal) {
    const int item = panel.offsetItem;
    matches = matches && ((answer->OffsetFlag == '0' && (item == 0 || item == 3 || item == 4)) ||
                          (answer->OffsetFlag == '1' && item == 2) || (answer->OffsetFlag == '3' && item == 1));
  } else {
    matches = matches && answer->OffsetFlag == '0';
  }
  if (matches) {
    char text[48];
    if (layout == kLayoutNormal) {
      const char *format = answer->OffsetFlag == '3' ? "可平今: %i" : answer->OffsetFlag == '1' ? "可平: %i" : "可开: %i";
      snprintf(text, sizeof text, format, int(answer->MaxVolume));
      panel.label1005 = text;
      panel.label1005Colour = kBlue;
    } else {
      snprintf(text, sizeof text, "%i", int(answer->MaxVolume));
      (layout == kLayoutKeyboard ? panel.edit7 : panel.labelF66) = text;
    }
  }
  char date[16] = {};
  TradePlugin.GetTradeDate(date);
  // Without waiting: a bank poll may hold the plug-in for seconds.
  const int r = TradePlugin.QueryTradingAccount ? TradePlugin.QueryTradingAccount(date, 0) : -1;
  fundsAsked = r == 0;
  if (r != 0 && layout != kLayoutNormal) {
    char text[64];
    snprintf(text, sizeof text, "查可用资金失败 (%i) ", r);
    MessageBoxA(host_.Window(), text, "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
    desk_.Ui().RefocusOrderArea();
  }
}

void TTradeDispatcher::MarginMonitor(uint32_t high, const char *block) {
  const bool queryTab = desk_.pageState == kPageQuery;
  if (high != 0 || !block) {
    if (queryTab && hooks.queryPageNotice) hooks.queryPageNotice(FailureText(block, "系统内存不足。").c_str(), true);
    return;
  }
  const auto *key = reinterpret_cast<const TB_CFMMC *>(block);
  char host[128] = {};
  GetPrivateProfileStringA("UI", "MonitorHost", "", host, sizeof host, kSharedConsign);
  bool opened = false;
  if (host[0]) {
    char company[12] = {}, account[14] = {}, password[22] = {};
    memcpy(company, key->CompanyID, sizeof key->CompanyID);
    memcpy(account, key->AccountID, sizeof key->AccountID);
    memcpy(password, key->Password, sizeof key->Password);
    char address[512];
    snprintf(address, sizeof address, "https://%s/loginByKey.do?companyID=%s&userid=%s&keyid=%i&passwd=%s", host,
             company, account, int(key->KeyID), password);
    opened = INT_PTR(ShellExecuteA(host_.Window(), "open", "IEXPLORE.EXE", address, nullptr, 10)) > 32 ||
             INT_PTR(ShellExecuteA(host_.Window(), "open", address, nullptr, nullptr, 10)) > 32;
  }
  if (!opened && queryTab)
    MessageBoxA(host_.Window(), "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}
