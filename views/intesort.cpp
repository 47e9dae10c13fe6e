#include "views/intesort.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "core/efile.h"
#include "market/answer.h"
#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/rights.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "views/mvmain.h"
#include "views/openrecord.h"
#include "views/viewservices.h"
#include "views/reportcolumns.h"
#include "views/textviewtools.h"
#include "views/viewdisplay.h"
#include "views/viewhost.h"

const RankingPanelDef kRankingPanelDefs[kRankingPanels] = {
    {"今日涨幅排名▲", "%.2f", 1},   {"5分钟涨幅排名▲", "%.2f", 6}, {"今日委比排名▲", "%.3f", 2},
    {"今日跌幅排名▼", "%.2f", 1},   {"5分钟跌幅排名▼", "%.2f", 6}, {"今日委比排名▼", "%.3f", 2},
    {"今日振幅排名▲", "%.2f", 3},   {"今日量比排名▲", "%.3f", 4}, {"今日总金额排名▲", "%.2f", 5},
};

TRankingServices &RankingServices() {
  static TRankingServices services;
  return services;
}

namespace {

constexpr int kDescending = 1, kAscending = 0;

float FloatAt(const uint8_t *p) {
  float f;
  std::memcpy(&f, p, 4);
  return f;
}

}  // namespace

void RankTopByValue(STKPTR *stocks, double *values, int count, int n, int direction, std::vector<int> &order) {
  order.resize(size_t(count));
  for (int i = 0; i < count; ++i) order[size_t(i)] = i;
  n = std::min(n, count);
  auto better = [values, direction](int a, int b) {
    if (values[a] != values[b]) return direction == 1 ? values[a] > values[b] : values[a] < values[b];
    return a < b;
  };
  std::partial_sort(order.begin(), order.begin() + n, order.end(), better);
  std::vector<STKPTR> top(size_t(std::max(n, 0)));
  std::vector<double> topValues(size_t(std::max(n, 0)));
  for (int k = 0; k < n; ++k) {
    top[k] = stocks[order[size_t(k)]];
    topValues[k] = values[order[size_t(k)]];
  }
  // The rest keep their block order behind the n best.
  int at = n;
  std::vector<bool> taken(size_t(count), false);
  for (int k = 0; k < n; ++k) taken[size_t(order[size_t(k)])] = true;
  for (int i = 0; i < count; ++i)
    if (!taken[size_t(i)]) {
      stocks[at] = stocks[i];
      values[at] = values[i];
      ++at;
    }
  std::copy(top.begin(), top.end(), stocks);
  std::copy(topValues.begin(), topValues.end(), values);
}

namespace {

BLOCK *StockListBlock(int id) {
  BLOCK *b = FindBlockById(id);
  return b && b->members ? b : nullptr;
}

}  // namespace

// ---- TRankingCore ------------------------------------------------------------------

TRankingCore::TRankingCore() {
  stocks = new STKPTR[kRankingCapacity];
  values = new double[kRankingCapacity]();
  for (int i = 0; i < kRankingPanels; ++i)
    std::snprintf(panels[i].title, sizeof panels[i].title, "%s", kRankingPanelDefs[i].title);
}

TRankingCore::~TRankingCore() {
  delete[] stocks;
  delete[] values;
}

bool TRankingCore::IsRankingBlock(int blockId, int *market, int *kind) {
  const int m = MarketTable.marketCount;
  const TMarketData *first = MarketAt(0);
  const int k = first ? first->m_info.kindCount : 0;
  static const int kinds[3] = {1, 2, 5};
  for (int mk = 0; mk < 2; ++mk)
    for (int kk : kinds)
      if (blockId == m + mk * k + kk) {
        if (market) *market = mk;
        if (kind) *kind = kk;
        return true;
      }
  return false;
}

bool TRankingCore::NextInChain(int kind, int *nextKind, int *column) {
  static const int chain[][3] = {{1, 6, 21}, {6, 2, 20}, {2, 3, 12}, {3, 4, 13}, {4, 5, 8}};
  for (const auto &step : chain)
    if (step[0] == kind) {
      *nextKind = step[1];
      *column = step[2];
      return true;
    }
  return false;
}

bool TRankingCore::SetBlock(int id) {
  BLOCK *b = StockListBlock(id);
  if (!b) return false;
  blockId = id;
  count = std::min<int>(b->memberCount, kRankingCapacity);
  for (int i = 0; i < count; ++i) stocks[i] = STKPTR(b->members[i].market, 0, b->members[i].stock);
  return true;
}

