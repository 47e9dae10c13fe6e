#include "views/textform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "core/efile.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/rights.h"
#include "platform/messages.h"
#include "classlib/printer.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

// ---- Title bar geometry ---------------------------------------------------------------------

TextTitleLayout::TextTitleLayout(int width)
    : columns(std::clamp((width - 210) / 75, 0, 8)), narrow(width < 810) {}

TRect TextTitleLayout::Tab(int row, int column) const {
  return TRect(95 + 75 * column, 2 + 24 * row, 170 + 75 * column, 26 + 24 * row);
}

int TextTitleLayout::HitTest(int x, int y) const {
  const POINT p{x, y};
  for (int r = 0; r < 2; ++r)
    for (int j = 0; j < columns; ++j)
      if (Tab(r, j).Contains(p)) return j + columns * r;
  if (PrevBox().Contains(p)) return -2;
  if (NextBox().Contains(p)) return -3;
  return -1;
}

// ---- The view ----------------------------------------------------------------------------------

void RegisterTextView() {
  RegisterViewClass(VIEW_TYPE_TEXT,
                    [](TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                       EArray<VIEW_ATTR_13> *history, PaneNode *node, int) -> TMultiViewChild * {
                      return new TTextForm(page, record, viewData, history, node);
                    });
}

TTextForm::TTextForm(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                     EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TChildView(page, viewData, history, node) {
  if (record)
    m_attr = *record;  // the hand-over list's reference comes with it
  else
    InitViewAttr(VIEW_TYPE_TEXT, &m_attr);
  m_attr.viewType = VIEW_TYPE_TEXT;

  RichEdit1 = new TRichEdit(this);
  RichEdit1->SetParent(this);
  RichEdit1->SetReadOnly(true);
  RichEdit1->BorderStyle = bsNone;
  RichEdit1->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_ESCAPE) PostToPage(WM_MVM_BACK);
  };
  RichEdit1->OnMouseDown = [this](TObject *, TMouseButton, TShiftState, int, int) { Activate(); };
  SaveDialog1 = new TSaveDialog(this);
  PopupMenu1 = new TPopupMenu(this);
  AddLinkMenuItem(PopupMenu1, this, false);
  AddMenuItem(PopupMenu1, "后退        ESC", [this] { PostToPage(WM_MVM_BACK); });
  AddMenuItem(PopupMenu1, "复制(&C)", [this] { CopyRichText(RichEdit1, false); });
  AddMenuItem(PopupMenu1, "另存为(&A)", [this] { SaveRichText(RichEdit1, SaveDialog1); });
  AddMenuItem(PopupMenu1, "打印(&P)", [this] { Print(); });
  RichEdit1->PopupMenu = PopupMenu1;
  PlaceEdit();

  ApplyFonts();
  current_ = 0;
  std::memset(index_, 0, sizeof index_);
  UpdateMenuCaptions();
}

void TTextForm::PlaceEdit() {
  const TextTitleLayout l(ClientWidth());
  RichEdit1->SetBounds(12, l.EditTop(), std::max(ClientWidth() - 12, 0), std::max(ClientHeight() - l.EditTop(), 0));
}

void TTextForm::ApplyFonts() {
  RichEdit1->SetColor(TColor(ViewColor(27)));
  const VIEWFONTDEF &f = ViewFont(2);
  TFont *font = RichEdit1->Font();
  font->SetName(std::string(f.face, strnlen(f.face, sizeof f.face)));
  font->SetStyle(TFontStyles(f.style & 0xF));
  font->SetHeight(-(f.size + zoom_ - 1));
  font->SetColor(TColor(ViewColor(46)));
  SetColor(RichEdit1->Color());
  if (m_cmdBox) {
    m_cmdBox->UpdateColors();
    m_cmdBox->Refresh();
  }
}

void TTextForm::CollectStocks(EArray<STKMS> *stocks) {
  if (!m_attr.stock.IsNone()) stocks->Add(STKMS{m_attr.stock.market, m_attr.stock.stock});
}

InfoIndexEntry TTextForm::Section(int k) const {
  if (k < 0 || k >= kTextSections) return InfoIndexEntry{};
  return ParseInfoEntry(index_ + kInfoEntrySize * k);
}

void TTextForm::InitView() {
  EnableLinks(RichEdit1);
  if (RequestIndex()) return;
  LoadIndex();
  ShowSection(true);
}

