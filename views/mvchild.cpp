#include "views/mvchild.h"

#include <cstring>

#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/mvmain.h"
#include "views/viewhost.h"

namespace {

COLORREF Complement(COLORREF c) { return ~c & 0xFFFFFF; }

// Pane numbers are never reused (0 is none).
uint32_t NextPaneId() {
  static uint32_t last = 0;
  if (++last == 0) ++last;
  return last;
}

bool IsChartType(int type) { return type == VIEW_TYPE_INTRADAY || type == VIEW_TYPE_KLINE; }

void Line(HDC dc, int x1, int y1, int x2, int y2) {
  MoveToEx(dc, x1, y1, nullptr);
  LineTo(dc, x2, y2);
}

// The glyph of a button kind in the 16 x 14 cell at x (30 pixels for the
// period menu).
void DrawGlyph(HDC dc, int kind, int x) {
  switch (kind) {
    case 0:  // a cross
      Line(dc, x + 4, 3, x + 12, 11);
      Line(dc, x + 11, 3, x + 3, 11);
      break;
    case 1:  // a window
      Line(dc, x + 4, 3, x + 12, 3);
      Line(dc, x + 4, 4, x + 12, 4);
      Line(dc, x + 4, 3, x + 4, 11);
      Line(dc, x + 11, 3, x + 11, 11);
      Line(dc, x + 4, 10, x + 12, 10);
      break;
    case 2:  // two overlapping windows
      Line(dc, x + 6, 2, x + 13, 2);
      Line(dc, x + 12, 2, x + 12, 8);
      Line(dc, x + 6, 2, x + 6, 5);
      Line(dc, x + 3, 5, x + 10, 5);
      Line(dc, x + 3, 6, x + 10, 6);
      Line(dc, x + 3, 5, x + 3, 12);
      Line(dc, x + 9, 5, x + 9, 12);
      Line(dc, x + 3, 11, x + 10, 11);
      break;
    case 3:  // a horizontal bar
      Line(dc, x + 3, 6, x + 13, 6);
      Line(dc, x + 3, 7, x + 13, 7);
      break;
    case 4:  // two vertical bars
      Line(dc, x + 6, 3, x + 6, 11);
      Line(dc, x + 9, 3, x + 9, 11);
      break;
    case 5:  // an arrow pointing left
      for (int i = 0; i < 4; ++i) Line(dc, x + 5 + i, 7 - i, x + 5 + i, 8 + i);
      Line(dc, x + 9, 7, x + 12, 7);
      break;
    case 6:  // an arrow pointing right
      for (int i = 0; i < 4; ++i) Line(dc, x + 10 - i, 7 - i, x + 10 - i, 8 + i);
      Line(dc, x + 3, 7, x + 7, 7);
      break;
    case 7:  // a panel with lines
      Line(dc, x + 4, 3, x + 12, 3);
      Line(dc, x + 4, 3, x + 4, 11);
      Line(dc, x + 11, 3, x + 11, 11);
      Line(dc, x + 4, 10, x + 12, 10);
      Line(dc, x + 6, 5, x + 10, 5);
      Line(dc, x + 6, 7, x + 10, 7);
      break;
    case 8:  // the period menu: a wide box with a small down arrow
      Line(dc, x + 2, 2, x + 28, 2);
      Line(dc, x + 2, 2, x + 2, 12);
      Line(dc, x + 27, 2, x + 27, 12);
      Line(dc, x + 2, 11, x + 28, 11);
      for (int i = 0; i < 3; ++i) Line(dc, x + 19 + i, 5 + i, x + 25 - i, 5 + i);
      break;
    default:
      break;
  }
}

}  // namespace

// ---- TMVCmdBox ------------------------------------------------------------------------

