#include "shell/chartdialogs.h"

#include <cstring>

#include "charts/rendform.h"
#include "charts/techform.h"
#include "charts/zonestatdlg.h"
#include "shell/quoteoptiondlg.h"
#include "views/viewhost.h"

namespace {

// The options dialog's item list set to the view's list, with the list and
// its move buttons enabled as the view allows.
void ChartDialogItems(TQuoteOptionDlg &dialog, const uint8_t (&items)[32], bool enabled) {
  std::memcpy(dialog.items[0], items, sizeof items);
  dialog.XPTabControl1Change(nullptr);
  dialog.XPCheckListBox1->SetEnabled(enabled);
  dialog.XPButtonUp->SetEnabled(enabled);
  dialog.XPButtonDown->SetEnabled(enabled);
}

bool RunKLineProperties(TTechForm &view, KLinePropertyChoices &c) {
  TQuoteOptionDlg dialog(&view);
  dialog.Configure(TOptionCaller::kKLine, view.m_attr.stock);
  dialog.XPCheckBox2->SetChecked(c.showPanel);
  dialog.XPCheckBox3->SetChecked(c.panelLeft);
  dialog.XPCheckBox14->SetChecked(c.showTradeLines);
  dialog.XPCheckBox1->SetChecked(c.todayMinutesOnly);
  dialog.XPCheckBox6->SetChecked(c.noScale);
  dialog.XPCheckBox4->SetChecked(c.scaleRight);
  dialog.XPCheckBox7->SetChecked(c.detailsUpward);
  dialog.XPCheckBox10->SetChecked(c.enterCycles);
  ChartDialogItems(dialog, c.items, c.itemsEnabled);
  if (dialog.ShowModal() != mrOk) return false;
  c.showPanel = dialog.XPCheckBox2->Checked();
  c.panelLeft = dialog.XPCheckBox3->Checked();
  c.showTradeLines = dialog.XPCheckBox14->Checked();
  c.todayMinutesOnly = dialog.XPCheckBox1->Checked();
  c.noScale = dialog.XPCheckBox6->Checked();
  c.scaleRight = dialog.XPCheckBox4->Checked();
  c.detailsUpward = dialog.XPCheckBox7->Checked();
  c.enterCycles = dialog.XPCheckBox10->Checked();
  dialog.CheckedItems(c.items);
  return true;
}

bool RunIntradayProperties(TRendForm &view, IntradayPropertyChoices &c) {
  TQuoteOptionDlg dialog(&view);
  dialog.Configure(TOptionCaller::kIntraday, view.m_attr.stock);
  dialog.XPCheckBox2->SetChecked(c.showPanel);
  dialog.XPCheckBox3->SetChecked(c.panelLeft);
  dialog.XPCheckBox7->SetChecked(c.detailsUpward);
  dialog.XPCheckBox10->SetChecked(c.enterCycles);
  dialog.XPCheckBox14->SetChecked(c.showTradeLines);
  dialog.XPCheckBox5->SetChecked(c.centreOnClose);
  dialog.XPCheckBox11->SetChecked(c.tickAverage);
  dialog.XPCheckBox12->SetChecked(c.volumeBySide);
  dialog.XPCheckBox13->SetChecked(c.raisedOpenInterest);
  ChartDialogItems(dialog, c.items, c.itemsEnabled);
  if (dialog.ShowModal() != mrOk) return false;
  c.showPanel = dialog.XPCheckBox2->Checked();
  c.panelLeft = dialog.XPCheckBox3->Checked();
  c.detailsUpward = dialog.XPCheckBox7->Checked();
  c.enterCycles = dialog.XPCheckBox10->Checked();
  c.showTradeLines = dialog.XPCheckBox14->Checked();
  c.centreOnClose = dialog.XPCheckBox5->Checked();
  c.tickAverage = dialog.XPCheckBox11->Checked();
  c.volumeBySide = dialog.XPCheckBox12->Checked();
  c.raisedOpenInterest = dialog.XPCheckBox13->Checked();
  dialog.CheckedItems(c.items);
  return true;
}

void RunZoneStatistics(const KLineZoneStatRequest &r) {
  if (!r.owner || !r.barCount) return;
  // The view's count is read through the dialog's own pointer type.
  static_assert(sizeof(int) == sizeof(uint32_t));
  TZoneStatDlg dialog(r.owner, reinterpret_cast<const int *>(r.barCount), r.end, r.start, r.bars, r.times, r.kind,
                      r.stock);
  MainFrameHost()->SetDialogOpen(true);
  dialog.ShowModal();
  MainFrameHost()->SetDialogOpen(false);
}

}  // namespace

void InstallChartDialogs() {
  KLinePropertyDialog() = RunKLineProperties;
  IntradayPropertyDialog() = RunIntradayProperties;
  KLineZoneStatDialog() = RunZoneStatistics;
}
