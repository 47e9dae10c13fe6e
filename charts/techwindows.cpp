// The K-line view's indicator windows: putting formulas on the chart, the
// window count, parameters, reference lines, editing a formula, the formula
// manager and the reactions to formulas changed elsewhere.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

#include "charts/drawline.h"
#include "charts/techform.h"
#include "platform/gbk.h"
#include "core/eautolock.h"
#include "core/emem.h"
#include "formula/indexeditor.h"
#include "formula/indexmanager.h"
#include "formula/indexparamdlg.h"
#include "formula/inputtext.h"
#include "formula/kvindexlib.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "views/viewhost.h"

using platform::GbkCopyCut;

namespace {

const char kDefaultNames[kKLineMaxWindows][16] = {"K", "VOL", "MACD", "AMOUNT", "RSI", "DMA"};

bool NeedsRight(const char *name) {
  return strcasecmp(name, "JZBD") == 0 || strcasecmp(name, "JZGZ") == 0 || strcasecmp(name, "JZSP") == 0;
}

void SetName16(char (&field)[16], const char *text) {
  std::memset(field, 0, sizeof field);
  std::strncpy(field, text, sizeof field - 1);
}

void Tell(const char *text, UINT icon = MB_ICONINFORMATION) {
  MessageBoxA(nullptr, text, "提示", icon | MB_TOPMOST);
}

// The program-wide modal-dialog flag for as long as a dialog is shown.
struct ModalFlag {
  ModalFlag() { MainFrameHost()->SetDialogOpen(true); }
  ~ModalFlag() { MainFrameHost()->SetDialogOpen(false); }
};

void PostRefreshSubscription() {
  if (HWND frame = MainFrameHost()->MainWindow()) PostMessageA(frame, WM_MF_REFRESH_SUBSCRIPTION, 0, 0);
}

}  // namespace

// ---- Putting a formula on the chart ---------------------------------------------------------

void TTechForm::ApplyIndicator(const char *name, bool redraw) {
  CKvIndex *found = KvIndexManager().FindIndex(name);
  if (!found) return;
  if (NeedsRight(name) && !(UserRights[2] & 8)) {
    MessageBoxA(nullptr, "您没有使用此指标的权限。  ", "警告", MB_ICONWARNING | MB_TOPMOST);
    return;
  }
  auto copy = [&](CKvIndex *f) {
    if (!KvIndexManager().CopyIndex(name, f)) return false;
    f->LoadParamValues(m_attr.period);
    return true;
  };
  auto calculate = [&](CKvIndex *f) {
    if (redraw) CalcFormula(f, true, false);
  };
  const uint32_t kind = found->flags & kIndexKindMask;
  bool changed = false;
  if (kind == 0 && activeWindow != 0) {
    CKvIndex *f = windows[activeWindow];
    if (f && strcasecmp(f->name, name) != 0) {
      SetName16(windowNames[activeWindow], name);
      CKvIndex *chain = f->next;
      f->next = nullptr;
      copy(f);
      calculate(f);
      f->next = chain;
      f->AssignChainLineColours(3);
      changed = true;
    }
  } else if (kind == 0) {
    // From the main window: the layout becomes the main window and one new
    // sub-window; sub-windows that were there go as the window count does.
    for (uint32_t i = 1; i < windowCount; ++i) {
      DeleteWindowLines(int(i));
      delete windows[i];
      windows[i] = nullptr;
    }
    if (windowCount > 1) SaveLines();
    SetName16(windowNames[1], name);
    windows[1] = new CKvIndex();
    copy(windows[1]);
    calculate(windows[1]);
    windows[1]->AssignChainLineColours(3);
    windowCount = 2;
    activeWindow = 1;
    std::fill(std::begin(heights), std::end(heights), 0.0);
    heights[0] = 0.6;
    heights[1] = 0.4;
    for (TMenuItem *m : {N7, N8, N9, N10, N18, N19}) m->Checked = m == N8;
    LayoutRects();
    changed = true;
  } else if (kind == 1) {
    CKvIndex *tail = windows[0];
    bool present = false;
    for (CKvIndex *f = tail ? tail->next : nullptr; f; f = f->next) {
      if (strcasecmp(f->name, name) == 0) present = true;
    }
    if (tail && !present) {
      if (strcasecmp(name, "MA") == 0 && strcasecmp(windows[0]->name, "K") == 0) {
        KLineChartSettings().maOnK = 1;
        WritePrivateProfileStringA("PARAMETER", "MaOnK", "1", (std::string(UserDataPath) + "clrfont.INI").c_str());
      }
      while (tail->next) tail = tail->next;
      auto *f = new CKvIndex();
      tail->next = f;
      copy(f);
      calculate(f);
      windows[0]->AssignChainLineColours(3);
      changed = true;
    }
  } else if (kind == 2) {
    if (!SpreadAnalysis() && strcasecmp(windowNames[0], name) != 0 && windows[0]) {
      SetName16(windowNames[0], name);
      CKvIndex *chain = windows[0]->next;
      windows[0]->next = nullptr;
      copy(windows[0]);
      calculate(windows[0]);
      windows[0]->next = chain;
      windows[0]->AssignChainLineColours(3);
      if (KLineChartSettings().maOnK && strcasecmp(name, "K") == 0) ApplyIndicator("MA", redraw);
      int k = 0;
      for (COverlappedStock *n = overlays; n; n = n->next, ++k) {
        if (!n->indicator) continue;
        KvIndexManager().CopyIndex(name, n->indicator);
        if (redraw) CalcOverlay(n, true, false);
      }
      AssignOverlayColours();
      changed = true;
    }
  }
  if (changed && redraw) Repaint();
  PostRefreshSubscription();
}

