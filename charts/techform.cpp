// The K-line view: construction and settings, layout, the window procedure,
// painting from the off-screen bitmap, hover tooltips, closing.
#include "charts/techform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "charts/drawline.h"
#include "core/chartgfx.h"
#include "core/etooltip.h"
#include "formula/kvindexlib.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/module.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

namespace {

std::string ClrFontFile() { return std::string(UserDataPath) + "clrfont.INI"; }

int ReadParameter(const char *key, int fallback) {
  return int(GetPrivateProfileIntA("PARAMETER", key, fallback, ClrFontFile().c_str()));
}

// The three formulas bound to a login right.
bool NeedsRight(const char *name) {
  return strcasecmp(name, "JZBD") == 0 || strcasecmp(name, "JZGZ") == 0 || strcasecmp(name, "JZSP") == 0;
}
bool HasFormulaRight() { return (UserRights[2] & 8) != 0; }

void SetName16(char (&field)[16], const char *text) {
  std::memset(field, 0, sizeof field);
  std::strncpy(field, text, sizeof field - 1);
}

const char *const kLineToolNames[28] = {
    "",         "两点直线", "两点线段", "平行线",   "正弦线",   "黄金分割线", "百分比线", "圆弧",
    "股票箱",   "甘氏线",   "费波拉契周期线", "周期线", "速阻线", "线性回归带", "线性回归通道", "文字",
    "上箭头",   "下箭头",   "",         "",         "右下箭头", "左下箭头",   "右上箭头", "左上箭头",
    "横线",     "竖线",     "上45度",   "下45度"};

}  // namespace

KLineSettings &KLineChartSettings() {
  static KLineSettings settings;
  return settings;
}

// ---- Construction --------------------------------------------------------------------------

