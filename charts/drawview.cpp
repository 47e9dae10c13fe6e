#include "charts/drawview.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "charts/quotepanel.h"
#include "core/emem.h"
#include "market/blocks.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/merger.h"
#include "market/reqbuild.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/dlgtext.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/selstockdlg.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"
#include "views/viewservices.h"

bool StockPagingActive = false;

namespace {

std::string UserDefui() { return std::string(UserDataPath) + "defui.ini"; }


int MarketTypeOf(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  return m ? m->m_info.type : 0;
}

// Whether the instrument's stock kind is an index kind (no order book).
bool IsIndexKind(STKPTR stock) {
  const TMarketData *m = MarketOf(stock);
  if (!m || stock.stock >= m->m_loadedCount) return false;
  const int kind = StockKindOf(m, stock.stock);
  return kind >= 0 && kind < kMaxStockKinds && m->m_info.kinds[kind].noOrderBook;
}

std::string KeyText(int command) {
  char out[64] = {};
  uint32_t flags = 0;
  char keys[16] = {};
  if (ViewDisplay().hotKey && ViewDisplay().hotKey(command, &flags, keys)) FormatHotKeyText(flags, keys, out);
  return out;
}

void PauseKeyHook(bool paused) {
  if (ViewServices().pauseKeyHook) ViewServices().pauseKeyHook(paused);
}

}  // namespace

// ---- Printing helpers ------------------------------------------------------------------

TPrintLayout ComputePrintLayout(int pageWidth, int pageHeight, int viewWidth, int viewHeight) {
  TPrintLayout l;
  l.marginX = pageWidth / 20;
  l.marginY = pageHeight / 20;
  int pw = pageWidth - 2 * l.marginX, ph = pageHeight - 2 * l.marginY;
  const int w = std::max(viewWidth, 1), h = std::max(viewHeight, 1);
  l.turned = pw != ph && h != w && (pw > ph) != (h < w);
  float s;
  if (l.turned) {
    s = std::min(float(ph) / float(w), float(pw) / float(h));
    l.width = int(std::trunc(float(h) * s)) - 1;
    l.height = int(std::trunc(float(w) * s)) - 1;
  } else {
    s = std::min(float(pw) / float(w), float(ph) / float(h));
    l.width = int(std::trunc(float(w) * s)) - 1;
    l.height = int(std::trunc(float(h) * s)) - 1;
  }
  return l;
}

void MakePrintPicture(const uint32_t *pixels, int width, int height, bool turned, const COLORREF *white,
                      int whiteCount, uint32_t *out) {
  // One look-up of the last colour seen: charts are long runs of a colour.
  uint32_t lastPixel = 0xFFFFFFFFu, lastOut = 0;
  auto convert = [&](uint32_t p) {
    if (p == lastPixel) return lastOut;
    const uint32_t rgb = p & 0xFFFFFFu;
    const COLORREF c = RGB(BYTE(rgb >> 16), BYTE(rgb >> 8), BYTE(rgb));
    bool isWhite = false;
    for (int i = 0; i < whiteCount && !isWhite; ++i) isWhite = white[i] == c;
    lastPixel = p;
    lastOut = isWhite ? 0xFFFFFFu : 0;
    return lastOut;
  };
  for (int y = 0; y < height; ++y) {
    const uint32_t *row = pixels + size_t(y) * size_t(width);
    if (!turned) {
      uint32_t *o = out + size_t(y) * size_t(width);
      for (int x = 0; x < width; ++x) o[x] = convert(row[x]);
    } else {
      // (x, y) goes to (height - 1 - y, x) of a height-wide picture.
      uint32_t *o = out + size_t(height - 1 - y);
      for (int x = 0; x < width; ++x) o[size_t(x) * size_t(height)] = convert(row[x]);
    }
  }
}

// ---- Construction ------------------------------------------------------------------------