void TRankingCore::SetRowsPerPanel(int rows) {
  rowsPerPanel = std::max(rows, 0);
  Panel &p = panels[currentPanel];
  if (p.selected > rowsPerPanel - 1) p.selected = std::max(rowsPerPanel - 1, 0);
}

bool TRankingCore::LoadRankingFile(int kind, const char *path) {
  if (kind < 1 || kind > 6) return false;
  BLOCK *b = StockListBlock(blockId);
  if (!b) return false;
  count = std::min<int>(b->memberCount, kRankingCapacity);
  const int32_t file = FileOpen(path, "rb");
  switch (kind) {
    case 1:
      Pass(1, file, 11, -1e15, kDescending, 0);
      Pass(1, -1, 0, 1e15, kAscending, 3);
      break;
    case 6:
    case 2: {
      const int panel = kind == 6 ? 1 : 2;
      Pass(kind, file, 11, 0, kDescending, panel);
      if (file >= 0) FileSeek(file, 0, 0);
      Pass(kind, file, 11, 0, kAscending, panel + 3);
      break;
    }
    case 3: Pass(3, file, 15, 0, kDescending, 6); break;
    case 4: Pass(4, file, 11, 1.0, kDescending, 7); break;
    case 5: Pass(5, file, 8, 0, kDescending, 8); break;
  }
  FileClose(file);
  return true;
}

void TRankingCore::Pass(int kind, int32_t file, int recordSize, double fallback, int direction, int panel) {
  const BLOCK *b = FindBlockById(blockId);
  // The records of the pass in one read; a short file leaves the rest at the default.
  std::vector<uint8_t> bytes;
  int32_t got = 0;
  if (file >= 0 && recordSize > 0) {
    bytes.resize(size_t(count) * size_t(recordSize));
    if (!bytes.empty()) got = FileRead(file, bytes.data(), 1, int32_t(bytes.size()));
  }
  // Volume ratio: the trading minutes of the kind of the block's first stock.
  double minutesPerDay = 0, minuteIndex = 0;
  if (kind == 4 && count > 0) {
    const STKINFO *info = GetStockInfo(STKPTR(b->members[0].market, 0, b->members[0].stock));
    const TMarketData *md = MarketAt(b->members[0].market);
    if (info && md && info->kind < std::min<int>(md->m_info.kindCount, kMaxStockKinds)) {
      minutesPerDay = md->m_info.kinds[info->kind].minutesPerDay;
      minuteIndex = md->m_info.kinds[info->kind].currentTradingMinute;
    }
  }
  for (int i = 0; i < count; ++i) {
    stocks[i] = STKPTR(b->members[i].market, 0, b->members[i].stock);
    double v = fallback;
    if (recordSize == 0) {
      // Live quotes: the fall ranking of today.
      const REALQUOTE *q = QuoteOf(stocks[i].market, stocks[i].stock);
      if (q && q->last && q->refPrice) v = (double(q->last) - q->refPrice) / q->refPrice * 100;
    } else if (int64_t(i + 1) * recordSize <= got) {
      const uint8_t *r = bytes.data() + size_t(i) * size_t(recordSize);
      const double a = FloatAt(r + 3), bv = recordSize >= 11 ? FloatAt(r + 7) : 0,
                   c = recordSize >= 15 ? FloatAt(r + 11) : 0;
      switch (kind) {
        case 1:
          if (a != 0 && bv != 0) v = (a - bv) / bv * 100;
          break;
        case 6:
          if (std::trunc(bv) != 0) v = (a - bv) * 100 / bv;
          break;
        case 2:
          if (a + bv > 0) v = (a - bv) * 100 / (a + bv);
          break;
        case 3:
          if (c != 0) v = (a - bv) * 100 / c;
          break;
        case 4:
          if (bv > 0.01 && bv < 1e8) v = minutesPerDay * a / bv / (minuteIndex + 1);
          break;
        case 5: v = a * 0.0001; break;
      }
    }
    // A damaged record that gives no number ranks as one without a value.
    values[i] = std::isnan(v) ? fallback : v;
  }
  const int n = std::min(std::max(rowsPerPanel, kRankingMinRows), int(count));
  RankTopByValue(stocks, values, count, n, direction, order_);
  Rebuild(kind, panel, n);
}

