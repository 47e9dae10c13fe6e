// The K-line view's mouse: window activation, formula and overlay selection,
// border and time-axis drags, placing and moving drawn lines, the rubber
// band ending in interval zoom or interval statistics, the overlay label's
// menu, double clicks, the hover cursor and the cross-hair.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>

#include "charts/drawline.h"
#include "charts/linetool.h"
#include "charts/techform.h"
#include "core/chartgfx.h"
#include "formula/indexpaint.h"
#include "formula/kvindex.h"
#include "core/etooltip.h"
#include "market/barseries.h"
#include "market/calendar.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/gdi.h"
#include "platform/menu.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"
#include "views/infolink.h"
#include "views/mvmain.h"
#include "views/viewhost.h"

namespace {

bool Inside(const RECT &r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

// The series of a data agent (empty when there is none).
void AgentSeries(int32_t agent, const KLINEBAR **bars, uint32_t *count) {
  *bars = nullptr;
  *count = 0;
  const CDataAgent *a = agent >= 0 ? DataAgentAt(agent) : nullptr;
  if (!a || !a->Bars()) return;
  *bars = a->Bars();
  *count = uint32_t(std::max(a->itemCount, 0));
}

// The one statistics dialog of the program.
bool &ZoneStatOpen() {
  static bool open = false;
  return open;
}

TInfoLinkDlg *&MarkerDialog() {
  static TInfoLinkDlg *dialog = nullptr;
  return dialog;
}

}  // namespace

std::function<void(const KLineZoneStatRequest &)> &KLineZoneStatDialog() {
  static std::function<void(const KLineZoneStatRequest &)> dialog;
  return dialog;
}

bool KLineZoneStatShowing() { return ZoneStatOpen(); }

// ---- Helpers -----------------------------------------------------------------------------------

int TTechForm::ZoomForBars(double w, double n) {
  if (n <= 0) return kKLineMaxZoom;
  const double p = w / n;
  for (int z = kKLineMaxZoom; z >= 0; --z)
    if (KLinePitch(z) <= p) return z;
  return 0;
}

void TTechForm::RecordWindowHeights() {
  double sum = 0;
  for (uint32_t i = 0; i < windowCount; ++i) sum += windowRects[i].bottom - windowRects[i].top;
  if (sum <= 0) return;
  for (uint32_t i = 0; i < windowCount; ++i) heights[i] = (windowRects[i].bottom - windowRects[i].top) / sum;
}

void TTechForm::RelayoutWindows() {
  LayoutRects();
  FitBitmap();
  Repaint();
}

void TTechForm::SwitchCrossHairOff(bool hidePanel) {
  if (crossHair) {
    HDC dc = GetDC(Handle());
    DrawCrossLines(dc);
    crossHair = 0;
    cursorBar = -1;
    DrawLegends(dc, true);
    ReleaseDC(Handle(), dc);
  }
  if (hidePanel) Panel2->Hide();
}

void TTechForm::SetZoomLevel(uint32_t level) {
  if (level > uint32_t(kKLineMaxZoom) || int32_t(level) == zoomLevel) return;
  zoomLevel = int32_t(level);
  Repaint();
}

// ---- Mouse down --------------------------------------------------------------------------------

void TTechForm::FormMouseDown(TObject *, TMouseButton button, TShiftState, int x, int y) {
  if (DrawGrid1->Visible()) return;
  Activate();
  if (button != mbLeft) return;
  const int sL = ScaleLeft(), sR = ScaleRight();
  if (Inside(overlayLinkRect, x, y)) {
    ShowOverlayMenu();
    return;
  }
  if (timeCount > 0 && y >= chartRect.bottom - 16 && y < chartRect.bottom && x >= chartRect.left + sL &&
      x < chartRect.right - sR) {
    dragX = x;
    dragY = y;
    axisDrag = 1;
    return;
  }
  int i = -1;
  for (uint32_t k = 0; k < windowCount; ++k)
    if (Inside(windowRects[k], x, y)) {
      i = int(k);
      break;
    }
  if (i < 0) return;
  const RECT &w = windowRects[i];
  const bool plotColumns = x >= w.left + sL && x <= w.right - sR;
  const bool upperBand = i > 0 && y < w.top + 2;
  const bool lowerBand = i < int(windowCount) - 1 && y >= w.bottom - 1;
  if (plotColumns && (upperBand || lowerBand)) {
    SwitchCrossHairOff(false);  // Panel2 stays
    const int k = y < w.top + 4 ? i - 1 : i;
    const int low = windowRects[k].top + 32;
    const int high = std::max(low, int(windowRects[k + 1].bottom - 32));
    ClipCursorXY(w.left + sL, low, w.right - sR, high);
    dragX = x;
    dragY = std::clamp(y, low, high);
    splitDrag = k + 1;
    DrawDragLine(nullptr);
    return;
  }
  TLineToolBox *palette = MainFrameHost()->LinePalette();
  const int tool = MainFrameHost()->LineToolCode();
  placingType = palette && tool != -1 && tool != kToolDelete && tool != kToolDeleteAll && tool != kToolSpiral
                    ? tool
                    : -1;
  // Editing drawn lines.
  if (placingType == -1 && lineCount > 0) {
    if (lineEditState == 0) {
      for (uint32_t j = 0; j < lineCount; ++j) {
        if (!lines[j]) continue;
        const int hit = lines[j]->HitTest(POINT{x, y});
        if (hit == -1) continue;
        editLine = j;
        if (tool == kToolDelete) {
          DeleteLineAt(j);
          SaveLines();
          if (palette) palette->ReleaseToolButton();
          MainFrameHost()->SetLineToolCode(-1);
          UpdateScreen(true);
          cursorMode = 0;
          return;
        }
        if (Panel2->Visible()) SwitchCrossHairOff(true);
        cursorMode = hit == int(kLineBody) ? 3 : 6;
        lines[j]->activePart = uint32_t(hit);
        HDC dc = GetDC(Handle());
        lines[j]->OnClick(x, y, dc);
        ReleaseDC(Handle(), dc);
        lineEditState = 2;
        return;
      }
    } else if (lineEditState == 2 && editLine < lineCount && lines[editLine]) {
      TLine *l = lines[editLine];
      HDC dc = GetDC(Handle());
      l->OnClick(x, y, dc);
      ReleaseDC(Handle(), dc);
      if (l->state == kLinePlaced) {
        SaveLines();
        editLine = lineCount;
        lineEditState = 0;
      }
      cursorMode = 2;
      UpdateScreen(true);
      return;
    }
  }
  // Placing a new line.
  if (placingType != -1 && (lineCount < uint32_t(kMaxViewLines) || lineEditState == 1)) {
    if (placingType == 13 || placingType == 14) {
      const char *refusal = nullptr;
      if (i != 0)
        refusal = "线性回归带和回归通道只能在主图上绘制。  ";
      else if (overlays || (strcasecmp(windowNames[0], "K") != 0 && strcasecmp(windowNames[0], "BAR") != 0 &&
                            strcasecmp(windowNames[0], "TWR") != 0))
        refusal = "线性回归带和回归通道只能在非商品叠加状态下的 K 线、BAR 线和宝塔线上绘制。  ";
      if (refusal) {
        MessageBoxA(Handle(), refusal, "提示", MB_ICONINFORMATION | MB_TOPMOST);
        return;
      }
    }
    if (lineEditState != 1) editLine = lineCount;
    if (editLine >= uint32_t(kMaxViewLines)) return;
    if (!lines[editLine]) {
      lines[editLine] = TLine::CreateByType(placingType);
      if (lines[editLine]) ++lineCount;
    }
    TLine *l = lines[editLine];
    if (!l) return;
    MapLoadedLine(l, i);
    if (placingType == 1 || placingType == 2)
      if (l->labelCount > 2) l->labels[2].x = l->labels[2].y = -1;
    LINEPOINT p{};
    p.x = x;
    p.y = y;
    const bool outside = l->ClampToChart(p, false);
    const int t = placingType;
    if (outside && t != 1 && t != 2 && t != 3 && t != 9 && t != 12) return;
    HDC dc = GetDC(Handle());
    const int result = l->OnClick(x, y, dc);
    ReleaseDC(Handle(), dc);
    if (result == 0) {
      DeleteLineAt(editLine);
      cursorMode = 0;
      if (palette) palette->ReleaseToolButton();
      MainFrameHost()->SetLineToolCode(-1);
      lineEditState = 0;
      if (HandleAllocated()) SetFocus();
      return;
    }
    lineEditState = 1;
    if (l->state == kLinePlaced) {
      if (palette) palette->ReleaseToolButton();
      MainFrameHost()->SetLineToolCode(-1);
      cursorMode = 0;
      SaveLines();
      editLine = lineCount;
      lineEditState = 0;
    } else {
      cursorMode = 1;
    }
    return;
  }
  // Window activation (window 0 never by a click).
  const bool inScale = sL ? x < w.left + sL : (sR ? x > w.right - sR : false);
  if (i > 0 && uint32_t(i) != activeWindow) {
    activeWindow = uint32_t(i);
    UpdateScreen(true);
    if (inScale) return;
  }
  // Selection.
  bool changed = false;
  auto clear = [&changed](CKvIndex *f) {
    for (; f; f = f->next)
      if (f->selected) {
        f->selected = 0;
        changed = true;
      }
  };
  if (!SpreadAnalysis())
    for (COverlappedStock *n = overlays; n; n = n->next) clear(n->indicator);
  for (uint32_t k = 0; k < windowCount; ++k) clear(windows[k]);
  if (!inScale && plotColumns) {
    const bool headOnly = i == 0 && overlays;
    if (y < w.top + 17) {
      bool found = false;
      if (i == 0 && SpreadAnalysis()) {
        if (Inside(overlays->labelRect, x, y) && windows[0]) {
          windows[0]->selected = 1;
          found = changed = true;
        }
      } else if (i == 0 && overlays) {
        for (COverlappedStock *n = overlays; n && !found; n = n->next)
          if (n->indicator && Inside(n->labelRect, x, y)) {
            n->indicator->selected = 1;
            found = changed = true;
          }
      }
      if (!found)
        for (CKvIndex *f = windows[i]; f; f = headOnly ? nullptr : f->next)
          if (Inside(f->legendRect, x, y)) {
            f->selected = 1;
            changed = true;
            break;
          }
    } else {
      if (barTimes && timeCount > 0) {
        const RECT plot{w.left + sL, w.top, w.right - sR, w.bottom - 3};
        const double width = KLineBarWidth(zoomLevel), gap = KLineBarGap(zoomLevel);
        IndexWindow view;
        view.first = FirstVisibleBar();
        view.count = FittingColumns();
        view.chartTimes = barTimes;
        view.chartTimeCount = timeCount;
        bool hit = false;
        if (i == 0 && overlays && !SpreadAnalysis()) {
          for (COverlappedStock *n = overlays; n && !hit; n = n->next) {
            if (!n->indicator) continue;
            AgentSeries(n->agent, &view.bars, &view.barCount);
            if (n->indicator->HitTest(POINT{x, y}, plot, view, width, gap, n->low, n->high, N37->Checked ? 1 : 0)) {
              n->indicator->selected = 1;
              hit = changed = true;
            }
          }
        }
        if (!hit) {
          view.bars = bars;
          view.barCount = barCount;
          if (i == 0 && SpreadAnalysis()) AgentSeries(overlays->agent, &view.bars, &view.barCount);
          const uint8_t inverted = WindowInverted(i) ? 1 : 0;
          for (CKvIndex *f = windows[i]; f; f = headOnly ? nullptr : f->next)
            if (f->HitTest(POINT{x, y}, plot, view, width, gap, windowRanges[i][0], windowRanges[i][1], inverted)) {
              f->selected = 1;
              changed = true;
              break;
            }
        }
      }
      const RECT plot{w.left + sL, w.top + 17, w.right - sR, w.bottom - 3};
      ClipCursorXY(plot.left, plot.top, plot.right, plot.bottom);
      rubberRect[0] = rubberRect[2] = x;
      rubberRect[1] = rubberRect[3] = y;
      rubberBand = 1;
      rubberShown = 0;
    }
  }
  if (changed) Repaint();
}

// ---- Mouse move --------------------------------------------------------------------------------

void TTechForm::FormMouseMove(TObject *sender, TShiftState, int x, int y) {
  if (!leaveTracking || !hoverTracking) {
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof track;
    track.hwndTrack = Handle();
    track.dwHoverTime = HOVER_DEFAULT;
    track.dwFlags = leaveTracking ? TME_HOVER : TME_HOVER | TME_LEAVE;
    leaveTracking = hoverTracking = 1;
    TrackMouseEvent(&track);
  }
  EToolTip *tip = MainFrameHost()->SharedToolTip();
  if (DrawGrid1->Visible()) {
    if (tipX != -1 && tip) tip->Hide();
    tipX = tipY = -1;
    return;
  }
  if (tipX != -1 && (std::abs(x - tipX) > 3 || std::abs(y - tipY) > 3)) {
    if (tip) tip->Hide();
    tipX = tipY = -1;
  }
  mouseX = x;
  mouseY = y;
  const double pitch = KLinePitch(zoomLevel);
  if (splitDrag) {
    const TRect *clip = CursorClip();
    if (clip) {
      POINT a{clip->Left, clip->Top}, b{clip->Right, clip->Bottom};
      ::ScreenToClient(Handle(), &a);
      ::ScreenToClient(Handle(), &b);
      y = std::clamp(y, int(a.y), int(std::max(a.y, b.y)));
    }
    DrawDragLine(nullptr);
    dragX = x;
    dragY = y;
    DrawDragLine(nullptr);
    return;
  }
  if (axisDrag) {
    if (timeCount == 0) return;
    const int d = x - dragX;
    if (std::abs(d) < pitch) return;
    const int n = int(double(d) / pitch);
    if (firstBar == -1) {
      const uint32_t s = AutoStart();
      if (n > 0 && s > 0) {
        firstBar = int32_t(s);
        if (s <= uint32_t(n)) {
          LoadSeries(false, false, 1);
          RecalcIndicators(nullptr, false);
        }
        if (firstBar != -1 && uint32_t(firstBar) >= timeCount) firstBar = -1;
        Repaint();
      }
    } else if (n > 0) {
      if (firstBar != 0) {
        firstBar = std::max(firstBar - n, 0);
        Repaint();
      }
    } else {
      const int64_t moved = int64_t(firstBar) - n;
      firstBar = moved >= int64_t(AutoStart()) ? -1 : int32_t(moved);
      Repaint();
    }
    const int advance = int(n * pitch);
    dragX = advance ? dragX + advance : x;
    return;
  }
  if (rubberBand) {
    const TRect *clip = CursorClip();
    if (clip) {
      POINT a{clip->Left, clip->Top}, b{clip->Right, clip->Bottom};
      ::ScreenToClient(Handle(), &a);
      ::ScreenToClient(Handle(), &b);
      x = std::clamp(x, int(a.x), int(std::max(a.x, b.x)));
      y = std::clamp(y, int(a.y), int(std::max(a.y, b.y)));
    }
    HDC dc = GetDC(Handle());
    DrawRubberBand(dc);
    rubberRect[2] = x;
    rubberRect[3] = y;
    DrawRubberBand(dc);
    ReleaseDC(Handle(), dc);
    return;
  }
  if (lineEditState != 0 && editLine < lineCount && lines[editLine]) {
    TLine *l = lines[editLine];
    // The object stays inside its plot: the point is held to the rectangle
    // the grab point allows.
    RECT r = l->map.rect;
    if (lineEditState == 2 && l->moveMode == kMoveWhole && l->anchorCount > 0) {
      const int t = l->type;
      const bool onePoint = t == 10 || t == 15 || t == 16 || t == 17 || (t >= 20 && t <= 27);
      if (onePoint) {
        const LINEPOINT &a = l->anchors[0];
        r.left += l->grabX - a.x;
        if (a.y < l->grabY) r.top += l->grabY - a.y;
        else r.bottom -= a.y - l->grabY;
      } else {
        int minX = l->anchors[0].x, maxX = minX, minY = l->anchors[0].y, maxY = minY;
        for (int k = 1; k < l->anchorCount; ++k) {
          minX = std::min(minX, int(l->anchors[k].x));
          maxX = std::max(maxX, int(l->anchors[k].x));
          minY = std::min(minY, int(l->anchors[k].y));
          maxY = std::max(maxY, int(l->anchors[k].y));
        }
        if (l->grabX < maxX) r.right -= maxX - l->grabX;
        if (l->grabX > minX) r.left += l->grabX - minX;
        if (l->grabY < maxY) r.bottom -= maxY - l->grabY;
        if (l->grabY > minY) r.top += l->grabY - minY;
      }
    }
    x = std::clamp(x, int(r.left), int(std::max(r.left, r.right)));
    y = std::clamp(y, int(r.top), int(std::max(r.top, r.bottom)));
    HDC dc = GetDC(Handle());
    const int t = l->type;
    if (t == 5 || t == 6 || t == 10 || t == 29) {
      if (l->state == kLinePlacing) {
        l->OnMouseMove(x, y, dc);
      } else {
        if (l->state == kLineMoving) {
          if (l->moveMode == kMoveWhole) {
            l->MoveBy(x, y);
          } else if (l->moveMode == kMoveAnchor && l->activePart < l->anchorCount) {
            LINEPOINT &a = l->anchors[l->activePart];
            a.mark = 2;
            a.x = x;
            a.y = y;
          }
        }
        if (l->anchorCount >= 2) {
          if (t == 5) l->ComputeGoldenLevels(l->anchors[0], l->anchors[1]);
          else if (t == 6) l->ComputePercentLevels(l->anchors[0], l->anchors[1]);
          else if (t == 29) l->ComputeComplexPercentLevels(l->anchors[0], l->anchors[1]);
        }
        ReleaseDC(Handle(), dc);
        dc = nullptr;
        UpdateScreen(true);
      }
    } else if (t >= 15 && t <= 23) {
      l->MoveBy(x, y);
      ReleaseDC(Handle(), dc);
      dc = nullptr;
      UpdateScreen(true);
    } else {
      l->OnMouseMove(x, y, dc);
    }
    if (dc) ReleaseDC(Handle(), dc);
    return;
  }
  // Hover.
  if (sender) cursorMode = 0;
  const int sL = ScaleLeft(), sR = ScaleRight();
  if (y >= chartRect.bottom - 16 && y < chartRect.bottom && x >= chartRect.left + sL && x < chartRect.right - sR) {
    cursorMode = 7;
  } else {
    for (uint32_t k = 0; k < windowCount; ++k) {
      const RECT &w = windowRects[k];
      if (!Inside(w, x, y)) continue;
      const bool band = (k > 0 && y < w.top + 2) || (k + 1 < windowCount && y >= w.bottom - 1);
      if (band && x >= w.left + sL && x <= w.right - sR) cursorMode = 4;
      break;
    }
  }
  if (cursorMode == 0) {
    const int tool = MainFrameHost()->LineToolCode();
    if (MainFrameHost()->LinePalette() && tool != -1 && tool != kToolDelete) {
      cursorMode = 1;
    } else {
      for (uint32_t k = 0; k < lineCount; ++k) {
        TLine *l = lines[k];
        if (!l) continue;
        const int hit = l->HitTest(POINT{x, y});
        if (hit == -1) {
          if (l->showHandles) {
            l->showHandles = 0;
            UpdateScreen(true);
          }
          continue;
        }
        if (!l->showHandles) {
          l->showHandles = 1;
          UpdateScreen(true);
        }
        cursorMode = hit != int(kLineBody) ? 6 : (l->state == kLineMoving ? 3 : 2);
        if (tool == kToolDelete) cursorMode = 5;
        break;
      }
    }
  }
  HDC dc = GetDC(Handle());
  DrawLuoliAid(dc);
  if (timeCount > 0 && crossHair) {
    const uint32_t c = ColumnAt(x);
    const int32_t bar = c < timeCount ? int32_t(c) : -1;
    if (bar != cursorBar) {
      cursorBar = bar;
      DrawLegends(dc, false);
    }
  }
  if (x != dragX || y != dragY) {
    DrawCrossLabels(true, dc);
    if (crossHair) DrawCrossLines(dc);
    dragX = x;
    dragY = y;
    DrawCrossLabels(false, dc);
    DrawCrossLines(dc);
    ReleaseDC(Handle(), dc);
    dc = nullptr;
    UpdateBarPanel();
  }
  if (!dc) dc = GetDC(Handle());
  DrawOverlayLink(dc);
  ReleaseDC(Handle(), dc);
}

// ---- Mouse up ----------------------------------------------------------------------------------

void TTechForm::FormMouseUp(TObject *, TMouseButton, TShiftState, int x, int y) {
  if (DrawGrid1->Visible()) return;
  if (splitDrag) {
    ClipCursorToRect(nullptr);
    DrawDragLine(nullptr);
    const int k = splitDrag;
    const int low = windowRects[k - 1].top + 32;
    const int high = std::max(low, int(windowRects[k].bottom - 32));
    y = std::clamp(y, low, high);
    windowRects[k - 1].bottom = y;
    windowRects[k].top = y;
    RecordWindowHeights();
    splitDrag = 0;
    dragX = dragY = -1;
    if (Panel2->Visible()) crossHair = 1;
    Repaint();
    return;
  }
  if (axisDrag) {
    axisDrag = 0;
    dragX = dragY = -1;
    Repaint();
    return;
  }
  if (!rubberBand) return;
  ClipCursorToRect(nullptr);
  const double pitch = KLinePitch(zoomLevel);
  const int x0 = rubberRect[0];
  {
    // The end is held to the plot the band started in.
    const int sL = ScaleLeft(), sR = ScaleRight();
    x = std::clamp(x, int(chartRect.left + sL), int(std::max(chartRect.left + sL, chartRect.right - sR)));
  }
  const double n = std::abs(x0 - x) / pitch;
  int choice = 0;
  if (rubberShown && n > 4) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 1, "区间放大 (&Z)");
    AppendMenuA(menu, MF_STRING, 2, "区间统计 (&S)");
    POINT p{rubberRect[2], rubberRect[3]};
    ::ClientToScreen(Handle(), &p);
    choice = int(TrackPopupMenu(menu, TPM_RETURNCMD, p.x, p.y, 0, Handle(), nullptr));
    DestroyMenu(menu);
  } else if (!rubberShown) {
    choice = 1;
  }
  if (choice == 1) {
    if (n > 4) {
      const int left = std::min(x0, x);
      const uint32_t F = FirstVisibleBar();
      const int64_t b = int64_t(F) + int64_t(double(left - chartRect.left - ScaleLeft()) / pitch);
      zoomLevel = ZoomForBars(PlotWidth(), n);
      firstBar = -1;
      if (b < int64_t(FirstVisibleBar())) firstBar = int32_t(std::max<int64_t>(b, 0));
      rubberBand = rubberShown = 0;
      DrawChart();
      Invalidate();
    } else if (rubberShown) {
      HDC dc = GetDC(Handle());
      DrawRubberBand(dc);
      ReleaseDC(Handle(), dc);
    }
  } else if (choice == 2) {
    HDC dc = GetDC(Handle());
    DrawRubberBand(dc);
    ReleaseDC(Handle(), dc);
    rubberBand = rubberShown = 0;
    if (timeCount > 0) {
      const uint32_t last = timeCount - 1;
      const uint32_t a = std::min(ColumnAt(std::min(x0, x)), last), b = std::min(ColumnAt(std::max(x0, x)), last);
      OpenZoneStat(a, b);
      Invalidate();
    }
  } else {
    Invalidate();
  }
  rubberBand = 0;
  rubberShown = 0;
}