TDrawView::TDrawView(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                     EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TChildView(page, viewData, history, node) {
  if (record) {
    m_attr = *record;
    m_attr.stock = STKPTR(record->stock.market, 0, record->stock.stock);
  } else {
    InitViewAttr(VIEW_TYPE_INTRADAY, &m_attr);
  }
  BuildComponents();

  // Settings of the detail list and the price-volume statistics.
  ReadBigOrderThreshold();
  const std::string defui = UserDefui();
  StatsVolumeLimit = int32_t(GetPrivateProfileIntA("PVStatistic", "VolLimit", 0, defui.c_str()));
  StatsTimeMode = int32_t(GetPrivateProfileIntA("PVStatistic", "TimeLimit", 0, defui.c_str()));
  StatsTimeParam1 = int32_t(GetPrivateProfileIntA("PVStatistic", "TimeParam1", 0, defui.c_str()));
  StatsTimeParam2 = int32_t(GetPrivateProfileIntA("PVStatistic", "TimeParam2", 0, defui.c_str()));

  DetailIndex = static_cast<int32_t *>(Malloc(4096));
  DetailIndexCapacity = DetailIndex ? 1024 : 0;
  ResetStatistics();

  OnResize = nullptr;
  OnPaint = nullptr;
  MsgPage->OnPaint = nullptr;

  Panel1->SetVisible(m_viewData->infoVisible != 0);
  N5->Checked = m_viewData->infoVisible != 0;
  ViewPainted = false;

  StringGrid1->SetRowCount(2);
  StringGrid1->SetRow(1);
  HandCursor = LoadCursorA(nullptr, IDC_HAND);
  showbroker->Caption = "显示经纪队列(&B)";

  CrossHairRect = ClientRect();
  std::fill(std::begin(PriceCells), std::end(PriceCells), TRect());

  // The view keeps the record's reference to its instrument list.
  if (record && TakesHandOverList(m_attr.viewType)) {
    StockList = m_attr.HandOverList();
    StockListPosition = uint32_t(m_attr.HandOverPosition());
    m_attr.SetHandOverList(0);
    m_attr.SetHandOverPosition(0);
  }
  KeepStockList = false;

  LoadMarketDetailItems(m_attr.stock.market, DetailItems());
  m_attr.displayFlags = m_viewData->displayFlags;
  LoadTradeMarks();
  Panel1->SetAlign((m_attr.displayFlags & 4) ? alLeft : alRight);

  TabChooser->Tabs.Add("笔");
  if (m_attr.viewType == VIEW_TYPE_INTRADAY) TabChooser->Tabs.Add("价");
  TabChooser->SetTabIndex(0);
  TabChooser->OnChange = [this](TObject *s) { TabChooserChange(s); };
  TabChooser->OnLButtonDown = [this](TObject *, int32_t tab, int32_t) { TabChooserLButtonDown(tab); };
  TabChooser->OnDrawBackGround = [this](TObject *, HDC dc, RECT *r) { TabChooserDrawBackGround(dc, *r); };
  TabChooser->OnDrawItem = [this](TObject *, HDC dc, RECT *r, const std::string &caption, bool selected, bool hot) {
    TabChooserDrawItem(dc, hot, selected, caption, *r);
  };

  OnMouseMove = [this](TObject *s, TShiftState shift, int x, int y) { FormMouseMove(s, shift, x, y); };
  OnClose = [this](TObject *s, TCloseAction &a) { FormClose(s, a); };
  ApplyFonts();
}

TDrawView::~TDrawView() {
  if (!m_closed) {
    TCloseAction action = caFree;
    FormClose(this, action);
  }
  BuyVolumeByPrice.clear();
  SellVolumeByPrice.clear();
  VolumeByPrice.clear();
  if (HoverUnderline().view == this) HoverUnderline() = THoverUnderline{};
  if (m_panelDC) {
    SelectObject(m_panelDC, m_panelOld);
    DeleteDC(m_panelDC);
  }
  if (m_panelBitmap) DeleteObject(m_panelBitmap);
}

void TDrawView::BuildComponents() {
  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetAlign(alRight);
  Panel1->SetWidth(162);
  Panel1->SetBevelOuter(bvNone);
  Panel1->ShowCaption = false;
  Panel1->SetVisible(false);
  Panel1->OnClick = [this](TObject *) { Activate(); };
  Panel1->OnResize = [this](TObject *s) { Panel1Resize(s); };

  MsgPage = new TPaintBox(this);
  MsgPage->SetParent(Panel1);
  MsgPage->SetAlign(alTop);
  MsgPage->SetHeight(45);
  MsgPage->OnDblClick = [this](TObject *s) { MsgPageDblClick(s); };
  MsgPage->OnMouseDown = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) {
    MsgPageMouseDown(s, b, sh, x, y);
  };
  MsgPage->OnMouseMove = [this](TObject *s, TShiftState sh, int x, int y) { MsgPageMouseMove(s, sh, x, y); };

  PriceVolume = new TPaintBox(this);
  PriceVolume->SetParent(Panel1);
  PriceVolume->SetAlign(alTop);
  PriceVolume->SetTop(45);
  PriceVolume->SetHeight(40);
  PriceVolume->SetVisible(false);
  PriceVolume->OnPaint = [this](TObject *s) { PriceVolumePaint(s); };
  PriceVolume->OnMouseMove = [this](TObject *, TShiftState, int, int y) { PriceVolumeMouseMove(y); };
  PriceVolume->OnMouseDown = [this](TObject *, TMouseButton b, TShiftState, int x, int y) {
    PriceVolumeMouseDown(b, x, y);
  };

  StringGrid1 = new TStringGrid(this);
  StringGrid1->SetParent(Panel1);
  StringGrid1->SetColCount(2);
  StringGrid1->SetFixedRows(0);
  StringGrid1->SetFixedCols(0);
  StringGrid1->SetDefaultRowHeight(24);
  StringGrid1->ScrollBars = ssNone;
  StringGrid1->SetOptions(goRowSelect | goThumbTracking);
  StringGrid1->DefaultDrawing = false;
  StringGrid1->OnDrawCell = [this](TObject *, int c, int r, TRect rect, TGridDrawState) { StringGrid1DrawCell(c, r, rect); };
  StringGrid1->OnDblClick = [this](TObject *s) { StringGrid1DblClick(s); };
  StringGrid1->OnSelectCell = [this](TObject *, int, int r, bool &) { StringGrid1SelectCell(r); };
  StringGrid1->OnTopLeftChanged = [this](TObject *s) { StringGrid1TopLeftChanged(s); };
  StringGrid1->OnMouseDown = [this](TObject *, TMouseButton b, TShiftState, int x, int y) {
    StringGrid1MouseDown(b, x, y);
  };
  StringGrid1->OnMouseMove = [this](TObject *, TShiftState, int x, int y) { StringGrid1MouseMove(x, y); };

  TabChooser = new TKivoTabSet(this);
  TabChooser->SetParent(Panel1);
  TabChooser->SetAlign(alBottom);
  TabChooser->SetHeight(16);

  PrintDialog1 = new TPrintDialog(this);
  BuildMenu();
}

