// The main window's inbox: what each private message does.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/datetime.h"
#include "core/emem.h"
#include "market/blocks.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/realclient.h"
#include "market/reqbuild.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/gdi.h"
#include "platform/memory.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "shell/entry.h"
#include "shell/framecore.h"
#include "shell/profiletext.h"
#include "shell/quoteconn.h"
#include "shell/settings_store.h"
#include "views/mvmain.h"
#include "views/report.h"
#include "views/reportcolumns.h"

namespace {

bool SameShownStock(const TMultiViewChild *view, uint32_t stock) {
  return SameStock(view->m_attr.stock, STKPTR(stock));
}

TReport *AsReport(TMultiViewChild *view) {
  return view->ViewType() == VIEW_TYPE_REPORT ? dynamic_cast<TReport *>(view) : nullptr;
}

bool IsChart(const TMultiViewChild *view) {
  return view->ViewType() == VIEW_TYPE_INTRADAY || view->ViewType() == VIEW_TYPE_KLINE;
}

}  // namespace

template <class F>
void TFrameCore::ForEachView(int type, F &&f) {
  TMultiViewMain *page = Page();
  if (!page) return;
  for (int i = page->PaneCount() - 1; i >= 0; --i) {
    TMultiViewChild *view = page->PaneAt(i);
    if (view && (type == 0 || view->ViewType() == type)) f(view);
  }
}

void TFrameCore::ForViewsShowing(int type, uint32_t stock, const std::function<void(TMultiViewChild *)> &f) {
  ForEachView(type, [&](TMultiViewChild *view) {
    if (SameShownStock(view, stock)) f(view);
  });
}

