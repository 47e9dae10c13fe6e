#include "views/blockdlg.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "market/dataio5.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/winuser.h"
#include "views/dlgtext.h"

BlockDialogHooks &BlockHooks() {
  static BlockDialogHooks hooks;
  return hooks;
}

namespace {

constexpr int kCandidateCapacity = 8192;

// A block's name as the list shows it: without a leading "^".
std::string ListedName(const BLOCK &block) {
  std::string name = FieldText(block.name, sizeof block.name);
  return !name.empty() && name[0] == '^' ? name.substr(1) : name;
}

const STKINFO *EntryOf(const BLOCKMEMBER &m) {
  const TMarketData *md = MarketAt(m.market);
  return md && md->m_stocks && m.stock < md->m_loadedCount ? &md->m_stocks[m.stock] : nullptr;
}

bool IsPrefixNoCase(const char *field, size_t size, const std::string &text) {
  size_t n = strnlen(field, size);
  if (text.size() > n) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char a = field[i], b = text[i];
    if (a >= 'a' && a <= 'z') a = char(a - 32);
    if (b >= 'a' && b <= 'z') b = char(b - 32);
    if (a != b) return false;
  }
  return true;
}

TButton *MakeButton(TForm *form, const char *caption, int x, int y, int w = 75) {
  auto *b = new TButton(form);
  b->SetParent(form);
  b->SetCaption(caption);
  b->SetBounds(x, y, w, 25);
  return b;
}

TListBox *MakeList(TForm *form, int x, int y, int w, int h) {
  auto *l = new TListBox(form);
  l->SetParent(form);
  l->SetBounds(x, y, w, h);
  l->SetStyle(lbOwnerDrawFixed);
  l->SetItemHeight(16);
  l->MultiSelect = true;
  return l;
}

TLabel *MakeLabel(TForm *form, const char *caption, int x, int y) {
  auto *l = new TLabel(form);
  l->SetParent(form);
  l->AutoSize = false;
  l->SetBounds(x, y, 60, 17);
  l->SetCaption(caption);
  return l;
}

}  // namespace

// ---- TModiBk -------------------------------------------------------------------------

