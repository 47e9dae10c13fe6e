#include "views/infolink.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/rights.h"
#include "platform/clock.h"
#include "views/viewdisplay.h"

// ---- The entries -----------------------------------------------------------------------------

void TInfoMineCore::Load(STKPTR stock, int kind) {
  entries.clear();
  char indexPath[MAX_PATH], textPath[MAX_PATH];
  if (!InfoFilePaths(stock, kind, indexPath, textPath, MAX_PATH)) return;
  const int32_t file = FileOpen(indexPath, "rb");
  if (file < 0) return;
  const int32_t n = std::max(FileSize(file), 0) / kInfoEntrySize;
  const int32_t keep = std::min(n, int32_t(kMaxInfoMines));
  if (keep > 0) {
    bufferMade = true;
    std::vector<uint8_t> bytes(size_t(keep) * kInfoEntrySize);
    int32_t got = 0;
    if (FileSeek(file, (n - keep) * kInfoEntrySize, 0) >= 0) got = FileRead(file, bytes.data(), 1, int32_t(bytes.size()));
    for (int32_t i = 0; i < got / kInfoEntrySize; ++i) entries.push_back(ParseInfoEntry(bytes.data() + i * kInfoEntrySize));
  }
  FileClose(file);
}

std::vector<std::string> TInfoMineCore::Lines(int kind) const {
  std::vector<std::string> lines;
  for (int i = Count() - 1; i >= 0; --i) {
    const InfoIndexEntry &e = entries[size_t(i)];
    const int chars = int32_t(e.offset) < 0 ? 0 : int(e.length / 2);
    char title[64] = {};
    std::memcpy(title, e.title, 63);
    char line[160];
    if (kind == 2)
      std::snprintf(line, sizeof line, "%u.%02u.%02u %s (%i字)", e.date / 10000, e.date / 100 % 100, e.date % 100, title,
                    chars);
    else
      std::snprintf(line, sizeof line, "%02u:%02u:%02u %s (%i字)", e.time / 10000, e.time / 100 % 100, e.time % 100,
                    title, chars);
    lines.push_back(line);
  }
  return lines;
}

const InfoIndexEntry *TInfoMineCore::EntryOfLine(int line) const {
  const int c = Count();
  if (line < 0 || line >= c) return nullptr;
  return &entries[size_t(c - 1 - line)];
}

// ---- The window ------------------------------------------------------------------------------

TInfoLinkDlg::TInfoLinkDlg(int kind, TComponent *owner, int item, STKPTR stock) : TForm(owner) {
  SetCaption("信息地雷");
  SetClientSize(592, 416);
  SetBorderIcons(TBorderIcons(biSystemMenu | biMaximize));
  SetFormStyle(fsStayOnTop);
  Position = poScreenCenter;
  ListBox1 = new TListBox(this);
  ListBox1->SetParent(this);
  ListBox1->SetAlign(alClient);
  ListBox1->SetStyle(lbOwnerDrawFixed);
  ListBox1->SetParentColor(true);
  ListBox1->OnDrawItem = [this](TWinControl *, int index, TRect rect, TOwnerDrawState state) {
    TCanvas *c = ListBox1->Canvas();
    const COLORREF back = ViewColor(27), fore = ViewColor(46);
    const bool selected = state & odSelected;
    c->Brush()->SetColor(TColor(selected ? fore : back));
    c->FillRect(rect);
    c->Font()->SetColor(TColor(selected ? back : fore));
    c->Brush()->SetStyle(bsClear);
    if (index >= 0 && index < ListBox1->Count()) c->TextOut(rect.Left + 2, rect.Top + 2, ListBox1->Items()->Get(index));
    c->Brush()->SetStyle(bsSolid);
  };
  ListBox1->OnDblClick = [this](TObject *) { ShowItem(ListBox1->ItemIndex(), true); };
  ListBox1->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_RETURN) ShowItem(ListBox1->ItemIndex(), true);
    if (key == VK_ESCAPE) Hide();
  };
  RichEdit1 = new TRichEdit(this);
  RichEdit1->SetParent(this);
  RichEdit1->SetAlign(alClient);
  RichEdit1->SetReadOnly(true);
  RichEdit1->ScrollBars = ssVertical;
  RichEdit1->SetParentColor(true);
  RichEdit1->Hide();
  RichEdit1->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_ESCAPE || key == VK_RETURN) BackToList();
  };
  RichEdit1->OnMouseDown = [this](TObject *, TMouseButton button, TShiftState, int, int) {
    if (button == mbLeft) RichEdit1MouseDown();
  };
  OnCreate = [this](TObject *) { EnableLinks(RichEdit1); };

  stock_ = stock;
  kind_ = kind;
  ApplyColors();
  FillList();
  SelectItem(item);
  DoCreate();
  Show();
}