TTechForm::TTechForm(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                     EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TDrawView(page, record, viewData, history, node) {
  m_attr.viewType = VIEW_TYPE_KLINE;
  OnResize = nullptr;
  OnPaint = nullptr;
  OnClose = [this](TObject *s, TCloseAction &a) { FormClose(s, a); };

  const HINSTANCE program = GetModuleHandleA(nullptr);
  cursors[0] = LoadCursorA(nullptr, IDC_ARROW);
  cursors[1] = LoadCursorA(program, "IDC_CROSS");
  cursors[2] = LoadCursorA(program, "IDC_HAND");
  cursors[3] = LoadCursorA(program, "IDC_HAND2");
  cursors[4] = LoadCursorA(nullptr, IDC_SIZENS);
  cursors[5] = LoadCursorA(program, "IDC_RUBBER");
  cursors[6] = LoadCursorA(program, "IDC_DRAG");
  cursors[7] = LoadCursorA(nullptr, IDC_SIZEWE);
  cursors[8] = LoadCursorA(nullptr, IDC_ICON);

  // A stored level outside the tables never reaches them.
  zoomLevel = std::clamp(ReadParameter("ZoomLevel", 16), 0, kKLineMaxZoom);
  KLineSettings &s = KLineChartSettings();
  if (s.kLineMode == -1) {
    s.reverseSub = ReadParameter("ReverseSub", 1) != 0 ? 1 : 0;
    s.kLineMode = ReadParameter("KLineMode", 0);
    s.maOnK = ReadParameter("MaOnK", 1);
    s.antiAlias = ReadParameter("AntiAlias", 1);
  }
  firstBar = -1;

  BuildTechComponents();

  const MVCDATA_12 &data = *m_viewData;
  // The view data holds six windows at most.
  windowCount = std::clamp<uint32_t>(data.windowCount, 1, kKLineMaxWindows);
  for (int i = 0; i < kKLineMaxWindows; ++i) {
    std::memcpy(windowNames[i], data.formulas[i], 16);
    windowNames[i][15] = 0;
  }
  activeWindow = windowCount > 1 ? windowCount - 1 : 0;
  BuildWindows(data);
  if (s.maOnK && strcasecmp(windowNames[0], "K") == 0) ApplyIndicator("MA", false);
  RestoreOverlays(data);

  scaleWidth = Panel2->Width() + 1;
  const int n = int(windowCount);
  if (n >= 2 && n <= 6) {
    if (data.heightRatios[0] != 0.0f) {
      double sum = 0;
      for (int i = 0; i < n - 1; ++i) sum += heights[i] = double(data.heightRatios[i]);
      heights[n - 1] = 1.0 - sum;
    } else {
      KLineDefaultShares(n, heights);
      double sum = 0;
      for (int i = 0; i < n - 1; ++i) sum += heights[i];
      heights[n - 1] = 1.0 - sum;
    }
  } else {
    heights[0] = 1.0;
  }
  TMenuItem *counts[6] = {N7, N8, N9, N10, N18, N19};
  for (TMenuItem *m : counts) m->Checked = false;
  counts[n - 1]->Checked = true;
  std::copy(std::begin(heights), std::end(heights), savedHeights);
  if ((m_attr.flags & 2) && !DrawGrid1->Visible()) {
    if (DrawGrid1->RowCount() < int(barCount) + 1) DrawGrid1->SetRowCount(int(barCount) + 1);
    DrawGrid1->Show();
  }

  ApplyFonts();
  UpdateMenuCaptions();
}

TTechForm::~TTechForm() {
  CloseTech();
  if (dib.m_hBitmap) {
    DeleteObject(dib.m_hBitmap);
    dib.m_hBitmap = nullptr;
  }
}

void TTechForm::BuildTechComponents() {
  Panel2 = new TPanel(this);
  Panel2->SetParent(this);
  Panel2->SetBounds(0, 0, 60, 313);
  Panel2->Hide();
  static const char *const kCaptions[] = {"涨    跌", "幅    度", "收    盘", "开    盘", "成 交 量",
                                          "成交金额", "结    算"};
  static const int kCaptionLabels[] = {2, 3, 4, 5, 6, 7, 8, 9, 10};
  static const char *const kAllCaptions[] = {"开    盘", "最    高", "最    低", "收    盘", "成 交 量",
                                             "成交金额", "涨    跌", "幅    度", "结    算"};
  (void)kCaptions;
  for (int k = 0; k < 9; ++k) {
    auto *label = new TLabel(Panel2);
    label->SetParent(Panel2);
    label->SetCaption(kAllCaptions[k]);
    label->SetBounds(2, 4 + k * 34, 56, 14);
    PanelLabels[kCaptionLabels[k]] = label;
  }
  for (int k = 11; k <= 20; ++k) {
    auto *label = new TLabel(Panel2);
    label->SetParent(Panel2);
    label->SetCaption("------");
    label->SetBounds(2, k == 11 ? 306 : 4 + (k - 12) * 34 + 16, 56, 14);
    PanelLabels[k] = label;
  }

  auto item = [this](TMenuItem *parent, const char *caption, TNotifyEvent click = nullptr) {
    auto *it = new TMenuItem(this);
    it->Caption = caption;
    it->OnClick = std::move(click);
    parent->Add(it);
    return it;
  };
  TMenuItem *root = PopupMenu1->Items();
  // Periods, by their code in Tag.
  N1 = new TMenuItem(this);
  N1->Caption = "变换周期(&C)";
  root->Insert(N2->MenuIndex(), N1);
  static const struct {
    int code;
    const char *caption;
  } kPeriods[] = {{1, "1分钟       1"},  {2, "3分钟"},         {4, "5分钟       2"}, {5, "15分钟      3"},
                  {6, "30分钟      4"},  {7, "60分钟      5"}, {13, "120分钟"},      {14, "240分钟"},
                  {3, "任意分      M"},  {8, "日线        6"}, {9, "周线        7"}, {10, "月线        8"},
                  {11, "季线        9"}, {12, "任意天      D"}};
  for (const auto &p : kPeriods) {
    TMenuItem *m = item(N1, p.caption, [this](TObject *s) { SetPeriod(int(static_cast<TMenuItem *>(s)->Tag)); });
    m->Tag = p.code;
    m->RadioItem = true;
    m->GroupIndex = 2;
    PeriodItems[p.code] = m;
  }
  // Window counts.
  N18 = item(N6, "五图组合(&5)");
  N19 = item(N6, "六图组合(&6)");
  int tag = 1;
  for (TMenuItem *m : {N7, N8, N9, N10, N18, N19}) {
    m->Tag = tag++;
    m->RadioItem = true;
    m->GroupIndex = 1;
    m->OnClick = [this](TObject *s) { N7Click(s); };
  }
  // Ex-rights.
  NWeight = item(root, "除权状态(&W)");
  N25 = item(NWeight, "不除权(&R)", [this](TObject *s) { N25Click(s); });
  N27 = item(NWeight, "前复权      Ctrl+V", [this](TObject *s) { N25Click(s); });
  N28 = item(NWeight, "后复权      Ctrl+B", [this](TObject *s) { N25Click(s); });
  tag = 0;
  for (TMenuItem *m : {N25, N27, N28}) {
    m->Tag = tag++;
    m->RadioItem = true;
    m->GroupIndex = 3;
  }
  N25->Checked = true;
  // Formula commands.
  N3->Caption = "指标参数(&P)";
  N3->Enabled = true;
  N3->OnClick = [this](TObject *s) { N3Click(s); };
  C1 = item(Nanaly, "主图坐标(&C)");
  V1 = item(C1, "数值坐标(&V)");
  P1 = item(C1, "百分比坐标(&P)");
  L1 = item(C1, "对数坐标(&L)");
  V1->Checked = true;
  N36 = item(Nanaly, "坐标反转(&I)");
  N37 = item(N36, "启用");
  N39 = item(N36, "不启用");
  N39->Checked = true;
  EraseIdx = item(Nanaly, "删除指标(&D)", [this](TObject *s) { EraseIdxClick(s); });
  R3 = item(Nanaly, "参考线(&R)", [this](TObject *s) { R3Click(s); });
  N30 = item(Nanaly, "指标管理      Ctrl+F", [this](TObject *s) { N30Click(s); });
  N5->OnClick = [this](TObject *s) { TechN5Click(s); };

  PopupMenu2 = new TPopupMenu(this);
  PopupMenu2->AutoPopup = false;
  D2 = item(PopupMenu2->Items(), "删除指标(&D)", [this](TObject *s) { EraseIdxClick(s); });
  P2 = item(PopupMenu2->Items(), "指标参数(&P)", [this](TObject *s) { N3Click(s); });
  F1 = item(PopupMenu2->Items(), "修改公式(&F)", [this](TObject *s) { F1Click(s); });
  BuildInteractionMenus();
}

void TTechForm::BuildWindows(const MVCDATA_12 &data) {
  const bool noOverlay = data.overlays[0].market == 255;
  for (uint32_t i = 0; i < windowCount; ++i) {
    windows[i] = new CKvIndex();
    const char *fallback = i == 0 ? "K" : "VOL";
    if (NeedsRight(windowNames[i]) && !HasFormulaRight()) SetName16(windowNames[i], fallback);
    if (!KvIndexManager().CopyIndex(windowNames[i], windows[i])) {
      SetName16(windowNames[i], fallback);
      if (!KvIndexManager().CopyIndex(windowNames[i], windows[i])) continue;
    }
    windows[i]->LoadParamValues(m_attr.period);
    if (i == 0) {
      windows[0]->refLineCount = 0;
      if (noOverlay) {
        CKvIndex *tail = windows[0];
        for (int k = 0; k < kMaxOverlays && data.overlayFormulas[k][0]; ++k) {
          char name[16];
          std::memcpy(name, data.overlayFormulas[k], 16);
          name[15] = 0;
          auto *f = new CKvIndex();
          if (!KvIndexManager().CopyIndex(name, f)) {
            delete f;
            continue;
          }
          f->LoadParamValues(m_attr.period);
          tail->next = f;
          tail = f;
        }
      }
    }
    windows[i]->AssignChainLineColours(3);
  }
}

// ---- Pane operations -----------------------------------------------------------------------

void TTechForm::InitView() {
  TDrawView::InitView();
  OnResize = nullptr;
  OnPaint = [this](TObject *s) { FormPaint(s); };
  Update();
  LoadWeights();
  Subscribe(0, true);
  LoadSeries(true, true, 0);
  LoadInfoMarkers(true);
  RecalcIndicators(nullptr, false);
  OnResize = [this](TObject *s) { FormResize(s); };
  resizeInstalled_ = true;
  FormResize(this);
  DrawQuotePanel();
  OnKeyDown = [this](TObject *s, WORD &k, TShiftState sh) { FormKeyDown(s, k, sh); };
  OnKeyUp = [this](TObject *s, WORD &k, TShiftState sh) { FormKeyUp(s, k, sh); };
  OnMouseDown = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseDown(s, b, sh, x, y); };
  OnMouseMove = [this](TObject *s, TShiftState sh, int x, int y) { FormMouseMove(s, sh, x, y); };
  OnMouseUp = [this](TObject *s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseUp(s, b, sh, x, y); };
}