void TDrawView::BuildMenu() {
  PopupMenu1 = new TPopupMenu(this);
  PopupMenu1->AutoPopup = false;
  PopupMenu1->OnPopup = [this](TObject *s) { PopupMenu1Popup(s); };
  auto item = [this](TMenuItem *parent, const char *caption, TNotifyEvent click = nullptr) {
    auto *it = new TMenuItem(this);
    it->Caption = caption;
    it->OnClick = std::move(click);
    parent->Add(it);
    return it;
  };
  auto post = [this](UINT message) {
    return [this, message](TObject *) {
      if (m_page) PostMessageA(m_page->Handle(), message, 0, reinterpret_cast<LPARAM>(this));
    };
  };
  TMenuItem *root = PopupMenu1->Items();
  Back = item(root, "后退          ESC", [this](TObject *s) { BackClick(s); });
  Changeform = item(root, "变换画面(&G)");
  Repfm = item(Changeform, "报价画面(&P)", post(WM_MVM_SHOW_REPORT));
  Tickfm = item(Changeform, "闪电图        0", post(WM_MVM_SHOW_TICK));
  Minfm = item(Changeform, "分时图(&M)", post(WM_MVM_SHOW_MINUTE));
  Minfm->Tag = 1;
  Keckfm = item(Changeform, "K线图         F5", post(WM_MVM_SHOW_KLINE));
  Newsfm = item(Changeform, "新闻资讯      F9", post(WM_MVM_SHOW_NEWS));
  item(Changeform, "-");
  Detailfm = item(Changeform, "成交报表      F1", [this](TObject *) { ExecuteViewCommand(28); });
  Barfm = item(Changeform, "价量分布      F2", [this](TObject *) { ExecuteViewCommand(30); });
  N2 = item(root, "变更商品(&T)", [this](TObject *s) { N2Click(s); });
  AddBk = item(root, "加入自选      Ctrl+Z");
  A2 = item(root, "加入预警(&A)", [this](TObject *s) { A2Click(s); });
  item(root, "-");
  Nanaly = item(root, "技术分析(&R)");
  N3 = item(Nanaly, "变更参数(&P)");
  N3->Enabled = false;
  N6 = item(root, "视图组合(&N)");
  N7 = item(N6, "一图组合(&1)");
  N8 = item(N6, "二图组合(&2)");
  N9 = item(N6, "三图组合(&3)");
  N10 = item(N6, "四图组合(&4)");
  for (TMenuItem *radio : {N7, N8, N9, N10}) {
    radio->RadioItem = true;
    radio->GroupIndex = 1;
  }
  N9->Checked = true;
  item(root, "-");
  N5 = item(root, "信息窗口      Ctrl+L", [this](TObject *s) { N5Click(s); });
  dadantiqu = item(root, "大单提取(&F)", [this](TObject *s) { dadantiquClick(s); });
  showbroker = item(root, "显示经纪队列(&B)", [this](TObject *s) { showbrokerClick(s); });
  item(root, "-");
  NSync = item(root, "联动(&S)", [this](TObject *s) { NSyncClick(s); });
  prt = item(root, "打印(&P)", [this](TObject *) { Print(); });
  prt->Visible = false;
  NProperty = item(root, "属性(&O)");
  PopupMenu = PopupMenu1;
}

