// The K-line view's overlays and spread analysis: instruments drawn over the
// main chart with a copy of its formula, or one partner instrument whose
// difference or ratio to the shown one replaces the main formula.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>

#include "charts/techform.h"
#include "core/chartgfx.h"
#include "formula/kvindex.h"
#include "formula/kvindexlib.h"
#include "market/barseries.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "platform/winuser.h"
#include "views/selstockdlg.h"
#include "views/viewhost.h"

namespace {

// Identity of a node: its instrument, code text and data agent.
void FillNode(COverlappedStock *node, STKPTR stock, HWND window, uint8_t kind, uint32_t count) {
  node->info = GetStockInfo(stock);
  std::memset(node->code, 0, sizeof node->code);
  if (node->info) {
    const STKINFOEX *ex = GetStockInfoEx(stock);
    const char *text = ex && ex->code[0] ? ex->code : node->info->code;
    const size_t limit = ex && ex->code[0] ? sizeof ex->code : sizeof node->info->code;
    for (size_t k = 0; k < sizeof node->code && k < limit && text[k]; ++k)
      node->code[k] = char(std::toupper(static_cast<unsigned char>(text[k])));
  }
  node->stock = stock;
  node->agent = AcquireDataAgent(stock, kind, count, window);
}

double PriceItem(const KLINEBAR &bar, int32_t item) {
  switch (item) {
    case 0: return bar.open;
    case 1: return bar.high;
    case 2: return bar.low;
    default: return bar.close;
  }
}

}  // namespace

// ---- Keeping the first visible date ---------------------------------------------------------------

uint32_t TTechForm::FirstVisibleTime() const {
  if (timeCount == 0 || !barTimes) return 0;
  return barTimes[std::min(FirstVisibleBar(), timeCount - 1)];
}

void TTechForm::KeepFirstVisibleTime(uint32_t t) {
  const int index = barTimes ? FindUIntSorted(barTimes, int(timeCount), t) : -1;
  firstBar = -1;
  if (index >= 0 && uint32_t(index) < FirstVisibleBar()) firstBar = index;
}

// ---- Adding ------------------------------------------------------------------------------------

void TTechForm::AddOverlay(STKPTR stock, bool relative, bool apply) {
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  HWND window = Handle();
  COverlappedStock *node = nullptr;
  if (SpreadAnalysis()) {
    // The partner is reused for the new instrument; window 0 gets its
    // library formula back.
    node = overlays;
    overlays = nullptr;
    node->ownScale = 1;
    node->low = node->high = 0;
    COverlappedStock::ReleaseAgents(node, window);
    if (CKvIndex *main = windows[0]) {
      CKvIndex *chain = main->next;
      main->next = nullptr;
      if (!windowNames[0][0]) std::strcpy(windowNames[0], "K");
      if (KvIndexManager().CopyIndex(windowNames[0], main)) {
        main->LoadParamValues(m_attr.period);
        if (apply) CalcFormula(main, false, false);
      }
      main->next = chain;
      main->AssignChainLineColours(3);
    }
  } else {
    for (COverlappedStock *n = overlays; n; n = n->next)
      if (n->stock.market == stock.market && n->stock.stock == stock.stock) return;
    node = new COverlappedStock();
  }
  node->indicator = new CKvIndex();
  FillNode(node, stock, window, kind, count);
  node->ownScale = relative ? 1 : 0;
  KvIndexManager().CopyIndex(windowNames[0], node->indicator);
  node->indicator->LoadParamValues(m_attr.period);
  node->indicator->refLineCount = 0;
  // An overlay uses the main chart's current parameter values.
  if (CKvIndex *main = windows[0])
    for (uint32_t k = 0; k < main->paramCount && k < node->indicator->paramCount; ++k)
      if (const CKvIndexParam *p = main->GetParam(k)) node->indicator->SetParam(k, *p);
  if (!overlays) {
    overlays = node;
  } else {
    COverlappedStock *tail = overlays;
    while (tail->next) tail = tail->next;
    tail->next = node;
  }
  for (COverlappedStock *n = overlays; n; n = n->next) n->ownScale = relative ? 1 : 0;
  if (apply) {
    const uint32_t t = FirstVisibleTime();
    LoadSeries(false, true, 0);
    KeepFirstVisibleTime(t);
  }
  for (uint32_t i = 0; i < windowCount; ++i) {
    if (apply) CalcFormula(windows[i], true, false);
    for (CKvIndex *f = windows[i]; f; f = f->next) f->selected = 0;
  }
  for (COverlappedStock *n = overlays; n; n = n->next) {
    if (n->indicator) n->indicator->selected = 0;
    if (apply) CalcOverlay(n, true, false);
  }
  AssignOverlayColours();
  if (!apply) return;
  Repaint();
  PostToFrame(WM_MF_REFRESH_SUBSCRIPTION);
}