TModiBk::TModiBk(TComponent *owner) : TForm(owner) {
  SetCaption("编辑板块股");
  SetBorderStyle(bsDialog);
  SetClientSize(470, 330);
  Position = poOwnerFormCenter;
  members.reserve(kMaxBlockMembers);
  candidates_.reserve(kCandidateCapacity);
  LoadPinyinExtra(extra_);

  MakeLabel(this, "板块名称:", 10, 13);
  Edit1 = new TEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(70, 10, 140, 21);
  Edit1->SetMaxLength(15);
  MakeLabel(this, "商品代码:", 280, 13);
  Edit2 = new TEdit(this);
  Edit2->SetParent(this);
  Edit2->SetBounds(340, 10, 120, 21);
  Edit2->SetMaxLength(6);
  Edit2->Hint = "键入代码";
  Edit2->OnChange = [this](TObject *s) { Edit2Change(s); };
  Edit2->OnKeyDown = [this](TObject *s, WORD &k, TShiftState sh) { Edit2KeyDown(s, k, sh); };

  ListBox1 = MakeList(this, 10, 40, 200, 240);
  ListBox1->Hint = "已选商品";
  ComboBox1 = new TComboBox(this);
  ComboBox1->SetParent(this);
  ComboBox1->SetBounds(280, 40, 180, 21);
  ComboBox1->SetStyle(csDropDownList);
  ComboBox1->DropDownCount = 32;
  ComboBox1->OnChange = [this](TObject *s) { ComboBox1Change(s); };
  ListBox2 = MakeList(this, 280, 66, 180, 214);
  ListBox2->Hint = "待选商品";

  auto drawMember = [](TListBox *list, int columns) {
    return [list, columns](TWinControl *, int index, TRect rect, TOwnerDrawState) {
      auto *entry = reinterpret_cast<const STKINFO *>(list->Items()->GetObject(index));
      TCanvas *canvas = list->Canvas();
      if (!entry) return;
      canvas->TextOut(rect.Left + 2, rect.Top + 1, FieldText(entry->code, sizeof entry->code));
      canvas->TextOut(rect.Left + 64, rect.Top + 1, FieldText(entry->name, sizeof entry->name));
      if (columns > 2)
        if (const TMarketData *md = MarketAt(entry->market))
          canvas->TextOut(rect.Left + 140, rect.Top + 1, FieldText(md->m_info.shortName, sizeof md->m_info.shortName));
    };
  };
  ListBox1->OnDrawItem = drawMember(ListBox1, 2);
  ListBox2->OnDrawItem = drawMember(ListBox2, 3);
  ListBox1->OnDblClick = [this](TObject *s) { Button3Click(s); };
  ListBox2->OnDblClick = [this](TObject *s) { Button2Click(s); };

  Button2 = MakeButton(this, "添加 <-", 216, 70, 58);
  Button1 = MakeButton(this, "全选 <-", 216, 100, 58);
  Button3 = MakeButton(this, "删除 ->", 216, 140, 58);
  Button4 = MakeButton(this, "全清 ->", 216, 170, 58);
  Button7 = MakeButton(this, "上移", 216, 210, 58);
  Button8 = MakeButton(this, "下移", 216, 240, 58);
  Button5 = MakeButton(this, "确定", 300, 295);
  Button5->SetDefault(true);
  Button6 = MakeButton(this, "取消", 385, 295);
  Button6->Cancel = true;
  Button6->ModalResult = mrCancel;
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2->OnClick = [this](TObject *s) { Button2Click(s); };
  Button3->OnClick = [this](TObject *s) { Button3Click(s); };
  Button4->OnClick = [this](TObject *s) { Button4Click(s); };
  Button5->OnClick = [this](TObject *s) { Button5Click(s); };
  Button7->OnClick = [this](TObject *s) { Button7Click(s); };
  Button8->OnClick = [this](TObject *s) { Button8Click(s); };
  OnShow = [this](TObject *) {
    if (Edit2->CanFocus()) Edit2->SetFocus();
  };
}

TModiBk::~TModiBk() = default;

void TModiBk::LoadBlock(int blockId) {
  members.clear();
  std::memset(static_cast<void *>(&block), 0, sizeof block);
  const BLOCK *source = blockId >= 0 ? FindBlockById(blockId) : nullptr;
  if (!source) {
    block.blockId = int16_t(BlockTable.blockCount);
    CopyGbkCut(block.name, sizeof block.name, "新板块", 15);
    block.kind = kBlockUser;
  } else {
    block = *source;
    block.members = nullptr;
    int n = source->members ? source->memberCount : 0;
    if (n > kMaxBlockMembers) n = kMaxBlockMembers;
    members.assign(source->members, source->members + n);
  }
  block.memberCount = uint16_t(members.size());
  FormCreate(this);
}

void TModiBk::FormCreate(TObject *) {
  Edit1->SetText(FieldText(block.name, sizeof block.name));
  FillMembers();
  ComboBox1->Clear();
  comboMarkets_.clear();
  for (int m = 0; m < MarketTable.marketCount; ++m) {
    const BLOCK *marketBlock = FindBlockByKindIndex(kBlockMarket, m);
    if (!marketBlock) continue;
    ComboBox1->Items()->Add(FieldText(marketBlock->name, sizeof marketBlock->name));
    comboMarkets_.push_back(m);
  }
  if (!comboMarkets_.empty()) {
    ComboBox1->SetItemIndex(0);
    ComboBox1Change(this);
  }
}

