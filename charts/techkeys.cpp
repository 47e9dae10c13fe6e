// The K-line view's keyboard: the cross-hair driven bar by bar, scrolling,
// zooming, stepping through instruments, Enter and Esc, Delete of the object
// under the pointer, the view commands and the walk through the indicators.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <strings.h>
#include <vector>

#include "charts/drawline.h"
#include "charts/techform.h"
#include "core/chartgfx.h"
#include "formula/indexpaint.h"
#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/mvmain.h"
#include "views/reportcolumns.h"
#include "views/viewhost.h"

namespace {

bool Modified(TShiftState s) { return s.Contains(ssShift) || s.Contains(ssCtrl); }

}  // namespace

// ---- Quantities of every key -----------------------------------------------------------------

uint32_t TTechForm::FittingColumns() const {
  return uint32_t(std::max(0.0, std::trunc(double(PlotWidth()) / KLinePitch(zoomLevel))));
}

uint32_t TTechForm::AutoStart() const {
  const uint32_t a = uint32_t(std::max(0.0, std::trunc(double(PlotWidth()) * 0.93 / KLinePitch(zoomLevel))));
  return timeCount > a ? timeCount - a : 0;
}

uint32_t TTechForm::ColumnAt(int x) const {
  const int plotLeft = chartRect.left + ScaleLeft();
  return FirstVisibleBar() + (x < plotLeft ? 0 : uint32_t(double(x - plotLeft) / KLinePitch(zoomLevel)));
}

int TTechForm::PricePointY(uint32_t i, int y) const {
  if (i >= timeCount || !barTimes || !stockInfo || !windows[0]) return y;
  double value = 0;
  if (SpreadAnalysis()) {
    const CDataAgent *a = overlays->agent >= 0 ? DataAgentAt(overlays->agent) : nullptr;
    if (!a || !a->Bars()) return y;
    const int b = FindBarByTime(a->Bars(), std::max(a->itemCount, 0), barTimes[i]);
    const CKvIndexVariable *out = windows[0]->VariableCount() ? windows[0]->GetVariable(0) : nullptr;
    if (b < 0 || !out) return y;
    value = out->GetValue(uint32_t(b));
  } else {
    const int b = FindBarByTime(bars, int(barCount), barTimes[i]);
    if (b < 0) return y;
    // The main chart's range is in the bars' own price units.
    value = double(bars[b].close);
  }
  const double lo = windowRanges[0][0], hi = windowRanges[0][1];
  if (!(hi > lo)) return y;
  const RECT &w = windowRects[0];
  const RECT plot{w.left + ScaleLeft(), w.top, w.right - ScaleRight(), w.bottom - 3};
  return IndexValueAxis(plot, lo, hi, WindowInverted(0) ? 1 : 0).Y(value);
}

// ---- Key down --------------------------------------------------------------------------------