// ---- Spread analysis ---------------------------------------------------------------------------

void TTechForm::SetSpreadAnalysis(STKPTR stock, int32_t item, uint8_t mode, bool apply) {
  CKvIndex *main = windows[0];
  if (!main) return;
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  HWND window = Handle();
  COverlappedStock *head = overlays;
  if (head) {
    COverlappedStock::ReleaseAgents(head, window);
    delete head->next;
    head->next = nullptr;
    delete head->indicator;
    head->indicator = nullptr;
  } else {
    head = overlays = new COverlappedStock();
  }
  FillNode(head, stock, window, kind, count);
  head->spreadItem = item;
  head->ownScale = mode;
  if (apply) {
    const uint32_t t = FirstVisibleTime();
    LoadSeries(false, true, 0);
    KeepFirstVisibleTime(t);
  }
  for (uint32_t i = 0; i < windowCount; ++i)
    for (CKvIndex *f = windows[i]; f; f = f->next) f->selected = 0;
  CKvIndex *chain = main->next;
  main->next = nullptr;
  main->Clear();
  std::strcpy(main->name, "套利分析");
  main->flags = (main->flags & ~uint32_t(kIndexKindMask)) | 8u | 2u;
  main->Compile(mode == 2 ? "0;0;" : "0;", true);
  main->flags = (main->flags & ~uint32_t(kIndexKindMask)) | 8u | 2u;
  main->next = chain;
  main->AssignChainLineColours(3);
  if (apply) ComputeSpread();
  V1->Checked = true;
  P1->Checked = L1->Checked = false;
  MainFrameHost()->CheckScaleItem(0);
  if (!apply) return;
  for (uint32_t i = 1; i < windowCount; ++i) CalcFormula(windows[i], true, false);
  Repaint();
  PostToFrame(WM_MF_REFRESH_SUBSCRIPTION);
}

