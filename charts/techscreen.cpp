// Putting the K-line chart on the screen and what changes with the mouse:
// the cross-hair and its labels, the rubber band, the download progress, the
// title strip's quote line and overlay link, the window legends and the bar
// value panel.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "charts/drawline.h"
#include "charts/luoli.h"
#include "charts/techform.h"
#include "core/chartgfx.h"
#include "core/datetime.h"
#include "formula/kvindex.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "platform/gbk.h"
#include "platform/gdi.h"
#include "views/reportcolumns.h"
#include "views/viewdisplay.h"

using platform::GbkCopyCut;

namespace {

bool DarkBackground() {
  const COLORREF bg = ViewColor(1);
  return 299 * GetRValue(bg) + 587 * GetGValue(bg) + 114 * GetBValue(bg) <= 127000;
}

SIZE TextSize(HDC dc, const std::string &text) {
  SIZE s{};
  GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &s);
  return s;
}

// A device context for the view's window when none is given.
class ViewDC {
 public:
  ViewDC(HWND window, HDC given) : window_(window), dc_(given) {
    if (!dc_) dc_ = own_ = GetDC(window);
  }
  ~ViewDC() {
    if (own_) ReleaseDC(window_, own_);
  }
  operator HDC() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
  HDC own_ = nullptr;
};

bool IsEmpty(const RECT &r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

const char *const kWeekdays[7] = {"日", "一", "二", "三", "四", "五", "六"};

}  // namespace

void TTechForm::UpdateScreen(bool fromBuffer) {
  if (!fromBuffer) {
    Invalidate();
    return;
  }
  if (!dib.m_hBitmap || !HandleAllocated()) return;
  if (PaintFlags & kPaintRebuild) {
    PaintFlags &= ~kPaintRebuild;
    DrawChart();
  }
  HDC dc = GetDC(Handle());
  ComposeTo(dc, true);
  ReleaseDC(Handle(), dc);
}

void TTechForm::DrawCrossLines(HDC given) {
  if (!crossHair || !PointInPlotSpan(dragX, dragY)) return;
  ViewDC dc(Handle(), given);
  const int oldRop = SetROP2(dc, R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(16));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, chartRect.left + ScaleLeft(), dragY, nullptr);
  LineTo(dc, chartRect.right - ScaleRight(), dragY);
  MoveToEx(dc, dragX, chartRect.top + 17 + 1, nullptr);
  LineTo(dc, dragX, chartRect.bottom - 16);
  SelectObject(dc, old);
  DeleteObject(pen);
  SetROP2(dc, oldRop);
}

