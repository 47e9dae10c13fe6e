#include "views/adjtitle.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "market/utildata.h"
#include "platform/beep.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "views/dlgtext.h"
#include "views/reportcolumns.h"
#include "views/reportpaint.h"

namespace {

const char *const kDefaultCaptions[kSchemeCount] = {"国内期货", "国内证券", "全球外汇", "全球指数",
                                                    "香港证券", "国外期货", "自选板块", "国内现货",
                                                    "大连套利", "股指期货", "沪深 300"};

// The whole text as a number, or the fallback.
int NumberOr(const std::string &text, int fallback) {
  if (text.empty()) return fallback;
  char *end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  return end && *end == 0 ? int(v) : fallback;
}

std::string UserSettings() { return std::string(UserDataPath) + "SETTING.INI"; }

TXPButton *MakeButton(TForm *form, const char *caption, int x, int y) {
  auto *b = new TXPButton(form);
  b->SetParent(form);
  b->SetCaption(caption);
  b->SetBounds(x, y, 75, 25);
  return b;
}

TLabel *MakeLabel(TWinControl *parent, TComponent *owner, const char *caption, int x, int y, int width = 100) {
  auto *l = new TLabel(owner);
  l->SetParent(parent);
  l->AutoSize = false;
  l->SetBounds(x, y, width, 17);
  l->SetCaption(caption);
  return l;
}

}  // namespace

std::string TAdjTitle::ColumnLabel(int tab, int id) {
  if (tab == 7)
    if (const char *text = SpotForwardHeaderText(id)) return text;
  if (id == 8 && (tab == 0 || tab == 5 || tab == 8 || tab == 9)) return "持仓量";
  if (id == 8 && tab == 6) return "持仓/金额";
  if (id < 0 || id >= kReportColumnCount) return std::string();
  return std::string(ReportColumnTable[id], strnlen(ReportColumnTable[id], kReportColumnNameSize));
}