void TInfoLinkDlg::SelectItem(int item) {
  if (uint32_t(item) < uint32_t(core_.Count())) ListBox1->SetItemIndex(ListBox1->Count() - item - 1);
}

void TInfoLinkDlg::ShowStock(int kind, int item, STKPTR stock) {
  if (!SameStock(stock, stock_) || kind != kind_) {
    stock_ = stock;
    kind_ = kind;
    FillList();
  }
  SelectItem(item);
  RichEdit1->Hide();
  ListBox1->Show();
}

void TInfoLinkDlg::FillList() {
  ListBox1->Clear();
  RichEdit1->Hide();
  ListBox1->Show();
  core_.Load(stock_, kind_);
  for (const std::string &line : core_.Lines(kind_)) ListBox1->Items()->Add(line);
}

void TInfoLinkDlg::RefreshIfShowing(int kind, STKPTR stock) {
  if (RichEdit1->Visible() && SameStock(stock, stock_) && kind == kind_) ShowItem(ListBox1->ItemIndex(), false);
}

void TInfoLinkDlg::ApplyColors() {
  SetColor(TColor(ViewColor(27)));
  const VIEWFONTDEF &f = ViewFont(2);
  for (TFont *font : {Font(), RichEdit1->Font()}) {
    font->SetName(std::string(f.face, strnlen(f.face, sizeof f.face)));
    font->SetStyle(TFontStyles(f.style & 0xF));
    font->SetHeight(-f.size);
    font->SetColor(TColor(ViewColor(46)));
  }
  ListBox1->Font()->Assign(Font());
  ListBox1->Canvas()->Font()->Assign(Font());
  ListBox1->SetItemHeight(std::max(int(ListBox1->Canvas()->TextHeight("啊") * 1.6), 1));
}

void TInfoLinkDlg::ShowItem(int line, bool fromList) {
  const InfoIndexEntry *e = core_.EntryOfLine(line);
  if (!e) return;
  RichEdit1->Clear();
  ListBox1->Hide();
  RichEdit1->Show();
  char indexPath[MAX_PATH], textPath[MAX_PATH];
  std::string text;
  const bool opened = InfoFilePaths(stock_, kind_, indexPath, textPath, MAX_PATH) &&
                      ReadTextRange(textPath, e->offset, e->length, &text);
  if (opened && TextRangePresent(text)) {
    RichEdit1->Lines()->SetText(text);
  } else if (fromList && ViewOnline()) {
    const STKINFO *info = GetStockInfo(stock_);
    if (info && HasMarketRight(stock_.market, info->kind))
      RequestBaseText(stock_.market, stock_.stock, kind_, e->fileName, e->offset, e->length, 0);
  }
  if (RichEdit1->HandleAllocated()) RichEdit1->SetFocus();
}

void TInfoLinkDlg::BackToList() {
  RichEdit1->Hide();
  ListBox1->Show();
  if (ListBox1->HandleAllocated()) ListBox1->SetFocus();
}

void TInfoLinkDlg::RichEdit1MouseDown() {
  if (clicks_.Click(GetTickCount())) BackToList();
}

void TInfoLinkDlg::DoClose(TCloseAction &action) {
  TForm::DoClose(action);
  action = caHide;
}

void TInfoLinkDlg::WndProc(TMessage &m) {
  if (m.Msg == WM_NOTIFY && HandleLinkNotify(m.LParam, RichEdit1, Handle())) {
    m.Result = 0;
    return;
  }
  TForm::WndProc(m);
}
