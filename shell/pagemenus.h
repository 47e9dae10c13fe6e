// The page menus and the page bar as the page table and the open page
// make them: the first 13 system pages take the bar's buttons, the other
// pages are items of "导入页面(&I)" and of the page pop-up menu; the open
// page is pressed or ticked. Pure planning here; the window applies it.
#pragma once

#include <string>
#include <vector>

#include "views/pagelist.h"

constexpr int kPageBarButtons = 13;

struct TPagePlan {
  struct Entry {
    int tag = -1;  // page-table index + 1
    std::string caption;
    bool marked = false;  // pressed (bar) or ticked (menus)
  };
  std::vector<Entry> buttons;  // at most 13
  std::vector<Entry> items;
  bool otherPressed = false;  // "我的页面" stands for the open page
  std::string otherCaption;
  // The open user page's name (first 28 bytes, on a character boundary),
  // when one of the items is it.
  bool nameTaken = false;
  char pageName[32] = {};
};

// value: -1 the page of the last-page record (a text of more than 10
// characters), -2 a new unsaved page, 0 the default page, n > 0 entry n - 1.
// previousName: the page name held before, for the "我的页面" caption.
TPagePlan PlanPageMenus(const PageTableData &table, int value, const char *lastPage, const char *previousName);
// The table index of a path (any case), or -1.
int PageIndexOf(const PageTableData &table, const std::string &path);
// The next page of the cycle from the open page's path (-1 when none):
// the following one, or with shift the one before, wrapping round.
int NextPageInCycle(const PageTableData &table, const std::string &openPath, bool shift);
// A page name cut to the 28 bytes the bar and the status panel show.
void CutPageName(const char *name, char (&out)[32]);