void TTechForm::ApplyFonts() {
  KLineSettings &s = KLineChartSettings();
  s.kLineMode = ReadParameter("KLineMode", 0);
  s.maOnK = ReadParameter("MaOnK", 1);
  s.antiAlias = ReadParameter("AntiAlias", 1);
  SetIndexKLineMode(s.kLineMode);
  SetIndexAntiAlias(s.antiAlias);
  TDrawView::ApplyFonts();
  crossLabelFont_.Release();
  legendFont_.Release();
  if (Panel2) {
    Panel2->Font()->SetColor(TColor(ViewColor(31)));
    Panel2->SetColor(TColor(ViewColor(1)));
    for (int k = 11; k <= 20; ++k)
      if (PanelLabels[k]) PanelLabels[k]->Font()->SetColor(TColor(ViewColor(1) ^ 0xFFFFFF));
  }
  for (uint32_t i = 0; i < windowCount; ++i)
    if (windows[i]) windows[i]->AssignChainLineColours(3);
  AssignOverlayColours();
  if (resizeInstalled_) FormResize(this);
  UpdateScreen(true);
}

void TTechForm::AssignOverlayColours() {
  if (SpreadAnalysis()) return;
  int k = 0;
  for (COverlappedStock *n = overlays; n; n = n->next, ++k) {
    if (!n->indicator) continue;
    for (auto &v : n->indicator->variables) {
      if (!v) continue;
      v->flags |= kVariableHasColor;
      v->flags &= ~kVariableColorSlot;
      v->color = ViewColor(5 + k % 7);
    }
  }
}