TMVCmdBox::TMVCmdBox(TMultiViewChild *owner, const int *kinds, int count) : m_owner(owner) {
  if (count < 0) count = 0;
  if (count > 8) count = 8;
  m_count = uint32_t(count);
  for (int i = 0; i < count; ++i) {
    m_kinds[i] = kinds[i];
    m_width += CellWidth(kinds[i]);
  }
  UpdateColors();
  HDC screen = ::GetDC(nullptr);
  m_memDC = CreateCompatibleDC(screen);
  m_bitmap = CreateCompatibleBitmap(screen, m_width > 1 ? m_width - 1 : 1, kCmdBoxHeight);
  ::ReleaseDC(nullptr, screen);
  m_oldBitmap = SelectObject(m_memDC, m_bitmap);
  PaintStrip();
  RECT client;
  HWND parent = owner->Handle();
  GetClientRect(parent, &client);
  Create(0, WS_CHILD | WS_VISIBLE, client.right - m_width - 3, client.top + 3, m_width > 1 ? m_width - 1 : 1,
         kCmdBoxHeight, parent);
}

TMVCmdBox::~TMVCmdBox() {
  if (m_memDC) {
    SelectObject(m_memDC, m_oldBitmap);
    DeleteDC(m_memDC);
  }
  if (m_bitmap) DeleteObject(m_bitmap);
}

COLORREF TMVCmdBox::IconColorFor(COLORREF background) {
  const int r = GetRValue(background), g = GetGValue(background), b = GetBValue(background);
  return 299 * r + 587 * g + 114 * b < 127001 ? 0xFFBF7F : 0x875F0B;
}

void TMVCmdBox::UpdateColors() {
  m_background = MainFrameHost()->ThemeColor(1);
  m_iconColor = IconColorFor(m_background);
}

void TMVCmdBox::MoveTo(int x, int y) {
  if (m_hWnd) SetWindowPos(m_hWnd, HWND_TOP, x, y, m_width - 1, kCmdBoxHeight, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

int TMVCmdBox::ButtonAt(int x) const {
  int left = 0;
  for (uint32_t i = 0; i < m_count; ++i) {
    const int w = CellWidth(m_kinds[i]);
    if (x >= left && x < left + w) return int(i);
    left += w;
  }
  return -1;
}

void TMVCmdBox::ReplaceKind(int from, int to) {
  for (uint32_t i = 0; i < m_count; ++i)
    if (m_kinds[i] == from) m_kinds[i] = to;
}

void TMVCmdBox::PaintStrip() {
  if (!m_memDC) return;
  RECT all = {0, 0, m_width, kCmdBoxHeight};
  HBRUSH back = CreateSolidBrush(m_background);
  FillRect(m_memDC, &all, back);
  DeleteObject(back);
  int x = 0;
  for (uint32_t i = 0; i < m_count; ++i) {
    const int kind = m_kinds[i];
    const COLORREF color = int(i) == m_hot ? m_hotColor : m_iconColor;
    HPEN pen = CreatePen(PS_SOLID, 1, color);
    HGDIOBJ oldPen = SelectObject(m_memDC, pen);
    if (kind != -1) DrawGlyph(m_memDC, kind, x);
    if (kind != -1 && kind != 8) {
      RECT cell = {x, 0, x + 16, kCmdBoxHeight};
      HBRUSH frame = CreateSolidBrush(color);
      FrameRect(m_memDC, &cell, frame);
      DeleteObject(frame);
    }
    SelectObject(m_memDC, oldPen);
    DeleteObject(pen);
    x += CellWidth(kind);
  }
}

void TMVCmdBox::Refresh() {
  PaintStrip();
  if (m_hWnd) {
    InvalidateRect(m_hWnd, nullptr, FALSE);
    UpdateWindow(m_hWnd);
  }
}

void TMVCmdBox::Press(int button) {
  if (button < 0 || button >= int(m_count) || !m_owner) return;
  switch (m_kinds[button]) {
    case 0: m_owner->PostToPage(WM_MVM_CLOSE_PANE); break;
    case 1: m_owner->PostToPage(WM_MVM_ACTIVATE_VIEW); break;
    case 2: m_owner->PostToPage(WM_MVM_RESTORE_VIEW); break;
    case 3: m_owner->PostToPage(WM_MVM_SPLIT_HORZ); break;
    case 4: m_owner->PostToPage(WM_MVM_SPLIT_VERT); break;
    case 5: m_owner->PostToPage(WM_MVM_STEP_BACK); break;
    case 6: m_owner->PostToPage(WM_MVM_STEP_FORWARD); break;
    case 7: PostMessageA(m_owner->Handle(), WM_VIEW_TOGGLE_INFO, 0, 0); break;
    case 8: {
      int left = 0;
      for (int i = 0; i < button; ++i) left += CellWidth(m_kinds[i]);
      POINT p = {left, kCmdBoxHeight};
      ClientToScreen(m_hWnd, &p);
      PostMessageA(m_owner->Handle(), WM_VIEW_PERIOD_MENU, 0, MAKELPARAM(p.x, p.y));
      break;
    }
    default:
      break;
  }
}

LRESULT TMVCmdBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(m_hWnd, &ps);
      BitBlt(dc, 0, 0, m_width - 1, kCmdBoxHeight, m_memDC, 0, 0, SRCCOPY);
      EndPaint(m_hWnd, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!m_tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, m_hWnd, HOVER_DEFAULT};
        TrackMouseEvent(&track);
        m_tracking = 1;
      }
      const int hot = ButtonAt(short(LOWORD(lParam)));
      if (hot != m_hot) {
        m_hot = hot;
        Refresh();
      }
      break;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (m_owner) m_owner->Activate();
      Press(ButtonAt(short(LOWORD(lParam))));
      break;
    case WM_MOUSELEAVE:
      m_tracking = 0;
      m_hot = -1;
      Refresh();
      break;
    default:
      break;
  }
  return EWnd::WindowProc(message, wParam, lParam);
}

