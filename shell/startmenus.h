// The main window's menus built at start-up from the market table, the
// block table and the settings files: the market and block menus under
// "板块", the user-block submenu, the web menu, the outside trading
// programs of "交易" and the display styles of "工具".
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "market/blocks.h"

class TMenuItem;

using TMenuClick = std::function<void(TMenuItem *item)>;

struct TMarketMenuSource {
  std::string name;
  std::vector<std::string> kinds;
};
// The markets of the market table, in order.
std::vector<TMarketMenuSource> MarketMenuSources();

// Under parent ("板块"): one submenu per market (a trailing "市场" dropped)
// with "所有品种" (Tag the market) and its kinds (Tag market count + the
// running kind number); the type-2 groups in columns of 16 with their kind-2
// blocks, the type-1 groups with all their blocks; then the user blocks.
void BuildMarketBlockMenus(TMenuItem *parent, const std::vector<TMarketMenuSource> &markets,
                           const TBlockTable &table, const TMenuClick &click);
// Replaces the "自选板块" submenu at the end of parent; none without user
// blocks.
void BuildUserBlockMenu(TMenuItem *parent, const TBlockTable &table, const TMenuClick &click);
// The web menu from setting.ini [WEB]: MenuName (default "网站") and the
// items "Web%d" until the first empty one, a value without a colon adding
// nothing; then a separator and "随身行情".
void BuildWebMenu(TMenuItem *menu, const char *settingIni, const TMenuClick &web, const TMenuClick &wap);
// The text after the first colon of [WEB] "Web%d" (n = Tag + 1), or "".
std::string WebAddress(const char *settingIni, int tag);
// The outside trading programs after the menu's first two items: Name0 to
// Name3 of trading.ini [CONSIGN], with the hot key of command 83 or 48
// where it applies, starting at the 13th character.
void BuildTradeMenu(TMenuItem *menu, const char *tradingIni, bool pluginBound,
                    const std::function<std::string(int command)> &keyText, const TMenuClick &click);
// The display styles: [Color<n>] Name of clrfont.ini until the first empty
// one, as radio items (Tag n), the current one ticked.
void BuildStyleMenu(TMenuItem *menu, const char *clrfontIni, int current, const TMenuClick &click);