void TTechForm::CollectStocks(EArray<STKMS> *stocks) {
  auto add = [stocks](STKPTR s) {
    const STKINFO *info = GetStockInfo(s);
    if (!info || stocks->GetCount() >= 256 || !HasMarketRight(s.market, info->kind)) return;
    for (int32_t i = stocks->GetCount(); i-- > 0;) {
      const STKMS e = stocks->GetAt(i);
      if (e.market == s.market && e.stock == s.stock) return;
    }
    stocks->Add(STKMS{s.market, s.stock});
  };
  add(m_attr.stock);
  for (COverlappedStock *n = overlays; n; n = n->next) add(n->stock);
}

void TTechForm::StepKey(WORD key, TShiftState shift) { FormKeyDown(this, key, shift); }

void TTechForm::StoreChartData(MVCDATA_12 *data) {
  if (!data) return;
  TDrawView::StoreChartData(data);
  data->windowCount = windowCount;
  for (int i = 0; i < kKLineMaxWindows; ++i) std::memcpy(data->formulas[i], windowNames[i], 16);
  StoreOverlays(data);
  // The main-chart indicators, unless overlays own the main window.
  if (!overlays) {
    std::memset(data->overlayFormulas, 0, sizeof data->overlayFormulas);
    int k = 0;
    for (CKvIndex *f = windows[0] ? windows[0]->next : nullptr; f && k < kMaxOverlays; f = f->next)
      std::memcpy(data->overlayFormulas[k++], f->name, 16);
  }
  for (int i = 0; i < 5; ++i) data->heightRatios[i] = i + 1 < int(windowCount) ? float(heights[i]) : 0.0f;
  if (windowCount < 2) data->heightRatios[0] = 0.0f;
}

const char *TTechForm::LineWindowFormula(int window) const {
  if (window < 0 || window >= int(windowCount) || !windows[window]) return nullptr;
  return windows[window]->name;
}

// ---- Geometry ------------------------------------------------------------------------------