void TDrawView::ReadBigOrderThreshold() {
  const std::string defui = UserDefui();
  BigOrderThreshold = int32_t(GetPrivateProfileIntA("UI", "BVEnabled", 0, defui.c_str()));
  if (BigOrderThreshold != 0) BigOrderThreshold = int32_t(GetPrivateProfileIntA("UI", "BigVol", 0, defui.c_str()));
}

void TDrawView::ResetStatistics() {
  BuyVolumeByPrice.clear();
  SellVolumeByPrice.clear();
  VolumeByPrice.clear();
  MaxSideVolume = MaxVolume = 0;
  HoverFraction = -1.0;
  HoverPrice = -1;
  std::fill(std::begin(NatureShares), std::end(NatureShares), 0.0f);
  BuyAverage = SellAverage = BuyVolume = SellVolume = 0;
  ChartPriceRatio = 0;
  PriceAxisTop = PriceAxisBottom = 0;
}

// ---- Pane operations ---------------------------------------------------------------------

void TDrawView::InitView() {
  if (!DropTarget) {
    DropTarget = new CDrawViewDropTarget(Handle());
    if (!RegisterDragDrop(Handle(), DropTarget)) {
      DropTarget->Release();
      DropTarget = nullptr;
    }
  }
  if (!CmdBox) {
    static const int kKline[] = {8, -1, 5, 6, 7};
    static const int kOther[] = {5, 6, 7};
    if (m_attr.viewType == VIEW_TYPE_KLINE)
      CmdBox = new TMVCmdBox(this, kKline, 5);
    else
      CmdBox = new TMVCmdBox(this, kOther, 3);
  }
  CmdBox->UpdateColors();
  PlaceCommandBox();
  CmdBox->Refresh();
  OnResize = [this](TObject *s) { FormResize(s); };
  OnPaint = [this](TObject *s) { FormPaint(s); };
  MsgPage->OnPaint = [this](TObject *s) { MsgPagePaint(s); };
  StringGrid1->Invalidate();
}

void TDrawView::PlaceCommandBox() {
  if (!CmdBox) return;
  const TRect client = ClientRect();
  int left;
  if (Panel1->Visible() && Panel1->Align() != alLeft) {
    left = Panel1->Left() - CmdBox->m_width - 1;
  } else {
    const int own = m_cmdBox ? m_cmdBox->m_width : 0;
    left = client.Right - own - CmdBox->m_width - 3;
  }
  CmdBox->MoveTo(left, client.Top + 1);
}

void TDrawView::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_SIZE:
      ViewPainted = false;
      PostMessageA(Handle(), WM_PAINT, 0, 0);
      break;
    case WM_PAINT:
      if (CrossHairShown) InvalidateRect(Handle(), nullptr, TRUE);
      break;
    case WM_NCPAINT:
    case WM_NCMOUSEMOVE:
      EraseCrossHair();
      break;
    case WM_DETAIL_LIST_TO_END:
      if (!BrokerQueueMode && Panel1->Visible() && StringGrid1->Height() >= 1 && !DetailScrollLock) ShowNewestTrade();
      return;
    case WM_DROP_STOCKS: {
      Activate();
      STKPTR stock;
      if (TakeHandOverFile(uint32_t(m.WParam), &stock)) Notify(1, stock.Word(), stock.market, 0);
      return;
    }
    case WM_CONTEXTMENU: {
      // The menu is the view's own: no automatic pop-up.
      POINT p{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      if (m.LParam == -1) {
        p = {LastMouseX, LastMouseY};
        ::ClientToScreen(Handle(), &p);
      }
      m.Result = 1;
      ShowContextMenu(p.x, p.y);
      return;
    }
    default:
      break;
  }
  TMultiViewChild::WndProc(m);
}