void TTechForm::RefreshIndex(TMenuItem *item) {
  if (!item) return;
  char name[16] = {};
  GbkCopyCut(item->Caption.c_str(), item->Caption.size(), name, sizeof name);
  std::string trimmed(name);
  trimmed.erase(0, trimmed.find_first_not_of(' '));
  trimmed.erase(trimmed.find_last_not_of(' ') + 1);
  ApplyIndicator(trimmed.c_str(), true);
}

// ---- Window count --------------------------------------------------------------------------

void TTechForm::N7Click(TObject *sender) {
  auto *item = static_cast<TMenuItem *>(sender);
  if (item) SetWindowCount(int(item->Tag));
}

void TTechForm::SetWindowCount(int n) {
  if (n < 1 || n > kKLineMaxWindows) return;
  TMenuItem *items[6] = {N7, N8, N9, N10, N18, N19};
  for (int i = 0; i < 6; ++i) items[i]->Checked = i == n - 1;
  if (uint32_t(n) < windowCount) {
    for (uint32_t i = uint32_t(n); i < windowCount; ++i) {
      DeleteWindowLines(int(i));
      delete windows[i];
      windows[i] = nullptr;
    }
    SaveLines();
  }
  for (uint32_t j = windowCount; j < uint32_t(n); ++j) {
    SetName16(windowNames[j], kDefaultNames[j]);
    windows[j] = new CKvIndex();
    if (KvIndexManager().CopyIndex(windowNames[j], windows[j])) {
      windows[j]->LoadParamValues(m_attr.period);
      CalcFormula(windows[j], true, false);
      windows[j]->AssignChainLineColours(3);
    }
  }
  windowCount = uint32_t(n);
  if ((activeWindow == 0 && n > 1) || activeWindow >= uint32_t(n)) activeWindow = uint32_t(n - 1);
  windowMaximised = 0;
  KLineDefaultShares(n, heights);
  LayoutRects();
  Repaint();
}

// ---- Formula commands ----------------------------------------------------------------------