bool TFrameCore::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT &result) {
  result = 0;
  const auto view = [this](TViewAction action, TMultiViewChild *v, intptr_t arg) {
    if (receivers_.view) receivers_.view(action, v, arg);
  };
  switch (message) {
    case WM_MF_EVENT:
      OnMfEvent(wParam, lParam);
      return true;
    case WM_INDEX_CHANGED:
    case WM_INDEX_PARAM_CHANGED:
      ForEachView(VIEW_TYPE_KLINE, [&](TMultiViewChild *v) { SendMessageA(v->Handle(), message, wParam, lParam); });
      // The formula dialogs hand the changed formula's name over as a heap
      // copy; it is ours once every view has seen it.
      if (message == WM_INDEX_CHANGED) Free(reinterpret_cast<void *>(wParam));
      return true;
    case WM_DISPLAY_SETTINGS_CHANGED:
      OnDisplaySettingsChanged(lParam);
      return true;
    case WM_OPEN_TRADING:
      if (receivers_.tradingBound && receivers_.tradingBound() && receivers_.frame)
        receivers_.frame(TFrameAction::ShowTrading, 0, 0);
      return true;
    case WM_MF_CONNECT:
      if (QuoteServerClient) RequestSystemMessage();
      return true;
    case WM_QUOTE_EVENT:
      OnQuoteEvent(wParam, lParam);
      return true;
    case WM_SHOW_ALARM_WINDOW:
      if (receivers_.showAlarmWindow) receivers_.showAlarmWindow();
      return true;
    case WM_START_SERVICE_CLIENT:
      if (wParam == 0) StartServiceClient();
      else if (wParam == 1 && receivers_.frame) receivers_.frame(TFrameAction::ShowTrading, 0, 0);
      return true;
    case WM_SERVER_TEXT:
      if (QuoteServerClient)
        MessageBoxA(links_.window, QuoteServerClient->Text(), "提示", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
      return true;
    case WM_NEWS_ARRIVED:
      OnNewsArrived(reinterpret_cast<const NEWSREC *>(lParam));
      return true;
    case WM_LINKED_STOCK_CHANGED:
      OnLinkedStockChanged(lParam);
      return true;
    case WM_TRADE_VIEWS_UPDATE:
      OnTradeViewsUpdate(wParam, lParam);
      return true;
    case WM_TRADE_NOTIFY:
      if (receivers_.tradeNotify) receivers_.tradeNotify(wParam, lParam);
      return true;
    case WM_TRADE_FOCUS:
      if (receivers_.tradeFocus) receivers_.tradeFocus(lParam);
      return true;
    case WM_STOCK_DATA:
      OnStockData(wParam, lParam);
      return true;
    case WM_CODE_TABLE_PROGRESS:
      if (QuoteServerClient) {
        const int market = int(wParam >> 16 & 0xFFFF);
        if ((wParam & 0xFFFF) == 1) RequestCodeTable(market, int(lParam));
        else if ((wParam & 0xFFFF) == 2) RequestNameTable(market);
      }
      return true;
    case WM_MF_REFRESH_SUBSCRIPTION:
      UpdateRealtimeSubscription(true);
      return true;
    case WM_BLOCK_DELETED:
      OnBlockDeleted(int(wParam & 0xFFFF));
      return true;
    case WM_KLINE_PROPERTY_CHANGED:
      ForEachView(VIEW_TYPE_KLINE, [&](TMultiViewChild *v) { view(TViewAction::ReloadAndRepaint, v, 0); });
      return true;
    case WM_ACTIVE_CHART_REINIT:
      if (TMultiViewChild *active = ActiveView(); active && IsChart(active)) active->InitView();
      return true;
    case WM_NCMOUSEMOVE:
      if (TMultiViewChild *active = ActiveView()) PostMessageA(active->Handle(), WM_NCMOUSEMOVE, 0, 0);
      return true;
    default:
      return false;
  }
}

void TFrameCore::RefreshHistory() {
  TMultiViewChild *active = ActiveView();
  if (active && IsChart(active) && receivers_.view) receivers_.view(TViewAction::RefreshHistory, active, 0);
}

void TFrameCore::OnDisplaySettingsChanged(LPARAM what) {
  const auto view = [this](TViewAction action, TMultiViewChild *v, intptr_t arg) {
    if (receivers_.view) receivers_.view(action, v, arg);
  };
  const std::string file = std::string(UserDataPath) + "clrfont.INI";
  if (what == 3) {
    const int level = int(GetPrivateProfileIntA("PARAMETER", "ZoomLevel", 16, file.c_str()));
    ForEachView(VIEW_TYPE_KLINE, [&](TMultiViewChild *v) { view(TViewAction::SetZoomLevel, v, level); });
    return;
  }
  if (what == 5) {
    const int level = int(GetPrivateProfileIntA("PARAMETER", "TickZoomLevel", 3, file.c_str()));
    ForEachView(VIEW_TYPE_INTRADAY, [&](TMultiViewChild *v) { view(TViewAction::SetTickZoom, v, level); });
    return;
  }
  if (what != 0 && what != 1) {
    ForEachView(VIEW_TYPE_KLINE, [](TMultiViewChild *v) { v->ApplyFonts(); });
    return;
  }
  LoadThemeColors(CurrentTheme);
  LoadThemeFonts(CurrentTheme);
  RebuildViewFonts();
  ForEachView(0, [](TMultiViewChild *v) { v->ApplyFonts(); });
  if (receivers_.frame) {
    receivers_.frame(TFrameAction::InfoMineColors, 0, 0);
    receivers_.frame(TFrameAction::RepaintPage, 0, 0);
  }
  if (receivers_.quoteBoardThemeChanged) receivers_.quoteBoardThemeChanged();
  UpdateRealtimeSubscription(true);
  if (receivers_.quoteBoardRepaint) receivers_.quoteBoardRepaint();
}

void TFrameCore::OnQuoteEvent(WPARAM wParam, LPARAM lParam) {
  const auto offline = [this] {
    if (receivers_.connectionPanel) receivers_.connectionPanel(0, "未联机");
  };
  if (wParam == kQuoteEventSessionEnd) {
    // The block is ours: read its text, free it once, then tell the user.
    char text[kSessionMessageSize - kSessionMessageText + 1] = {};
    if (lParam) {
      const auto *block = reinterpret_cast<const char *>(lParam);
      std::memcpy(text, block + kSessionMessageText, sizeof text - 1);
      HeapFree(GetProcessHeap(), 0, reinterpret_cast<void *>(lParam));
    }
    DeleteQuoteServerClient();
    DeleteRealtimeClient();  // writes "1|0|" to an open trade log
    if (links_.retryCounter) *links_.retryCounter = -1;
    offline();
    MessageBoxA(links_.window, lParam ? text : "由于其他同名用户登录，您已被行情服务器断开。  ", "提示",
                MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
  } else if (wParam == 1) {
    offline();
    if (MessageBoxA(links_.window, "网络故障，与服务器的连接已断开。是否重新连接？  ", "错误",
                    MB_YESNO | MB_ICONERROR | MB_TOPMOST) == IDYES &&
        receivers_.frame)
      receivers_.frame(TFrameAction::ReconnectQuestionYes, 0, 0);
  } else if (wParam == 0) {
    if (lParam == 0 && QuoteServerClient && QuoteServerClient->m_socket == INVALID_SOCKET) DeleteQuoteServerClient();
    else if (lParam == 1 && RealtimeClient && RealtimeClient->m_socket == INVALID_SOCKET) DeleteRealtimeClient();
  }
}

void TFrameCore::AppendTicker(const char *title) {
  int width = 0;
  if (HDC dc = CreateCompatibleDC(nullptr)) {
    HFONT font = CreateFontA(-12, 0, 0, 0, 400, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "宋体");
    HGDIOBJ old = font ? SelectObject(dc, font) : nullptr;
    SIZE size{};
    if (GetTextExtentPoint32A(dc, title, int(std::strlen(title)), &size)) width = size.cx;
    if (font) {
      SelectObject(dc, old);
      DeleteObject(font);
    }
    DeleteDC(dc);
  }
  const size_t length = std::strlen(title);
  auto *item = static_cast<TickerItem *>(HeapAlloc(GetProcessHeap(), 0, sizeof(TickerItem) + length));
  if (!item) return;  // the line is dropped; the news views still get it
  item->next = nullptr;
  item->width = width;
  std::memcpy(item->text, title, length + 1);
  TickerItem **tail = &tickerHead;
  int count = 1;
  while (*tail) {
    tail = &(*tail)->next;
    ++count;
  }
  *tail = item;
  if (count <= kMaxTickerItems) return;
  // The titles on screen: from the panel's right edge minus the offset,
  // each followed by a 30-pixel gap, while they start inside the panel.
  TickerItem **link = &tickerHead;
  for (int x = tickerPanelWidth - tickerOffset; *link && x < tickerPanelWidth; link = &(*link)->next)
    x += (*link)->width + 30;
  if (!*link || !(*link)->next) return;  // only the new title is off screen
  TickerItem *gone = *link;
  *link = gone->next;
  HeapFree(GetProcessHeap(), 0, gone);
}

void TFrameCore::OnNewsArrived(const NEWSREC *record) {
  if (!record) return;
  char title[sizeof record->title + 1] = {};
  std::memcpy(title, record->title, sizeof record->title);
  AppendTicker(title);
  if (!Page()) return;
  const unsigned date = record->dateTime & 0xFFFFF, time = record->dateTime >> 20;
  const unsigned month = date % 10000 / 100, day = date % 100, hour = time / 100, minute = time % 100;
  // The year is market 0's: this year, or the last when the day lies after
  // today (a headline from before the new year).
  unsigned year = 2000;
  if (const TMarketData *market = MarketAt(0)) {
    const PackedDateTime now = market->m_currentTime;
    year = PackedYear(now);
    if (month > PackedMonth(now) || (month == PackedMonth(now) && day > PackedDay(now))) --year;
  }
  PackedDateTime when = MakePackedDateTime(year, month, day, hour, minute);
  MarketTimeToLocal(&TimeZoneTable, 0, 0, &when);
  char line[128];
  std::snprintf(line, sizeof line, "  %2d/%02d %2d:%02d %s", int(PackedMonth(when)), int(PackedDay(when)),
                int(PackedHour(when)), int(PackedMinute(when)), title);
  const uint32_t type = NewsTypeOf(*record);
  const TNewsLine news{line, record->id};
  ForEachView(VIEW_TYPE_NEWS, [&](TMultiViewChild *v) {
    const uint32_t shown = receivers_.newsType ? receivers_.newsType(v) : 0;
    if ((shown == 0 || shown == type) && receivers_.view)
      receivers_.view(TViewAction::InsertHeadline, v, reinterpret_cast<intptr_t>(&news));
  });
}

void TFrameCore::OnLinkedStockChanged(LPARAM lParam) {
  TMultiViewMain *page = Page();
  TMultiViewChild *sender = page ? page->PaneById(lParam) : nullptr;
  if (!sender || !sender->m_linked) return;
  const uint32_t stock = sender->m_attr.stock.Word();
  const intptr_t block = intptr_t(sender->m_attr.currentBlock);
  ForEachView(0, [&](TMultiViewChild *v) {
    if (v != sender && v->m_linked && IsChart(v)) v->Notify(1, stock, block, 0);
  });
}

void TFrameCore::OnTradeViewsUpdate(WPARAM what, LPARAM lParam) {
  if (what == 0) {
    ForEachView(0, [&](TMultiViewChild *v) {
      if (IsChart(v) && receivers_.view) receivers_.view(TViewAction::ReloadTradeMarks, v, 0);
    });
  } else if (what == 1) {
    TMultiViewChild *active = ActiveView();
    const auto *record = reinterpret_cast<const uint8_t *>(lParam);
    const STKINFO *info = active && record ? FindLinkContract(record) : nullptr;
    if (info) {
      const STKPTR stock(info->market, 0, info->index);
      if (IsChart(active)) {
        active->m_attr.currentBlock = info->market;
        active->Notify(1, stock.Word(), info->market, 0);
      } else if (TReport *report = AsReport(active)) {
        report->LocateStock(stock.Word());
      }
    }
    if (record && receivers_.linkFreeContract) receivers_.linkFreeContract(lParam);
  } else if (what == 2) {
    if (receivers_.linkSubscriptions) {
      uint8_t records[kLinkMaxRecords][kLinkRecordSize];
      const int n = receivers_.linkSubscriptions(records, kLinkMaxRecords);
      for (int i = 0; i < n && i < kLinkMaxRecords; ++i) {
        const STKINFO *info = FindLinkContract(records[i]);
        const TMarketData *market = info ? MarketAt(info->market) : nullptr;
        if (market && info->index < market->m_loadedCount && receivers_.linkSendQuote)
          receivers_.linkSendQuote(STKPTR(info->market, 0, info->index).Word(), market->m_quotes[info->index]);
      }
    }
    UpdateRealtimeSubscription(true);
  }
}

void TFrameCore::OnBlockDeleted(int blockId) {
  if (receivers_.quoteBoardVisible && receivers_.quoteBoardVisible() && links_.quoteBoardBlock &&
      *links_.quoteBoardBlock == blockId) {
    *links_.quoteBoardBlock = -1;
    if (receivers_.quoteBoardRelayout) receivers_.quoteBoardRelayout();
    UpdateRealtimeSubscription(true);
    if (receivers_.quoteBoardRepaint) receivers_.quoteBoardRepaint();
  }
  ForEachView(VIEW_TYPE_REPORT, [&](TMultiViewChild *v) {
    if (TReport *report = AsReport(v)) report->OnBlockDeleted(blockId);
  });
}

void TFrameCore::StartServiceClient() {
  if (GetConnectionState() == 0) return;
  char user[sizeof PushLogin.user + 1] = {};
  std::memcpy(user, PushLogin.user, sizeof PushLogin.user);
  char commandLine[128];
  std::snprintf(commandLine, sizeof commandLine, "..\\svcdesk\\svcdesk.exe -HIDE-%s 1", user);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, "..\\svcdesk\\", &startup, &process)) {
    if (process.hProcess) CloseHandle(process.hProcess);
    if (process.hThread) CloseHandle(process.hThread);
  }
}

