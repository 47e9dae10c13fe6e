#include "views/selstockdlg.h"

#include <cstdint>
#include <cstring>
#include <string>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "views/dlgtext.h"

namespace {

// Tree nodes carry their block's id.
void *NodeData(const BLOCK &block) { return reinterpret_cast<void *>(intptr_t(block.blockId) + 1); }
BLOCK *NodeBlock(const TTreeNode *node) {
  return node && node->Data ? FindBlockById(int(reinterpret_cast<intptr_t>(node->Data) - 1)) : nullptr;
}

TXPRadioButton *MakeRadio(TComponent *owner, TWinControl *parent, const char *caption, int x, int w, bool checked) {
  auto *r = new TXPRadioButton(owner);
  r->SetParent(parent);
  r->SetCaption(caption);
  r->SetBounds(x, 10, w, 17);
  if (checked) r->SetChecked(true);
  return r;
}

TPanel *MakePanel(TForm *form, const char *caption, int top) {
  auto *p = new TPanel(form);
  p->SetParent(form);
  p->SetBounds(8, top, 488, 36);
  p->SetBevelOuter(bvLowered);
  p->ShowCaption = false;
  auto *l = new TLabel(form);
  l->SetParent(p);
  l->SetCaption(caption);
  l->SetLeft(8);
  l->SetTop(11);
  return p;
}

}  // namespace

TSelStockDlg *OpenStockPicker = nullptr;

TSelStockDlg::TSelStockDlg(TComponent *owner, int market, int mode) : TForm(owner) {
  SetCaption("选择商品");
  SetBorderStyle(bsDialog);
  SetClientWidth(504);
  Position = poOwnerFormCenter;

  XPTreeView1 = new TXPTreeView(this);
  XPTreeView1->SetParent(this);
  XPTreeView1->SetBounds(8, 8, 180, 300);
  XPTreeView1->HideSelection = false;
  XPTreeView1->OnChange = [this](TObject *s, TTreeNode *n) { XPTreeView1Change(s, n); };
  ListBox1 = new TXPListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetBounds(196, 8, 300, 300);
  ListBox1->SetStyle(lbOwnerDrawFixed);
  ListBox1->SetItemHeight(18);
  ListBox1->OnClick = [this](TObject *s) { ListBox1Click(s); };
  ListBox1->OnDblClick = [this](TObject *s) { Button1Click(s); };
  ListBox1->OnDrawItem = [this](TWinControl *, int index, TRect rect, TOwnerDrawState) {
    BLOCK *block = NodeBlock(XPTreeView1->Selected());
    if (!block || index < 0 || index >= block->memberCount) return;
    const BLOCKMEMBER &m = block->members[index];
    const TMarketData *md = MarketAt(m.market);
    if (!md || !md->m_stocks || m.stock >= md->m_loadedCount) return;
    const STKINFO &entry = md->m_stocks[m.stock];
    TCanvas *canvas = ListBox1->Canvas();
    canvas->TextOut(rect.Left + 2, rect.Top + 2, FieldText(entry.code, sizeof entry.code));
    canvas->TextOut(rect.Left + 70, rect.Top + 2, FieldText(entry.name, sizeof entry.name));
    canvas->TextOut(rect.Left + 160, rect.Top + 2, FieldText(md->m_info.shortName, sizeof md->m_info.shortName));
    if (entry.kind < md->m_info.kindCount && entry.kind < kMaxStockKinds)
      canvas->TextOut(rect.Left + 210, rect.Top + 2,
                      FieldText(md->m_info.kinds[entry.kind].name, sizeof md->m_info.kinds[entry.kind].name));
  };

  Panel3 = MakePanel(this, "坐标:", 316);
  RadioButton1 = MakeRadio(this, Panel3, "绝对坐标", 60, 90, false);
  RadioButton2 = MakeRadio(this, Panel3, "相对坐标", 160, 90, true);
  Panel2 = MakePanel(this, "数据项:", 356);
  RadioButton8 = MakeRadio(this, Panel2, "开盘价", 60, 70, false);
  RadioButton9 = MakeRadio(this, Panel2, "最高价", 140, 70, false);
  RadioButton10 = MakeRadio(this, Panel2, "最低价", 220, 70, false);
  RadioButton7 = MakeRadio(this, Panel2, "收盘价", 300, 70, true);
  Panel1 = MakePanel(this, "类型:", 396);
  RadioButton3 = MakeRadio(this, Panel1, "差价（D1 - D2）", 60, 130, true);
  RadioButton4 = MakeRadio(this, Panel1, "比价（D1 / D2）", 200, 130, false);
  XPRadioButton1 = MakeRadio(this, Panel1, "差价及比价", 340, 100, false);

  Label1 = new TLabel(this);
  Label1->SetParent(this);
  Label1->AutoSize = false;
  Label1->SetBounds(8, 0, 300, 17);
  Label1->SetCaption("提示: 可以使用智能键盘");
  Button1 = new TXPButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("确定");
  Button1->SetBounds(336, 0, 75, 25);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = new TXPButton(this);
  Button2->SetParent(this);
  Button2->SetCaption("取消");
  Button2->SetBounds(421, 0, 75, 25);
  Button2->Cancel = true;
  Button2->ModalResult = mrCancel;

  HandleNeeded();
  int y;
  if (mode == 1) {
    Panel1->Hide();
    Panel2->Hide();
    y = Panel3->Top() + Panel3->Height() + 14;
  } else if (mode == 2) {
    Panel3->Hide();
    Panel2->SetTop(Panel3->Top());
    Panel1->SetTop(Panel2->Top() + Panel2->Height() + 5);
    y = Panel1->Top() + Panel1->Height() + 16;
  } else {
    Panel1->Hide();
    Panel2->Hide();
    Panel3->Hide();
    y = mode == 3 ? Panel3->Top() + 14 : XPTreeView1->Top() + XPTreeView1->Height() + 14;
  }
  Label1->SetTop(y);
  Button1->SetTop(y - 4);
  Button2->SetTop(Button1->Top());
  SetHeight(Button1->Top() + Button1->Height() + 40);
  FillContractTree(market);
}