// ---- TMultiViewChild ----------------------------------------------------------------

uint32_t &TMultiViewChild::TagCounter() {
  static uint32_t counter = 1;
  return counter;
}

const char *TMultiViewChild::EmptyHint() { return "点击鼠标右键，在弹出的菜单中指定窗口内容。"; }

TRect TMultiViewChild::HintRect(int clientWidth) {
  return TRect(15, 15, clientWidth < 181 ? clientWidth - 30 : 150, 40);
}

TMultiViewChild::TMultiViewChild(TMultiViewMain *page, MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history,
                                 PaneNode *node)
    : TForm(page), m_node(node), m_page(page), m_paneId(NextPaneId()) {
  SetBorderStyle(bsNone);
  SetBorderIcons(0);
  std::memset(static_cast<void *>(&m_attr), 0, sizeof m_attr);
  PrepareEmptyRecord(&m_attr);
  m_history = history ? history : new EArray<VIEW_ATTR_13>(20);
  if (viewData) {
    m_viewData = viewData;
  } else {
    m_viewData = new MVCDATA_12;
    InitViewData(m_viewData);
  }
  m_requestTag = TagCounter();
  TagCounter() += 16;
  m_linked = m_viewData->linked;
  m_attr.viewType = VIEW_TYPE_NONE;
  BuildMenu();
  if (page) {
    page->AddPane(this);
    SetParent(page);
  }
  SetBounds(0, 0, 0, 0);
  SetColor(TColor(MainFrameHost()->ThemeColor(1)));
  Show();
  const int kinds[] = {1};
  SetCmdBox(kinds, 1);
}

TMultiViewChild::~TMultiViewChild() {
  delete m_cmdBox;
  m_cmdBox = nullptr;
  if (TakesHandOverList(m_attr.viewType)) ReleaseViewStockList(m_attr.HandOverList());
  if (m_page) m_page->RemovePane(this);
}

void TMultiViewChild::SetCmdBox(const int *kinds, int count) {
  delete m_cmdBox;
  m_cmdBox = kinds ? new TMVCmdBox(this, kinds, count) : nullptr;
}

void TMultiViewChild::PlaceCmdBox() {
  if (!m_cmdBox || !HandleAllocated()) return;
  RECT client;
  GetClientRect(Handle(), &client);
  m_cmdBox->MoveTo(client.right - m_cmdBox->m_width, client.top + 1);
}

