#include "views/smartkb.h"

#include <cstdio>
#include <cstring>

#include "formula/kvindex.h"
#include "platform/winuser.h"
#include "views/dlgtext.h"

namespace {

constexpr int kRowHeight = 18;
constexpr int kVisibleRows = 10;

}  // namespace

TSmartKB::TSmartKB(TComponent *owner, const WizardSources *sources)
    : TForm(owner), search_(std::make_unique<TWizardSearch>()) {
  SetCaption("智能键盘");
  SetBorderStyle(bsToolWindow);
  SetClientSize(230, 21 + kRowHeight * kVisibleRows);
  KeyPreview = false;

  Edit1 = new TEdit(this);
  Edit1->SetParent(this);
  Edit1->SetBounds(0, 0, 230, 21);
  Edit1->SetMaxLength(8);
  Edit1->SetTabOrder(0);
  Edit1->OnChange = [this](TObject *s) { Edit1Change(s); };
  Edit1->OnKeyDown = [this](TObject *s, WORD &k, TShiftState sh) { Edit1KeyDown(s, k, sh); };

  DrawGrid1 = new TDrawGrid(this);
  DrawGrid1->SetParent(this);
  DrawGrid1->SetBounds(0, 21, 230, kRowHeight * kVisibleRows);
  DrawGrid1->SetColCount(2);
  DrawGrid1->SetFixedCols(0);
  DrawGrid1->SetFixedRows(0);
  DrawGrid1->SetRowCount(1);
  DrawGrid1->SetDefaultRowHeight(kRowHeight);
  DrawGrid1->SetGridLineWidth(0);
  DrawGrid1->SetOptions(goRowSelect);
  DrawGrid1->ScrollBars = ssNone;
  DrawGrid1->DefaultDrawing = false;
  DrawGrid1->SetColWidths(0, 50);
  DrawGrid1->SetColWidths(1, DrawGrid1->ClientWidth() - 50);
  DrawGrid1->SetEnabled(false);
  DrawGrid1->OnDrawCell = [this](TObject *s, int c, int r, TRect rect, TGridDrawState st) {
    DrawGrid1DrawCell(s, c, r, rect, st);
  };
  DrawGrid1->OnKeyPress = [this](TObject *s, char &k) { DrawGrid1KeyPress(s, k); };
  DrawGrid1->OnDblClick = [this](TObject *s) { DrawGrid1DblClick(s); };

  std::memset(static_cast<void *>(&viewAttr), 0, 340);
  viewAttr.displayFlags = DefaultDisplayFlags();
  DefaultWebAddress(viewAttr.webAddress);
  search_->SetSources(sources);
  search_->LoadPinyinExtra();
  DoCreate();
}

TSmartKB::~TSmartKB() = default;

void TSmartKB::Edit1Change(TObject *) {
  std::string text = Edit1->Text();
  if (search_->MatchAll(text.c_str())) {
    if (!DrawGrid1->Enabled()) DrawGrid1->SetEnabled(true);
    DrawGrid1->SetRowCount(search_->RowCount());
  } else {
    search_->SetNoMatchRow();
    DrawGrid1->SetRowCount(1);
    DrawGrid1->SetEnabled(false);
    if (Showing() && Edit1->CanFocus()) Edit1->SetFocus();
  }
  DrawGrid1->SetCol(0);
  DrawGrid1->SetRow(0);
  DrawGrid1->SetLeftCol(0);
  DrawGrid1->Invalidate();
}

bool TSmartKB::TakeRow() {
  int row = DrawGrid1->Row();
  if (search_->RowCount() < 1 || search_->NoMatch() || row < 0 || row >= search_->RowCount()) return false;
  const WIZARDROW &r = search_->Row(row);
  resultGroup = int16_t(r.group);
  switch (r.group) {
    case kWizardCommand:
      resultKind = kWizardResultCommand;
      resultValue = r.value;
      return true;
    case kWizardIndicator: {
      const WizardSources *sources = search_->Sources();
      const CKvIndex *formula = sources ? sources->FormulaAt(r.value) : nullptr;
      if (!formula) return false;
      resultKind = kWizardResultView;
      std::memcpy(viewAttr.formulas[0], formula->name, sizeof viewAttr.formulas[0]);
      viewAttr.formulas[0][sizeof viewAttr.formulas[0] - 1] = 0;
      return true;
    }
    case kWizardPage:
      resultKind = kWizardResultPage;
      resultValue = r.value;
      return true;
    case kWizardStock: {
      if (r.value >= search_->StockCount()) return false;
      const STKINFO &s = search_->Stock(r.value);
      resultKind = kWizardResultView;
      viewAttr.stock = STKPTR(s.market, s.kind, s.index);
      return true;
    }
  }
  return false;
}