void TRankingCore::Rebuild(int kind, int panel, int n) {
  EArray<ISCI> &rows = panels[panel].rows;
  rows.RemoveAll();
  for (int i = 0; i < n; ++i) {
    ISCI row{};
    const STKPTR s = stocks[i];
    if (const STKINFO *info = GetStockInfo(s)) std::snprintf(row.name, sizeof row.name, "%.*s", int(sizeof info->name), info->name);
    double price = 0;
    uint32_t priceClass = 0;
    if (!GetColumnValue(s.Word(), 6, &price)) {
      price = 0;
      priceClass = kIsciPriceNone;
    } else if (const REALQUOTE *q = QuoteOf(s.market, s.stock)) {
      priceClass = q->last > q->refPrice ? kIsciPriceUp : q->last == q->refPrice ? kIsciPriceEqual : 0;
    }
    row.price = price;
    row.flags = priceClass;
    switch (kind) {
      case 1: {
        double change = 0;
        if (!GetColumnValue(s.Word(), 11, &change)) change = 0;
        row.value = change;
        row.flags |= priceClass == kIsciPriceUp      ? kIsciValueUp
                     : priceClass == kIsciPriceEqual ? kIsciValueEqual
                     : priceClass == kIsciPriceNone  ? kIsciValueNone
                                                     : 0;
        break;
      }
      case 2:
      case 6: {
        row.value = values[i];
        const double scaled = std::trunc(values[i] * 1000);
        row.flags |= scaled > 0 ? kIsciValueUp : scaled == 0 ? kIsciValueEqual : 0;
        break;
      }
      case 3:
        row.value = values[i];
        row.flags |= kIsciValueUp;
        break;
      default:
        row.value = values[i];
        row.flags |= kIsciValueNone;
        break;
    }
    row.stock = s;
    rows.Add(row);
  }
}

STKPTR TRankingCore::Key(WORD key, int *left, int *entered) {
  if (left) *left = -1;
  if (entered) *entered = -1;
  const int R = std::max(rowsPerPanel, 1);
  int p = currentPanel;
  int s = std::max(panels[p].selected, 0);
  int np = p, ns = s;
  switch (key) {
    case VK_UP:
      if (s > 0) {
        ns = s - 1;
      } else {
        np = p <= 2 ? p + 6 : p - 3;
        ns = R - 1;
      }
      break;
    case VK_DOWN:
      if (s < R - 1) {
        ns = s + 1;
      } else {
        np = p >= 6 ? p - 6 : p + 3;
        ns = 0;
      }
      break;
    case VK_LEFT: np = p % 3 == 0 ? p + 2 : p - 1; break;
    case VK_RIGHT: np = (p + 1) % 3 == 0 ? p - 2 : p + 1; break;
    case VK_RETURN:
      if (s < panels[p].rows.GetCount()) return panels[p].rows.GetAt(s).stock;
      return STKPTR();
    default: return STKPTR();
  }
  if (np != p) {
    panels[p].selected = -1;
    if (left) *left = p;
  }
  currentPanel = np;
  panels[np].selected = ns;
  if (entered) *entered = np;
  return STKPTR();
}

int TRankingCore::RowFromY(int y, int rowHeight) const {
  if (rowHeight <= 0 || y < rowHeight) return 0;
  const int row = y / rowHeight - 1;
  return std::max(std::min(row, rowsPerPanel - 1), 0);
}

void TRankingCore::Press(int panel, int row) {
  if (panel < 0 || panel >= kRankingPanels) return;
  if (panel != currentPanel) panels[currentPanel].selected = -1;
  currentPanel = panel;
  panels[panel].selected = row;
}

STKPTR TRankingCore::SelectedStock() const {
  const Panel &p = panels[currentPanel];
  if (p.selected < 0 || p.selected >= p.rows.GetCount()) return STKPTR();
  return p.rows.GetAt(p.selected).stock;
}

// ---- InteSortChild ---------------------------------------------------------------------

InteSortChild::InteSortChild(TInteSort *owner, const char *, int index, RankingPanelMetrics *metrics)
    : m_metrics(metrics), m_owner(owner), m_index(index) {
  Create(0, WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, owner->Handle());
}

InteSortChild::~InteSortChild() = default;

int InteSortChild::RowFromY(int y) const { return m_owner->Core().RowFromY(y, m_metrics->rowHeight); }