void TMultiViewChild::BuildMenu() {
  MVCPM1 = new TPopupMenu(this);
  auto item = [this](TMenuItem *parent, const char *caption, UINT message) {
    auto *it = new TMenuItem(this);
    it->Caption = caption;
    if (message) it->OnClick = [this, message](TObject *) { PostToPage(message); };
    parent->Add(it);
    return it;
  };
  TMenuItem *root = MVCPM1->Items();
  TMenuItem *change = item(root, "变换画面(&P)", 0);
  item(change, "报价画面(&P)", WM_MVM_SHOW_REPORT);
  item(change, "-", 0);
  item(change, "闪电图(&T)", WM_MVM_SHOW_TICK);
  item(change, "分时图(&M)", WM_MVM_SHOW_MINUTE);
  item(change, "K线图(&K)", WM_MVM_SHOW_KLINE);
  item(change, "-", 0);
  item(change, "背景资料(&B)", WM_MVM_SHOW_TEXT);
  item(change, "新闻画面(&N)", WM_MVM_SHOW_NEWS);
  NMVCWeb = item(change, "Web页面(&W)", WM_MVM_SHOW_WEB);
  item(root, "-", 0);
  NMVCZoom = item(root, "放大          F7", 0);
  NMVCZoom->Visible = false;
  NMVCZoom->OnClick = [this](TObject *) { PostToPage(m_zoomed ? WM_MVM_RESTORE_VIEW : WM_MVM_ACTIVATE_VIEW); };
  TMenuItem *split = item(root, "切分窗口(&D)", 0);
  item(split, "横切(&H)", WM_MVM_SPLIT_HORZ);
  item(split, "竖切(&V)", WM_MVM_SPLIT_VERT);
  item(root, "关闭窗口      Ctrl+F4", WM_MVM_CLOSE_PANE);
  MVCPM1->OnPopup = [this](TObject *sender) { MVCPM1Popup(sender); };
  PopupMenu = MVCPM1;
}

void TMultiViewChild::MVCPM1Popup(TObject *) {
  NMVCZoom->Caption = m_zoomed ? "还原" : "放大";
  const bool web = GetPrivateProfileIntA("Option", "EnableCreateWebPage", 0, "..\\cfg\\Setting.ini") == 1;
  NMVCWeb->Enabled = web;
  NMVCWeb->Visible = web;
}

void TMultiViewChild::PostToPage(UINT message, WPARAM wParam) {
  if (m_page) PostMessageA(m_page->Handle(), message, wParam, PaneParam());
}

int TMultiViewChild::Notify(int, uint32_t, intptr_t, intptr_t) { return 0; }
void TMultiViewChild::Print() {}
void TMultiViewChild::InitView() {}
void TMultiViewChild::ApplyFonts() {
  if (m_cmdBox) {
    m_cmdBox->UpdateColors();
    m_cmdBox->Refresh();
  }
  Invalidate();
}
void TMultiViewChild::CollectStocks(EArray<STKMS> *) {}
void TMultiViewChild::OnActivate() {}
void TMultiViewChild::OnDeactivate() {}
void TMultiViewChild::UpdateMenuCaptions() {}
void TMultiViewChild::SendStockToOrderPanel() { MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1); }
void TMultiViewChild::SyncFrameButtons() { MainFrameHost()->ReleasePeriodButtons(); }

TChartViewOps *TMultiViewChild::ChartOps() { return dynamic_cast<TChartViewOps *>(this); }

void TMultiViewChild::Activate() {
  const int type = m_attr.viewType;
  TMainFrameHost *host = MainFrameHost();
  if (m_active) {
    if (IsChartType(type)) SendStockToOrderPanel();
    if (IsChartType(type) || type == VIEW_TYPE_RANKING) SetFocus();
  } else {
    if (m_page) m_page->SetActiveChild(this);
    host->ShowViewTools(type == VIEW_TYPE_KLINE, 0);
    host->ShowViewTools(type == VIEW_TYPE_REPORT, 3);
    host->ShowViewTools(IsChartType(type) || type == VIEW_TYPE_REPORT, 2);
    host->ShowDrawingTools(type == VIEW_TYPE_KLINE);
    SyncFrameButtons();
    if (IsChartType(type) || type == VIEW_TYPE_REPORT) SendStockToOrderPanel();
  }
  host->SetDialogOpen(false);
}

void TMultiViewChild::Paint() {
  if (m_attr.viewType != VIEW_TYPE_NONE) return;
  HDC dc = Canvas()->Handle();
  const COLORREF back = MainFrameHost()->ThemeColor(1);
  const COLORREF fore = Complement(back);
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  const TRect r = HintRect(client.right - client.left);
  RECT text = {r.Left, r.Top, r.Right, r.Bottom};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, fore);
  DrawTextA(dc, EmptyHint(), -1, &text, DT_CALCRECT | DT_WORDBREAK);
  RECT draw = text;
  DrawTextA(dc, EmptyHint(), -1, &draw, DT_WORDBREAK);
  InflateRect(&text, 5, 5);
  HBRUSH frame = CreateSolidBrush(fore);
  FrameRect(dc, &text, frame);
  DeleteObject(frame);
}