void TTechForm::DrawCrossLabels(bool erase, HDC given) {
  if (timeCount == 0 || !barTimes) return;
  ViewDC dc(Handle(), given);
  if (erase) {
    if (IsEmpty(crossLabels[0]) && IsEmpty(crossLabels[1])) return;
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ oldSource = SelectObject(source, dib.m_hBitmap);
    const RECT &p = crossLabels[0];
    if (!IsEmpty(p)) {
      const int w = p.right - p.left, h = p.bottom - p.top;
      HDC scratch = CreateCompatibleDC(dc);
      const int sw = std::max(int(chartRect.right), 1), sh = std::max(int(chartRect.bottom), 1);
      if (!labelScratch_ || labelScratchWidth_ != sw || labelScratchHeight_ != sh) {
        if (labelScratch_) DeleteObject(labelScratch_);
        labelScratch_ = CreateCompatibleBitmap(dc, sw, sh);
        labelScratchWidth_ = sw;
        labelScratchHeight_ = sh;
      }
      HGDIOBJ oldScratch = SelectObject(scratch, labelScratch_);
      BitBlt(scratch, p.left, p.top, w, h, source, p.left, p.top, SRCCOPY);
      for (uint32_t i = 0; i < lineCount; ++i) {
        if (!lines[i]) continue;
        if (lines[i]->state == kLinePlaced) lines[i]->UpdateAndDraw(scratch, false);
        else lines[i]->Draw(scratch, false);
      }
      BitBlt(dc, p.left, p.top, w, h, scratch, p.left, p.top, SRCCOPY);
      SelectObject(scratch, oldScratch);
      DeleteDC(scratch);
    }
    const RECT &t = crossLabels[1];
    if (!IsEmpty(t)) BitBlt(dc, t.left, t.top, t.right - t.left, t.bottom - t.top, source, t.left, t.top, SRCCOPY);
    SelectObject(source, oldSource);
    DeleteDC(source);
    crossLabels[0] = crossLabels[1] = RECT{};
    return;
  }
  if (!PointInPlotSpan(dragX, dragY)) return;
  const bool dark = DarkBackground();
  const COLORREF blue = RGB(0, 97, 255);
  HBRUSH fill = CreateSolidBrush(dark ? blue : RGB(255, 255, 255));
  HBRUSH frame = CreateSolidBrush(dark ? RGB(255, 255, 255) : blue);
  HGDIOBJ oldFont = SelectObject(dc, crossLabelFont_.Get(10));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, dark ? RGB(255, 255, 255) : blue);
  auto box = [&](const RECT &r, const std::string &text) {
    FillRect(dc, &r, fill);
    FrameRect(dc, &r, frame);
    TextOutA(dc, r.left + 2, r.top + 2, text.c_str(), int(text.size()));
  };
  crossLabels[0] = crossLabels[1] = RECT{};
  for (uint32_t i = 0; i < windowCount; ++i) {
    const int T = windowRects[i].top, B = windowRects[i].bottom;
    if (!(T + 17 <= dragY && dragY < B)) continue;
    const double lo = windowRanges[i][0], hi = windowRanges[i][1];
    const int span = B - T - 17;
    double v = WindowInverted(int(i)) ? lo + (hi - lo) * (dragY - T - 17) / span : lo + (hi - lo) * (B - dragY) / span;
    int decimals = stockInfo ? stockInfo->decimals : 2;
    if (i == 0 && ConvertedPrices) {
      v *= PriceMultiplier;
      decimals = ConvertedDecimals;
    }
    char format[16], text[64];
    std::snprintf(format, sizeof format, "%%.%uf", unsigned(std::max(decimals, 0)));
    std::snprintf(text, sizeof text, format, v);
    const SIZE s = TextSize(dc, text);
    int x = windowRects[i].right - ScaleRight() - s.cx - 4;
    if (dragX >= x) x = windowRects[i].left + ScaleLeft();
    crossLabels[0] = RECT{x, dragY - s.cy - 4, x + s.cx + 4, dragY};
    box(crossLabels[0], text);
    break;
  }
  int32_t bar = cursorBar;
  if (bar == -1) {
    const int64_t c = int64_t(FirstVisibleBar()) +
                      int64_t(double(mouseX - chartRect.left - ScaleLeft()) / KLinePitch(zoomLevel));
    bar = PointInPlotSpan(mouseX, mouseY) && c >= 0 && c < int64_t(timeCount) ? int32_t(c) : -1;
  }
  if (bar >= 0 && uint32_t(bar) < timeCount) {
    uint32_t t = barTimes[bar];
    char text[64];
    const int p = m_attr.period;
    if (p == 0 || KLineDayPeriod(p)) {
      std::snprintf(text, sizeof text, "%u-%02u-%02u(%s)", PackedYear(t), PackedMonth(t), PackedDay(t),
                    kWeekdays[PackedWeekday(t) % 7]);
    } else {
      MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, stockInfo ? stockInfo->kind : 0, &t);
      std::snprintf(text, sizeof text, "%02u-%02u %02u:%02u", PackedMonth(t), PackedDay(t), PackedHour(t),
                    PackedMinute(t));
    }
    const SIZE s = TextSize(dc, text);
    const int x = std::min(dragX, int(chartRect.right - ScaleRight() - s.cx - 4));
    crossLabels[1] = RECT{x, chartRect.bottom - 16, x + s.cx + 4, chartRect.bottom - 16 + s.cy + 4};
    box(crossLabels[1], text);
  }
  SelectObject(dc, oldFont);
  DeleteObject(fill);
  DeleteObject(frame);
}