void TDrawView::Paint() {
  // The derived views paint the chart; the base has only its background.
  HDC dc = Canvas()->Handle();
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH brush = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &client, brush);
  DeleteObject(brush);
  ViewPainted = true;
  if (OnPaint) OnPaint(this);
}

int TDrawView::Notify(int code, uint32_t stock, intptr_t, intptr_t) {
  // A quote costs a view that shows another instrument only this test of
  // the key's market byte and stock index.
  if (code == 0 && (stock & 0xFF) == m_attr.stock.market && (stock >> 16) == m_attr.stock.stock) {
    if (MarketTypeOf(m_attr.stock) == 6 && ViewServices().hasRequestClient && ViewServices().hasRequestClient())
      RequestBrokerQueue(m_attr.stock.market, m_attr.stock.stock);
    DrawQuotePanel();
  }
  return 1;
}

void TDrawView::StoreChartData(MVCDATA_12 *data) {
  if (!data) return;
  data->infoVisible = N5->Checked ? 1 : 0;
  data->displayFlags = m_attr.displayFlags;
}

void TDrawView::ShowContextMenu(int x, int y) {
  PopupMenu1->SetPopupComponent(this);
  PopupMenu1->Popup(x, y);
}

// ---- Cross-hair ------------------------------------------------------------------------

void TDrawView::DrawCrossHair(int, int x, int y, bool noErase) {
  if (!HandleAllocated()) return;
  HDC dc = GetDC(Handle());
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(16));
  HGDIOBJ oldPen = SelectObject(dc, pen);
  const int oldRop = SetROP2(dc, R2_XORPEN);
  auto inside = [this](int px, int py) {
    return px >= CrossHairRect.Left && px <= CrossHairRect.Right && py >= CrossHairRect.Top &&
           py <= CrossHairRect.Bottom;
  };
  auto lines = [&](int px, int py) {
    MoveToEx(dc, CrossHairRect.Left, py, nullptr);
    LineTo(dc, CrossHairRect.Right, py);
    MoveToEx(dc, px, CrossHairRect.Top, nullptr);
    LineTo(dc, px, CrossHairRect.Bottom);
  };
  if (!noErase && inside(CrossHairX, CrossHairY)) lines(CrossHairX, CrossHairY);
  if (UseOuterCrossHairRect && OuterCrossHairRect) CrossHairRect = *OuterCrossHairRect;
  if (inside(x, y)) lines(x, y);
  CrossHairX = x;
  CrossHairY = y;
  SetROP2(dc, oldRop);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  ReleaseDC(Handle(), dc);
}

void TDrawView::EraseCrossHair(int) {
  if (!CrossHairShown) return;
  DrawCrossHair(0, LastMouseX, LastMouseY, true);
  CrossHairShown = false;
}

void TDrawView::FormMouseMove(TObject *, TShiftState, int x, int y) {
  LastMouseX = x;
  LastMouseY = y;
  if (!CrossHairMode || !ViewPainted || (x == CrossHairX && y == CrossHairY)) return;
  if (CrossHairShown) {
    DrawCrossHair(0, x, y, false);
  } else {
    DrawCrossHair(0, x, y, true);
    CrossHairShown = true;
  }
}

void TDrawView::FormPaint(TObject *) { EraseCrossHair(); }

void TDrawView::ClipCursorXY(int left, int top, int right, int bottom) {
  POINT a{left, top}, b{right, bottom};
  if (HandleAllocated()) {
    ::ClientToScreen(Handle(), &a);
    ::ClientToScreen(Handle(), &b);
  }
  m_clip = TRect(a.x, a.y, b.x, b.y);
  m_clipSet = true;
}

void TDrawView::ClipCursorToRect(const TRect *rect) {
  if (!rect) {
    m_clipSet = false;
    return;
  }
  ClipCursorXY(rect->Left, rect->Top, rect->Right, rect->Bottom);
}

// ---- Layout --------------------------------------------------------------------------------

void TDrawView::FormResize(TObject *) {
  if (!UseOuterCrossHairRect) CrossHairRect = ClientRect();
  const int clientWidth = ClientWidth();
  if (N5->Checked && !Panel1->Visible() && Panel1->Width() + 100 < clientWidth)
    Panel1->Show();
  else if (Panel1->Width() + 100 >= clientWidth && Panel1->Visible())
    Panel1->Hide();
  PriceVolume->SetHeight(std::max(Panel1->Height() - TabChooser->Height(), 0));
  PlaceCommandBox();
  if (Panel1->Height() < QuotePanelHeight) MsgPagePaint();
}