void TSmartKB::Finish(bool taken) {
  accepted = taken ? 1 : 0;
  if (Modal()) SetModalResult(taken ? mrOk : mrCancel);
  else Hide();
}

void TSmartKB::Edit1KeyDown(TObject *, WORD &key, TShiftState) {
  switch (key) {
    case VK_RETURN: {
      // The blank row shown when nothing matched stands for no choice.
      bool taken = TakeRow();
      key = 0;
      Edit1->Clear();
      Finish(taken);
      break;
    }
    case VK_ESCAPE:
      key = 0;
      Finish(false);
      break;
    case VK_UP:
    case VK_DOWN:
    case VK_PRIOR:
    case VK_NEXT: {
      if (DrawGrid1->Enabled()) {
        int row = DrawGrid1->Row(), last = DrawGrid1->RowCount() - 1;
        int page = DrawGrid1->VisibleRowCount() > 0 ? DrawGrid1->VisibleRowCount() : 1;
        if (key == VK_UP) row -= 1;
        if (key == VK_DOWN) row += 1;
        if (key == VK_PRIOR) row -= page;
        if (key == VK_NEXT) row += page;
        DrawGrid1->SetRow(row < 0 ? 0 : row > last ? last : row);
      }
      if (key == VK_UP || key == VK_DOWN) Edit1->SetSelStart(int(Edit1->Text().size()));
      key = 0;
      break;
    }
    default:
      break;
  }
}

void TSmartKB::DrawGrid1DrawCell(TObject *, int col, int row, TRect rect, TGridDrawState state) {
  TCanvas *canvas = DrawGrid1->Canvas();
  bool selected = (state & (gdSelected | gdFocused)) || row == DrawGrid1->Row();
  canvas->Brush()->SetColor(selected ? TColor(RGB(128, 128, 128)) : TColor(RGB(255, 255, 255)));
  canvas->FillRect(rect);
  if (row < 0 || row >= search_->RowCount()) return;
  const WIZARDROW &r = search_->Row(row);
  std::string text;
  TColor colour = TColor(RGB(0, 0, 0));
  const WizardSources *sources = search_->Sources();
  switch (r.group) {
    case kWizardCommand:
      if (const HOTKEYDEF *keys = sources ? sources->HotKeys() : nullptr)
        text = col == 0 ? FieldText(keys[r.value].keys, 16) : FieldText(keys[r.value].name, 16);
      if (col == 1) colour = TColor(RGB(255, 0, 0));
      break;
    case kWizardStock: {
      const STKINFO &s = search_->Stock(r.value);
      text = col == 0 ? FieldText(s.code, sizeof s.code) : FieldText(s.name, sizeof s.name);
      if (col == 1) colour = TColor(RGB(0, 0, 255));
      break;
    }
    case kWizardIndicator:
      if (const CKvIndex *f = sources ? sources->FormulaAt(r.value) : nullptr)
        text = col == 0 ? FieldText(f->name, sizeof f->name) : FieldText(f->description, sizeof f->description);
      if (col == 1) colour = TColor(RGB(0, 128, 0));
      break;
    case kWizardPage:
      if (col == 0) {
        char label[16];
        std::snprintf(label, sizeof label, ".%d", r.value);
        text = label;
      } else if (sources) {
        text = sources->PageName(r.value);
      }
      break;
  }
  if (selected) colour = TColor(RGB(255, 255, 0));
  canvas->Font()->SetColor(colour);
  canvas->Brush()->SetStyle(bsClear);
  canvas->TextOut(rect.Left + 1, rect.Top + 1, text);
  canvas->Brush()->SetStyle(bsSolid);
}

void TSmartKB::DrawGrid1KeyPress(TObject *, char &key) {
  if (key == 0) return;
  Edit1->SetFocus();
  PostMessageA(Edit1->Handle(), WM_CHAR, WPARAM(uint8_t(key)), 0);
  key = 0;
}

void TSmartKB::DrawGrid1DblClick(TObject *) {
  if (!DrawGrid1->Enabled()) return;
  bool taken = TakeRow();
  Edit1->Clear();
  Finish(taken);
}