void TMultiViewChild::WMEraseBkgnd(TWMEraseBkgnd &msg) {
  if (m_attr.viewType == VIEW_TYPE_NONE)
    msg.Result = 1;
  else
    TForm::WMEraseBkgnd(msg);
}

void TMultiViewChild::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_MOUSEMOVE:
      if (!m_tracking) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, Handle(), HOVER_DEFAULT};
        TrackMouseEvent(&track);
        m_tracking = 1;
      }
      break;
    case WM_LBUTTONDOWN:
      Activate();
      break;
    case WM_MOUSELEAVE:
      m_tracking = 0;
      break;
    case WM_MOVE:
    case WM_SIZE:
      TForm::WndProc(m);
      PlaceCmdBox();
      return;
    case WM_MVC_LAYOUT_DONE:
      if (m_layoutDone) return;
      m_layoutDone = 1;
      if (m_page) {
        RECT empty = {0, 0, 0, 0};
        RedrawWindow(m_page->Handle(), &empty, nullptr, RDW_FRAME | RDW_UPDATENOW);
        for (int i = m_page->PaneCount() - 1; i >= 0; --i) {
          TMultiViewChild *other = m_page->PaneAt(i);
          if (other != this && other->HandleAllocated()) UpdateWindow(other->Handle());
        }
      }
      InitView();
      if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
      return;
    default:
      break;
  }
  TForm::WndProc(m);
}

// ---- TPlaceholderView -------------------------------------------------------------------

TPlaceholderView::TPlaceholderView(int viewType, TMultiViewMain *page, const VIEW_ATTR_13 *record,
                                   MVCDATA_12 *viewData, EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TMultiViewChild(page, viewData, history, node) {
  if (record) {
    m_attr = *record;
    m_attr.stock = STKPTR(record->stock.market, 0, record->stock.stock);
  } else {
    InitViewAttr(viewType, &m_attr);
  }
  m_attr.viewType = int16_t(viewType);
  if (IsChartType(viewType)) {
    const int kinds[] = {8, -1, 5, 6, 7};
    const int intraday[] = {5, 6, 7};
    if (viewType == VIEW_TYPE_KLINE)
      SetCmdBox(kinds, 5);
    else
      SetCmdBox(intraday, 3);
    PlaceCmdBox();
  }
}

void TPlaceholderView::WndProc(TMessage &m) {
  if (m.Msg == WM_KEYDOWN && m.WParam == VK_ESCAPE) {
    PostToPage(WM_MVM_BACK);
    m.Result = 0;
    return;
  }
  TMultiViewChild::WndProc(m);
}

int TPlaceholderView::Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) {
  if (code != 1) return 0;
  m_attr.stock = STKPTR(stock);
  m_attr.currentBlock = uint32_t(firstExtra);
  const auto *record = reinterpret_cast<const VIEW_ATTR_13 *>(secondExtra);
  if (record && TakesHandOverList(m_attr.viewType) && TakesHandOverList(record->viewType)) {
    // The page took a reference for this view: the old list goes.
    ReleaseViewStockList(m_attr.HandOverList());
    m_attr.SetHandOverList(record->HandOverList());
    m_attr.SetHandOverPosition(record->HandOverPosition());
  }
  Invalidate();
  return 0;
}

void TPlaceholderView::CollectStocks(EArray<STKMS> *stocks) {
  if (!stocks || m_attr.stock.IsNone() || m_attr.viewType == VIEW_TYPE_NEWS || m_attr.viewType == VIEW_TYPE_NOTES)
    return;
  STKMS ms{m_attr.stock.market, m_attr.stock.stock};
  stocks->Add(ms);
}

void TPlaceholderView::Paint() {
  HDC dc = Canvas()->Handle();
  const COLORREF back = MainFrameHost()->ThemeColor(1);
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH brush = CreateSolidBrush(back);
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Complement(back));
  RECT text = client;
  DrawTextA(dc, ViewTypeName(m_attr.viewType), -1, &text, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