void TTechForm::DrawRubberBand(HDC given) {
  if (!rubberBand) return;
  const int x0 = rubberRect[0], y0 = rubberRect[1], x1 = rubberRect[2], y1 = rubberRect[3];
  if (x0 == x1 || y0 == y1) return;
  ViewDC dc(Handle(), given);
  const int oldRop = SetROP2(dc, R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 255, 255));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y0);
  LineTo(dc, x1, y1);
  LineTo(dc, x0, y1);
  LineTo(dc, x0, y0);
  SelectObject(dc, old);
  DeleteObject(pen);
  SetROP2(dc, oldRop);
  rubberShown = 1;
}

void TTechForm::SetLoadPercent(uint32_t percent) {
  if (percent == loadPercent) return;
  loadPercent = percent;
  if (percent != 100 && HandleAllocated()) DrawLoadProgress(nullptr);
}

void TTechForm::DrawLoadProgress(HDC given) {
  if (loadPercent == 100 || chartRect.right - chartRect.left < 4) return;
  ViewDC dc(Handle(), given);
  const uint32_t percent = std::min<uint32_t>(loadPercent, 100);
  RECT bar{chartRect.left, chartRect.top,
           chartRect.left + int((chartRect.right - chartRect.left) * int64_t(percent) / 100),
           chartRect.top + kKLineTitleHeight};
  HBRUSH brush = CreateSolidBrush(ViewColor(33));
  FillRect(dc, &bar, brush);
  DeleteObject(brush);
  HFONT font = CreateViewFont(ViewFont(16), 0, false);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ViewColor(1));
  char text[16];
  std::snprintf(text, sizeof text, "%u%%", percent);
  TextOutA(dc, chartRect.left + 2, chartRect.top + 3, text, int(std::strlen(text)));
  SelectObject(dc, old);
  DeleteObject(font);
}

void TTechForm::DrawQuoteLine(HDC given) {
  if (loadPercent != 100 || Panel1->Visible() || !stockInfo) return;
  const TMarketData *m = MarketAt(m_attr.stock.market);
  if (!m || !m->m_quotes || m_attr.stock.stock >= m->m_loadedCount) return;
  const REALQUOTE &q = m->m_quotes[m_attr.stock.stock];
  ViewDC dc(Handle(), given);
  const int x0 = chartRect.left + 180;
  RECT strip{x0, 3, ClientWidth() - 1, 18};
  HBRUSH brush = CreateSolidBrush(ViewColor(1));
  FillRect(dc, &strip, brush);
  DeleteObject(brush);
  HFONT font = CreateViewFont(ViewFont(16), 0, false);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const double div = double(stockInfo->PriceDivisor());
  const int d = stockInfo->decimals;
  int x = x0;
  auto put = [&](const std::string &text, COLORREF colour, int gap) {
    SetTextColor(dc, colour);
    TextOutA(dc, x, 3, text.c_str(), int(text.size()));
    x += TextSize(dc, text).cx + gap;
  };
  auto price = [&](uint32_t v) {
    if (!v) return std::string("---");
    char f[16], t[48];
    std::snprintf(f, sizeof f, "%%.%df", d);
    std::snprintf(t, sizeof t, f, v / div);
    return std::string(t);
  };
  auto colour = [&](uint32_t v) { return ViewColor(PriceColorIndex(int32_t(v), int32_t(q.prevClose)) + 1); };
  int hour = int((q.time >> 12) & 0x1F);
  ShiftHourByZone(&TimeZoneTable, m_attr.stock.market, stockInfo->kind, &hour);
  char head[64];
  std::snprintf(head, sizeof head, "[%02d:%02d:%02d] 最新:", hour, int((q.time >> 6) & 0x3F), int(q.time & 0x3F));
  put(head, ViewColor(30), 0);
  std::string last = "---";
  if (q.last && q.prevClose) {
    char f[32], t[64];
    std::snprintf(f, sizeof f, "%%.%df %%+.2f%%%%", d);
    std::snprintf(t, sizeof t, f, q.last / div, (double(q.last) - q.prevClose) * 100.0 / q.prevClose);
    last = t;
  }
  put(last, colour(q.last), 8);
  put("今开:", ViewColor(30), 0);
  put(price(q.open), colour(q.open), 8);
  put("最高:", ViewColor(30), 0);
  put(price(q.high), colour(q.high), 8);
  put("最低:", ViewColor(30), 0);
  put(price(q.low), colour(q.low), 8);
  put(m->m_info.type == 2 ? "昨结:" : "昨收:", ViewColor(30), 0);
  put(price(q.prevClose), ViewColor(20), 0);
  SelectObject(dc, old);
  DeleteObject(font);
  titleWidth = x - chartRect.left - 180;
  if (overlayLinkRect.left < x) overlayLinkRect = RECT{};
  else DrawOverlayLink(dc);
}

