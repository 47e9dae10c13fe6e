// The main window's page menus and page bar: building them from the page
// table, opening a page from the bar, a menu or the keyboard wizard, and
// the page cycle.
#include <cstring>
#include <strings.h>

#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "shell/framemenus.h"
#include "shell/mframe.h"
#include "shell/pagemenus.h"
#include "shell/profiletext.h"
#include "views/mvchild.h"
#include "views/mvmain.h"
#include "views/pagelist.h"

namespace {

constexpr UINT kTopMostBox = 0x00040000L;  // MB_TOPMOST

}  // namespace

void TMFrame::RebuildPageMenus(int mark) {
  TFrameChrome &c = *chrome;
  TMenuItem *imports = c.MenuItem("N13");
  if (imports) ClearMenuFrom(imports, 0);
  ClearMenuFrom(c.PopupMenu2->Items(), 0);
  char last[kPagePathSize] = {};
  if (mark == -1) ReadLastPage(last);
  const TPagePlan plan = PlanPageMenus(PageTable(), mark, last, pageName);
  TMenuItem *popup = c.PopupMenu2->Items();
  AddMenuItem(popup, "新建页面(&N)")->OnClick = [this](TObject *) { N10Click(); };
  AddMenuItem(popup, "另存页面(&E)")->OnClick = [this](TObject *) { N19Click(); };
  AddMenuItem(popup, "-");
  for (const TPagePlan::Entry &e : plan.items) {
    for (TMenuItem *parent : {imports, popup}) {
      if (!parent) continue;
      TMenuItem *item = AddMenuItem(parent, e.caption, e.tag);
      item->Checked = e.marked;
      const int tag = e.tag;
      item->OnClick = [this, tag](TObject *) { OpenPageClick(TPageSource::Menu, tag); };
    }
  }
  for (int i = 0; i < kPageBarButtons; ++i) {
    TToolButton *b = c.Page[i];
    if (i < int(plan.buttons.size())) {
      b->SetCaption(plan.buttons[size_t(i)].caption);
      b->Tag = plan.buttons[size_t(i)].tag;
      b->SetDown(plan.buttons[size_t(i)].marked);
      b->Show();
      b->OnClick = [this, b](TObject *) { OpenPageClick(TPageSource::Bar, int(b->Tag)); };
    } else {
      b->Tag = -1;
      b->Hide();
    }
  }
  std::memcpy(pageName, plan.pageName, sizeof pageName);
  if (plan.nameTaken) Panel3->Repaint();
  if (plan.otherPressed) c.PageOther->SetCaption(plan.otherCaption);
  c.PageOther->SetDown(plan.otherPressed);
  c.PageOther->Tag = plan.otherPressed ? 1 : 0;
  c.PageBar->Arrange();
}

bool TMFrame::PageHasEmptyPane() const {
  for (int i = 0; page && i < page->PaneCount(); ++i)
    if (!page->PaneAt(i) || page->PaneAt(i)->ViewType() == 0) return true;
  return false;
}

bool TMFrame::CheckUnsavedPage() {
  if (!page || !page->m_pagePath.empty()) return true;
  if (MessageBoxA(Handle(), "是否保存当前页面？  ", "确认", MB_YESNO | MB_ICONQUESTION | kTopMostBox) != IDYES)
    return true;
  if (PageHasEmptyPane()) {
    MessageBoxA(Handle(), "请先指定空白窗口的内容。  ", "提示", MB_OK | MB_ICONINFORMATION | kTopMostBox);
    return false;
  }
  page->SavePage(0);
  return true;
}

void TMFrame::N10Click() {
  if (!CheckUnsavedPage() || !page) return;
  page->OpenPage(nullptr, 1);
  page->m_pagePath.clear();
  RebuildPageMenus(-2);
}

void TMFrame::N19Click() {
  if (!page) return;
  if (PageHasEmptyPane()) {
    MessageBoxA(Handle(), "请先指定空白窗口的内容。  ", "提示", MB_OK | MB_ICONINFORMATION | kTopMostBox);
    return;
  }
  page->SavePage(1);
}

