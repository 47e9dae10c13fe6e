// The report's period, the walk over its trading days and the hand-over of
// each day's statement: from the cache when the day was fetched before,
// else asked of the plug-in one day at a time.
#include "trading/accountreport.h"

#include <ctime>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "market/calendar.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "trading/pluginapi.h"

namespace {

constexpr const char *kScratch = "temp";

// Days since 1970-01-01 of a civil date.
int64_t DaysOf(int yyyymmdd) {
  return platform::DaysFromCivil(yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100);
}

// The local date of an instant, "YYYYMMDD".
void LocalDate(time_t t, char (&out)[16]) {
  tm local{};
  localtime_r(&t, &local);
  strftime(out, sizeof out, "%Y%m%d", &local);
}

bool FileExists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsNoStatementText(const char *text) { return strstr(text, "未发布") || strstr(text, "未生成"); }

}  // namespace

TAccountReport::TAccountReport() = default;
TAccountReport::~TAccountReport() = default;

void TAccountReport::ResetDialog() {
  holderName[0] = accountId[0] = '\0';
  mode = kLastWeek;
}

void TAccountReport::ClearArrays(bool keepBalances) {
  if (!keepBalances) {
    priceBegin.RemoveAll();
    priceEnd.RemoveAll();
  }
  dates.RemoveAll();
  trades.RemoveAll();
  closedLots.RemoveAll();
  positionsA.RemoveAll();
  positions.RemoveAll();
  available.RemoveAll();
  cashMoves.RemoveAll();
  fees.RemoveAll();
  closeProfits.RemoveAll();
  margins.RemoveAll();
  positionProfits.RemoveAll();
  closeStats.RemoveAll();
  periodPnl.RemoveAll();
}

void TAccountReport::Message(const char *text, const char *caption, UINT type, HWND owner) {
  MessageBoxA(owner, text, caption, type | MB_TOPMOST);
}

int TAccountReport::LayoutNumber() {
  if (!TradePlugin.GetShortNameOfTradeSystem) return 1;
  char name[64] = {};
  return TradePlugin.GetShortNameOfTradeSystem(name);
}

std::string TAccountReport::CachePath(const char *date) const {
  return std::string(UserDataPath) + investor_ + "\\settle\\" + date;
}

void TAccountReport::TakeInvestor() {
  char id[64] = {};
  if (TradePlugin.GetInvestor) TradePlugin.GetInvestor(nullptr, id, nullptr);
  id[sizeof investor_ - 1] = '\0';
  memcpy(investor_, id, sizeof investor_);
}

// ---- the period ----

bool TAccountReport::FixPeriod(int fromDate, int toDate) {
  const time_t now = time_t(platform::UnixTimeNow());
  if (mode == kLastWeek || mode == kLastMonth) {
    const bool week = mode == kLastWeek;
    LocalDate(now - (week ? 604800 : 2592000), startDate);
    LocalDate(now - 86400, endDate);
    dayCount = week ? 7 : 30;
  } else if (mode == kFromTo) {
    const int64_t d = DaysOf(toDate) - DaysOf(fromDate);
    if (d < 0) {
      Message("开始日期必须早于结束日期。  ", "提示", MB_OK, nullptr);
      return false;
    }
    dayCount = int32_t(d + 1);
    snprintf(startDate, sizeof startDate, "%04d%02d%02d", fromDate / 10000 % 10000, fromDate / 100 % 100, fromDate % 100);
    snprintf(endDate, sizeof endDate, "%04d%02d%02d", toDate / 10000 % 10000, toDate / 100 % 100, toDate % 100);
  }
  return true;
}

PackedDateTime TAccountReport::FuturesDateLimit() {
  for (int i = 0; i < kMaxMarkets; ++i) {
    const TMarketData *market = MarketAt(i);
    if (market && market->m_info.type == 2) return market->m_currentTime & kPackedDateMask;
  }
  return 0;
}

bool TAccountReport::NextStatementDate() {
  auto over = [this] {
    dayCounter = 0;
    currentDate[0] = '\0';
    return false;
  };
  int year = 0, month = 0, day = 0;
  if (sscanf(endDate, "%4d%2d%2d", &year, &month, &day) != 3) return over();
  for (;;) {
    if (strcmp(currentDate, endDate) == 0 || dayCounter >= dayCount) return over();
    const int k = dayCounter++;
    tm end{};
    end.tm_year = year - 1900;
    end.tm_mon = month - 1;
    end.tm_mday = day;
    end.tm_sec = 1;
    end.tm_isdst = -1;
    const time_t candidate = mktime(&end) - time_t(dayCount - k - 1) * 86400;
    char text[16];
    LocalDate(candidate, text);
    tm local{};
    localtime_r(&candidate, &local);
    const PackedDateTime packed =
        MakePackedDateTime(unsigned(local.tm_year + 1900), unsigned(local.tm_mon + 1), unsigned(local.tm_mday));
    if (packed >= dateLimit) return over();
    snprintf(currentDate, sizeof currentDate, "%s", text);
    if (!IsNonTradingDay(&packed, 3)) return true;
  }
}

// ---- the walk ----

void TAccountReport::StartFetching() {
  fetching_ = true;
  if (onFetching) onFetching(true);
}