void InteSortChild::GrowBackBuffer(HDC dc) {
  const int w = std::max<int>(m_metrics->backBufferSize & 0xFFFF, m_width);
  const int h = std::max<int>(m_metrics->backBufferSize >> 16, m_height);
  if (m_metrics->backBuffer && w == int(m_metrics->backBufferSize & 0xFFFF) &&
      h == int(m_metrics->backBufferSize >> 16))
    return;
  HBITMAP bitmap = CreateCompatibleBitmap(dc, std::max(w, 1), std::max(h, 1));
  if (!bitmap) return;
  if (m_metrics->backBuffer) DeleteObject(m_metrics->backBuffer);
  m_metrics->backBuffer = bitmap;
  m_metrics->backBufferSize = uint32_t(w & 0xFFFF) | uint32_t(h & 0xFFFF) << 16;
}

LRESULT InteSortChild::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SIZE: {
      EWnd::WindowProc(message, wParam, lParam);
      HDC dc = GetDC();
      GrowBackBuffer(dc);
      ReleaseDC(dc);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      m_owner->Activate();
      const int before = m_owner->Core().currentPanel;
      m_owner->Core().Press(m_index, RowFromY(int(int16_t(HIWORD(uint32_t(lParam)))))) ;
      if (before != m_index)
        if (InteSortChild *old = m_owner->Panel(before)) old->Redraw();
      Redraw();
      break;
    }
    case WM_LBUTTONDBLCLK:
      PostMessageA(m_owner->Handle(), WM_KEYDOWN, VK_RETURN, 0);
      break;
    default: break;
  }
  return EWnd::WindowProc(message, wParam, lParam);
}

void InteSortChild::Paint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(m_hWnd, &ps);
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int w = client.right, h = client.bottom;
  if (!m_metrics->backBuffer) GrowBackBuffer(dc);
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = mem && m_metrics->backBuffer ? SelectObject(mem, m_metrics->backBuffer) : nullptr;
  if (old) {
    PaintTo(mem);
    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
  } else {
    PaintTo(dc);
  }
  if (mem) DeleteDC(mem);
  EndPaint(m_hWnd, &ps);
  if (m_index == 2 && m_owner->m_cmdBox) m_owner->m_cmdBox->Refresh();
}

void InteSortChild::PaintTo(HDC dc) {
  RECT client;
  GetClientRect(m_hWnd, &client);
  const int w = client.right;
  const int rh = m_metrics->rowHeight;
  const COLORREF back = m_owner->Color(17), inverse = back ^ 0xFFFFFF;
  HBRUSH fill = CreateSolidBrush(back);
  FillRect(dc, &client, fill);
  DeleteObject(fill);
  HBRUSH frame = CreateSolidBrush(inverse);
  FrameRect(dc, &client, frame);
  DeleteObject(frame);
  HPEN pen = CreatePen(PS_SOLID, 1, inverse);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, 0, rh, nullptr);
  LineTo(dc, w, rh);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  HGDIOBJ oldFont = m_metrics->font ? SelectObject(dc, m_metrics->font) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, inverse);
  const TRankingCore::Panel &panel = m_owner->Core().panels[m_index];
  RECT title = {0, 0, w, rh};
  DrawTextA(dc, panel.title, -1, &title, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);

  const int nameWidth = m_metrics->nameWidth;
  const int R = w - nameWidth;
  const int priceRight = nameWidth + R * 19 / 48;
  const int rows = std::min<int>(m_metrics->rowsPerPanel, panel.rows.GetCount());
  for (int r = 0; r < rows; ++r) {
    const ISCI row = panel.rows.GetAt(r);
    const int top = rh * (r + 1) + 2, bottom = top + rh;
    RECT cell = {0, top, nameWidth, bottom};
    SetTextColor(dc, m_owner->Color(47));
    DrawTextA(dc, row.name, -1, &cell, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);

    auto fits = [dc](const char *text, int width) {
      SIZE size{};
      GetTextExtentPoint32A(dc, text, int(std::strlen(text)), &size);
      return size.cx <= width;
    };
    char text[64];
    std::snprintf(text, sizeof text, "%.2f", row.price);
    if (!fits(text, R * 19 / 48)) std::snprintf(text, sizeof text, "*");
    const int priceColor = row.flags & kIsciPriceEqual  ? 20
                           : row.flags & kIsciPriceNone ? 48
                           : row.flags & kIsciPriceUp   ? 21
                                                        : 19;
    SetTextColor(dc, m_owner->Color(priceColor));
    cell = {nameWidth, top, priceRight, bottom};
    DrawTextA(dc, text, -1, &cell, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);

    std::snprintf(text, sizeof text, kRankingPanelDefs[m_index].format, row.value);
    if (!fits(text, R * 29 / 48)) std::snprintf(text, sizeof text, "*");
    const int valueColor = row.flags & kIsciValueEqual  ? 20
                           : row.flags & kIsciValueNone ? 48
                           : row.flags & kIsciValueUp   ? 21
                                                        : 19;
    SetTextColor(dc, m_owner->Color(valueColor));
    cell = {priceRight, top, w - 4, bottom};
    DrawTextA(dc, text, -1, &cell, DT_RIGHT | DT_SINGLELINE | DT_NOPREFIX);
  }
  if (oldFont) SelectObject(dc, oldFont);
  if (panel.selected >= 0) {
    const int top = (panel.selected + 1) * rh + 2;
    RECT mark = {2, top, w - 2, top + rh - 1};
    HBRUSH b = CreateSolidBrush(m_owner->Color(26));
    FrameRect(dc, &mark, b);
    DeleteObject(b);
  }
}