CKvIndex *TTechForm::SelectedFormula(const char *spreadMessage, const char *noneMessage) {
  if (windows[0] && windows[0]->selected) {
    if (SpreadAnalysis()) {
      Tell(spreadMessage);
      return nullptr;
    }
    return windows[0];
  }
  for (COverlappedStock *n = overlays; n && n->indicator; n = n->next)
    if (n->indicator->selected) return windows[0];
  if (!overlays)
    for (CKvIndex *f = windows[0] ? windows[0]->next : nullptr; f; f = f->next)
      if (f->selected) return f;
  for (uint32_t i = 1; i < windowCount; ++i)
    for (CKvIndex *f = windows[i]; f; f = f->next)
      if (f->selected) return f;
  Tell(noneMessage);
  return nullptr;
}

void TTechForm::N3Click(TObject *) {
  CKvIndex *t = SelectedFormula("套利分析无需设置参数。  ", "请先选中要修改参数的指标。  ");
  if (!t) return;
  ModalFlag modal;
  TIndexParamDlg dialog(t, this, m_attr.period);
  if (dialog.ShowModal() != mrOk) return;
  bool changed = false;
  for (uint32_t i = 0; i < t->paramCount && i < 16; ++i) {
    const double v = std::strtod(dialog.Edits[i]->Text().c_str(), nullptr);
    CKvIndexParam p = t->params[i];
    if (v != p.value && p.minimum <= v && v <= p.maximum) {
      p.value = v;
      t->SetParam(i, p);
      changed = true;
    }
  }
  const bool allPeriods = dialog.CheckBox1->Checked();
  if (!changed && !allPeriods) return;
  t->SaveParamValues(allPeriods ? 0 : m_attr.period);
  if (t == windows[0]) {
    for (COverlappedStock *n = overlays; n; n = n->next) {
      if (!n->indicator) continue;
      for (uint32_t i = 0; i < t->paramCount; ++i) n->indicator->SetParam(i, t->params[i]);
      CalcOverlay(n, false, false);
    }
  }
  CalcFormula(t, false, false);
  Repaint();
  if (HWND frame = MainFrameHost()->MainWindow())
    PostMessageA(frame, WM_INDEX_PARAM_CHANGED, reinterpret_cast<WPARAM>(this), allPeriods ? 0 : m_attr.period);
}

void TTechForm::R3Click(TObject *) {
  if (!windows[0]) return;
  ModalFlag modal;
  TIndexRefLineDlg dialog(windows[0], this);
  if (dialog.ShowModal() != mrOk) return;
  Repaint();
  SaveRefLines();
}