TAdjTitle::TAdjTitle(TComponent *owner) : TForm(owner) {
  SetCaption("编辑栏目");
  SetBorderStyle(bsDialog);
  SetClientSize(440, 400);
  Position = poOwnerFormCenter;

  XPTabControl1 = new TXPTabControl(this);
  XPTabControl1->SetParent(this);
  XPTabControl1->SetBounds(8, 8, 424, 340);
  XPTabControl1->OnChange = [this](TObject *s) { XPTabControl1Change(s); };
  TWinControl *page = XPTabControl1;
  int top = 56;
  MakeLabel(page, this, "方案名称:", 12, top + 3);
  Edit4 = new TXPEdit(this);
  Edit4->SetParent(page);
  Edit4->SetBounds(80, top, 100, 21);
  Edit4->SetMaxLength(8);
  Edit4->OnChange = [this](TObject *s) { Edit4Change(s); };
  MakeLabel(page, this, "已选栏目", 12, top + 28);
  MakeLabel(page, this, "可选栏目", 272, top + 28);
  auto makeList = [&](int x) {
    auto *l = new TXPListBox(this);
    l->SetParent(page);
    l->SetBounds(x, top + 46, 140, 170);
    l->SetStyle(lbOwnerDrawFixed);
    l->SetItemHeight(16);
    l->MultiSelect = true;
    return l;
  };
  ListBox1 = makeList(12);
  ListBox2 = makeList(272);
  ListBox1->OnClick = [this](TObject *s) { ListBox1Click(s); };
  ListBox1->OnDblClick = [this](TObject *s) { Button4Click(s); };
  ListBox2->OnDblClick = [this](TObject *s) { Button3Click(s); };
  Button3 = MakeButton(this, "添加 <-", 0, 0);
  Button4 = MakeButton(this, "删除 ->", 0, 0);
  Button7 = MakeButton(this, "上移", 0, 0);
  Button8 = MakeButton(this, "下移", 0, 0);
  int y = top + 60;
  for (TXPButton *b : {Button3, Button4, Button7, Button8}) {
    b->SetParent(page);
    b->SetBounds(172, y, 80, 25);
    y += 34;
  }
  Button3->OnClick = [this](TObject *s) { Button3Click(s); };
  Button4->OnClick = [this](TObject *s) { Button4Click(s); };
  Button7->OnClick = [this](TObject *s) { Button7Click(s); };
  Button8->OnClick = [this](TObject *s) { Button8Click(s); };

  MakeLabel(page, this, "所选栏宽度（数字位数）:", 12, top + 228, 148);
  Edit1 = new TXPEdit(this);
  Edit1->SetParent(page);
  Edit1->SetBounds(160, top + 225, 36, 21);
  Edit1->SetMaxLength(2);
  Edit1->OnChange = [this](TObject *s) { Edit1Change(s); };
  UpDown1 = new TXPUpDown(this);
  UpDown1->SetParent(page);
  UpDown1->SetBounds(196, top + 225, 16, 21);
  UpDown1->Min = 1;
  UpDown1->Max = 20;
  UpDown1->Associate = Edit1;
  MakeLabel(page, this, "固定栏目的数量:", 232, top + 228);
  Edit2 = new TXPEdit(this);
  Edit2->SetParent(page);
  Edit2->SetBounds(340, top + 225, 36, 21);
  Edit2->OnChange = [this](TObject *s) { Edit2Change(s); };
  UpDown2 = new TXPUpDown(this);
  UpDown2->SetParent(page);
  UpDown2->SetBounds(376, top + 225, 16, 21);
  UpDown2->Min = 0;
  UpDown2->Max = 5;
  UpDown2->Associate = Edit2;
  TLabel *note = MakeLabel(page, this, "注：修改栏目请同时修改对应栏目宽度。", 12, top + 256, 300);
  note->Font()->SetColor(TColor(RGB(255, 0, 0)));

  Button5 = MakeButton(this, "确定", 272, 362);
  Button5->SetDefault(true);
  Button5->OnClick = [this](TObject *s) { Button5Click(s); };
  Button2 = MakeButton(this, "取消", 357, 362);
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;

  auto drawLine = [](TListBox *list) {
    return [list](TWinControl *, int index, TRect rect, TOwnerDrawState) {
      list->Canvas()->TextOut(rect.Left + 2, rect.Top + 1, list->Items()->Get(index));
    };
  };
  ListBox1->OnDrawItem = drawLine(ListBox1);
  ListBox2->OnDrawItem = drawLine(ListBox2);

  // The working copy: names from the settings, columns from the store.
  std::string user = UserSettings();
  for (int n = 0; n < kSchemeCount; ++n) {
    ColumnScheme &s = schemes[n];
    std::memset(&s, 0xFF, sizeof s);
    char section[24], fallback[16], name[64];
    std::snprintf(section, sizeof section, "TableDef%d", n + 1);
    GetPrivateProfileStringA(section, "Name", "未命名", fallback, sizeof fallback, "..\\cfg\\setting.ini");
    GetPrivateProfileStringA(section, "Name", fallback, name, sizeof name, user.c_str());
    CopyGbkCut(s.name, sizeof s.name, name, 8);
    s.count = 0;
    s.fixedCount = 0;
    if (ColumnSchemes) {
      s.count = std::min(std::max(ColumnSchemes->count[n], 0), kSchemeColumns);
      s.fixedCount = ColumnSchemes->fixedCount[n];
      std::memcpy(s.ids, ColumnSchemes->ids[n], sizeof s.ids);
      std::memcpy(s.widths, ColumnSchemes->widths[n], sizeof s.widths);
    }
  }
  for (int n = 0; n < kSchemeCount; ++n) XPTabControl1->Tabs()->Add(kDefaultCaptions[n]);
  for (int n = 0; n < kSchemeCount; ++n) XPTabControl1->Tabs()->Put(n, schemes[n].name);
  current = &schemes[0];
  SelectScheme(0);
}

void TAdjTitle::SelectScheme(int tab) {
  if (tab < 0 || tab >= kSchemeCount) return;
  XPTabControl1->SetTabIndex(tab);
  XPTabControl1Change(this);
}

void TAdjTitle::XPTabControl1Change(TObject *) {
  int tab = XPTabControl1->TabIndex();
  if (tab < 0 || tab >= kSchemeCount) return;
  current = &schemes[tab];
  Edit4->SetText(std::string(current->name, strnlen(current->name, sizeof current->name)));
  UpDown2->SetPosition(current->fixedCount);
  Edit2->SetText(std::to_string(current->fixedCount));
  int width = current->count > 0 ? current->widths[0] : 0;
  UpDown1->SetPosition(width);
  Edit1->SetText(std::to_string(width));

  ListBox1->Clear();
  for (int i = 0; i < current->count; ++i) ListBox1->Items()->Add(ColumnLabel(tab, current->ids[i]));
  if (ListBox1->Count() > 0) {
    ListBox1->SetItemIndex(0);
    ListBox1->SetSelected(0, true);
  }
  ListBox2->Clear();
  for (int id = 0; id < kReportColumnCount; ++id) {
    bool used = false;
    for (int i = 0; i < current->count && !used; ++i) used = current->ids[i] == id;
    if (used) continue;
    int line = ListBox2->Items()->Add(ColumnLabel(tab, id));
    ListBox2->Items()->PutObject(line, reinterpret_cast<TObject *>(intptr_t(id)));
  }
  if (ListBox2->Count() > 0) {
    ListBox2->SetItemIndex(0);
    ListBox2->SetSelected(0, true);
  }
}