void TTechForm::DrawOverlayLink(HDC given) {
  if (SpreadAnalysis()) {
    overlayLinkRect = RECT{};
    return;
  }
  const bool panelShown = Panel1->Visible() && !(m_attr.displayFlags & 4);
  const int edge = chartRect.right - (panelShown ? 165 : 185);
  if (chartRect.left + titleWidth + 180 > edge) {
    overlayLinkRect = RECT{};
    return;
  }
  ViewDC dc(Handle(), given);
  VIEWFONTDEF entry = ViewFont(16);
  entry.style |= 4;
  HFONT font = CreateViewFont(entry, 0, false);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  const bool hover = mouseX >= overlayLinkRect.left && mouseX < overlayLinkRect.right &&
                     mouseY >= overlayLinkRect.top && mouseY < overlayLinkRect.bottom;
  SetTextColor(dc, hover ? RGB(255, 150, 63) : DarkBackground() ? RGB(127, 191, 255) : RGB(11, 95, 135));
  const std::string text = "商品叠加";
  TextOutA(dc, edge, 3, text.c_str(), int(text.size()));
  const SIZE s = TextSize(dc, text);
  overlayLinkRect = RECT{edge, 3, edge + s.cx, 3 + s.cy};
  SelectObject(dc, old);
  DeleteObject(font);
}

void TTechForm::LegendOfWindow(HDC dc, int i, int bar, const RECT &box) {
  int x = box.left;
  auto put = [&](const std::string &text, COLORREF colour) {
    if (x >= box.right) return;
    SetTextColor(dc, colour);
    TextOutA(dc, x, box.top, text.c_str(), int(text.size()));
    x += TextSize(dc, text).cx;
  };
  const double factor = i == 0 && ConvertedPrices ? PriceMultiplier : 1.0;
  auto title = [&](CKvIndex *f) {
    std::string t = f->name;
    if (f->paramCount) {
      t += "(";
      for (uint32_t k = 0; k < f->paramCount && k < 16; ++k) {
        char v[32];
        std::snprintf(v, sizeof v, "%.0f,", f->params[k].value);
        t += v;
      }
      t.back() = ')';
    }
    return t;
  };
  if (i == 0 && overlays && !SpreadAnalysis()) {
    if (CKvIndex *f = windows[0]) put(title(f), ViewColor(13));
    put("  叠加 ", ViewColor(13));
    for (COverlappedStock *n = overlays; n; n = n->next) {
      const int start = x;
      char name[16] = {};
      if (n->info) GbkCopyCut(n->info->name, sizeof n->info->name, name, sizeof name);
      COLORREF colour = ViewColor(13);
      if (n->indicator && !n->indicator->variables.empty() && n->indicator->variables[0])
        colour = n->indicator->variables[0]->Color();
      put(name, colour);
      x += 2;
      put("价差:", ViewColor(13));
      x += 2;
      const int32_t at = crossHair ? bar : int32_t(timeCount) - 1;
      std::string diff = "---";
      const CDataAgent *a = DataAgentAt(n->agent);
      if (at >= 0 && uint32_t(at) < timeCount && a && a->Bars() && stockInfo && n->info) {
        const int mine = FindBarByTime(bars, int(barCount), barTimes[at]);
        const int theirs = FindBarByTime(a->Bars(), a->itemCount, barTimes[at]);
        if (mine >= 0 && theirs >= 0) {
          const double d = double(bars[mine].close) / stockInfo->PriceDivisor() -
                           double(a->Bars()[theirs].close) / n->info->PriceDivisor();
          char f[16], t[48];
          std::snprintf(f, sizeof f, "%%.%df", int(stockInfo->decimals));
          std::snprintf(t, sizeof t, f, d);
          diff = t;
          put(diff, d > 0 ? ViewColor(21) : ViewColor(19));
          diff.clear();
        }
      }
      if (!diff.empty()) put(diff, ViewColor(19));
      n->labelRect = RECT{start, box.top, x, box.bottom};
      x += 6;
    }
    return;
  }
  for (CKvIndex *f = windows[i]; f; f = f->next) {
    if (i == 0 && SpreadAnalysis() && f == windows[0]) continue;
    if (x >= box.right) {
      f->legendRect = RECT{};
      continue;
    }
    const int start = x;
    if (!KLineLegendHasParamName(*f)) {
      put(title(f), ViewColor(13));
      x += 5;
    }
    for (const auto &v : f->variables) {
      if (!v || !(v->flags & kVariableOutput) || x >= box.right) continue;
      if (v->style == kStyleKStick || v->style == kStyleBarStick || v->style == kStyleTowerStick ||
          v->style == kStylePointFigure || v->style > kStyleInternal)
        continue;
      if ((v->flags & kVariableColorSlot) && v->colorSlot == IndexColorTable()) continue;
      double value = 0;
      if (bar >= 0 && uint32_t(bar) < f->calcCount) value = v->GetValue(uint32_t(bar)) * factor;
      const int decimals = i == 0 && ConvertedPrices ? ConvertedDecimals : v->precision;
      char format[32], text[96];
      if (v->name[0]) {
        std::snprintf(format, sizeof format, "%%s:%%.%if ", std::clamp(decimals, 0, 10));
        std::snprintf(text, sizeof text, format, KLineLegendName(*f, v->name).c_str(), value);
      } else {
        std::snprintf(format, sizeof format, "%%.%if ", std::clamp(decimals, 0, 10));
        std::snprintf(text, sizeof text, format, value);
      }
      const bool own = v->style == kStyleLine || v->style == kStyleCircleDot || v->style == kStyleInternal;
      put(text, own ? v->Color() : ViewColor(13));
    }
    f->legendRect = RECT{start, box.top, x, box.bottom};
    x += 4;
  }
}