void TSelStockDlg::FillContractTree(int market) {
  chosen = STKPTR();
  XPTreeView1->Items()->Clear();
  ListBox1->Clear();
  TTreeNode *preselected = nullptr;
  for (int i = 0; i < MarketTable.marketCount; ++i) {
    BLOCK *marketBlock = FindBlockByKindIndex(kBlockMarket, i);
    if (!marketBlock) continue;
    TTreeNode *node = XPTreeView1->Items()->Add(nullptr, FieldText(marketBlock->name, sizeof marketBlock->name));
    node->Data = NodeData(*marketBlock);
    for (int b = 0; b < BlockTable.blockCount; ++b) {
      const BLOCK &kind = BlockTable.blocks[b];
      if (kind.inUse && kind.kind == kBlockStockKind && kind.market == i)
        XPTreeView1->Items()->AddChild(node, FieldText(kind.name, sizeof kind.name))->Data = NodeData(kind);
    }
    if (i == market) preselected = node;
  }
  for (uint8_t kind : {kBlockShared, kBlockUser})
    for (int b = 0; b < BlockTable.blockCount; ++b) {
      const BLOCK &block = BlockTable.blocks[b];
      if (!block.inUse || block.kind != kind || (kind == kBlockShared && block.name[0] == '^')) continue;
      XPTreeView1->Items()->Add(nullptr, FieldText(block.name, sizeof block.name))->Data = NodeData(block);
    }
  if (preselected) XPTreeView1->SetSelected(preselected);
}

void TSelStockDlg::XPTreeView1Change(TObject *, TTreeNode *node) {
  ListBox1->Clear();
  chosen = STKPTR();  // an empty node leaves no choice from an earlier one
  BLOCK *block = NodeBlock(node);
  if (!block || !block->members) return;
  for (int i = 0; i < block->memberCount; ++i) {
    const STKINFO *entry = GetStockInfo(STKPTR(block->members[i].market, 0, block->members[i].stock));
    ListBox1->Items()->Add(entry ? FieldText(entry->name, sizeof entry->name) : std::string());
  }
  if (ListBox1->Count() > 0) {
    ListBox1->SetItemIndex(0);
    ListBox1Click(this);
  }
}

void TSelStockDlg::ListBox1Click(TObject *) {
  BLOCK *block = NodeBlock(XPTreeView1->Selected());
  int line = ListBox1->ItemIndex();
  if (!block || !block->members || line < 0 || line >= block->memberCount) return;
  chosen = STKPTR(block->members[line].market, 0, block->members[line].stock);
}

void TSelStockDlg::Button1Click(TObject *) { SetModalResult(mrOk); }