void TTechForm::FormKeyDown(TObject *, WORD &key, TShiftState shift) {
  if (DrawGrid1->Visible()) {
    if (key == VK_ESCAPE) HideBarGrid();
    return;
  }
  const bool noDrag = splitDrag == 0 && !axisDrag;
  const uint32_t H = FittingColumns();
  const uint32_t F = FirstVisibleBar();
  auto pointerTo = [&](int x, int y, TShiftState s) {
    cursorBar = -1;
    FormMouseMove(nullptr, s, x, y);
  };
  switch (key) {
    case VK_RETURN: {
      if (crossHair && noDrag && timeCount > 0 && KLineDayPeriod(m_attr.period)) {
        const uint32_t c = ColumnAt(mouseX);
        if (c < timeCount) {
          if (m_page) PostMessageA(m_page->Handle(), WM_MVM_SHOW_MINUTE, barTimes[c], PaneParam());
          break;
        }
      }
      if (!(m_attr.displayFlags & 0x200)) {
        if (Repfm && Repfm->OnClick) Repfm->OnClick(Repfm);
      } else if (noDrag && timeCount > 0) {
        DoubleClickAt(uint32_t(uint16_t(mouseX)) | (uint32_t(uint16_t(mouseY)) << 16));
      }
      break;
    }
    case VK_ESCAPE:
      if (Panel2->Visible()) {
        SwitchCrossHairOff(true);
        if (HandleAllocated()) SetFocus();
      } else if (overlays) {
        if (SpreadAnalysis()) RemoveSpreadAnalysis();
        else RemoveOverlays();
        Repaint();
        PostToFrame(WM_MF_REFRESH_SUBSCRIPTION);
      } else if (m_page) {
        PostMessageA(m_page->Handle(), WM_MVM_BACK, 0, PaneParam());
      }
      break;
    case VK_PRIOR:
    case VK_NEXT: {
      const bool forward = key == VK_NEXT;
      STKPTR next = m_attr.stock;
      if (ViewStockList *list = FindViewStockList(StockList); list && list->count > 0) {
        StockListPosition = forward ? (StockListPosition + 1) % list->count
                                    : (list->count + StockListPosition - 1) % list->count;
        next = list->items[StockListPosition];
      } else {
        next = forward ? NextStockInBlock(int(m_attr.currentBlock), m_attr.stock)
                       : PrevStockInBlock(int(m_attr.currentBlock), m_attr.stock);
        if (SameStock(next, m_attr.stock) && m_attr.stock.market < kMaxMarkets) {
          STKPTR out;
          if (const TMarketData *m = MarketAt(m_attr.stock.market))
            next = forward ? *NextStockInMarket(&out, m, m_attr.stock) : *PrevStockInMarket(&out, m, m_attr.stock);
        }
      }
      m_attr.stock = STKPTR(next.market, 0, next.stock);
      pagingPending = 1;
      if (m_linked) MainFrameHost()->SetOrderContract(m_attr.stock.Word(), 1);
      DrawQuotePanel();
      if (HandleAllocated()) SetFocus();
      break;
    }
    case VK_END:
    case VK_HOME: {
      if (!crossHair || !noDrag || timeCount == 0) break;
      if (Modified(shift)) {
        firstBar = key == VK_END ? -1 : 0;
        Repaint();
        break;
      }
      const uint32_t c = key == VK_HOME ? F : std::min(F + H, timeCount) - 1;
      const int x = BarCentre(c), y = PricePointY(c, mouseY);
      pointerTo(x, y, shift);
      if (cursorMode == 0) cursorMode = 8;
      break;
    }
    case VK_LEFT:
    case VK_RIGHT: {
      if (!noDrag || timeCount == 0) break;
      const bool right = key == VK_RIGHT;
      if (Modified(shift)) {
        // Scrolling by half a screen (Shift) or a screen less five columns (Ctrl).
        const uint32_t maxStart = AutoStart();
        if (firstBar == -1) firstBar = int32_t(maxStart);
        const uint32_t s = shift.Contains(ssCtrl) ? (H <= 6 ? 1 : H - 5) : (H <= 2 ? 1 : H / 2);
        if (!right) {
          if (int64_t(s) > firstBar) {
            LoadSeries(false, false, 1);
            RecalcIndicators(nullptr, false);
          }
          if (firstBar == -1) firstBar = int32_t(AutoStart());
          if (uint32_t(firstBar) >= timeCount) firstBar = -1;
          else firstBar = int64_t(s) < firstBar ? firstBar - int32_t(s) : 0;
        } else {
          const int64_t moved = int64_t(firstBar) + s;
          firstBar = moved >= int64_t(maxStart) ? -1 : int32_t(moved);
        }
        Repaint();
        break;
      }
      // The cursor column by column.
      if (!right && cursorBar == 0) break;
      if (right && cursorBar == int32_t(timeCount) - 1) {
        if (firstBar == -1) break;
        firstBar = -1;
        Repaint();  // (the repaint takes the cursor from the old pointer)
        cursorBar = int32_t(timeCount) - 1;
      } else {
        bool scrolled = false;
        if (cursorBar == -1 || uint32_t(cursorBar) < F || uint32_t(cursorBar) >= F + H) {
          cursorBar = int32_t(std::min(F + H, timeCount)) - 1;
        } else {
          cursorBar += right ? 1 : -1;
          if (uint32_t(cursorBar) < F) {
            firstBar = cursorBar;
            scrolled = true;
          } else if (uint32_t(cursorBar) >= F + H) {
            firstBar = int32_t(cursorBar - int32_t(H) + 1);
            scrolled = true;
          }
          if (scrolled) {
            const int32_t kept = cursorBar;
            Repaint();
            cursorBar = kept;
          }
        }
        int x = BarCentre(uint32_t(cursorBar));
        if (!scrolled && x == mouseX) {
          // Several columns share a pixel: the pointer moves at least one.
          x += right ? 1 : -1;
          const int32_t before = cursorBar;
          cursorBar = int32_t(std::min<uint32_t>(ColumnAt(x), timeCount - 1));
          if (cursorBar == before) cursorBar = std::clamp(cursorBar + (right ? 1 : -1), 0, int32_t(timeCount) - 1);
          x = BarCentre(uint32_t(cursorBar));
          if (x == mouseX) x += right ? 1 : -1;
        }
        const int y = PricePointY(uint32_t(cursorBar), mouseY);
        if (!crossHair) DoubleClickAt(uint32_t(uint16_t(x)) | (uint32_t(uint16_t(y)) << 16));
        if (cursorMode == 0) cursorMode = 8;
        pointerTo(x, y, shift);
        break;
      }
      // Back on the newest bars: the cursor stays on the last column.
      const int x = BarCentre(uint32_t(cursorBar)), y = PricePointY(uint32_t(cursorBar), mouseY);
      if (cursorMode == 0) cursorMode = 8;
      pointerTo(x, y, shift);
      break;
    }
    case VK_UP:
    case VK_DOWN: {
      if (Panel1->Visible() && DetailScrollLock) {
        DetailGridKey(key);
        break;
      }
      if (timeCount == 0) break;
      if (key == VK_UP) {
        if (zoomLevel >= kKLineMaxZoom) break;
        ++zoomLevel;
        Repaint();
        break;
      }
      if (zoomLevel <= 0) break;
      --zoomLevel;
      const uint32_t a = uint32_t(std::trunc(double(PlotWidth()) * 0.93 / KLinePitch(zoomLevel)));
      if (a > timeCount) {
        LoadSeries(false, true, 1);
        RecalcIndicators(nullptr, false);
      }
      if (firstBar != -1 && uint32_t(firstBar) >= (timeCount > a ? timeCount - a : 0)) firstBar = -1;
      Repaint();
      break;
    }
    case VK_DELETE:
      DeleteKey();
      break;
    default:
      break;
  }
  key = 0;
}