// ---- Interval statistics -------------------------------------------------------------------------

void TTechForm::NZoneStatClick(TObject *) {
  // With no bars there is no range to measure.
  if (timeCount == 0 || !barTimes) return;
  OpenZoneStat(FirstVisibleBar(), timeCount - 1);
}

void TTechForm::OpenZoneStat(uint32_t first, uint32_t last) {
  if (ZoneStatOpen() || first >= timeCount || last >= timeCount) return;
  const int kind = stockInfo ? stockInfo->kind : 0;
  KLineZoneStatRequest request;
  request.owner = this;
  request.start = barTimes[first];
  request.end = barTimes[last];
  MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, kind, &request.start);
  MarketTimeToLocal(&TimeZoneTable, m_attr.stock.market, kind, &request.end);
  request.barCount = &barCount;
  request.bars = bars;
  // The dialog reads one time per bar: in spread analysis the time axis
  // holds both instruments' times, so it gets the bars' own.
  std::vector<uint32_t> ownTimes;
  if (SpreadAnalysis()) {
    ownTimes.resize(barCount);
    for (uint32_t k = 0; k < barCount; ++k) ownTimes[k] = bars[k].time;
    request.times = ownTimes.data();
  } else {
    request.times = barTimes;
  }
  PeriodToAgentKind(m_attr.period, PeriodCount(), &request.kind, &request.count);
  request.stock = m_attr.stock;
  ZoneStatOpen() = true;
  if (KLineZoneStatDialog()) KLineZoneStatDialog()(request);
  ZoneStatOpen() = false;
  zoneStart = zoneEnd = nullptr;
  Repaint();
  UpdateBarPanel();
}