void TTechForm::ComputeSpread() {
  CKvIndex *main = windows[0];
  if (!main || !SpreadAnalysis()) return;
  const COverlappedStock *partner = overlays;
  const KLINEBAR *series = nullptr;
  uint32_t n = 0;
  if (const CDataAgent *a = partner->agent >= 0 ? DataAgentAt(partner->agent) : nullptr; a && a->Bars()) {
    series = a->Bars();
    n = uint32_t(std::max(a->itemCount, 0));
  }
  uint8_t kind = 7;
  uint32_t count = 1;
  PeriodToAgentKind(m_attr.period, PeriodCount(), &kind, &count);
  main->Calculate(Handle(), ownerCode, kind, count, partner->info, series, n, true, false);
  CKvIndexVariable *out1 = main->GetVariable(0);
  const uint8_t mode = partner->ownScale;
  CKvIndexVariable *out2 = mode == 2 ? main->GetVariable(1) : nullptr;
  if (!out1 || (mode == 2 && !out2)) return;
  if (mode == 2) std::fill(std::begin(spreadScale), std::end(spreadScale), 0.0);
  const double ownDivisor = stockInfo ? double(stockInfo->PriceDivisor()) : 1.0;
  const double partnerDivisor = partner->info ? double(partner->info->PriceDivisor()) : 1.0;
  const uint32_t calculated = std::min(main->calcCount, n);
  for (uint32_t i = 0; i < calculated; ++i) {
    // The shown instrument's bar of the partner bar's time, looked up in
    // its own bars: the time axis may hold times it lacks.
    const int j = FindBarByTime(bars, int(barCount), series[i].time);
    double a = 1.0, b = 1.0;
    if (j >= 0) {
      a = PriceItem(bars[j], partner->spreadItem) / (ownDivisor ? ownDivisor : 1.0);
      b = PriceItem(series[i], partner->spreadItem) / (partnerDivisor ? partnerDivisor : 1.0);
    }
    const double ratio = b == 0 ? 0.0 : a / b;
    if (mode == 0) {
      out1->SetValue(i, ratio);
    } else if (mode == 1) {
      out1->SetValue(i, a - b);
    } else {
      const double d = a - b;
      out1->SetValue(i, d);
      out2->SetValue(i, ratio);
      if (i == 0) {
        spreadScale[0] = spreadScale[1] = d;
        spreadScale[2] = spreadScale[3] = ratio;
      } else {
        spreadScale[0] = std::min(spreadScale[0], d);
        spreadScale[1] = std::max(spreadScale[1], d);
        spreadScale[2] = std::min(spreadScale[2], ratio);
        spreadScale[3] = std::max(spreadScale[3], ratio);
      }
    }
  }
  if (mode != 2) return;
  if (spreadScale[0] + 0.0001 > spreadScale[1]) spreadScale[1] = spreadScale[0] + 0.0001;
  if (spreadScale[2] + 0.0001 > spreadScale[3]) spreadScale[3] = spreadScale[2] + 0.0001;
  for (uint32_t i = 0; i < calculated; ++i)
    out2->SetValue(i, (out2->GetValue(i) - spreadScale[2]) / (spreadScale[3] - spreadScale[2]) *
                              (spreadScale[1] - spreadScale[0]) +
                          spreadScale[0]);
}

// ---- Removing ----------------------------------------------------------------------------------

void TTechForm::RemoveSpreadAnalysis() {
  if (overlays) {
    COverlappedStock::ReleaseAgents(overlays, Handle());
    delete overlays;
    overlays = nullptr;
  }
  CKvIndex *main = windows[0];
  if (!main) return;
  CKvIndex *chain = main->next;
  main->next = nullptr;
  if (!windowNames[0][0]) std::strcpy(windowNames[0], "K");
  if (KvIndexManager().CopyIndex(windowNames[0], main)) {
    main->LoadParamValues(m_attr.period);
    main->next = chain;
    main->AssignChainLineColours(3);
    BuildTimeAxis();
    CalcFormula(main, true, false);
  } else {
    delete chain;
    BuildTimeAxis();
  }
}

void TTechForm::RemoveOverlays() {
  const uint32_t t = FirstVisibleTime();
  if (overlays) {
    COverlappedStock::ReleaseAgents(overlays, Handle());
    delete overlays;
    overlays = nullptr;
  }
  BuildTimeAxis();
  firstBar = cursorBar = -1;
  KeepFirstVisibleTime(t);
}

void TTechForm::RemoveOverlayNode(COverlappedStock *node) {
  if (!node || !overlays) return;
  const uint32_t t = FirstVisibleTime();
  if (overlays == node) {
    overlays = node->next;
  } else {
    COverlappedStock *before = overlays;
    while (before && before->next != node) before = before->next;
    if (!before) return;
    before->next = node->next;
  }
  node->next = nullptr;
  COverlappedStock::ReleaseAgents(node, Handle());
  delete node;
  LoadSeries(false, true, 2);
  KeepFirstVisibleTime(t);
  cursorBar = -1;
  for (uint32_t i = 0; i < windowCount; ++i) {
    CalcFormula(windows[i], true, false);
    for (CKvIndex *f = windows[i]; f; f = f->next) f->selected = 0;
  }
  for (COverlappedStock *n = overlays; n; n = n->next) {
    CalcOverlay(n, true, false);
    if (n->indicator) n->indicator->selected = 0;
  }
  if (windows[0]) windows[0]->AssignChainLineColours(3);
  AssignOverlayColours();
  PostToFrame(WM_MF_REFRESH_SUBSCRIPTION);
}