// ---- WM_STOCK_DATA -------------------------------------------------------------------

void TFrameCore::OnStockData(WPARAM wParam, LPARAM lParam) {
  const int command = int(wParam >> 16 & 0xFFFF);
  const unsigned progress = unsigned(wParam & 0xFFFF);
  const auto stock = uint32_t(lParam);
  const auto act = [this](TViewAction action, TMultiViewChild *v, intptr_t arg) {
    if (receivers_.view) receivers_.view(action, v, arg);
  };
  switch (command) {
    case 10: NotifyAgentsDataArrived(stock, 3, 0, progress); break;
    case 11: NotifyAgentsDataArrived(stock, 2, 0, progress); break;
    case 20: NotifyAgentsDataArrived(stock, 1, 0, progress); break;
    case 12: {
      const unsigned base = progress & 0xFF, percent = progress >> 8;
      int kind = 7;
      uint32_t value = 1;
      if (base == 1) kind = 6, value = 1;
      else if (base == 4) kind = 6, value = 5;
      else if (base == 7) kind = 6, value = 60;
      NotifyAgentsDataArrived(stock, kind, value, percent);
      break;
    }
    case 15: {
      TMultiViewMain *page = Page();
      if (!page || page->PaneCount() == 0) break;
      if (progress == 0) ForEachView(VIEW_TYPE_NEWS, [&](TMultiViewChild *v) { act(TViewAction::ReloadHeadlines, v, 0); });
      else if (progress == 2)
        ForEachView(VIEW_TYPE_NEWS, [&](TMultiViewChild *v) { act(TViewAction::ShowNewsFile, v, lParam); });
      break;
    }
    case 16:
      if (progress == 0)
        ForEachView(VIEW_TYPE_NOTES, [&](TMultiViewChild *v) {
          if (intptr_t(v->m_attr.currentBlock) == lParam) act(TViewAction::LoadNotes, v, lParam);
        });
      break;
    case 18: ForEachView(VIEW_TYPE_KLINE, [&](TMultiViewChild *v) { v->Notify(17, stock, 0, 0); }); break;
    case 21: ForViewsShowing(VIEW_TYPE_TEXT, stock, [&](TMultiViewChild *v) { act(TViewAction::ShowSection, v, 1); }); break;
    case 31: {
      struct PastDay {
        uint32_t stock;
        uint32_t value;
      };
      const auto *day = reinterpret_cast<const PastDay *>(lParam);
      if (day)
        ForEachView(VIEW_TYPE_INTRADAY, [&](TMultiViewChild *v) { v->Notify(18, day->stock, intptr_t(day->value), 0); });
      break;
    }
    case 33: ForEachView(VIEW_TYPE_KLINE, [&](TMultiViewChild *v) { v->Notify(16, stock, 0, 0); }); break;
    case 40: {
      const int type = progress == 1 ? VIEW_TYPE_TEXT : progress == 2 ? VIEW_TYPE_KLINE : VIEW_TYPE_INTRADAY;
      ForViewsShowing(type, stock, [&](TMultiViewChild *v) { v->Notify(14, stock, 0, 0); });
      if (progress != 1 && receivers_.frame) receivers_.frame(TFrameAction::InfoMineFill, progress, stock);
      break;
    }
    case 41:
      if (progress == 1) ForViewsShowing(VIEW_TYPE_TEXT, stock, [&](TMultiViewChild *v) { v->Notify(14, stock, 1, 0); });
      else if (receivers_.frame) receivers_.frame(TFrameAction::InfoMineRefresh, progress, stock);
      break;
    case 51: OnCodeTableArrived(lParam); break;
    case 102:
      ForEachView(0, [&](TMultiViewChild *v) {
        if (IsChart(v) && SameShownStock(v, stock)) act(TViewAction::RepaintDetails, v, 0);
      });
      break;
    case 203: OnSystemMessage(); break;
    case 204:
      if (receivers_.frame) receivers_.frame(TFrameAction::ShowInstantMessage, lParam, 0);
      break;
    default: break;  // 13, 14, 17, 19 and the rest: nothing
  }
}