int TTechForm::ScaleLeft() const {
  const uint32_t f = m_attr.displayFlags;
  return (f & 0x20) || (f & 0x40) ? 0 : scaleWidth;
}
int TTechForm::ScaleRight() const {
  const uint32_t f = m_attr.displayFlags;
  return !(f & 0x20) && (f & 0x40) ? scaleWidth : 0;
}
int TTechForm::PlotWidth() const {
  return chartRect.right - chartRect.left - ((m_attr.displayFlags & 0x20) ? 0 : scaleWidth);
}

uint32_t TTechForm::FirstVisibleBar() const {
  if (firstBar != -1) return uint32_t(firstBar);
  const uint32_t n = uint32_t(std::max(0.0, double(PlotWidth()) * 0.93 / KLinePitch(zoomLevel)));
  return timeCount > n ? timeCount - n : 0;
}

uint32_t TTechForm::VisibleBarCount() const {
  const uint32_t n = uint32_t(std::max(0.0, double(PlotWidth()) / KLinePitch(zoomLevel)));
  const uint32_t first = FirstVisibleBar();
  const uint32_t left = timeCount > first ? timeCount - first : 0;
  return std::min(n, left);
}

int TTechForm::BarCentre(uint32_t i) const {
  const double w = KLineBarWidth(zoomLevel), g = KLineBarGap(zoomLevel);
  return chartRect.left + ScaleLeft() +
         int((double(int64_t(i) - int64_t(FirstVisibleBar()))) * (w + g) + g + w / 2);
}

int32_t TTechForm::BarOfPosition(int64_t i) const {
  if (i < 0 || uint64_t(i) >= timeCount || !barTimes) return -1;
  return FindBarByTime(bars, int(barCount), barTimes[i]);
}

bool TTechForm::WindowInverted(int i) const {
  return N37->Checked && (i == 0 || KLineChartSettings().reverseSub);
}

bool TTechForm::PointInPlotSpan(int x, int y) const {
  return x >= chartRect.left + ScaleLeft() && x < chartRect.right - ScaleRight() &&
         y > chartRect.top + 17 && y < chartRect.bottom - 16 && y >= chartRect.top + 18;
}

// ---- Drawn lines ---------------------------------------------------------------------------

void TTechForm::MapLoadedLine(TLine *line, int window) {
  if (!line || window < 0 || window >= int(windowCount)) return;
  RECT plot = windowRects[window];
  plot.top += 17;
  plot.left += ScaleLeft();
  plot.right -= ScaleRight();
  plot.bottom -= 3;
  line->SetMapping(window, m_attr.stock, barTimes, timeCount, bars, barCount, int(FirstVisibleBar()),
                   int(VisibleBarCount()), plot, windowRanges[window][0], windowRanges[window][1],
                   KLineBarWidth(zoomLevel), KLineBarGap(zoomLevel));
}

void TTechForm::RefreshLineMappings() {
  for (uint32_t i = 0; i < lineCount; ++i)
    if (lines[i]) MapLoadedLine(lines[i], lines[i]->map.window);
}

void TTechForm::SetLuoliShown(bool shown) {
  luoliShown = shown ? 1 : 0;
  UpdateScreen(true);
}

void TTechForm::SetLineToolItemChecked(bool checked) {
  if (NLine) NLine->Checked = checked;
}

void TTechForm::DeleteAllLines() {
  for (TLine *&l : lines) {
    delete l;
    l = nullptr;
  }
  lineCount = 0;
  editLine = 0;
  lineEditState = 0;
  SaveLines();
  UpdateScreen(true);
}

void TTechForm::DeleteWindowLines(int window) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < lineCount; ++i) {
    if (lines[i] && lines[i]->map.window == window) {
      delete lines[i];
    } else {
      lines[kept++] = lines[i];
    }
  }
  for (uint32_t i = kept; i < lineCount; ++i) lines[i] = nullptr;
  lineCount = editLine = kept;
}

void TTechForm::SaveLines() { TLineFileStore().SaveLines(*this); }
void TTechForm::LoadLines() { TLineFileStore().LoadLines(*this); }
void TTechForm::LoadRefLines() { TLineFileStore().LoadRefLines(*this); }
void TTechForm::SaveRefLines() { TLineFileStore().SaveRefLines(*this); }

// ---- Layout --------------------------------------------------------------------------------

