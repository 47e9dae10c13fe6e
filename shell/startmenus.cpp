#include "shell/startmenus.h"

#include <cstring>

#include "classlib/menus.h"
#include "market/dataio5.h"
#include "platform/profile.h"
#include "shell/framemenus.h"

namespace {

TMenuItem *Add(TMenuItem *parent, const std::string &caption, int tag, const TMenuClick &click) {
  TMenuItem *item = AddMenuItem(parent, caption, tag);
  if (click && caption != "-") item->OnClick = [click, item](TObject *) { click(item); };
  return item;
}

std::string Bounded(const char *text, size_t size) { return std::string(text, strnlen(text, size)); }

void RemoveAndFree(TMenuItem *parent, TMenuItem *item) {
  parent->Remove(item);
  delete item;
}

}  // namespace

std::vector<TMarketMenuSource> MarketMenuSources() {
  std::vector<TMarketMenuSource> out;
  for (int m = 0; m < MarketTable.marketCount; ++m) {
    const TMarketData *market = MarketAt(m);
    if (!market) continue;
    TMarketMenuSource source{Bounded(market->m_info.name, sizeof market->m_info.name), {}};
    for (int k = 0; k < market->m_info.kindCount && k < kMaxStockKinds; ++k)
      source.kinds.push_back(Bounded(market->m_info.kinds[k].name, sizeof market->m_info.kinds[k].name));
    out.push_back(source);
  }
  return out;
}

void BuildMarketBlockMenus(TMenuItem *parent, const std::vector<TMarketMenuSource> &markets,
                           const TBlockTable &table, const TMenuClick &click) {
  const int count = int(markets.size());
  int kindNumber = 0;
  for (int m = 0; m < count; ++m) {
    std::string name = markets[size_t(m)].name;
    const std::string suffix = "市场";
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
      name.resize(name.size() - suffix.size());
    TMenuItem *sub = Add(parent, name, 0, nullptr);
    Add(sub, "所有品种", m, click);
    Add(sub, "-", 0, nullptr);
    for (const std::string &kind : markets[size_t(m)].kinds) Add(sub, kind, count + kindNumber++, click);
    if (m == 2 || m == 6) Add(parent, "-", 0, nullptr);
  }
  Add(parent, "-", 0, nullptr);
  bool keptTypeTwo = false;
  for (int pass : {2, 1}) {
    for (int g = 0; g < table.groupCount && g < kMaxBlockGroups; ++g) {
      const BLOCKGROUP &group = table.groups[g];
      if (group.type != pass) continue;
      TMenuItem *sub = Add(parent, Bounded(group.name, sizeof group.name), 0, nullptr);
      for (int i = 0; i < group.blockCount && i < kMaxBlocks; ++i) {
        const int id = group.blockIds[i];
        if (id < 0 || id >= kMaxBlocks) continue;
        const BLOCK &block = table.blocks[id];
        if (pass == 2 && block.kind != 2) continue;
        const bool breakHere = pass == 2 && sub->Count() > 0 && sub->Count() % 16 == 0;
        Add(sub, Bounded(block.name, sizeof block.name), block.blockId, click)->BarBreak = breakHere;
      }
      if (sub->Count() == 0)
        RemoveAndFree(parent, sub);
      else if (pass == 2)
        keptTypeTwo = true;
    }
    if (pass == 2 && keptTypeTwo) Add(parent, "-", 0, nullptr);
  }
  BuildUserBlockMenu(parent, table, click);
}

void BuildUserBlockMenu(TMenuItem *parent, const TBlockTable &table, const TMenuClick &click) {
  // Every "自选板块" goes, so that no call leaves two.
  for (int i = parent->Count() - 1; i >= 0; --i)
    if (parent->Items(i)->Caption == "自选板块") RemoveAndFree(parent, parent->Items(i));
  TMenuItem *sub = Add(parent, "自选板块", 0, nullptr);
  const int first = table.groupCount > 0 ? table.groups[0].blockCount : 0;
  for (int i = first; i < table.blockCount && i < kMaxBlocks; ++i) {
    const BLOCK &block = table.blocks[i];
    if (block.inUse && block.kind >= 4) Add(sub, Bounded(block.name, sizeof block.name), block.blockId, click);
  }
  if (sub->Count() == 0) RemoveAndFree(parent, sub);
}

void BuildWebMenu(TMenuItem *menu, const char *ini, const TMenuClick &web, const TMenuClick &wap) {
  char text[512];
  GetPrivateProfileStringA("WEB", "MenuName", "网站", text, sizeof text, ini);
  menu->Caption = text;
  ClearMenuFrom(menu, 0);
  for (int n = 1;; ++n) {
    const std::string key = "Web" + std::to_string(n);
    GetPrivateProfileStringA("WEB", key.c_str(), "", text, sizeof text, ini);
    if (!text[0]) break;
    const char *colon = std::strchr(text, ':');
    if (!colon) continue;
    Add(menu, std::string(text, size_t(colon - text)), n - 1, web);
  }
  Add(menu, "-", 0, nullptr);
  Add(menu, "随身行情", 0, wap);
}

std::string WebAddress(const char *ini, int tag) {
  char text[512];
  const std::string key = "Web" + std::to_string(tag + 1);
  GetPrivateProfileStringA("WEB", key.c_str(), "", text, sizeof text, ini);
  const char *colon = std::strchr(text, ':');
  return colon ? std::string(colon + 1) : std::string();
}

void BuildTradeMenu(TMenuItem *menu, const char *ini, bool bound,
                    const std::function<std::string(int command)> &keyText, const TMenuClick &click) {
  ClearMenuFrom(menu, 2);
  for (int n = 0; n < 4; ++n) {
    char name[260];
    const std::string key = "Name" + std::to_string(n);
    GetPrivateProfileStringA("CONSIGN", key.c_str(), "", name, sizeof name, ini);
    if (!name[0]) continue;
    int command = 0;
    if (n == 0) command = bound ? 83 : 48;
    if (n == 1 && !bound) command = 83;
    std::string caption = name;
    const std::string keys = command && keyText ? keyText(command) : std::string();
    if (!keys.empty()) caption += std::string(caption.size() < 12 ? 12 - caption.size() : 1, ' ') + keys;
    Add(menu, caption, n + 1, click);
  }
}

void BuildStyleMenu(TMenuItem *menu, const char *ini, int current, const TMenuClick &click) {
  ClearMenuFrom(menu, 0);
  for (int n = 0;; ++n) {
    char name[64];
    const std::string section = "Color" + std::to_string(n);
    GetPrivateProfileStringA(section.c_str(), "Name", "", name, sizeof name, ini);
    if (!name[0]) break;
    TMenuItem *item = Add(menu, name, n, click);
    item->RadioItem = true;
    item->Checked = n == current;
  }
}