bool TTextForm::RequestIndex() {
  const STKINFO *info = GetStockInfo(m_attr.stock);
  if (!info || !ViewOnline() || !HasMarketRight(m_attr.stock.market, info->kind)) return false;
  return RequestBaseIndex(m_attr.stock.market, m_attr.stock.stock, 1, m_requestTag);
}

void TTextForm::LoadIndex() {
  current_ = 0;
  std::memset(index_, 0, sizeof index_);
  char indexPath[MAX_PATH], textPath[MAX_PATH];
  if (InfoFilePaths(m_attr.stock, 1, indexPath, textPath, MAX_PATH)) {
    const int32_t file = FileOpen(indexPath, "rb");
    if (file >= 0) {
      FileRead(file, index_, 1, kTextIndexBytes);
      FileClose(file);
    }
  }
  Invalidate();
}

void TTextForm::ShowSection(bool requestsAllowed) {
  RichEdit1->Clear();
  const InfoIndexEntry s = Section(current_);
  if (!s.title[0]) return;
  char indexPath[MAX_PATH], textPath[MAX_PATH];
  std::string text;
  const bool opened = InfoFilePaths(m_attr.stock, 1, indexPath, textPath, MAX_PATH) &&
                      ReadTextRange(textPath, s.offset, s.length, &text);
  if (opened && TextRangePresent(text))
    RichEdit1->Lines()->SetText(text);
  else if (requestsAllowed)
    RequestSection();
}

void TTextForm::RequestSection() {
  const InfoIndexEntry s = Section(current_);
  const STKINFO *info = GetStockInfo(m_attr.stock);
  if (!s.title[0] || !info || !ViewOnline() || !HasMarketRight(m_attr.stock.market, info->kind)) return;
  RequestBaseText(m_attr.stock.market, m_attr.stock.stock, 1, s.fileName, s.offset, s.length, m_requestTag);
}

void TTextForm::Reload() {
  current_ = 0;
  std::memset(index_, 0, sizeof index_);
  Invalidate();
  InitView();
}

int TTextForm::Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) {
  switch (code) {
    case 1: {
      const auto *record = reinterpret_cast<const VIEW_ATTR_13 *>(secondExtra);
      if (record && TakesHandOverList(record->viewType)) {
        // The page took a reference for this view: the old list goes.
        ReleaseViewStockList(m_attr.HandOverList());
        m_attr.SetHandOverList(record->HandOverList());
        m_attr.SetHandOverPosition(record->HandOverPosition());
      }
      m_attr.stock = STKPTR(stock);
      m_attr.currentBlock = uint32_t(firstExtra);
      Reload();
      break;
    }
    case 14:
      if (!SameStock(STKPTR(stock), m_attr.stock)) break;
      if (firstExtra)
        ShowSection(false);
      else
        Reload();
      break;
    case 8:
      if (firstExtra == 0 && RichEdit1->HandleAllocated()) {
        PostMessageA(RichEdit1->Handle(), WM_KEYDOWN, VK_NEXT, 0);
        PostMessageA(RichEdit1->Handle(), WM_KEYUP, VK_NEXT, 0);
      }
      break;
    case 15: {
      const int before = zoom_;
      if (firstExtra >= 1 && zoom_ < 10) ++zoom_;
      if (firstExtra < 0 && zoom_ >= 1) --zoom_;
      if (zoom_ != before) ApplyFonts();
      break;
    }
    default: break;
  }
  return 1;
}

STKPTR TTextForm::Neighbour(int step) const {
  if (ViewStockList *list = FindViewStockList(m_attr.HandOverList()); list && list->count > 0) {
    const int n = int(list->count);
    const int at = std::clamp(m_attr.HandOverPosition(), 0, n - 1);
    return list->items[(at + (step > 0 ? 1 : n - 1)) % n];
  }
  const STKPTR s = m_attr.stock;
  STKPTR next = step > 0 ? NextStockInBlock(int(m_attr.currentBlock), s) : PrevStockInBlock(int(m_attr.currentBlock), s);
  if (SameStock(next, s)) {
    if (const TMarketData *md = MarketAt(s.market)) {
      STKPTR result;
      (step > 0 ? NextStockInMarket : PrevStockInMarket)(&result, md, s);
      next = result;
    }
  }
  return next;
}