void TFrameCore::OnCodeTableArrived(LPARAM which) {
  if (which == 0) {
    if (QuoteServerClient) {
      if (TMarketData *market = MarketAt(1)) {
        char path[MAX_PATH];
        market->TablePath("nametbl", path, sizeof path);
        std::strncat(path, ".tmp", sizeof path - std::strlen(path) - 1);
        DeleteFileA(path);
      }
      RequestCodeTable(1, 0);
    }
    return;
  }
  if (which == 1) {
    ReloadAfterCodeTable(-1);
    return;
  }
  if (CMarketMerger::Instance()->AreMerged(int(which), 3)) ReloadAfterCodeTable(int(which));
}

// A code table is complete: market 0 and 1 both (market -1), or one merged
// market.
void TFrameCore::ReloadAfterCodeTable(int only) {
  const bool board = receivers_.quoteBoardVisible && receivers_.quoteBoardVisible();
  const std::string setting = std::string(UserDataPath) + "SETTING.INI";
  if (board) {
    const BLOCK *block = links_.quoteBoardBlock && *links_.quoteBoardBlock >= 0 ? FindBlockById(*links_.quoteBoardBlock)
                                                                               : nullptr;
    char name[sizeof block->name + 1] = {};
    if (block) CopyGbkBounded(name, sizeof name, block->name);
    WritePrivateProfileStringA("Parameter", "QuoteBlock", name, setting.c_str());
  }
  if (receivers_.saveAlarms) receivers_.saveAlarms();
  const auto eachKind = [&](auto &&f) {
    for (int m : {0, 1}) {
      if (only >= 0 && m != 0) break;
      const int market = only >= 0 ? only : m;
      if (TMarketData *data = MarketAt(market))
        for (int k = 0; k < data->m_info.kindCount && k < kMaxStockKinds; ++k) f(data, market, k);
    }
  };
  eachKind([](TMarketData *data, int, int kind) { ClearKindQuotes(data, kind); });
  ReloadBlocks();
  if (receivers_.frame) receivers_.frame(TFrameAction::RefillContractTree, -1, 0);
  if (only < 0 && links_.indices)
    for (int i = 0; i < 3; ++i) {
      uint16_t market = uint16_t(kIndexSlotMarket[i]);
      const STKINFO *info = LookupStock(kIndexSlotCode[i], &market, 0);
      if (!info) continue;
      const TMarketData *data = MarketAt(market);
      TIndexSlot &slot = links_.indices[i];
      slot.stock = info->index;
      if (data && info->index < data->m_loadedCount) slot.Take(data->m_quotes[info->index]);
    }
  eachKind([](TMarketData *, int market, int kind) { RebuildAgents(market, kind); });
  ForEachView(0, [&](TMultiViewChild *v) {
    if (v->ViewType() == VIEW_TYPE_REPORT) {
      v->Notify(10, STKPTR().Word(), intptr_t(v->m_attr.currentBlock), 0);
    } else if (IsChart(v) && (only >= 0 || v->m_attr.stock.market <= 1) && receivers_.view) {
      receivers_.view(TViewAction::ReloadData, v, 0);
    }
  });
  if (board && links_.quoteBoardBlock) {
    char name[65] = {};
    ReadProfileField("Parameter", "QuoteBlock", "", name, setting.c_str());
    const BLOCK *block = FindBlockByName(name);
    *links_.quoteBoardBlock = block ? block->blockId : -1;
    if (receivers_.quoteBoardRelayout) receivers_.quoteBoardRelayout();
    if (receivers_.quoteBoardRepaint) receivers_.quoteBoardRepaint();
  }
  if (receivers_.loadAlarms) receivers_.loadAlarms();
  UpdateRealtimeSubscription(false);
}