void TModiBk::FillMembers(int selectMember) {
  ListBox1->Items()->BeginUpdate();
  ListBox1->Clear();
  lines_.clear();
  for (size_t i = 0; i < members.size(); ++i) {
    const STKINFO *entry = EntryOf(members[i]);
    if (!entry) continue;
    int line = ListBox1->Items()->Add(FieldText(entry->name, sizeof entry->name));
    ListBox1->Items()->PutObject(line, reinterpret_cast<TObject *>(const_cast<STKINFO *>(entry)));
    lines_.push_back(int(i));
    if (int(i) == selectMember) ListBox1->SetItemIndex(line);
  }
  ListBox1->Items()->EndUpdate();
}

void TModiBk::ShowCandidates() {
  ListBox2->Items()->BeginUpdate();
  ListBox2->Clear();
  for (CandidateRec &c : candidates_) {
    int line = ListBox2->Items()->Add(FieldText(c.entry.name, sizeof c.entry.name));
    ListBox2->Items()->PutObject(line, reinterpret_cast<TObject *>(&c.entry));
  }
  ListBox2->Items()->EndUpdate();
  if (ListBox2->Count() > 0) {
    ListBox2->SetItemIndex(0);
    ListBox2->SetSelected(0, true);
  }
}

void TModiBk::AddCandidatesOfMarket() {
  candidates_.clear();
  const BLOCK *marketBlock = market_ >= 0 ? FindBlockByKindIndex(kBlockMarket, market_) : nullptr;
  if (!marketBlock || !marketBlock->members) return;
  std::string filter = Edit2->Text();
  if (filter.size() > 7) filter.resize(7);
  for (int i = 0; i < marketBlock->memberCount && candidates_.size() < size_t(kCandidateCapacity); ++i) {
    const BLOCKMEMBER &m = marketBlock->members[i];
    const STKINFO *entry = EntryOf(m);
    if (!entry) continue;
    if (!filter.empty() && !IsPrefixNoCase(entry->code, sizeof entry->code, filter) &&
        !IsPrefixNoCase(entry->name, sizeof entry->name, filter) &&
        !PinyinMatch(entry->name, filter.c_str(), int(filter.size()), &extra_))
      continue;
    candidates_.push_back(CandidateRec{m, *entry});
  }
}

void TModiBk::ComboBox1Change(TObject *) {
  int line = ComboBox1->ItemIndex();
  market_ = line >= 0 && size_t(line) < comboMarkets_.size() ? comboMarkets_[size_t(line)] : -1;
  AddCandidatesOfMarket();
  ShowCandidates();
}

void TModiBk::Edit2Change(TObject *) {
  AddCandidatesOfMarket();
  ShowCandidates();
  if (candidates_.empty() && Edit2->CanFocus()) Edit2->SetFocus();
}

void TModiBk::Edit2KeyDown(TObject *, WORD &key, TShiftState) {
  if (key != VK_RETURN || Edit2->Text().empty() || candidates_.size() != 1) return;
  key = 0;
  AddMember(candidates_[0].member);
  Edit2->Clear();
}

bool TModiBk::AddMember(const BLOCKMEMBER &member) {
  if (members.size() >= size_t(kMaxBlockMembers)) return false;
  for (const BLOCKMEMBER &m : members)
    if (m.market == member.market && m.stock == member.stock) return false;
  const STKINFO *entry = EntryOf(member);
  if (!entry) return false;
  BLOCKMEMBER copy = member;
  copy.kind = entry->kind;
  members.push_back(copy);
  int line = ListBox1->Items()->Add(FieldText(entry->name, sizeof entry->name));
  ListBox1->Items()->PutObject(line, reinterpret_cast<TObject *>(const_cast<STKINFO *>(entry)));
  lines_.push_back(int(members.size()) - 1);
  return true;
}

void TModiBk::Button2Click(TObject *) {
  for (int i = 0; i < ListBox2->Count() && size_t(i) < candidates_.size(); ++i) {
    if (!ListBox2->Selected(i)) continue;
    AddMember(candidates_[size_t(i)].member);
    ListBox2->SetSelected(i, false);
  }
}

void TModiBk::Button1Click(TObject *) {
  for (const CandidateRec &c : candidates_) AddMember(c.member);
}