void TTextForm::StepStock(int step) {
  const STKPTR next = Neighbour(step);
  if (ViewStockList *list = FindViewStockList(m_attr.HandOverList()); list && list->count > 0) {
    const int n = int(list->count);
    const int at = std::clamp(m_attr.HandOverPosition(), 0, n - 1);
    m_attr.SetHandOverPosition((at + (step > 0 ? 1 : n - 1)) % n);
  }
  if (!next.IsNone()) m_attr.stock = next;
  Reload();
}

void TTextForm::FormMouseDown(int x, int y) {
  const TextTitleLayout l(ClientWidth());
  const int hit = l.HitTest(x, y);
  if (hit >= 0) {
    if (hit < kTextSections && SectionExists(hit) && hit != current_) {
      current_ = hit;
      ShowSection(true);
      Invalidate();
    }
    return;
  }
  if (hit == -2 || hit == -3) {
    const WPARAM key = hit == -2 ? VK_PRIOR : VK_NEXT;
    PostMessageA(Handle(), WM_KEYDOWN, key, 0);
    PostMessageA(Handle(), WM_KEYUP, key, 0);
    RichEdit1->Clear();
  }
}

void TTextForm::Print() {
  TPrintDialog dialog;
  if (!dialog.Execute()) return;
  PrintTextLines(RichLines(RichEdit1));
}

void TTextForm::Paint() {
  HDC dc = Canvas()->Handle();
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH back = CreateSolidBrush(ViewColor(27));
  FillRect(dc, &client, back);
  DeleteObject(back);
  const TextTitleLayout l(client.right);
  HFONT font = CreateFontA(14, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "宋体");
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const COLORREF text = ViewColor(59);
  SetTextColor(dc, text);
  HBRUSH frame = CreateSolidBrush(text);
  auto box = [&](const TRect &r, const char *caption, COLORREF color) {
    RECT rr = r;
    FrameRect(dc, &rr, frame);
    if (caption && caption[0]) {
      SetTextColor(dc, color);
      DrawTextA(dc, caption, -1, &rr, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
  };
  for (int r = 0; r < 2; ++r)
    for (int j = 0; j < l.columns; ++j) {
      const int k = j + l.columns * r;
      const InfoIndexEntry s = Section(k);
      char title[9] = {};
      std::memcpy(title, s.title, 8);
      box(l.Tab(r, j), title, k == current_ ? ViewColor(60) : text);
    }
  char name[16] = {}, code[16] = {};
  if (const STKINFO *info = GetStockInfo(m_attr.stock)) {
    std::snprintf(name, sizeof name, "%.*s", int(sizeof info->name), info->name);
    std::snprintf(code, sizeof code, "%.*s", int(sizeof info->code), info->code);
  }
  box(l.NameBox(), name, text);
  box(l.CodeBox(), code, text);
  char neighbour[32] = {};
  if (const STKINFO *p = GetStockInfo(Neighbour(-1)))
    std::snprintf(neighbour, sizeof neighbour, "%.*s▲", int(sizeof p->name), p->name);
  box(l.PrevBox(), neighbour, text);
  neighbour[0] = '\0';
  if (const STKINFO *n = GetStockInfo(Neighbour(1)))
    std::snprintf(neighbour, sizeof neighbour, "%.*s▼", int(sizeof n->name), n->name);
  box(l.NextBox(), neighbour, text);
  DeleteObject(frame);
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(46));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, 0, l.LineY(), nullptr);
  LineTo(dc, client.right, l.LineY());
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  if (l.narrow) {
    RECT hint = {10, 50, std::max<LONG>(client.right - 10, 10), 74};
    SetTextColor(dc, text);
    DrawTextA(dc, "请放大窗口查看完整内容。", -1, &hint, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

void TTextForm::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_NOTIFY:
      if (HandleLinkNotify(m.LParam, RichEdit1, Handle())) {
        m.Result = 0;
        return;
      }
      break;
    case WM_KEYDOWN:
      if (m.WParam == VK_PRIOR || m.WParam == VK_NEXT) StepStock(m.WParam == VK_NEXT ? 1 : -1);
      if (m.WParam == VK_ESCAPE) PostToPage(WM_MVM_BACK);
      m.Result = 0;
      return;
    case WM_LBUTTONDOWN:
      TChildView::WndProc(m);
      FormMouseDown(int(int16_t(LOWORD(uint32_t(m.LParam)))), int(int16_t(HIWORD(uint32_t(m.LParam)))));
      return;
    case WM_SIZE:
      TChildView::WndProc(m);
      PlaceEdit();
      Invalidate();
      return;
    default: break;
  }
  TChildView::WndProc(m);
}