void TTechForm::F1Click(TObject *) {
  CKvIndex *t = SelectedFormula("套利分析的公式不可修改。  ", "请先选中要修改的指标。  ");
  if (!t) return;
  for (const char *fixed : {"K", "TWR", "BAR", "OX"}) {
    if (strcasecmp(t->name, fixed) == 0) {
      char text[64];
      std::snprintf(text, sizeof text, "指标 %s 不可修改。  ", t->name);
      Tell(text, MB_ICONWARNING);
      return;
    }
  }
  EAutoLock lock(&KvIndexManager().lock);
  CKvIndex *lib = KvIndexManager().FindIndex(t->name);
  if (!lib) return;
  ModalFlag modal;
  if ((lib->flags & kIndexSystem) &&
      MessageBoxA(nullptr,
                  "确定要修改系统指标吗？指标修改后不可恢复，并且修改的内容有可能在软件更新时被覆盖。  ", "确认",
                  MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES)
    return;
  if (lib->flags & kIndexHasPassword) {
    for (;;) {
      TInputTextDlg ask(this);
      ask.Setup("输入密码", "请输入指标公式的密码:", nullptr, 1, 31);
      if (ask.ShowModal() != mrOk) return;
      if (strcasecmp(ask.Edit1->Text().c_str(), lib->password) == 0) break;
    }
  }
  TIndexEditorDlg editor(this);
  editor.LoadIndex(*lib);
  if (editor.ShowModal() != mrOk) return;
  const CKvIndex &e = editor.index;
  const char *a = e.formulaText ? e.formulaText : "";
  const char *b = lib->formulaText ? lib->formulaText : "";
  const bool changed = strcasecmp(a, b) != 0 || e.paramCount != lib->paramCount ||
                       std::memcmp(e.params, lib->params, sizeof e.params) != 0 ||
                       (e.flags & kIndexKindMask) != (lib->flags & kIndexKindMask) ||
                       ((e.flags & kIndexKindMask) == 1 && (e.flags & kIndexOwnRange) != (lib->flags & kIndexOwnRange));
  CKvIndex *chain = lib->next;
  lib->next = nullptr;
  lib->Assign(e);
  lib->next = chain;
  KvIndexManager().SaveInBackground();
  if (!changed) return;
  // The frame frees its own copy of the name once it has passed it on.
  auto *name = static_cast<char *>(Malloc(16));
  if (!name) return;
  std::memcpy(name, lib->name, 16);
  HWND frame = MainFrameHost()->MainWindow();
  if (!frame || !PostMessageA(frame, WM_INDEX_CHANGED, WPARAM(name), 0)) Free(name);
}

void TTechForm::N30Click(TObject *) {
  EAutoLock lock(&KvIndexManager().lock);
  ModalFlag modal;
  TIndexManagerDlg dialog(this);
  dialog.ShowModal();
}

void TTechForm::EraseIdxClick(TObject *) {
  PostMessageA(Handle(), WM_KEYDOWN, VK_DELETE, 0);
  PostMessageA(Handle(), WM_KEYUP, VK_DELETE, 0);
}

void TTechForm::TechN5Click(TObject *sender) {
  TDrawView::N5Click(sender);
  const int available = ClientWidth() - (Panel1->Visible() ? Panel1->Width() : 0);
  if (available == chartRect.right - chartRect.left) return;
  const int left = Panel1->Visible() && Panel1->Align() == alLeft ? Panel1->Width() : 0;
  chartRect = RECT{left, 0, available + left, ClientHeight()};
  for (uint32_t i = 0; i < windowCount; ++i) {
    windowRects[i].left = chartRect.left;
    windowRects[i].right = chartRect.right;
  }
  FitBitmap();
  DrawChart();
}

// ---- Formulas changed elsewhere -------------------------------------------------------------

void TTechForm::OnIndexChanged(const char *name) {
  char wanted[16];
  GbkCopyCut(name, 16, wanted, sizeof wanted);
  bool any = false;
  const bool spread = SpreadAnalysis();
  for (uint32_t i = 0; i < windowCount; ++i) {
    CKvIndex *f = windows[i];
    if (i == 0 && spread && f) f = f->next;
    for (; f; f = f->next) {
      if (strcasecmp(f->name, wanted) != 0) continue;
      any = true;
      CKvIndex *chain = f->next;
      f->next = nullptr;
      if (KvIndexManager().CopyIndex(wanted, f)) f->LoadParamValues(m_attr.period);
      // A formula the library no longer holds stays as the copy left it;
      // the formulas after it are kept either way.
      f->next = chain;
      CalcFormula(f, true, false);
      if (!(i == 0 && spread) && windows[i]) windows[i]->AssignChainLineColours(3);
      break;
    }
  }
  if (!spread) {
    for (COverlappedStock *n = overlays; n; n = n->next) {
      if (!n->indicator || strcasecmp(n->indicator->name, wanted) != 0) continue;
      any = true;
      if (KvIndexManager().CopyIndex(wanted, n->indicator)) {
        n->indicator->LoadParamValues(m_attr.period);
        CalcOverlay(n, true, false);
      }
    }
    AssignOverlayColours();
  }
  if (any) Repaint();
}

void TTechForm::OnIndexParamChanged(WPARAM sender, LPARAM period) {
  if (SpreadAnalysis() || sender == reinterpret_cast<WPARAM>(this)) return;
  if (period != 0 && period != LPARAM(m_attr.period)) return;
  for (uint32_t i = 0; i < windowCount; ++i) {
    if (!windows[i]) continue;
    windows[i]->LoadParamValues(m_attr.period);
    CalcFormula(windows[i], true, false);
  }
  for (COverlappedStock *n = overlays; n; n = n->next) {
    if (!n->indicator) continue;
    n->indicator->LoadParamValues(m_attr.period);
    CalcOverlay(n, true, false);
  }
  Repaint();
}