void TModiBk::Button3Click(TObject *) {
  // Lines and members differ where a member's instrument is unknown: the
  // line's own member goes, the unknown ones stay.
  for (int line = ListBox1->Count() - 1; line >= 0; --line) {
    if (!ListBox1->Selected(line)) continue;
    int member = MemberOfLine(line);
    if (member < 0) continue;
    members.erase(members.begin() + member);
  }
  FillMembers();
}

void TModiBk::Button4Click(TObject *) {
  members.clear();
  FillMembers();
}

void TModiBk::Button7Click(TObject *) {
  MoveSelectedLines(ListBox1, int(lines_.size()), true, [this](int a, int b) {
    std::swap(members[size_t(lines_[size_t(a)])], members[size_t(lines_[size_t(b)])]);
  });
}

void TModiBk::Button8Click(TObject *) {
  MoveSelectedLines(ListBox1, int(lines_.size()), false, [this](int a, int b) {
    std::swap(members[size_t(lines_[size_t(a)])], members[size_t(lines_[size_t(b)])]);
  });
}

void TModiBk::Button5Click(TObject *) {
  if (ListBox1->Count() == 0) {
    MessageBoxA(Handle(), "请先选择商品。  ", "警告", MB_ICONWARNING | MB_TOPMOST);
    return;
  }
  CopyGbkCut(block.name, sizeof block.name, Edit1->Text(), 15);
  block.memberCount = uint16_t(members.size());
  for (size_t i = 0; i < members.size(); ++i) members[i].position = uint16_t(i);
  std::string name = FieldText(block.name, sizeof block.name);
  for (int i = 0; i < BlockTable.blockCount; ++i) {
    const BLOCK &other = BlockTable.blocks[i];
    if (!other.inUse || other.blockId == block.blockId) continue;
    if (platform::EqualNoCase(FieldText(other.name, sizeof other.name), name)) {
      char text[128];
      std::snprintf(text, sizeof text, "板块“%s”已存在，请使用其它的板块名称。  ", name.c_str());
      MessageBoxA(Handle(), text, "警告", MB_ICONWARNING | MB_TOPMOST);
      return;
    }
  }
  accepted = 1;
  SetModalResult(mrOk);
}

// ---- TEdtBlk -------------------------------------------------------------------------

TEdtBlk::TEdtBlk(TComponent *owner, int mode_, int lowest, int highest)
    : TForm(owner), mode(mode_), lowestKind(mode_ ? 4 : lowest), highestKind(mode_ ? 4 : highest) {
  SetCaption(mode ? "编辑板块" : "选择板块");
  SetBorderStyle(bsDialog);
  SetClientSize(280, 300);
  Position = poOwnerFormCenter;
  ListBox1 = new TListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetBounds(10, 10, 170, 280);
  ListBox1->OnDblClick = [this](TObject *s) { ListBox1DblClick(s); };
  Button1 = MakeButton(this, "确定", 195, 10);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = MakeButton(this, "取消", 195, 45);
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;
  Button3 = MakeButton(this, "新建", 195, 100);
  Button4 = MakeButton(this, "修改", 195, 135);
  Button5 = MakeButton(this, "删除", 195, 170);
  Button3->OnClick = [this](TObject *s) { Button3Click(s); };
  Button4->OnClick = [this](TObject *s) { Button4Click(s); };
  Button5->OnClick = [this](TObject *s) { Button5Click(s); };
  for (TButton *b : {Button3, Button4, Button5}) b->SetVisible(mode != 0);

  for (int i = 0; i < BlockTable.blockCount && ids.size() < size_t(kMaxBlocks); ++i) {
    const BLOCK &block = BlockTable.blocks[i];
    if (!block.inUse || block.kind < lowestKind || block.kind > highestKind || block.kind == kBlockServer) continue;
    ListBox1->Items()->Add(ListedName(block));
    ids.push_back(uint16_t(block.blockId));
  }
  if (ListBox1->Count() > 0) ListBox1->SetItemIndex(0);
}