void TDrawView::N5Click(TObject *) {
  N5->Checked = !N5->Checked;
  Panel1->SetVisible(N5->Checked);
  PlaceCommandBox();
  InfoPanelToggled();
  Invalidate();
}

void TDrawView::Panel1Resize(TObject *) {
  if (!StringGrid1 || !MsgPage || !TabChooser) return;
  const int rowHeight = std::max(StringGrid1->DefaultRowHeight(), 1);
  int available = Panel1->Height() - MsgPage->Height() - (TabChooser->Visible() ? TabChooser->Height() : 0);
  available = std::max(available, 0) / rowHeight * rowHeight;
  StringGrid1->SetBounds(0, MsgPage->Height(), Panel1->Width() + 10, available);
  if (HandleAllocated()) PostMessageA(Handle(), WM_DETAIL_LIST_TO_END, 0, 0);
}

void TDrawView::ApplyFonts() {
  SIZE zero{}, wide{};
  MeasureDetailFonts(&zero, &wide);
  const int w = int(zero.cx), h = int(wide.cx);
  SetColor(TColor(ViewColor(1)));
  Panel1->SetWidth(std::max(5 * w, 3 * h) + std::max(6 * w, 2 * h) + 2 * std::max(5 * w, 2 * h) + 2 * h + 5 * w + 2);
  Panel1->SetColor(TColor(ViewColor(1)));
  StringGrid1->SetColor(TColor(ViewColor(1)));
  LayoutDetailList(true);
  StringGrid1->Repaint();
  DrawQuotePanel();
  PriceVolume->Invalidate();
  TabChooser->Repaint();
  if (CmdBox) {
    CmdBox->UpdateColors();
    CmdBox->Refresh();
    if (m_cmdBox) {
      m_cmdBox->UpdateColors();
      m_cmdBox->Refresh();
    }
  }
}

// ---- Menus ---------------------------------------------------------------------------------

void TDrawView::UpdateMenuCaptions() {
  Tickfm->Caption = "闪电图        " + KeyText(1);
  Keckfm->Caption = "K线图         " + KeyText(36);
  Newsfm->Caption = "新闻资讯      " + KeyText(44);
  Detailfm->Caption = "成交报表      " + KeyText(28);
  Barfm->Caption = "价量分布      " + KeyText(30);
  AddBk->Caption = "加入自选      " + KeyText(65);
  const std::string alarm = KeyText(81);
  A2->Caption = alarm.empty() ? "加入预警(&A)" : "加入预警      " + alarm;
  N5->Caption = "信息窗口      " + KeyText(66);
  TChildView::UpdateMenuCaptions();
}

void TDrawView::PopupMenu1Popup(TObject *) {
  NSync->Checked = m_linked != 0;
  Minfm->Visible = true;
  const bool index = IsIndexKind(m_attr.stock);
  Tickfm->Visible = !index;
  dadantiqu->Visible = !index;
  showbroker->Visible = MarketTypeOf(m_attr.stock) == 6;
  AddBk->Clear();
  for (int i = 0; i < BlockTable.blockCount && i < kMaxBlocks; ++i) {
    const BLOCK &block = BlockTable.blocks[i];
    if (!block.inUse || block.kind <= 3) continue;
    auto *it = new TMenuItem(this);
    it->Caption = FieldText(block.name, sizeof block.name);
    it->Tag = block.blockId;
    it->OnClick = [this, id = int(block.blockId)](TObject *) { AddShownInstrumentToBlock(id); };
    AddBk->Add(it);
  }
}

void TDrawView::AddShownInstrumentToBlock(int blockId) {
  if (AppendBlockMember(FindBlockById(blockId), m_attr.stock)) SaveUserBlocks();
  if (ViewServices().notifyViews) ViewServices().notifyViews(10, m_attr.stock.Word(), blockId, 0);
}

void TDrawView::N2Click(TObject *) {
  if (OpenStockPicker) return;
  TSelStockDlg dialog(this, m_attr.stock.market, 0);
  OpenStockPicker = &dialog;
  PauseKeyHook(true);
  const bool ok = dialog.ShowModal() == mrOk;
  PauseKeyHook(false);
  OpenStockPicker = nullptr;
  if (ok && !dialog.chosen.IsNone()) Notify(1, dialog.chosen.Word(), dialog.chosen.market, 0);
}

