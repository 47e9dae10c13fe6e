// The list area beside the order panel, computed without a window: which of
// the four panes a page shows and where, the splitter between the two panes
// of the trading page and the proportions it stores, the tab columns of the
// positions and orders panes, the pop-up menus of the lists, the colours of
// the lists' owner drawing, the disconnection banner and the user refresh's
// query interval.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/windef.h"

// The panes; the numbers are the values of LayOut1 and LayOut2.
enum TListPane : int {
  kPanePositions = 0,   // OwnerDrawPanel3
  kPaneOrders = 1,      // OwnerDrawPanel2
  kPaneTrades = 2,      // Panel14
  kPaneConditions = 3,  // XPTabControl4
  kListPaneCount = 4
};

enum TPaneAlign : int8_t { kAlignNone, kAlignTop, kAlignBottom, kAlignLeft, kAlignClient };

// One pane or the splitter: shown, its alignment and its bounds inside the
// list area.
struct TPaneBox {
  bool shown = false;
  TPaneAlign align = kAlignNone;
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const TPaneBox &) const = default;
};

struct TListArea {
  // False: the page state leaves the list area as it is.
  bool changed = false;
  TPaneBox panes[kListPaneCount];
  TPaneBox splitter;  // Splitter3
  int splitterMinSize = 0;
};

// The two panes of the trading page, one above the other or (left) side by
// side; proportions in parts per million.
TListArea SetPositionLeftOrNot(int width, int height, bool left, int layOut1, int layOut2, int pPercent,
                               int pPercentWidth);

struct TListAreaOptions {
  bool left = false;
  int layOut1 = 0, layOut2 = 1;
  int pPercent = 500000, pPercentWidth = 500000;
};
// The list area for a page state.
TListArea Panel4Resize(int pageState, int width, int height, const TListAreaOptions &options);

// The splitter was moved: the proportion of the positions pane stored for
// the arrangement in use. An empty area changes nothing.
void Splitter3Moved(bool left, int positionsWidth, int positionsHeight, int width, int height, int &pPercent,
                    int &pPercentWidth);

// ---- the tab columns ----
constexpr int kTabColumnWidth = 30;
constexpr int kPositionsPaneMinWidth = 460;
struct TTabColumn {
  TPaneBox upper, lower;  // "持仓"/"套利" or "全部"/"可撤"
  TPaneBox list;          // Panel16 or Panel8
};
// The positions pane ("套利" shown in the arbitrage layout only).
TTabColumn PositionTabColumn(int width, int height, bool arbitrageShown);
// The orders pane ("全部" may be hidden).
TTabColumn OrderTabColumn(int width, int height, bool allShown);
// A click on the orders pane outside its list: true chooses "全部".
inline bool OrdersPaneClickChoosesAll(int y, int height) { return y < height / 2; }
// Where a tab button draws the two characters of its caption, and in which
// colour.
struct TTabCaption {
  POINT first, second;
  COLORREF colour;
};
TTabCaption TabCaptionPlacement(const RECT &button, bool selected);

// ---- pop-up menus ----
enum class TListCommand {
  None,
  RefreshOrders,        // XPButton4Click
  CancelOrder,          // OnOrderCancelClick
  CancelAllOrders,      // OnOrderCancelAllClick
  ModifyOrder,          // XPButton30Click
  QuickClose,           // XPButton40Click
  QuickReverse,         // XPButton26Click
  QuickLock,            // XPButton41Click
  RefreshPositions,     // OnPositionRefreshClick
  PositionClose,        // OnPositionCloseClick
  PositionReverse,      // OnPositionReverseClick
  PositionLock,         // OnPositionLockClick
  PositionStops,        // XPButton31Click
  ShowAllOrders,        // "全部"
  ShowCancellableOrders // "可撤"
};
struct TListMenuItem {
  const char *text;  // null: a separator
  TListCommand command;
  bool radio = false;
  bool checked = false;
};
std::vector<TListMenuItem> OrderListMenu();
// The reverse, lock and stop items only while "持仓" is selected.
std::vector<TListMenuItem> PositionListMenu(bool holdingsTab);
std::vector<TListMenuItem> OrdersPaneMenu(bool cancellableShown);

// ---- owner drawing ----
enum class TListKind { Orders, Trades, Positions };
// The colour a cell's text must have by its column and text; none when the
// row's own text colour applies.
std::optional<COLORREF> ListCellColour(TListKind list, int column, const char *text);
COLORREF ListRowBackground(int index, bool selected, bool focused);
COLORREF ListCellTextColour(TListKind list, int column, const char *text, bool selected, bool focused,
                            COLORREF fontColour);
constexpr int kCellInset = 6;

// The banner on Splitter2 for a connection state; null when it is connected.
const char *ConnectionBannerText(int state);
// Splitter2's paint: the banner in red inside bounds; nothing when connected.
void PaintConnectionBanner(HDC dc, const RECT &bounds, int state);

// ---- the user's refresh ----
enum class TRefreshRefusal { None, Interval, Running };
// A user refresh at the tick count now: inside the query interval since
// lastQueryTick it is refused and changes nothing; otherwise lastQueryTick
// becomes now and a refresh that still runs refuses it.
TRefreshRefusal CheckUserRefresh(DWORD &lastQueryTick, int refreshTag, DWORD intervalMs, DWORD now);
std::string RefreshRefusalText(TRefreshRefusal refusal, DWORD intervalMs);