void TTechForm::LayoutRects() {
  const int clientWidth = ClientWidth(), clientHeight = ClientHeight();
  const int available = clientWidth - (Panel1->Visible() ? Panel1->Width() : 0);
  const int left = Panel1->Visible() && Panel1->Align() == alLeft ? Panel1->Width() : 0;
  chartRect = RECT{left, 0, available + left, clientHeight};
  KLineLayoutWindows(chartRect, heights, int(windowCount), windowRects);
}

void TTechForm::FitBitmap() {
  HDC dc = GetDC(Handle());
  dib.Create(dc, chartRect.right, chartRect.bottom);
  ReleaseDC(Handle(), dc);
  Panel2->SetLeft((m_attr.displayFlags & 0x40) ? chartRect.right - scaleWidth + 1 : chartRect.left + 1);
  Panel2->SetTop(chartRect.top + 18 + 17);
}

void TTechForm::FormResize(TObject *sender) {
  TDrawView::FormResize(sender);
  const int available = ClientWidth() - (Panel1->Visible() ? Panel1->Width() : 0);
  if (available == chartRect.right - chartRect.left && ClientHeight() == chartRect.bottom - chartRect.top &&
      dib.m_hBitmap) {
    Repaint();
    return;
  }
  LayoutRects();
  FitBitmap();
  Repaint();
}

void TTechForm::Repaint() {
  DrawChart();
  UpdateScreen(true);
}

// ---- Painting from the bitmap ---------------------------------------------------------------

void TTechForm::ComposeTo(HDC target, bool drawTransients) {
  const int w = chartRect.right, h = chartRect.bottom;
  HDC source = CreateCompatibleDC(target);
  HGDIOBJ oldSource = SelectObject(source, dib.m_hBitmap);
  HDC work = CreateCompatibleDC(target);
  HBITMAP picture = CreateCompatibleBitmap(target, std::max(w, 1), std::max(h, 1));
  HGDIOBJ oldWork = SelectObject(work, picture);
  BitBlt(work, chartRect.left, chartRect.top, w - chartRect.left, h - chartRect.top, source, chartRect.left,
         chartRect.top, SRCCOPY);
  SelectObject(source, oldSource);
  DeleteDC(source);

  if (activeWindow != 0 && activeWindow < windowCount) {
    const RECT &r = windowRects[activeWindow];
    RECT frame{r.left, r.top + 1, r.left, r.bottom};
    if (!(m_attr.displayFlags & 0x20)) {
      if (m_attr.displayFlags & 0x40) frame = RECT{r.right - scaleWidth + 1, r.top + 1, r.right - 1, r.bottom};
      else frame = RECT{r.left, r.top + 1, r.left + scaleWidth, r.bottom};
    }
    HBRUSH brush = CreateSolidBrush(ViewColor(15));
    FrameRect(work, &frame, brush);
    DeleteObject(brush);
  }
  for (uint32_t i = 0; i < lineCount; ++i) {
    if (!lines[i]) continue;
    if (lines[i]->state == kLinePlaced) lines[i]->UpdateAndDraw(work, lines[i]->showHandles);
    else lines[i]->Draw(work, false);
  }
  if (drawTransients) {
    DrawCrossLabels(false, work);
    DrawCrossLines(work);
    DrawRubberBand(work);
    DrawLuoliAid(work);
    DrawLoadProgress(work);
  }
  BitBlt(target, chartRect.left, chartRect.top, w - chartRect.left, h - chartRect.top, work, chartRect.left,
         chartRect.top, SRCCOPY);
  SelectObject(work, oldWork);
  DeleteObject(picture);
  DeleteDC(work);
}

void TTechForm::FormPaint(TObject *) {
  if (!dib.m_hBitmap) return;
  if (PaintFlags & kPaintRebuild) {
    PaintFlags &= ~kPaintRebuild;
    DrawChart();
  }
  ComposeTo(Canvas()->Handle(), true);
}

// ---- Window procedure ----------------------------------------------------------------------