void TTechForm::DrawLegends(HDC given, bool eraseCross) {
  ViewDC dc(Handle(), given);
  if (eraseCross) {
    DrawCrossLabels(true, dc);
    DrawCrossLines(dc);
  }
  // The legend bar: the cursor bar, else the last one. With no time axis
  // no bar is read.
  int32_t position = cursorBar;
  if (position == -1 || uint32_t(position) >= timeCount) position = int32_t(timeCount) - 1;
  const int bar = position >= 0 && barTimes ? FindBarByTime(bars, int(barCount), barTimes[position]) : -1;
  HGDIOBJ old = SelectObject(dc, legendFont_.Get(10));
  SetBkMode(dc, TRANSPARENT);
  HBRUSH back = CreateSolidBrush(ViewColor(1));
  for (uint32_t i = 0; i < windowCount; ++i) {
    const RECT &w = windowRects[i];
    const RECT box{w.left + ScaleLeft() + 2, w.top + 3, w.right - ScaleRight() - 1, w.top + 17};
    FillRect(dc, &box, back);
    LegendOfWindow(dc, int(i), bar, box);
  }
  DeleteObject(back);
  SelectObject(dc, old);
  if (eraseCross) {
    DrawCrossLabels(false, dc);
    DrawCrossLines(dc);
  }
}

void TTechForm::DrawLuoliAid(HDC given) {
  if (!luoliShown || barCount == 0 || !barTimes) return;
  const uint32_t at = cursorBar >= 0 && uint32_t(cursorBar) < timeCount ? uint32_t(cursorBar) : std::min(barCount, timeCount) - 1;
  const uint32_t t = barTimes[at];
  ViewDC dc(Handle(), given);
  RECT covered{};
  DrawLuoliTable(&covered, dc, windowRects[0].left + ScaleLeft(), windowRects[0].top + 17,
                 double(PackedYear(t) * 10000 + PackedMonth(t) * 100 + PackedDay(t)));
}

