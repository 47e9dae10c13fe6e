#include "views/newstypes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/gbk.h"
#include "platform/profile.h"
#include "views/textviewtools.h"

NewsTypeFilter ReadNewsFilter() {
  char text[256] = {};
  GetPrivateProfileStringA("NEWSTYPE", "Filter", "0,0,0,0", text, sizeof text, kNewsTypeIni);
  NewsTypeFilter f;
  int v[4] = {0, 0, 0, 0};
  std::sscanf(text, "%d,%d,%d,%d", &v[0], &v[1], &v[2], &v[3]);
  for (int i = 0; i < 4; ++i) f.words[i] = uint32_t(v[i]);
  return f;
}

void WriteNewsFilter(const NewsTypeFilter &f) {
  char text[64];
  std::snprintf(text, sizeof text, "%d,%d,%d,%d", int(f.words[0]), int(f.words[1]), int(f.words[2]),
                int(f.words[3]));
  WritePrivateProfileStringA("NEWSTYPE", "Filter", text, kNewsTypeIni);
}

namespace {

// A setting's value cut to size - 1 bytes on a whole character.
void ReadName(const char *section, const char *key, char *out, int size) {
  char value[256] = {};
  GetPrivateProfileStringA(section, key, "", value, sizeof value, kNewsTypeIni);
  platform::GbkCopyCut(value, sizeof value, out, size_t(size));
}

}  // namespace

int NextCsvField(char *destination, int capacity, const char *text) {
  int n = 0;
  while (text[n] && text[n] != ',') ++n;
  if (capacity > 0) {
    const int copied = int(platform::GbkCutLength(std::string_view(text, size_t(n)), size_t(capacity - 1)));
    std::memcpy(destination, text, size_t(copied));
    destination[copied] = '\0';
  }
  return text[n] == ',' ? n + 1 : n;
}

bool ReadNewsBranch(NEWSBRANCH *entry, int id, int branch) {
  char key[32], value[256] = {};
  std::snprintf(key, sizeof key, "ID%d_BRANCH%d", id, branch);
  GetPrivateProfileStringA("NEWSTYPE", key, "", value, sizeof value, kNewsTypeIni);
  std::memset(entry, 0, sizeof *entry);
  char name[10];
  const char *p = value;
  int skip = NextCsvField(name, sizeof name, p);
  if (!name[0]) return false;
  std::snprintf(entry->name, sizeof entry->name, " %s ", name);
  int kept = 0;
  bool more = skip > 0 && p[skip - 1] == ',';
  p += skip;
  while (more && kept < kMaxBranchKeywords) {
    char keyword[16];
    skip = NextCsvField(keyword, sizeof keyword, p);
    if (!keyword[0]) break;
    std::memcpy(entry->keywords[kept++], keyword, sizeof keyword);
    more = p[skip - 1] == ',';
    p += skip;
  }
  return kept > 0;
}

bool ReadNewsType(cls_msg_search *record, int id) {
  std::memset(record, 0, sizeof *record);
  record->typeId = uint8_t(id);
  char key[16];
  std::snprintf(key, sizeof key, "ID%d", id);
  ReadName("NEWSTYPE", key, record->name, sizeof record->name);
  if (!record->name[0]) return false;
  for (int m = 0; m < kMaxNewsBranches; ++m)
    if (!ReadNewsBranch(&record->branches[m], id, m + 1)) {
      std::memset(&record->branches[m], 0, sizeof record->branches[m]);
      break;
    }
  return true;
}

std::vector<cls_msg_search> &NewsTypeTable() {
  static std::vector<cls_msg_search> table;
  return table;
}

void LoadNewsTypeTable() {
  const NewsTypeFilter filter = ReadNewsFilter();
  std::vector<cls_msg_search> &table = NewsTypeTable();
  table.clear();
  for (int id = 1; id < kMaxNewsTypeId; ++id) {
    if (!filter.Has(id)) continue;
    cls_msg_search record;
    if (ReadNewsType(&record, id)) table.push_back(record);
  }
}

const cls_msg_search *FindNewsType(int id) {
  for (const cls_msg_search &r : NewsTypeTable())
    if (r.typeId == id) return &r;
  return nullptr;
}

std::vector<NewsTypeName> NewsTypeNames(bool chosenOnly) {
  const NewsTypeFilter filter = ReadNewsFilter();
  std::vector<NewsTypeName> names;
  for (const char *section : {"OEMNEWS", "NEWSTYPE"})
    for (int id = 1; id <= kMaxNewsTypeId; ++id) {
      if (chosenOnly && !filter.Has(id)) continue;
      char key[16], name[256] = {};
      std::snprintf(key, sizeof key, "ID%d", id);
      GetPrivateProfileStringA(section, key, "", name, sizeof name, kNewsTypeIni);
      if (name[0]) names.push_back({id, name});
    }
  return names;
}

// ---- The chooser --------------------------------------------------------------------------