void TTechForm::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(m.WParam) == Handle()) {
        SetCursor(cursors[std::clamp(cursorMode, 0, 8)]);
        m.Result = 1;
        return;
      }
      break;
    case WM_MOUSEHOVER:
      if (hoverTracking) {
        hoverTracking = 0;
        ShowHoverTip(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      }
      m.Result = 0;
      return;
    case WM_MOUSELEAVE:
      if (leaveTracking) {
        cursorMode = 0;
        if (tipX != -1) {
          if (EToolTip *tip = MainFrameHost()->SharedToolTip()) tip->Hide();
          tipX = tipY = -1;
        }
        leaveTracking = 0;
        mouseX = mouseY = -1;
        HDC dc = GetDC(Handle());
        DrawCrossLabels(true, dc);
        if (crossHair) {
          DrawCrossLines(dc);
          dragX = dragY = -1;
        }
        ReleaseDC(Handle(), dc);
      }
      m.Result = 0;
      return;
    case WM_INDEX_CHANGED:
      if (m.WParam) OnIndexChanged(reinterpret_cast<const char *>(m.WParam));
      return;
    case WM_INDEX_PARAM_CHANGED:
      OnIndexParamChanged(m.WParam, m.LParam);
      return;
    case WM_VIEW_TOGGLE_INFO:
      TechN5Click(nullptr);
      break;
    case WM_VIEW_PERIOD_MENU:
      ShowPeriodMenu(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_ZONE_STAT_RANGE: {
      if (rubberBand) {
        HDC dc = GetDC(Handle());
        if (rubberShown) DrawRubberBand(dc);
        ReleaseDC(Handle(), dc);
        rubberBand = rubberShown = 0;
      }
      zoneStart = reinterpret_cast<const uint32_t *>(m.WParam);
      zoneEnd = reinterpret_cast<const uint32_t *>(m.LParam);
      DrawChart();
      UpdateScreen(true);
      UpdateBarPanel();
      break;
    }
    case WM_AGENT_UPDATE:
      AgentUpdate(m.WParam, int32_t(m.LParam));
      return;
    default:
      break;
  }
  TDrawView::WndProc(m);
}

// ---- Hover tooltips --------------------------------------------------------------------------

void TTechForm::ShowHoverTip(int x, int y) {
  char text[1024] = {};
  bool shown = false;
  const double pitch = KLinePitch(zoomLevel);
  const int s = ScaleLeft();
  if (timeCount > 0 && barTimes) {
    const uint32_t c = FirstVisibleBar() + (x < chartRect.left + s ? 0 : uint32_t(double(x - chartRect.left - s) / pitch));
    if (c < timeCount) {
      const uint32_t o = uint32_t(3.0 / pitch);
      const uint32_t first = c > o ? c - o : 0;
      // The last column is bounded by the time axis as well as the bars.
      const uint32_t last = std::min<uint64_t>({uint64_t(c) + o, uint64_t(timeCount) - 1,
                                                barCount ? uint64_t(barCount) - 1 : 0});
      uint32_t from, to = barTimes[last];
      if (KLineDayPeriod(m_attr.period)) {
        from = first > 0 ? PackedNextDay(barTimes[first - 1] & kPackedDateMask) : barTimes[0] & kPackedDateMask;
        to = (to & kPackedDateMask) | (23u << 6) | 59u;
      } else {
        from = barTimes[first > 0 ? first - 1 : 0];
        if (first > 0) {
          const unsigned mo = PackedMonth(from), d = PackedDay(from), h = PackedHour(from), mi = PackedMinute(from);
          if (mo >= 1 && mo <= 12 && d != 0 && h <= 23 && mi <= 59) {
            if (mi < 59) from += 1;
            else if (h < 23) from = (from & ~0x7FFu) | ((h + 1) << 6);
            else from = PackedNextDay(from & kPackedDateMask);
          }
        }
      }
      const RECT &w0 = windowRects[0];
      if (y > w0.bottom - 9 && y <= w0.bottom - 3) {
        shown = stockInfo && WeightText(weights, weightCount, from, to, stockInfo->PriceDivisor(),
                                        stockInfo->decimals, text, sizeof text);
      } else if (y >= w0.top + 15 && y < w0.top + 23) {
        auto number = [](uint32_t t) { return PackedYear(t) * 10000 + PackedMonth(t) * 100 + PackedDay(t); };
        shown = InfoMarkerText(infoIndex, infoIndexCount, number(from), number(to), text, sizeof text);
      }
    }
  }
  if (!shown && lineEditState == 0) {
    for (uint32_t i = 0; i < lineCount && !shown; ++i) {
      TLine *l = lines[i];
      if (!l || l->type < 1 || l->type > 27 || l->HitTest(POINT{x, y}) < 0) continue;
      const RECT &w0 = windowRects[0];
      const double lo = windowRanges[0][0], hi = windowRanges[0][1];
      const int b = w0.bottom - 3;
      const int decimals = std::clamp(DecimalsNeeded(hi), 0, 4);
      const double value = b - (w0.top + 17) != 0 ? lo + double(b - y) * (hi - lo) / double(b - (w0.top + 17)) : lo;
      char format[64];
      std::snprintf(format, sizeof format, "%%s（点击右键修改属性）\r\n%%.%if", decimals);
      std::snprintf(text, sizeof text, format, kLineToolNames[l->type], value);
      shown = true;
    }
  }
  EToolTip *tip = MainFrameHost()->SharedToolTip();
  if (shown && tip) {
    SIZE size{};
    tip->Measure(&size, text);
    tipX = x;
    tipY = y;
    POINT p{x, y + 21};
    ::ClientToScreen(Handle(), &p);
    HWND frame = MainFrameHost()->MainWindow();
    RECT fr{};
    if (frame) GetWindowRect(frame, &fr);
    if (frame && p.y + size.cy > fr.bottom) p.y = std::max<LONG>(p.y - size.cy - 22, 0);
    if (frame && p.x + size.cx > fr.right) p.x = std::max<LONG>(p.x - size.cx, 0);
    if (frame) ::ScreenToClient(frame, &p);
    tip->Show(p, text, frame);
    return;
  }
  if (shown) {
    tipX = x;
    tipY = y;
    return;
  }
  if (tipX != -1) {
    if (tip) tip->Hide();
    tipX = tipY = -1;
  }
}