void TAccountReport::EndFetching() {
  fetching_ = false;
  if (onFetching) onFetching(false);
}

bool TAccountReport::AskCurrentDate() {
  char date[16];
  snprintf(date, sizeof date, "%s", currentDate);
  if (TradePlugin.QuerySettlementInfo && TradePlugin.QuerySettlementInfo(date, 1, 0) == 0) return true;
  dayCounter = 0;
  currentDate[0] = '\0';
  Message("查询交易日失败，请稍后重试", "提示", MB_OK, nullptr);
  return false;
}

bool TAccountReport::TakeFromCache(const char *date) {
  const std::string cache = CachePath(date);
  return FileExists(cache) && ExpandStatement(cache.c_str(), &cachedText_);
}

bool TAccountReport::Generate(int fromDate, int toDate) {
  ClearArrays();
  dayCounter = 0;
  currentDate[0] = '\0';
  TakeInvestor();
  MakeDirChain((std::string(UserDataPath) + investor_ + "\\settle").c_str());
  if (!FixPeriod(fromDate, toDate)) return false;
  dateLimit = FuturesDateLimit();
  if (!NextStatementDate()) {
    Message("当前日期区间内没有结算信息", "提示", MB_OK, nullptr);
    return false;
  }
  if (TakeFromCache(currentDate)) {
    // The whole period may come from the cache; the ready message then
    // waits in the queue and ends the fetching.
    StartFetching();
    char scratch[16];
    snprintf(scratch, sizeof scratch, "%s", kScratch);
    TakeStatement(scratch, true);
    return fetching_;
  }
  if (!AskCurrentDate()) return false;
  StartFetching();
  return true;
}

void TAccountReport::OnSettlementInfo(char *block) { TakeStatement(block, false); }

void TAccountReport::TakeStatement(char *block, bool cached) {
  TakeInvestor();
  for (;;) {
    const int layout = LayoutNumber();
    // A cached day is parsed from its expanded text, without a file.
    statementText_ = cached ? &cachedText_ : nullptr;
    if (!cached && IsNoStatementText(block)) {
      // No statement for the day: neither parsed nor cached, asked again
      // by the next run.
      memcpy(block, kScratch, strlen(kScratch) + 1);
    } else {
      if (!currentDate[0]) snprintf(currentDate, sizeof currentDate, "%s", startDate);
      if (layout == 0)
        ParseStatementA(block);
      else if (layout == 1)
        ParseStatementB(block);
      else
        ParseStatementC(block);
      statementText_ = nullptr;
      const std::string cache = CachePath(currentDate);
      if (!cached && !FileExists(cache)) CompressStatementFile(block, cache.c_str());
    }
    if (!NextStatementDate()) {
      currentDate[0] = '\0';
      PostMessageA(window, WM_TONGJI_READY, 0, 0);
      return;
    }
    if (!IsWindow(window)) return;
    cached = TakeFromCache(currentDate);
    if (cached) continue;
    // Every day's request is checked: a refusal ends the walk.
    if (!AskCurrentDate()) EndFetching();
    return;
  }
}

bool TAccountReport::DeliverSettlement(WPARAM wParam, LPARAM lParam) {
  if (!ActiveTongJiDlg) return false;
  char *block = reinterpret_cast<char *>(lParam);
  const bool failed = (wParam & 0xFFFF0000u) != 0 || !block;
  if (!failed || IsNoStatementText(block)) {
    OnSettlementInfo(block);
    if (TradePlugin.TraderDllFree) TradePlugin.TraderDllFree(block);
  } else if (!IsWindow(window) || !PostMessageA(window, WM_TONGJI_SETTLEMENT, WPARAM(lParam), 0)) {
    if (block && TradePlugin.TraderDllFree) TradePlugin.TraderDllFree(block);
  }
  return true;
}

void TAccountReport::OnSettlementFailed(char *block) {
  const std::string text = block ? block : "查询结算单失败，系统内存不足。";
  if (block && TradePlugin.TraderDllFree) TradePlugin.TraderDllFree(block);
  dayCounter = 0;
  currentDate[0] = '\0';
  Message(text.c_str(), "错误", MB_OK | MB_ICONERROR, window);
  EndFetching();
}

bool TAccountReport::OnReady() {
  SortClosedLots();
  const int layout = LayoutNumber();
  BuildCloseStatistics(layout);
  ComputePeriodPnl();
  if (!DrawBalanceChart()) {
    Message("无法打开文件 .\\images\\Sample.bmp", "错误", MB_OK | MB_ICONERROR, window);
    return false;
  }
  if (!WritePage(".\\toji.txt", layout)) {
    Message("创建交易成交报告出错，请检查磁盘空间是否足够", "提示", MB_OK, nullptr);
    return false;
  }
  char folder[MAX_PATH] = {};
  GetCurrentDirectoryA(MAX_PATH, folder);
  const std::string page = std::string(folder) + "\\toji.html";
  CopyFileA(".\\toji.txt", page.c_str(), FALSE);
  if (onPage) onPage(page);
  // The balances stay; the rest is emptied.
  ClearArrays(true);
  EndFetching();
  return true;
}