// ---- TInteSort -------------------------------------------------------------------------------

void RegisterRankingView() {
  RegisterViewClass(VIEW_TYPE_RANKING,
                    [](TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                       EArray<VIEW_ATTR_13> *history, PaneNode *node, int) -> TMultiViewChild * {
                      return new TInteSort(page, record, viewData, history, node);
                    });
}

TInteSort::TInteSort(TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                     EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TChildView(page, viewData, history, node) {
  if (record)
    m_attr = *record;
  else
    InitViewAttr(VIEW_TYPE_RANKING, &m_attr);
  m_attr.viewType = VIEW_TYPE_RANKING;

  PopupMenu1 = new TPopupMenu(this);
  NISS1 = AddLinkMenuItem(PopupMenu1, this);
  PopupMenu = PopupMenu1;

  if (core_.SetBlock(m_attr.tabIds[0])) {
    for (int i = 0; i < kRankingPanels; ++i)
      panels_[i] = new InteSortChild(this, kRankingPanelDefs[i].title, i, &metrics_);
    core_.currentPanel = 0;
    core_.panels[0].selected = 0;
  }
  firstLayout_ = false;
  if (m_cmdBox) {
    m_cmdBox->UpdateColors();
    m_cmdBox->Refresh();
  }
}

TInteSort::~TInteSort() {
  for (InteSortChild *&p : panels_) {
    delete p;
    p = nullptr;
  }
  if (metrics_.font) DeleteObject(metrics_.font);
  if (metrics_.backBuffer) DeleteObject(metrics_.backBuffer);
}

COLORREF TInteSort::Color(int number) const { return ViewColor(number); }

int TInteSort::Notify(int code, uint32_t, intptr_t firstExtra, intptr_t) {
  if (!panels_[0]) return 1;
  if (code == 8 && firstExtra == 1) RequestRanking();
  if (code == 1 && int(firstExtra) != core_.blockId && TRankingCore::IsRankingBlock(int(firstExtra)))
    SetBlock(int(firstExtra));
  return 1;
}

void TInteSort::InitView() { FormResize(); }

void TInteSort::Paint() {
  RECT client;
  GetClientRect(Handle(), &client);
  HBRUSH brush = CreateSolidBrush(Color(1));
  FillRect(Canvas()->Handle(), &client, brush);
  DeleteObject(brush);
}

void TInteSort::ApplyFonts() {
  for (InteSortChild *p : panels_)
    if (p) p->Repaint();
  if (m_cmdBox) {
    m_cmdBox->UpdateColors();
    m_cmdBox->Refresh();
  }
}

void TInteSort::CollectStocks(EArray<STKMS> *stocks) {
  for (const auto &panel : core_.panels)
    for (int i = 0; i < panel.rows.GetCount(); ++i) {
      const STKPTR s = panel.rows.GetAt(i).stock;
      stocks->Add(STKMS{s.market, s.stock});
    }
}

void TInteSort::Request(int kind, int column) {
  lastKind_ = kind;
  ++requestsSent_;
  RequestSortData(uint32_t(kind), column, uint32_t(core_.blockId), nullptr, m_requestTag, 0);
}

bool TInteSort::RequestRanking() {
  if (!panels_[0] || !ViewOnline()) return false;
  int market = 0, kind = 0;
  if (!TRankingCore::IsRankingBlock(core_.blockId, &market, &kind) || !HasMarketRight(market, kind)) return false;
  Request(1, 11);
  return true;
}

bool TInteSort::SetBlock(int blockId) {
  if (!panels_[0] || !TRankingCore::IsRankingBlock(blockId) || !core_.SetBlock(blockId)) return false;
  m_attr.tabIds[0] = uint16_t(blockId);
  RequestRanking();
  return true;
}

void TInteSort::Measure() {
  HDC dc = GetDC(Handle());
  HGDIOBJ old = SelectObject(dc, metrics_.font);
  SIZE size{};
  static const char sample[] = "上证指数";
  GetTextExtentPoint32A(dc, sample, int(std::strlen(sample)), &size);
  SelectObject(dc, old);
  ReleaseDC(Handle(), dc);
  metrics_.rowHeight = size.cy + 1;
  metrics_.nameWidth = size.cx + 4;
}

void TInteSort::FormResize() {
  if (!m_layoutDone || !panels_[0]) return;
  const int W = ClientWidth(), H = ClientHeight();
  const int h = std::clamp((W / 3 - 4) / 13, 15, 25);
  if (h != metrics_.fontHeight || !metrics_.font) {
    if (metrics_.font) DeleteObject(metrics_.font);
    metrics_.font = CreateFontA(h, 0, 0, 0, 100, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "Arial");
    metrics_.fontHeight = h;
    Measure();
  }
  const int rh = std::max(metrics_.rowHeight, 1);
  const int rows = std::max((H - 3 * rh) / (3 * rh), 0);
  metrics_.rowsPerPanel = rows;
  core_.SetRowsPerPanel(rows);
  if (!firstLayout_) {
    firstLayout_ = true;
    RequestRanking();
  } else if (rows > kRankingMinRows) {
    RequestRanking();
  }
  for (int i = 0; i < kRankingPanels; ++i) {
    SetWindowPos(panels_[i]->m_hWnd, nullptr, W / 3 * (i % 3), H / 3 * (i / 3), W / 3, H / 3,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    panels_[i]->Redraw();
  }
  Invalidate();
}

void TInteSort::RedrawPanel(int i) {
  if (InteSortChild *p = Panel(i)) p->Redraw();
}

void TInteSort::OpenSelected() {
  const STKPTR stock = core_.Key(VK_RETURN);
  if (stock.IsNone()) return;
  const bool trend = RankingServices().trendChartFirst && RankingServices().trendChartFirst();
  VIEW_ATTR_13 open;
  std::memset(static_cast<void *>(&open), 0, sizeof open);
  InitViewAttr(trend ? VIEW_TYPE_INTRADAY : VIEW_TYPE_KLINE, &open);
  open.stock = stock;
  open.currentBlock = uint32_t(core_.blockId);
  PostOpenRecord(open);
}

void TInteSort::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_KEYDOWN:
      if (panels_[0]) {
        const WORD key = WORD(m.WParam);
        if (key == VK_RETURN) {
          OpenSelected();
          RedrawPanel(core_.currentPanel);
        } else if (key == VK_UP || key == VK_DOWN || key == VK_LEFT || key == VK_RIGHT) {
          int left = -1, entered = -1;
          core_.Key(key, &left, &entered);
          RedrawPanel(left);
          RedrawPanel(entered);
        }
      }
      if (m.WParam == VK_ESCAPE) PostToPage(WM_MVM_BACK);
      break;
    case WM_SORT_DATA_READY: {
      char path[MAX_PATH + 16];
      TempAnswerPath(int(m.WParam & 0xFFFF), path, sizeof path);
      const int kind = int(m.LParam);
      if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && panels_[0] && core_.LoadRankingFile(kind, path)) {
        for (int i = 0; i < kRankingPanels; ++i)
          if (kRankingPanelDefs[i].kind == kind) RedrawPanel(i);
        int next = 0, column = 0;
        if (ViewOnline() && TRankingCore::NextInChain(kind, &next, &column)) Request(next, column);
      }
      DeleteFileA(path);
      m.Result = 0;
      return;
    }
    case WM_SIZE:
      TChildView::WndProc(m);
      FormResize();
      return;
    default: break;
  }
  TChildView::WndProc(m);
}