void TFrameCore::OnSystemMessage() {
  const char *versionFile = "..\\cfg\\Version.ini";
  const uint32_t known = GetPrivateProfileIntA("General", "AppVersion", 0, versionFile);
  if (known != 0 && known >= ProgramVersion) {
    if (receivers_.frame) receivers_.frame(TFrameAction::SystemMessage, 0, 0);
    return;
  }
  char text[32];
  std::snprintf(text, sizeof text, "%u", unsigned(ProgramVersion));
  WritePrivateProfileStringA("General", "AppVersion", text, versionFile);
  const unsigned major = ProgramVersion / 10000000, minor = ProgramVersion / 10000 % 1000,
                 release = ProgramVersion % 10000;
  HANDLE out = CreateFileA(".\\update.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out != INVALID_HANDLE_VALUE) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char body[1024];
    const char *page = "http://www.kivo.example/update/log.htm?v=";
    const int n = std::snprintf(
        body, sizeof body,
        "URL:%s%u\r\n%skivo %u.%u.%u。\r\n更新内容请见 %s%u ，或关于对话框中的版本链接。\r\nkivo软件\r\n"
        "%u-%02u-%02u\r\n",
        page, unsigned(ProgramVersion), known == 0 ? "欢迎使用" : "您的软件已更新为", major, minor, release, page,
        unsigned(ProgramVersion), unsigned(now.wYear), unsigned(now.wMonth), unsigned(now.wDay));
    DWORD written = 0;
    WriteFile(out, body, DWORD(n > 0 && n < int(sizeof body) ? n : 0), &written, nullptr);
    CloseHandle(out);
  }
  if (receivers_.frame) receivers_.frame(TFrameAction::ShowUpdateNotice, known == 0 ? 1 : 0, 0);
}