void TAdjTitle::Beep() { MessageBeep(MB_OK); }

void TAdjTitle::Button3Click(TObject *) {
  for (int i = 0; i < ListBox2->Count();) {
    if (!ListBox2->Selected(i)) {
      ++i;
      continue;
    }
    if (current->count >= kSchemeColumns) {
      Beep();
      break;
    }
    int id = int(reinterpret_cast<intptr_t>(ListBox2->Items()->GetObject(i)));
    current->ids[current->count] = id;
    current->widths[current->count] = 8;
    ++current->count;
    ListBox1->Items()->Add(ColumnLabel(TabIndexOfCurrent(), id));
    ListBox2->Items()->Delete(i);
  }
  if (ListBox1->Count() > 0) {
    ListBox1->ClearSelection();
    ListBox1->SetItemIndex(ListBox1->Count() - 1);
    ListBox1->SetSelected(ListBox1->Count() - 1, true);
  }
}

void TAdjTitle::Button4Click(TObject *) {
  for (int i = 0; i < ListBox1->Count() && i < current->count;) {
    if (!ListBox1->Selected(i)) {
      ++i;
      continue;
    }
    int id = current->ids[i];
    int line = ListBox2->Items()->Add(ColumnLabel(TabIndexOfCurrent(), id));
    ListBox2->Items()->PutObject(line, reinterpret_cast<TObject *>(intptr_t(id)));
    std::memmove(&current->ids[i], &current->ids[i + 1], size_t(current->count - i - 1) * sizeof(int32_t));
    std::memmove(&current->widths[i], &current->widths[i + 1], size_t(current->count - i - 1) * sizeof(int32_t));
    --current->count;
    current->ids[current->count] = -1;
    current->widths[current->count] = -1;
    ListBox1->Items()->Delete(i);
  }
}

void TAdjTitle::SwapColumns(int a, int b) {
  std::swap(current->ids[a], current->ids[b]);
  std::swap(current->widths[a], current->widths[b]);
}

void TAdjTitle::Button7Click(TObject *) {
  MoveSelectedLines(ListBox1, current->count, true, [this](int a, int b) { SwapColumns(a, b); });
}

void TAdjTitle::Button8Click(TObject *) {
  MoveSelectedLines(ListBox1, current->count, false, [this](int a, int b) { SwapColumns(a, b); });
}

void TAdjTitle::ListBox1Click(TObject *) {
  int line = ListBox1->ItemIndex();
  if (line < 0 || line >= current->count) return;
  UpDown1->SetPosition(current->widths[line]);
  Edit1->SetText(std::to_string(current->widths[line]));
}

void TAdjTitle::Edit1Change(TObject *) {
  int line = ListBox1->ItemIndex();
  if (line < 0 || line >= kSchemeColumns || line >= current->count) return;
  current->widths[line] = NumberOr(Edit1->Text(), 9);
}

void TAdjTitle::Edit2Change(TObject *) { current->fixedCount = NumberOr(Edit2->Text(), 0); }

void TAdjTitle::Edit4Change(TObject *) {
  std::string text = Edit4->Text();
  if (text.empty()) return;
  CopyGbkCut(current->name, sizeof current->name, text, 8);
  XPTabControl1->Tabs()->Put(TabIndexOfCurrent(), current->name);
}

void TAdjTitle::Button5Click(TObject *) {
  std::string user = UserSettings();
  for (int n = 0; n < kSchemeCount; ++n) {
    char section[24];
    std::snprintf(section, sizeof section, "TableDef%d", n + 1);
    WritePrivateProfileStringA(section, "Name", schemes[n].name, user.c_str());
    if (!ColumnSchemes) continue;
    ColumnSchemes->count[n] = schemes[n].count;
    ColumnSchemes->fixedCount[n] = schemes[n].fixedCount;
    std::memcpy(ColumnSchemes->ids[n], schemes[n].ids, sizeof schemes[n].ids);
    std::memcpy(ColumnSchemes->widths[n], schemes[n].widths, sizeof schemes[n].widths);
  }
  SetModalResult(mrOk);
}