// ---- Double click ------------------------------------------------------------------------------

int TTechForm::DoubleClickAt(uint32_t point) {
  if (DrawGrid1->Visible() || timeCount == 0) return 0;
  const int x = int16_t(point & 0xFFFF), y = int16_t(point >> 16);
  const RECT &w0 = windowRects[0];
  if (y >= w0.bottom || y < w0.top) {
    if (!windowMaximised) {
      int j = -1;
      for (uint32_t k = 1; k < windowCount; ++k)
        if (windowRects[k].top <= y && y < windowRects[k].bottom) {
          j = int(k);
          break;
        }
      // The title and the time-axis strip hold no sub-window to maximise.
      if (j < 0) return 0;
      std::copy(std::begin(heights), std::end(heights), savedHeights);
      for (uint32_t k = 1; k < uint32_t(kKLineMaxWindows); ++k) heights[k] = 0;
      heights[j] = 1 - heights[0];
      windowMaximised = 1;
    } else {
      std::copy(std::begin(savedHeights), std::end(savedHeights), heights);
      windowMaximised = 0;
    }
    RelayoutWindows();
    return 0;
  }
  const uint32_t c = ColumnAt(x);
  if (c < timeCount && y >= w0.top + 15 && y < w0.top + 23 && infoIndex && infoIndexCount) {
    const uint32_t o = uint32_t(3.0 / KLinePitch(zoomLevel));
    const uint32_t first = c > o ? c - o : 0, last = uint32_t(std::min<uint64_t>(uint64_t(c) + o, timeCount - 1));
    auto number = [](uint32_t t) { return PackedYear(t) * 10000 + PackedMonth(t) * 100 + PackedDay(t); };
    const uint32_t from = first > 0 ? number(PackedNextDay(barTimes[first - 1] & kPackedDateMask))
                                    : number(barTimes[0]);
    const int marker = FindInfoMarker(infoIndex, infoIndexCount, from, number(barTimes[last]));
    if (marker >= 0) {
      TInfoLinkDlg *&dialog = MarkerDialog();
      if (!dialog) dialog = new TInfoLinkDlg(2, nullptr, marker, m_attr.stock);
      else dialog->ShowStock(2, marker, m_attr.stock);
      dialog->Show();
      dialog->SetFocus();
      return 0;
    }
  }
  HDC dc = GetDC(Handle());
  if (crossHair) DrawCrossLines(dc);
  crossHair = crossHair ? 0 : 1;
  Panel2->SetVisible(crossHair != 0);
  if (crossHair) {
    cursorBar = c < timeCount ? int32_t(c) : -1;
    dragX = mouseX;
    dragY = mouseY;
    DrawCrossLines(dc);
    ReleaseDC(Handle(), dc);
    UpdateBarPanel();
  } else {
    cursorBar = -1;
    DrawLegends(dc, false);
    ReleaseDC(Handle(), dc);
  }
  return 0;
}