void TDrawView::A2Click(TObject *) {
  if (!ViewServices().addAlarm) return;
  MainFrameHost()->SetDialogOpen(true);
  PauseKeyHook(true);
  const int index = ViewServices().addAlarm(m_attr.stock);
  PauseKeyHook(false);
  MainFrameHost()->SetDialogOpen(false);
  if (index >= 0)
    if (HWND main = MainFrameHost()->MainWindow()) PostMessageA(main, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

void TDrawView::NSyncClick(TObject *) {
  const bool wasOn = m_linked != 0;
  m_linked = wasOn ? 0 : 1;
  if (wasOn && ViewServices().uncheckLinkMenu) ViewServices().uncheckLinkMenu();
}

void TDrawView::BackClick(TObject *) {
  HWND focus = GetFocus();
  HWND target = focus && (focus == Handle() || IsChild(Handle(), focus)) ? focus : Handle();
  PostMessageA(target, WM_KEYDOWN, VK_ESCAPE, 0);
}

// ---- Trade marks ---------------------------------------------------------------------------

bool TDrawView::OrderButtonCentre(STKPTR instrument, bool buy, POINT &screen) {
  const int type = ViewType();
  if (type != VIEW_TYPE_INTRADAY && type != VIEW_TYPE_KLINE) return false;
  if (!OrderPanelVisible || m_attr.stock.Word() != instrument.Word() || !HandleAllocated()) return false;
  const TRect &button = OrderButtonRects[buy ? 0 : 1];
  if (button.Width() <= 0 || button.Height() <= 0) return false;
  POINT centre{(button.Left + button.Right) / 2, (button.Top + button.Bottom) / 2};
  if (!::ClientToScreen(Handle(), &centre)) return false;
  screen = centre;
  return true;
}

void TDrawView::LoadTradeMarks() {
  std::memset(TradeMarkPositions, 0, sizeof TradeMarkPositions);
  std::memset(TradeMarkOrders, 0, sizeof TradeMarkOrders);
  const STKPTR stock = m_attr.stock;
  const TMarketData *market = MarketOf(stock);
  if (!market) return;
  bool trading = market->m_info.type == 2;
  for (int i = 0; i < GetExtraCodeAskMarketCount() && !trading; ++i)
    trading = GetExtraCodeAskMarketAt(i) == stock.market;
  if (!trading) return;
  STKINFO *shown = GetStockInfo(stock);
  if (!shown) return;
  const int minute = (int(PackedHour(CurrentUtcTime)) * 60 + int(PackedMinute(CurrentUtcTime)) + 480) % 1440;
  STKINFO *mapped = CMarketMerger::Instance()->MapStock(shown, minute);
  if (!mapped) return;
  const TMarketData *tradingMarket = MarketAt(mapped->market);
  if (!tradingMarket || !tradingMarket->m_stocksEx) return;
  const STKINFOEX *ex = GetStockInfoEx(STKPTR(mapped->market, 0, mapped->index));
  if (!ex) return;
  // A full seven-byte code has no terminator.
  char code[sizeof ex->code + 1] = {};
  std::memcpy(code, ex->code, strnlen(ex->code, sizeof ex->code));
  if (!code[0]) return;
  char second[8] = {};
  if (StockKindOf(MarketOf(stock), stock.stock) == 2 && std::strlen(code) == 6) {
    const char shortForm[] = {code[0], code[1], code[3], code[4], code[5], 0};
    std::memcpy(second, shortForm, sizeof shortForm);
  }
  MainFrameHost()->GetChartTradeMarks("", code, second, TradeMarkPositions, kTradeMarkCount, TradeMarkOrders,
                                      kTradeMarkCount);
}

// ---- Closing -------------------------------------------------------------------------------

void TDrawView::FormClose(TObject *, TCloseAction &action) {
  if (m_closed) return;
  m_closed = true;
  if (DropTarget) {
    if (HandleAllocated()) RevokeDragDrop(Handle());
    DropTarget->Release();
    DropTarget = nullptr;
  }
  if (StockList) {
    ReleaseViewStockList(StockList);
    StockList = 0;
  }
  HWND window = HandleAllocated() ? Handle() : nullptr;
  for (int32_t *agent : {&TrendAgent, &RecentAgent, &TradeAgent}) {
    if (*agent >= 0 && window) ReleaseDataAgent(*agent, window);
    *agent = -1;
  }
  DetailIndexCapacity = 0;
  Free(DetailIndex);
  DetailIndex = nullptr;
  delete CmdBox;
  CmdBox = nullptr;
  action = caFree;
  ConvertedPrices = false;
}

// ---- Printing ------------------------------------------------------------------------------

void TDrawView::Print() {
  if (!PrintDialog1->Execute()) return;
  bool done = true;
  try {
    done = PrintTo();
  } catch (...) {
    if (Printer()->Printing()) Printer()->Abort();
    MessageBoxA(Handle(), "准备打印时出现错误。  ", "错误", MB_ICONERROR | MB_TOPMOST);
    done = true;
  }
  if (!done) MessageBoxA(Handle(), "系统资源不足，打印失败。  ", "错误", MB_ICONERROR | MB_TOPMOST);
  Invalidate();
  Update();
}

bool TDrawView::PrintTo() {
  RECT bounds;
  GetWindowRect(Handle(), &bounds);
  const int w = bounds.right - bounds.left, h = bounds.bottom - bounds.top;
  PaintFlags = kPaintForPrint | kPaintRebuild;
  Invalidate();
  Update();
  PaintFlags = kPaintRebuild;

  // The view as it shows now, in memory.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = std::max(w, 1);
  info.bmiHeader.biHeight = -std::max(h, 1);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  HDC mem = CreateCompatibleDC(nullptr);
  void *bits = nullptr;
  HBITMAP shot = mem && w > 0 && h > 0 ? CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
  if (!shot || !bits) {
    if (shot) DeleteObject(shot);
    if (mem) DeleteDC(mem);
    return false;
  }
  HGDIOBJ oldShot = SelectObject(mem, shot);
  PaintTo(mem, 0, 0);
  SelectObject(mem, oldShot);

  TPrinter *printer = Printer();
  printer->BeginDoc();
  HDC page = printer->Handle();
  const TPrintLayout layout = ComputePrintLayout(printer->PageWidth(), printer->PageHeight(), w, h);
  const int mx = layout.marginX, my = layout.marginY;

  // A line above the picture: the year and the program.
  PrintYearLine(page, mx, std::max(my - 56, 0), "kivo");

  HPEN pen = CreatePen(PS_SOLID, 1, 0);
  HGDIOBJ oldPen = SelectObject(page, pen);
  HGDIOBJ oldBrush = SelectObject(page, GetStockObject(NULL_BRUSH));
  Rectangle(page, mx - 1, my - 1, mx + layout.width + 2, my + layout.height + 2);
  SelectObject(page, oldBrush);
  SelectObject(page, oldPen);
  DeleteObject(pen);

  // Black and white: the chart's background colours turn white.
  const COLORREF white[] = {CLR_INVALID, ViewColor(1), ViewColor(17), ViewColor(34),
                            ViewColor(63), ViewColor(64), GetSysColor(COLOR_BTNFACE)};
  const int pw = layout.turned ? h : w, ph = layout.turned ? w : h;
  BITMAPINFO bwInfo = info;
  bwInfo.bmiHeader.biWidth = pw;
  bwInfo.bmiHeader.biHeight = -ph;
  void *bwBits = nullptr;
  HBITMAP picture = CreateDIBSection(mem, &bwInfo, DIB_RGB_COLORS, &bwBits, nullptr, 0);
  bool ok = picture && bwBits;
  if (ok) {
    MakePrintPicture(static_cast<const uint32_t *>(bits), w, h, layout.turned, white, int(std::size(white)),
                     static_cast<uint32_t *>(bwBits));
    HGDIOBJ oldPicture = SelectObject(mem, picture);
    SetStretchBltMode(page, COLORONCOLOR);
    ok = StretchBlt(page, mx, my, layout.width, layout.height, mem, 0, 0, pw, ph, SRCCOPY);
    SelectObject(mem, oldPicture);
  }
  if (picture) DeleteObject(picture);
  DeleteObject(shot);
  DeleteDC(mem);
  if (ok)
    printer->EndDoc();
  else
    printer->Abort();
  return ok;
}

void TDrawView::DetailGridKey(WORD key) {
  if (!StringGrid1 || StringGrid1->RowCount() == 0) return;
  const int row = StringGrid1->Row() + (key == VK_UP ? -1 : key == VK_DOWN ? 1 : 0);
  if (row >= StringGrid1->FixedRows() && row < StringGrid1->RowCount()) StringGrid1->SetRow(row);
}