// ---- Menu commands -----------------------------------------------------------------------------

namespace {

// Runs the instrument picker in a mode; the dialog when OK gave an
// instrument, else null.
std::unique_ptr<TSelStockDlg> PickStock(TTechForm *owner, int mode) {
  if (OpenStockPicker) return nullptr;
  auto dialog = std::make_unique<TSelStockDlg>(owner, owner->m_attr.stock.market, mode);
  OpenStockPicker = dialog.get();
  MainFrameHost()->SetDialogOpen(true);
  const bool ok = dialog->ShowModal() == mrOk;
  MainFrameHost()->SetDialogOpen(false);
  OpenStockPicker = nullptr;
  if (!ok || dialog->chosen.IsNone()) return nullptr;
  return dialog;
}

}  // namespace

void TTechForm::N29Click(TObject *) {
  if (auto dialog = PickStock(this, 1)) AddOverlay(dialog->chosen, dialog->RadioButton2->Checked(), true);
}

void TTechForm::N20Click(TObject *) {
  auto dialog = PickStock(this, 2);
  if (!dialog) return;
  const uint8_t mode = dialog->RadioButton3->Checked() ? 1 : dialog->XPRadioButton1->Checked() ? 2 : 0;
  const int32_t item = dialog->RadioButton7->Checked()   ? 3
                       : dialog->RadioButton8->Checked() ? 0
                       : dialog->RadioButton9->Checked() ? 1
                                                         : 2;
  SetSpreadAnalysis(dialog->chosen, item, mode, true);
}

void TTechForm::R1Click(TObject *sender) {
  const auto *item = static_cast<TMenuItem *>(sender);
  const uint8_t wanted = item && item->Tag == 1 ? 0 : 1;
  if (!overlays || overlays->ownScale == wanted) return;
  for (COverlappedStock *n = overlays; n; n = n->next) n->ownScale = wanted;
  Repaint();
}

// ---- The view data ------------------------------------------------------------------------------

void TTechForm::RestoreOverlays(const MVCDATA_12 &data) {
  if (data.overlays[0].market == 255) return;
  auto known = [](STKPTR s) { return s.market != 255 && GetStockInfo(STKPTR(s.market, 0, s.stock)) != nullptr; };
  if (data.firstOverlayOwnFormula && known(data.overlays[0])) {
    const STKPTR s = data.overlays[0];
    SetSpreadAnalysis(STKPTR(s.market, 0, s.stock), int32_t(data.firstOverlaySetting), data.firstOverlayByte, false);
    return;
  }
  for (int k = 0; k < kMaxOverlays && data.overlays[k].market != 255; ++k)
    if (known(data.overlays[k]))
      AddOverlay(STKPTR(data.overlays[k].market, 0, data.overlays[k].stock), data.firstOverlayByte != 0, false);
}

void TTechForm::StoreOverlays(MVCDATA_12 *data) const {
  for (STKPTR &s : data->overlays) s = STKPTR(255, 0, 0);
  int k = 0;
  for (const COverlappedStock *n = overlays; n && k < kMaxOverlays; n = n->next) data->overlays[k++] = n->stock;
  data->firstOverlayOwnFormula = SpreadAnalysis() ? 1 : 0;
  data->firstOverlayByte = overlays ? overlays->ownScale : 0;
  data->firstOverlaySetting = SpreadAnalysis() ? uint32_t(overlays->spreadItem) : 0;
}