// ---- The overlay label's menu ----------------------------------------------------------------------

void TTechForm::ShowOverlayMenu() {
  constexpr int kRoom = 20;
  STKPTR entries[kRoom];
  int count = 0;
  HMENU menu = CreatePopupMenu();
  auto holder = [this](STKPTR s) -> COverlappedStock * {
    for (COverlappedStock *n = overlays; n; n = n->next)
      if (n->stock.market == s.market && n->stock.stock == s.stock) return n;
    return nullptr;
  };
  auto add = [&](STKPTR s) {
    // The table has room for twenty instruments; the rest are not listed.
    if (count >= kRoom) return;
    const STKINFO *info = GetStockInfo(s);
    if (!info) return;
    char name[16] = {};
    std::memcpy(name, info->name, std::min(sizeof name - 1, sizeof info->name));
    entries[count] = s;
    AppendMenuA(menu, UINT(MF_STRING) | (holder(s) ? UINT(MF_CHECKED) : 0u), UINT(count + 1), name);
    ++count;
  };
  const STKINFO *shown = stockInfo;
  uint16_t market0 = 0;
  const STKINFO *hs300 = LookupStock("000300", &market0, 0);
  if (market0 != 0) hs300 = nullptr;
  const bool indexFamily = (m_attr.stock.market == 3 && shown && shown->kind == 3) ||
                           (hs300 && m_attr.stock.market == 0 && m_attr.stock.stock == uint32_t(hs300->index));
  if (indexFamily) {
    if (hs300) add(STKPTR(0, 0, hs300->index));
    if (const TMarketData *m = MarketAt(3))
      for (uint32_t k = 0; int32_t(k) < m->m_loadedCount; ++k)
        if (m->m_stocks[k].kind == 3) add(STKPTR(3, 0, uint16_t(k)));
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  } else {
    for (COverlappedStock *n = overlays; n; n = n->next) add(n->stock);
    if (count) AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  }
  AppendMenuA(menu, MF_STRING, 100, "选择商品 (&S)");
  AppendMenuA(menu, UINT(MF_STRING) | (overlays ? 0u : UINT(MF_GRAYED)), 101, "取消叠加 (&C)");
  cursorMode = 0;
  SetCursor(cursors[0]);
  POINT p{overlayLinkRect.left, overlayLinkRect.bottom};
  ::ClientToScreen(Handle(), &p);
  const int id = int(TrackPopupMenu(menu, TPM_RETURNCMD, p.x, p.y, 0, Handle(), nullptr));
  DestroyMenu(menu);
  if (id >= 1 && id <= count) {
    const STKPTR s = entries[id - 1];
    if (COverlappedStock *n = holder(s)) {
      RemoveOverlayNode(n);
      Repaint();
    } else {
      AddOverlay(s, false, true);
    }
  } else if (id == 100) {
    N29Click();
  } else if (id == 101) {
    RemoveOverlays();
    Repaint();
    PostToFrame(WM_MF_REFRESH_SUBSCRIPTION);
  }
}