void TTechForm::FormKeyUp(TObject *, WORD &key, TShiftState) {
  if ((key == VK_PRIOR || key == VK_NEXT) && !DrawGrid1->Visible()) {
    pagingPending = 0;
    LoadWeights();
    Subscribe(0, true);
    LoadSeries(true, true, 0);
    LoadInfoMarkers(true);
    RecalcIndicators(nullptr, false);
    Repaint();
    ScrollDetailListToEnd();
    MsgPagePaint();
    if (HWND frame = MainFrameHost()->MainWindow()) {
      SendMessageA(frame, WM_LINKED_STOCK_CHANGED, 0, reinterpret_cast<LPARAM>(this));
      PostMessageA(frame, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
    }
  }
  key = 0;
}

// ---- Delete ------------------------------------------------------------------------------------

void TTechForm::DeleteLineAt(uint32_t index) {
  if (index >= lineCount) return;
  delete lines[index];
  for (uint32_t k = index; k + 1 < lineCount; ++k) lines[k] = lines[k + 1];
  --lineCount;
  lines[lineCount] = nullptr;
  editLine = lineCount;
}

void TTechForm::DeleteKey() {
  // A grabbed line, or the pointer on a line's handle.
  if (cursorMode == 3 || cursorMode == 6) {
    for (uint32_t i = 0; i < lineCount; ++i) {
      if (!lines[i] || lines[i]->HitTest(POINT{mouseX, mouseY}) == -1) continue;
      DeleteLineAt(i);
      SaveLines();
      lineEditState = 0;
      cursorMode = 0;
      SetCursor(cursors[0]);
      UpdateScreen(true);
      return;
    }
  }
  // A selected overlay.
  if (overlays && overlays->indicator) {
    COverlappedStock *chosen = nullptr;
    if (overlays->indicator->selected) chosen = overlays;
    for (COverlappedStock *n = overlays; !chosen && n->next; n = n->next)
      if (n->next->indicator && n->next->indicator->selected) chosen = n->next;
    if (chosen) {
      RemoveOverlayNode(chosen);
      Repaint();
      return;
    }
  }
  CKvIndex *main = windows[0];
  if (SpreadAnalysis() && main && main->selected) {
    RemoveSpreadAnalysis();
    PostToFrame(WM_MF_REFRESH_SUBSCRIPTION);
    Repaint();
    return;
  }
  if (main && main->selected) return;
  auto unlinkSelected = [](CKvIndex *head) -> CKvIndex * {
    for (CKvIndex *f = head; f && f->next; f = f->next) {
      if (!f->next->selected) continue;
      CKvIndex *gone = f->next;
      f->next = gone->next;
      gone->next = nullptr;
      return gone;
    }
    return nullptr;
  };
  if (main) {
    if (CKvIndex *gone = unlinkSelected(main)) {
      if (strcasecmp(gone->name, "MA") == 0 && strcasecmp(main->name, "K") == 0) {
        KLineChartSettings().maOnK = 0;
        WritePrivateProfileStringA("PARAMETER", "MaOnK", "0", (std::string(UserDataPath) + "clrfont.INI").c_str());
      }
      delete gone;
      main->AssignChainLineColours(3);
      Repaint();
      return;
    }
  }
  for (uint32_t i = 1; i < windowCount; ++i) {
    CKvIndex *head = windows[i];
    if (!head) continue;
    if (CKvIndex *gone = unlinkSelected(head)) {
      delete gone;
      head->AssignChainLineColours(3);
      Repaint();
      return;
    }
    if (!head->selected) continue;
    if (MessageBoxA(Handle(), "删除副图？  ", "确认", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES) return;
    DeleteWindowLines(int(i));
    SaveLines();
    delete head;
    const int d = windowRects[i].bottom - windowRects[i].top;
    windowRects[0].bottom += d;
    for (uint32_t k = 1; k < i; ++k) {
      windowRects[k].top += d;
      windowRects[k].bottom += d;
    }
    for (uint32_t k = i; k + 1 < windowCount; ++k) {
      windowRects[k] = windowRects[k + 1];
      windowRanges[k][0] = windowRanges[k + 1][0];
      windowRanges[k][1] = windowRanges[k + 1][1];
      windows[k] = windows[k + 1];
      std::memcpy(windowNames[k], windowNames[k + 1], sizeof windowNames[k]);
    }
    --windowCount;
    windows[windowCount] = nullptr;
    std::memset(windowNames[windowCount], 0, sizeof windowNames[windowCount]);
    windowRects[windowCount] = RECT{};
    for (uint32_t k = 0; k < lineCount; ++k)
      if (lines[k] && lines[k]->map.window > int(i)) lines[k]->map.window -= 1;
    if (activeWindow >= windowCount) activeWindow = windowCount - 1;
    RecordWindowHeights();
    TMenuItem *counts[6] = {N7, N8, N9, N10, N18, N19};
    for (TMenuItem *m : counts) m->Checked = false;
    counts[std::clamp<uint32_t>(windowCount, 1, 6) - 1]->Checked = true;
    Repaint();
    return;
  }
}

// ---- View commands -----------------------------------------------------------------------------

void TTechForm::ExecuteViewCommand(int code) {
  switch (code) {
    case 28:
    case 29: ShowBarGrid(); break;
    case 77:
    case 78: PreviousIndicator(); break;
    case 79:
    case 80: NextIndicator(); break;
    default: break;
  }
}

void TTechForm::ShowBarGrid() {
  if (Panel2->Visible()) SwitchCrossHairOff(true);
  m_attr.flags |= 2;
  if (DrawGrid1->RowCount() < int(barCount) + 1) DrawGrid1->SetRowCount(int(barCount) + 1);
  DrawGrid1->Show();
  DrawGrid1->SetRow(DrawGrid1->RowCount() - 1);
  DrawGrid1->Invalidate();
  if (DrawGrid1->HandleAllocated() || HandleAllocated()) DrawGrid1->SetFocus();
  if (CmdBox && CmdBox->m_hWnd) ShowWindow(CmdBox->m_hWnd, SW_HIDE);
}

void TTechForm::HideBarGrid() {
  m_attr.flags &= ~2u;
  DrawGrid1->Hide();
  DrawGrid1->SetRowCount(2);
  if (HandleAllocated()) SetFocus();
  Repaint();
  if (CmdBox && CmdBox->m_hWnd) ShowWindow(CmdBox->m_hWnd, SW_SHOWNA);
}

// ---- The walk through the indicators ------------------------------------------------------------

namespace {

std::vector<std::string> SubChartNames() {
  std::vector<std::string> names;
  CKvIndexManager &library = KvIndexManager();
  EnterCriticalSection(&library.lock);
  for (CKvIndexGroup *g = library.groups; g; g = g->next)
    for (CKvIndex *f = g->first; f; f = f->next) {
      const uint32_t kind = f->flags & kIndexKindMask;
      if (kind != 1 && kind != 2) names.emplace_back(f->name);
    }
  LeaveCriticalSection(&library.lock);
  return names;
}

}  // namespace

void TTechForm::PreviousIndicator() {
  if (windowCount < 2 || activeWindow >= windowCount || !windows[activeWindow]) return;
  const std::string current = windows[activeWindow]->name;
  const std::vector<std::string> names = SubChartNames();
  const std::string *remembered = nullptr;
  for (const std::string &n : names) {
    if (strcasecmp(n.c_str(), current.c_str()) == 0) {
      if (remembered) break;
      continue;
    }
    remembered = &n;
  }
  if (remembered) ApplyIndicator(remembered->c_str(), true);
}

void TTechForm::NextIndicator() {
  if (windowCount < 2 || activeWindow >= windowCount || !windows[activeWindow]) return;
  const std::string current = windows[activeWindow]->name;
  const std::vector<std::string> names = SubChartNames();
  bool seen = false;
  for (const std::string &n : names) {
    const bool same = strcasecmp(n.c_str(), current.c_str()) == 0;
    if (seen && !same) {
      ApplyIndicator(n.c_str(), true);
      return;
    }
    seen = seen || same;
  }
  if (!seen) return;
  for (const std::string &n : names)
    if (strcasecmp(n.c_str(), current.c_str()) != 0) {
      ApplyIndicator(n.c_str(), true);
      return;
    }
}