void TEdtBlk::Button1Click(TObject *) {
  int line = ListBox1->ItemIndex();
  chosen = line >= 0 ? 1 : 0;
  chosenId = line >= 0 ? ids[size_t(line)] : 0;
  SetModalResult(mrOk);
}

void TEdtBlk::ListBox1DblClick(TObject *sender) {
  if (mode == 1) Button4Click(sender);
  else Button1Click(sender);
}

void TEdtBlk::Button3Click(TObject *) {
  if (BlockTable.blockCount >= kMaxBlocks || BlockTable.takenCount >= kMaxBlocks) {
    MessageBoxA(Handle(), "自定义板块个数达到上限，无法添加。   ", "错误", MB_ICONERROR | MB_TOPMOST);
    return;
  }
  BLOCKGROUP *group = FindUserBlockGroup();
  if (!group) return;
  TModiBk editor(this);
  editor.LoadBlock(-1);
  if (runEditor(editor) != mrOk || !editor.accepted) return;
  if (group->blockCount >= kMaxBlocks) return;
  BLOCK *block = AllocBlock();
  if (!block) return;
  std::memcpy(block->name, editor.block.name, sizeof block->name);
  block->kind = editor.block.kind;
  block->memberCount = uint16_t(editor.members.size());
  std::memcpy(block->members, editor.members.data(), editor.members.size() * sizeof(BLOCKMEMBER));
  block->groupIndex = group->groupIndex;
  block->indexInGroup = int16_t(group->blockCount);
  group->blockIds[group->blockCount++] = uint16_t(block->blockId);
  SaveUserBlocks();
  int line = ListBox1->Items()->Add(ListedName(*block));
  ids.push_back(uint16_t(block->blockId));
  ListBox1->SetItemIndex(line);
  if (BlockHooks().rebuildUserBlockMenu) BlockHooks().rebuildUserBlockMenu();
}

void TEdtBlk::Button4Click(TObject *) {
  int line = ListBox1->ItemIndex();
  if (line < 0) return;
  BLOCK *block = FindBlockById(ids[size_t(line)]);
  if (!block || block->kind < kBlockUser || !block->members) return;
  TModiBk editor(this);
  editor.LoadBlock(block->blockId);
  if (runEditor(editor) != mrOk || !editor.accepted) return;
  std::memcpy(block->name, editor.block.name, sizeof block->name);
  block->memberCount = uint16_t(editor.members.size());
  std::memcpy(block->members, editor.members.data(), editor.members.size() * sizeof(BLOCKMEMBER));
  SaveUserBlocks();
  ListBox1->Items()->Put(line, ListedName(*block));
  if (BlockHooks().blockChanged) BlockHooks().blockChanged(block->blockId);
}

void TEdtBlk::Button5Click(TObject *) {
  int line = ListBox1->ItemIndex();
  if (line < 0) return;
  int id = ids[size_t(line)];
  BLOCK *block = FindBlockById(id);
  if (!block || block->kind <= kBlockShared) return;
  if (MessageBoxA(Handle(), "确实要删除选中的板块吗？  ", "确认", MB_ICONWARNING | MB_YESNO | MB_TOPMOST) != IDYES)
    return;
  ListBox1->Items()->Delete(line);
  ids.erase(ids.begin() + line);
  if (ListBox1->Count() > 0) ListBox1->SetItemIndex(0);
  block->inUse = 0;
  if (BLOCKGROUP *group = FindUserBlockGroup()) {
    for (int i = 0; i < group->blockCount; ++i) {
      if (group->blockIds[i] != id) continue;
      std::memmove(&group->blockIds[i], &group->blockIds[i + 1], size_t(group->blockCount - i - 1) * sizeof(uint16_t));
      --group->blockCount;
      SaveUserBlocks();
      break;
    }
  }
  if (BlockHooks().rebuildUserBlockMenu) BlockHooks().rebuildUserBlockMenu();
  if (BlockHooks().mainWindow) SendMessageA(BlockHooks().mainWindow, WM_BLOCK_DELETED, WPARAM(id), 0);
}
