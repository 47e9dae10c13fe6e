#include "formula/indexfunction.h"

#include <cstring>

#include "formula/indexdlgparts.h"
#include "formula/indexdlgtext.h"
#include "formula/lexer.h"

std::string IndexFunctionEntryText(const INDEXFUNC &row) {
  std::string text(row.name, strnlen(row.name, sizeof row.name));
  if (text.size() < 16) text.resize(16, ' ');
  const std::string help(row.help, strnlen(row.help, sizeof row.help));
  text += help.substr(0, help.find('\n'));
  return GbkPrefix(text, 63);
}

TIndexFunctionDlg::TIndexFunctionDlg(TComponent *owner) : TForm(owner) {
  SetCaption("指标函数");
  SetBorderStyle(bsSingle);
  SetBorderIcons(biSystemMenu);
  SetClientSize(437, 357);
  Position = poScreenCenter;
  Font()->SetName("宋体");
  Font()->SetHeight(-12);

  Label1 = MakeIndexLabel(this, "函数类型:", 10, 9);
  Label2 = MakeIndexLabel(this, "函数列表:", 114, 9);
  ListBox1 = new TXPListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetBounds(10, 26, 100, 221);
  for (uint32_t c = 0; c < kIndexCategoryCount; ++c) ListBox1->Items()->Add(IndexCategoryName(c));
  ListBox2 = new TXPListBox(this);
  ListBox2->SetParent(this);
  ListBox2->SetBounds(114, 26, 311, 221);
  ListBox2->SetSorted(true);
  Memo1 = new TXPMemo(this);
  Memo1->SetParent(this);
  Memo1->SetBounds(10, 252, 415, 67);
  Memo1->SetReadOnly(true);
  Memo1->ScrollBars = ssVertical;
  MakeIndexOkCancel(this, Button1, Button2, 282, 356, 328, 70, 21, true);
  ListBox1->OnClick = [this](TObject *s) { ListBox1Click(s); };
  ListBox2->OnClick = [this](TObject *s) { ListBox2Click(s); };
  ListBox2->OnDblClick = [this](TObject *) { SetModalResult(mrOk); };

  ListBox1->SetItemIndex(0);
  ListBox1Click(this);
}

void TIndexFunctionDlg::ListBox1Click(TObject *) {
  const int category = ListBox1->ItemIndex();
  if (category >= 0 && category < int(kIndexCategoryCount)) BuildEntries(category);
}

void TIndexFunctionDlg::BuildEntries(int category) {
  if (category == currentCategory) return;
  currentCategory = category;
  ListBox2->Clear();
  currentEntry = -1;
  selected = INDEXFUNC{};
  Memo1->Clear();
  auto take = [&](const INDEXFUNC &row) {
    if (category == kCategoryAll || row.category == category) ListBox2->Items()->Add(IndexFunctionEntryText(row));
  };
  ListBox2->Items()->BeginUpdate();
  INDEXFUNC row;
  for (uint32_t i = 0; i < GetIndexFunctionCount(); ++i)
    if (GetIndexFunction(i, &row)) take(row);
  const INDEXFUNC *keywords = GetIndexKeywordTable();
  for (uint32_t i = 0; i < kIndexKeywordCount; ++i) take(keywords[i]);
  ListBox2->Items()->EndUpdate();
  if (ListBox2->Count() > 0) {
    ListBox2->SetItemIndex(0);
    ShowEntryHelp(0);
  }
}

void TIndexFunctionDlg::ListBox2Click(TObject *) { ShowEntryHelp(ListBox2->ItemIndex()); }

void TIndexFunctionDlg::ShowEntryHelp(int entry) {
  if (entry == currentEntry) return;
  currentEntry = entry;
  selected = INDEXFUNC{};
  Memo1->Clear();
  if (entry < 0 || entry >= ListBox2->Count()) return;
  std::string name = ListBox2->Items()->Get(entry).substr(0, 15);
  name = name.substr(0, name.find(' '));
  INDEXFUNC row{};
  bool found = FindIndexFunction(name.c_str(), &row);
  const INDEXFUNC *keywords = GetIndexKeywordTable();
  for (uint32_t i = 0; !found && i < kIndexKeywordCount; ++i)
    if (indexlex::SameName(name.data(), int(name.size()), keywords[i].name)) {
      row = keywords[i];
      found = true;
    }
  if (!found) return;
  selected = row;
  Memo1->SetText(WithCrLf(std::string(row.help, strnlen(row.help, sizeof row.help))));
}