void TNewsTypeChoice::Load() {
  chosen.clear();
  available.clear();
  const NewsTypeFilter filter = ReadNewsFilter();
  for (const NewsTypeName &n : NewsTypeNames(false)) {
    if (filter.Has(n.id)) {
      chosenIds[chosen.size()] = uint8_t(n.id);
      chosen.push_back(n.name);
    } else {
      availableIds[available.size()] = uint8_t(n.id);
      available.push_back(n.name);
    }
  }
  changed = false;
}

int TNewsTypeChoice::Move(std::vector<std::string> &from, uint8_t *fromIds, std::vector<std::string> &to,
                          uint8_t *toIds, int line) {
  if (from.empty() || line < 0 || line >= int(from.size()) || to.size() >= size_t(kMaxLines)) return line;
  toIds[to.size()] = fromIds[line];
  to.push_back(from[size_t(line)]);
  from.erase(from.begin() + line);
  std::memmove(fromIds + line, fromIds + line + 1, size_t(kMaxLines - line - 1));
  fromIds[kMaxLines - 1] = 0;
  changed = true;
  return std::max(line - 1, 0);
}

int TNewsTypeChoice::Remove(int line) { return Move(chosen, chosenIds, available, availableIds, line); }
int TNewsTypeChoice::Add(int line) { return Move(available, availableIds, chosen, chosenIds, line); }

NewsTypeFilter TNewsTypeChoice::Filter() const {
  NewsTypeFilter f;
  for (size_t i = 0; i < chosen.size(); ++i) f.Set(chosenIds[i]);
  return f;
}

TSelNewsTypes::TSelNewsTypes(TComponent *owner) : TForm(owner) {
  SetCaption("选择新闻类型");
  SetBorderStyle(bsSingle);
  Position = poScreenCenter;
  SetClientSize(360, 300);
  auto label = [this](const char *text, int x) {
    auto *l = new TLabel(this);
    l->SetParent(this);
    l->SetCaption(text);
    l->SetBounds(x, 8, 140, 16);
    return l;
  };
  auto list = [this](int x) {
    auto *l = new TListBox(this);
    l->SetParent(this);
    l->SetBounds(x, 28, 140, 220);
    return l;
  };
  auto button = [this](const char *text, int x, int y, int result) {
    auto *b = new TButton(this);
    b->SetParent(this);
    b->SetCaption(text);
    b->SetBounds(x, y, 60, 24);
    b->ModalResult = result;
    return b;
  };
  Label1 = label("已选择的类型:", 10);
  ListBox1 = list(10);
  Label2 = label("可供选择的类型:", 210);
  ListBox2 = list(210);
  Button1 = button("添加 <-", 150, 90, 0);
  Button2 = button("删除 ->", 150, 130, 0);
  Button3 = button("确定", 100, 262, 1);
  Button3->SetDefault(true);
  Button4 = button("取消", 200, 262, 2);
  Button4->Cancel = true;
  Button1->OnClick = [this](TObject *) { ListBox2DblClick(); };
  Button2->OnClick = [this](TObject *) { ListBox1DblClick(); };
  ListBox1->OnDblClick = [this](TObject *) { ListBox1DblClick(); };
  ListBox2->OnDblClick = [this](TObject *) { ListBox2DblClick(); };
  choice_.Load();
  Fill();
  ListBox1->SetItemIndex(ListBox1->Count() ? 0 : -1);
  ListBox2->SetItemIndex(ListBox2->Count() ? 0 : -1);
  DoCreate();
}

void TSelNewsTypes::Fill() {
  ListBox1->Clear();
  for (const std::string &s : choice_.chosen) ListBox1->Items()->Add(s);
  ListBox2->Clear();
  for (const std::string &s : choice_.available) ListBox2->Items()->Add(s);
}

void TSelNewsTypes::ListBox1DblClick() {
  if (choice_.chosen.empty()) return;
  const int keep2 = ListBox2->ItemIndex();
  const int next = choice_.Remove(std::max(ListBox1->ItemIndex(), 0));
  Fill();
  ListBox1->SetItemIndex(ListBox1->Count() ? std::min(next, ListBox1->Count() - 1) : -1);
  ListBox2->SetItemIndex(keep2 >= 0 ? keep2 : 0);
}

void TSelNewsTypes::ListBox2DblClick() {
  if (choice_.available.empty()) return;
  const int keep1 = ListBox1->ItemIndex();
  const int next = choice_.Add(std::max(ListBox2->ItemIndex(), 0));
  Fill();
  ListBox2->SetItemIndex(ListBox2->Count() ? std::min(next, ListBox2->Count() - 1) : -1);
  ListBox1->SetItemIndex(keep1 >= 0 ? keep1 : 0);
}

bool ApplyNewsTypeChoice(int result, const TNewsTypeChoice &choice) {
  if (result != 1 || !choice.changed) return false;
  WriteNewsFilter(choice.Filter());
  LoadNewsTypeTable();
  return true;
}

bool ChooseNewsTypes(TComponent *owner) {
  ViewPauseKeyHook(true);
  auto *dialog = new TSelNewsTypes(owner);
  const int result = dialog->ShowModal();
  const bool written = ApplyNewsTypeChoice(result, dialog->Choice());
  ViewPauseKeyHook(false);
  delete dialog;
  return written;
}