void TMFrame::OpenPageClick(TPageSource source, int tag) {
  if (source == TPageSource::None) tag = wizardPageIndex + 1;
  TFrameChrome &c = *chrome;
  const PageTableData &table = PageTable();
  const std::string open = page ? page->m_pagePath : std::string();
  if (tag > 0 && tag <= table.count && strcasecmp(open.c_str(), table.entries[tag - 1].path) == 0) {
    if (strncasecmp(open.c_str(), "..\\cfg\\kvpag", 12) == 0 && page) page->OpenPage(open.c_str(), 0);
    if (source == TPageSource::Menu) {
      c.PageOther->SetDown(true);
    } else if (source == TPageSource::Bar) {
      for (TToolButton *b : c.Page)
        if (b->Tag == tag) b->SetDown(true);
    }
    return;
  }
  if (tag == 0 && strcasecmp(open.c_str(), "Default") == 0) {
    c.PageOther->SetDown(true);
    return;
  }
  if (!CheckUnsavedPage()) return;
  bool pressed = false;
  for (TToolButton *b : c.Page) {
    const bool on = b->Visible() && b->Tag == tag;
    b->SetDown(on);
    pressed = pressed || on;
  }
  c.PageOther->SetDown(!pressed);
  c.PageOther->Tag = pressed ? 0 : 1;
  if (tag == 0) {
    if (page) page->OpenPage(nullptr, 2);
    RebuildPageMenus(0);
    WriteLastPage("Default");
  } else if (tag > 0 && tag <= table.count) {
    const char *path = table.entries[tag - 1].path;
    if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES) {
      if (TMenuItem *imports = c.MenuItem("N13"))
        for (int i = imports->Count() - 1; i >= 0; --i)
          if (imports->Items(i)->Tag == tag) imports->Delete(i);
      ::LoadPageList();
      MessageBoxA(Handle(), "指定的页面不存在。  ", "提示", MB_OK | MB_ICONERROR | kTopMostBox);
      return;
    }
    if (page) page->OpenPage(path, 0);
    RebuildPageMenus(tag);
    char last[kPagePathSize] = {};
    CopyGbkBounded(last, sizeof last, page ? page->m_pagePath.c_str() : path);
    WriteLastPage(last);
  }
  if (!pressed) c.PageOther->SetCaption(pageName[0] ? pageName : "我的页面");
  c.PageBar->Invalidate();
}

void TMFrame::ToolButton23Click(bool shift) {
  const PageTableData &table = PageTable();
  if (table.count <= 0) return;
  wizardPageIndex = NextPageInCycle(table, page ? page->m_pagePath : std::string(), shift);
  ToolBar1->Invalidate();
  OpenPageClick(TPageSource::None, 0);
}

void TMFrame::PageOtherClick(bool onMark) {
  TFrameChrome &c = *chrome;
  if (!onMark && c.PageOther->Tag != 1 && c.PageOther->Caption() != "我的页面") {
    const PageTableData &table = PageTable();
    for (int i = 0; i < table.count; ++i) {
      if (std::strstr(table.entries[i].path, "..\\cfg\\kvpage")) continue;
      if (strncasecmp(table.entries[i].name, c.PageOther->Caption().c_str(), kPageNameSize) == 0) {
        wizardPageIndex = i;
        OpenPageClick(TPageSource::None, 0);
        return;
      }
    }
    return;
  }
  POINT p{c.PageOther->Left(), c.PageOther->Top() + c.PageOther->Height()};
  ::ClientToScreen(c.PageBar->Handle(), &p);
  c.PopupMenu2->Popup(p.x, p.y);
  c.PageOther->SetDown(c.PageOther->Tag == 1);
}

void TMFrame::BindPageBar() {
  TFrameChrome &c = *chrome;
  TToolButton *other = c.PageOther;
  other->OnMouseDown = [this, other](TObject *, TMouseButton, TShiftState, int x, int y) {
    const bool horizontal = other->Width() >= other->Height();
    pageMarkHit_ = horizontal ? x >= other->Width() - 18 : y >= other->Height() - 24;
  };
  other->OnClick = [this](TObject *) { PageOtherClick(pageMarkHit_); };
  c.Button("ToolButton23")->OnClick = [this](TObject *) { ToolButton23Click(GetKeyState(VK_SHIFT) < 0); };
  c.Button("ToolButton4")->OnClick = [this](TObject *) { ToolButton4Click(); };
}

void TMFrame::ToolButton4Click() {
  if (!CheckUnsavedPage()) return;
  char last[kPagePathSize];
  if (!ReadLastPage(last)) std::strcpy(last, "..\\cfg\\kvpage0.ppg");
  if (page) page->OpenPage(last, 1);
  RebuildPageMenus(-1);
}
