// The page manager dialog "页面管理": names a page to save as, or deletes
// and reorders the pages of the page table.
#pragma once

#include <cstdint>

#include "classlib/forms.h"
#include "views/pagelist.h"

class TEdit;
class TButton;
class TListBox;

class TPageMngr : public TForm {
 public:
  explicit TPageMngr(TComponent *owner);

  void ListBox1Click(TObject *sender);
  void Button1Click(TObject *sender);
  void XPButton1Click(TObject *sender);
  void XPButton2Click(TObject *sender);
  // The main window sets the manage mode up: Button1 "删除", Button2
  // "关闭", Edit1 disabled, the page in use.
  void SetManageMode(const char *pageInUse);

  TEdit *Edit1;
  TListBox *ListBox1;
  TButton *Button1;
  TButton *Button2;
  TButton *XPButton1;
  TButton *XPButton2;

  CPageData m_entry{};
  uint8_t m_modified = 0;
  char m_pageInUse[kPagePathSize] = {};
  bool m_manageMode = false;

 private:
  void Swap(int a, int b);
};
