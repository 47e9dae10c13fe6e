#include "shell/pagemenus.h"

#include <cstring>
#include <strings.h>

#include "shell/profiletext.h"

namespace {

bool IsBarPage(const char *path) { return std::strstr(path, "..\\cfg\\kvpage") != nullptr; }

}  // namespace

void CutPageName(const char *name, char (&out)[32]) {
  std::memset(out, 0, sizeof out);
  CopyGbkBounded(out, 29, name ? name : "");
}

int PageIndexOf(const PageTableData &table, const std::string &path) {
  if (path.empty()) return -1;
  for (int i = 0; i < table.count; ++i)
    if (strncasecmp(table.entries[i].path, path.c_str(), kPagePathSize) == 0) return i;
  return -1;
}

TPagePlan PlanPageMenus(const PageTableData &table, int value, const char *lastPage, const char *previousName) {
  TPagePlan plan;
  if (value == -1 && lastPage && std::strlen(lastPage) > 10) {
    const int index = PageIndexOf(table, lastPage);
    if (index >= 0) value = index + 1;
  }
  bool found = false;
  for (int i = 0; i < table.count; ++i) {
    const CPageData &e = table.entries[i];
    if (!e.path[0]) continue;
    char name[kPageNameSize + 1] = {};
    std::memcpy(name, e.name, kPageNameSize);
    TPagePlan::Entry entry{i + 1, name, i + 1 == value};
    if (IsBarPage(e.path) && int(plan.buttons.size()) < kPageBarButtons) {
      found = found || entry.marked;
      plan.buttons.push_back(entry);
    } else {
      if (entry.marked) {
        CutPageName(name, plan.pageName);
        plan.nameTaken = true;
      }
      plan.items.push_back(entry);
    }
  }
  plan.otherPressed = !found;
  if (!plan.nameTaken) CutPageName(previousName, plan.pageName);
  plan.otherCaption = value == -2 || !plan.pageName[0] ? "我的页面" : plan.pageName;
  return plan;
}

int NextPageInCycle(const PageTableData &table, const std::string &openPath, bool shift) {
  if (table.count <= 0) return -1;
  const int a = PageIndexOf(table, openPath);
  const int last = table.count - 1;
  if (shift) return a > 0 ? a - 1 : last;
  return a >= 0 && a < last ? a + 1 : 0;
}