void TTechForm::DrawDragLine(HDC given) {
  if (!splitDrag || dragX == -1 || dragY == -1) return;
  ViewDC dc(Handle(), given);
  const int oldRop = SetROP2(dc, R2_XORPEN);
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(16));
  HGDIOBJ old = SelectObject(dc, pen);
  MoveToEx(dc, chartRect.left + ScaleLeft(), dragY, nullptr);
  LineTo(dc, chartRect.right - ScaleRight(), dragY);
  SelectObject(dc, old);
  DeleteObject(pen);
  SetROP2(dc, oldRop);
}

void TTechForm::UpdateBarPanel() {
  if (!Panel2->Visible()) return;
  const TMarketData *m = MarketAt(m_attr.stock.market);
  const int type = m ? m->m_info.type : 0;
  PanelLabels[9]->SetCaption(type == 2 || type == 7 ? "持    仓" : type == 8 ? "订 货 量" : "成交金额");
  const bool settle = type == 2 && m_attr.period == 8;
  PanelLabels[10]->SetVisible(settle);
  PanelLabels[20]->SetVisible(settle);
  const int b = cursorBar >= 0 && uint32_t(cursorBar) < timeCount && barTimes
                    ? FindBarByTime(bars, int(barCount), barTimes[cursorBar])
                    : -1;
  if (b < 0 || !stockInfo) {
    for (int k = 11; k <= 20; ++k) PanelLabels[k]->SetCaption("------");
    return;
  }
  const KLINEBAR &k = bars[b];
  const double div = double(stockInfo->PriceDivisor());
  double previous = 0;
  if (b > 0)
    previous = (type == 2 || type == 8) && m_attr.period == 8 && bars[b - 1].settlement ? bars[b - 1].settlement
                                                                                         : bars[b - 1].close;
  const double f = ConvertedPrices ? PriceMultiplier : 1.0;
  const int d = ConvertedPrices ? ConvertedDecimals : stockInfo->decimals;
  auto price = [&](double v, bool sign) {
    char format[16], text[48];
    std::snprintf(format, sizeof format, sign ? "%%+.%df" : "%%.%df", d);
    std::snprintf(text, sizeof text, format, v / div * f);
    return std::string(text);
  };
  char text[64];
  const uint32_t t = k.time;
  if (KLineDayPeriod(m_attr.period)) std::snprintf(text, sizeof text, "%04u%02u%02u", PackedYear(t), PackedMonth(t), PackedDay(t));
  else {
    uint32_t l = t;
    MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, stockInfo->kind, &l);
    std::snprintf(text, sizeof text, "%02u%02u%02u%02u", PackedMonth(l), PackedDay(l), PackedHour(l), PackedMinute(l));
  }
  PanelLabels[11]->SetCaption(text);
  PanelLabels[12]->SetCaption(price(double(k.close) - previous, true));
  std::snprintf(text, sizeof text, "%+.2f%%", previous ? (double(k.close) - previous) * 100.0 / previous : 0.0);
  PanelLabels[13]->SetCaption(text);
  PanelLabels[14]->SetCaption(price(k.close, false));
  PanelLabels[15]->SetCaption(price(k.open, false));
  PanelLabels[16]->SetCaption(price(k.high, false));
  PanelLabels[17]->SetCaption(price(k.low, false));
  std::snprintf(text, sizeof text, "%.0f", double(k.volume));
  PanelLabels[18]->SetCaption(text);
  const double amount = k.amount;
  if (type == 2 || type == 7 || type == 8) std::snprintf(text, sizeof text, "%.0f", amount);
  else if (amount >= 1e12) std::snprintf(text, sizeof text, "%.2f万亿", amount / 1e12);
  else if (amount >= 1e8) std::snprintf(text, sizeof text, "%.2f亿", amount / 1e8);
  else if (amount >= 1e4) std::snprintf(text, sizeof text, "%.2f万", amount / 1e4);
  else std::snprintf(text, sizeof text, "%8.2f", amount);
  PanelLabels[19]->SetCaption(text);
  PanelLabels[20]->SetCaption(type == 2 ? price(k.settlement, false) : std::string("------"));
}
