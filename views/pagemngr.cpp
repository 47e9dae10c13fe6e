#include "views/pagemngr.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/fileapi.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "classlib/listbox.h"
#include "classlib/stdctrls.h"
#include "views/pagefile.h"

TPageMngr::TPageMngr(TComponent *owner) : TForm(owner) {
  SetCaption("页面管理");
  SetBorderStyle(bsDialog);
  SetClientSize(300, 260);
  Position = poScreenCenter;
  auto *label1 = new TLabel(this);
  label1->SetParent(this);
  label1->SetCaption("页面名称:");
  label1->SetBounds(10, 10, 80, 16);
  Edit1 = new TEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(90, 8, 120, 22);
  Edit1->SetMaxLength(10);
  auto *label2 = new TLabel(this);
  label2->SetParent(this);
  label2->SetCaption("已保存的页面:");
  label2->SetBounds(10, 40, 100, 16);
  ListBox1 = new TListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetBounds(10, 60, 200, 190);
  ListBox1->OnClick = [this](TObject *s) { ListBox1Click(s); };
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("确定");
  Button1->SetBounds(220, 8, 70, 25);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = new TButton(this);
  Button2->SetParent(this);
  Button2->SetCaption("取消");
  Button2->SetBounds(220, 40, 70, 25);
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;
  XPButton1 = new TButton(this);
  XPButton1->SetParent(this);
  XPButton1->SetCaption("上移");
  XPButton1->SetBounds(220, 150, 70, 25);
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  XPButton2 = new TButton(this);
  XPButton2->SetParent(this);
  XPButton2->SetCaption("下移");
  XPButton2->SetBounds(220, 180, 70, 25);
  XPButton2->OnClick = [this](TObject *s) { XPButton2Click(s); };
  const PageTableData &table = PageTable();
  for (int i = 0; i < table.count; ++i) ListBox1->Items()->Add(table.entries[i].name);
  DoCreate();
}

void TPageMngr::SetManageMode(const char *pageInUse) {
  m_manageMode = true;
  Button1->SetLeft(144);
  Button1->SetCaption("删除");
  Button1->SetDefault(false);
  Button2->SetCaption("关闭");
  Button2->SetDefault(true);
  Edit1->SetEnabled(false);
  std::strncpy(m_pageInUse, pageInUse ? pageInUse : "", sizeof m_pageInUse - 1);
}

void TPageMngr::ListBox1Click(TObject *) {
  const int i = ListBox1->ItemIndex();
  if (i < 0) return;
  Edit1->SetText(ListBox1->Items()->Get(i));
  if (Edit1->CanFocus()) Edit1->SetFocus();
}

void TPageMngr::Button1Click(TObject *) {
  PageTableData &table = PageTable();
  if (!m_manageMode) {
    const std::string name = Edit1->Text();
    if (name.empty()) {
      MessageBoxA(Handle(), "请指定页面文件的名称。  ", "未命名", MB_TOPMOST | MB_ICONEXCLAMATION);
      return;
    }
    for (int i = 0; i < ListBox1->Count(); ++i)
      if (ListBox1->Items()->Get(i) == name) {
        MessageBoxA(Handle(), "同名页面已存在，请使用其它名称。  ", "提示", MB_TOPMOST | MB_ICONINFORMATION);
        return;
      }
    std::memset(m_entry.name, 0, sizeof m_entry.name);
    std::strncpy(m_entry.name, name.c_str(), 63);
    SetModalResult(mrOk);
    return;
  }
  const int i = ListBox1->ItemIndex();
  if (i < 0 || i >= table.count) return;
  const char *path = table.entries[i].path;
  if (IsSystemPagePath(path)) {
    MessageBoxA(Handle(), "不允许删除系统页面。  ", "提示", MB_TOPMOST | MB_ICONINFORMATION);
    return;
  }
  if (platform::EqualNoCase(path, m_pageInUse)) {
    MessageBoxA(Handle(), "您不能删除当前正在使用的页面。  ", "提示", MB_TOPMOST | MB_ICONINFORMATION);
    return;
  }
  char question[160];
  std::snprintf(question, sizeof question, "确定删除页面 %s 吗？  ", table.entries[i].name);
  if (MessageBoxA(Handle(), question, "确认", MB_TOPMOST | MB_ICONQUESTION | MB_YESNO) != IDYES) return;
  DeleteFileA(path);
  for (int k = i; k + 1 < table.count; ++k) table.entries[k] = table.entries[k + 1];
  --table.count;
  ListBox1->Items()->Delete(i);
  m_modified = 1;
}

void TPageMngr::Swap(int a, int b) {
  PageTableData &table = PageTable();
  if (a < 0 || b < 0 || a >= table.count || b >= table.count) return;
  std::swap(table.entries[a], table.entries[b]);
  ListBox1->Items()->Exchange(a, b);
  ListBox1->SetItemIndex(b);
  m_modified = 1;
}

void TPageMngr::XPButton1Click(TObject *) {
  const int i = ListBox1->ItemIndex();
  if (i > 0) Swap(i, i - 1);
}

void TPageMngr::XPButton2Click(TObject *) {
  const int i = ListBox1->ItemIndex();
  if (i >= 0 && i + 1 < ListBox1->Count()) Swap(i, i + 1);
}