// ---- Closing -------------------------------------------------------------------------------

void TTechForm::FormClose(TObject *sender, TCloseAction &action) {
  CloseTech();
  TDrawView::FormClose(sender, action);
  action = caFree;
}

void TTechForm::CloseTech() {
  if (techClosed_) return;
  techClosed_ = true;
  if (EToolTip *tip = MainFrameHost()->SharedToolTip()) tip->Hide();
  if (splitDrag || rubberBand) ClipCursorToRect(nullptr);
  HWND window = HandleAllocated() ? Handle() : nullptr;
  if (overlays) {
    COverlappedStock::ReleaseAgents(overlays, window);
    delete overlays;
    overlays = nullptr;
  }
  if (barAgent != -1) ReleaseDataAgent(barAgent, window);
  barAgent = -1;
  for (CKvIndex *&w : windows) {
    delete w;
    w = nullptr;
  }
  Free(barTimes);
  barTimes = nullptr;
  timeCount = timeCapacity = 0;
  Free(bars);
  bars = nullptr;
  barCount = 0;
  Free(infoIndex);
  infoIndex = nullptr;
  infoIndexCount = 0;
  Free(weights);
  weights = nullptr;
  weightCount = weightCapacity = 0;
  if (labelScratch_) DeleteObject(labelScratch_);
  labelScratch_ = nullptr;
  crossLabelFont_.Release();
  legendFont_.Release();
  for (TLine *&l : lines) {
    delete l;
    l = nullptr;
  }
  lineCount = 0;
  if (dib.m_hBitmap) {
    DeleteObject(dib.m_hBitmap);
    dib.m_hBitmap = nullptr;
    dib.m_pBits = nullptr;
  }
}

// ---- Registration --------------------------------------------------------------------------

namespace {
TMultiViewChild *MakeKLine(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                           EArray<VIEW_ATTR_13> *history, PaneNode *node, int) {
  VIEW_ATTR_13 r{};
  if (record) r = *record;
  else InitViewAttr(VIEW_TYPE_KLINE, &r);
  r.viewType = VIEW_TYPE_KLINE;
  return new TTechForm(page, &r, viewData, history, node);
}
}  // namespace

void RegisterKLineView() { RegisterViewClass(VIEW_TYPE_KLINE, MakeKLine); }

void PostToFrame(UINT message) {
  if (HWND frame = MainFrameHost()->MainWindow()) PostMessageA(frame, message, 0, 0);
}
