#include "formula/indexparamdlg.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "formula/indexdlgparts.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/winuser.h"

namespace {

constexpr int kEditHeight = 20;

const char *const kPeriodNames[15] = {"即时", "1分",  "3分",  "任意分", "5分",   "15分",   "30分", "60分",
                                      "日线", "周线", "月线", "季线",   "任意天", "120分", "240分"};

}  // namespace

std::string FormatIndexNumber(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", value);
  return text;
}

double ReadIndexNumber(const std::string &text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  const size_t start = i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && std::isdigit(uint8_t(text[i]))) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(uint8_t(text[i]))) ++i, ++digits;
  }
  if (!digits) return 0;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    size_t j = i + 1;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
    if (j < text.size() && std::isdigit(uint8_t(text[j]))) {
      while (j < text.size() && std::isdigit(uint8_t(text[j]))) ++j;
      i = j;
    }
  }
  return std::strtod(text.substr(start, i - start).c_str(), nullptr);
}

const char *ChartPeriodName(uint32_t period) { return period < 15 ? kPeriodNames[period] : ""; }

// ---- TIndexParamDlg --------------------------------------------------------------------------

TIndexParamDlg::TIndexParamDlg(CKvIndex *f, TComponent *owner, uint8_t chartPeriod)
    : TForm(owner), formula(f), period(chartPeriod) {
  SetBorderStyle(bsDialog);
  SetClientSize(324, 412);
  Position = poScreenCenter;
  Font()->SetName("Tahoma");
  const uint32_t count = formula ? std::min<uint32_t>(formula->paramCount, 16) : 0;
  Handle();  // the labels size themselves to their captions on a window

  char caption[96];
  std::snprintf(caption, sizeof caption, "%s 指标参数（%s）", formula ? formula->name : "", ChartPeriodName(period));
  SetCaption(caption);

  for (int i = 0; i < 16; ++i) {
    const int row = i / 2, column = i % 2;
    Labels[i] = new TLabel(this);
    Labels[i]->SetParent(this);
    Labels[i]->SetBounds(column ? 182 : 14, 15 + row * 28 + 3, 50, 14);
    char text[16];
    std::snprintf(text, sizeof text, "P%d:", i + 1);
    Labels[i]->SetCaption(text);
    Edits[i] = new TXPEdit(this);
    Edits[i]->SetParent(this);
    Edits[i]->SetBounds(column ? 242 : 74, 15 + row * 28, 70, kEditHeight);
    Edits[i]->SetMaxLength(63);
    Edits[i]->SetTabOrder(i);
  }
  CheckBox1 = new TXPCheckBox(this);
  CheckBox1->SetParent(this);
  CheckBox1->SetBounds(14, 239, 200, 17);
  CheckBox1->SetCaption("应用到所有周期");
  Memo1 = new TXPMemo(this);
  Memo1->SetParent(this);
  Memo1->SetBounds(14, 266, 297, 105);
  Memo1->SetReadOnly(true);
  Memo1->ScrollBars = ssVertical;
  Button3 = MakeIndexButton(this, "恢复默认值", 14, 382, 85, 22);
  MakeIndexOkCancel(this, Button1, Button2, 168, 242, 382, 70, 22, false);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button3->OnClick = [this](TObject *s) { Button3Click(s); };

  // Names and values; the edits begin 3 pixels after the widest label and
  // keep their right edges.
  int widest = 0;
  for (uint32_t i = 0; i < count; ++i) {
    Labels[i]->SetCaption(std::string(formula->params[i].name) + ":");
    Edits[i]->SetText(FormatIndexNumber(formula->params[i].value));
    widest = std::max(widest, Labels[i]->Width());
  }
  if (count) {
    const int shift = Edits[0]->Left() - (Labels[0]->Left() + widest + 3);
    for (uint32_t i = 0; i < count; ++i)
      Edits[i]->SetBounds(Edits[i]->Left() - shift, Edits[i]->Top(), Edits[i]->Width() + shift, kEditHeight);
  }
  for (uint32_t i = count; i < 16; ++i) {
    Labels[i]->Hide();
    Edits[i]->Hide();
  }

  if (count) {
    if (formula->usageNotes) Memo1->SetText(formula->usageNotes);
    const TXPEdit *lastRow = Edits[((count - 1) / 2) * 2];
    CheckBox1->SetTop(lastRow->Top() + lastRow->Height() + 11);
    Memo1->SetTop(CheckBox1->Top() + 27);
    const int buttons = Memo1->Top() + Memo1->Height() + 8;
    for (TXPButton *b : {Button1, Button2, Button3}) b->SetTop(buttons);
    SetHeight(buttons + Button1->Height() + 40);
  } else {
    Labels[0]->Show();
    Labels[0]->SetCaption("此指标无需设置参数。");
    for (TControl *c : std::initializer_list<TControl *>{CheckBox1, Memo1, Button2, Button3}) c->Hide();
    Button1->SetBounds(ClientWidth() / 2 - Button1->Width() / 2, Labels[0]->Top() + Labels[0]->Height() + 8,
                       Button1->Width(), Button1->Height());
    Button1->SetTabOrder(0);
    SetHeight(Button1->Top() + Button1->Height() + 40);
  }
}

double TIndexParamDlg::Value(uint32_t i) const { return i < 16 ? ReadIndexNumber(Edits[i]->Text()) : 0; }

void TIndexParamDlg::Button1Click(TObject *) {
  SetModalResult(mrNone);
  const uint32_t count = formula ? std::min<uint32_t>(formula->paramCount, 16) : 0;
  for (uint32_t i = 0; i < count; ++i) {
    TXPEdit *edit = Edits[i];
    if (edit->Text().empty()) {
      MessageBoxA(Handle(), "参数值不能留空。  ", "错误", MB_ICONERROR | MB_TOPMOST);
      if (edit->CanFocus()) edit->SetFocus();
      return;
    }
    const CKvIndexParam &p = formula->params[i];
    const double value = ReadIndexNumber(edit->Text());
    if (value > p.maximum || value < p.minimum) {
      char question[200];
      std::snprintf(question, sizeof question,
                    "参数 %u 超出了允许的取值范围，是否进行修改？如果点击“否”程序将自动修正。", i + 1);
      if (MessageBoxA(Handle(), question, "警告", MB_YESNO | MB_ICONWARNING | MB_TOPMOST) == IDYES) {
        if (edit->CanFocus()) edit->SetFocus();
        return;
      }
      edit->SetText(FormatIndexNumber(value < p.minimum ? p.minimum : p.maximum));
    }
  }
  SetModalResult(mrOk);
}

void TIndexParamDlg::Button3Click(TObject *) {
  const uint32_t count = formula ? std::min<uint32_t>(formula->paramCount, 16) : 0;
  for (uint32_t i = 0; i < count; ++i) Edits[i]->SetText(FormatIndexNumber(formula->params[i].defaultValue));
}

// ---- TIndexRefLineDlg -------------------------------------------------------------------------

std::string CleanRefLineText(const std::string &cell) {
  const std::string text = cell.substr(0, 63);
  auto numeric = [](char c) { return std::isdigit(uint8_t(c)) || c == '.' || c == '+' || c == '-'; };
  size_t i = 0;
  while (i < text.size() && !numeric(text[i])) ++i;
  std::string kept;
  bool point = false, digit = false;
  for (; i < text.size() && numeric(text[i]); ++i) {
    const char c = text[i];
    if ((c == '+' || c == '-') && !kept.empty()) break;
    if (c == '.') {
      if (point) break;
      point = true;
    }
    digit = digit || std::isdigit(uint8_t(c));
    kept += c;
  }
  return digit ? kept : std::string();
}

TIndexRefLineDlg::TIndexRefLineDlg(CKvIndex *f, TComponent *owner) : TForm(owner), formula(f) {
  SetCaption("参考线");
  SetBorderStyle(bsDialog);
  SetClientSize(315, 230);
  Position = poScreenCenter;
  Font()->SetName("Tahoma");
  Panel1 = new TPanel(this);
  Panel1->SetParent(this);
  Panel1->SetBounds(0, 0, 315, 190);
  Panel1->SetBevelOuter(bvNone);
  Panel1->SetCaption("");

  auto makeGrid = [this](int left, int firstLabel) {
    auto *grid = new TXPStringGrid(this);
    grid->SetParent(Panel1);
    grid->SetColCount(2);
    grid->SetRowCount(9);
    grid->SetFixedRows(1);
    grid->SetFixedCols(1);
    grid->SetDefaultRowHeight(18);
    grid->SetColWidths(0, 40);
    grid->SetColWidths(1, 100);
    grid->ScrollBars = ssNone;
    grid->SetOptions(grid->Options() | goEditing | goAlwaysShowEditor);
    grid->SetBounds(left, 10, 146, 9 * 19 + 3);
    grid->SetCells(0, 0, " 序号");
    grid->SetCells(1, 0, " 值");
    for (int r = 1; r <= 8; ++r) {
      char label[16];
      std::snprintf(label, sizeof label, "%4d", firstLabel + r - 1);
      grid->SetCells(0, r, label);
    }
    grid->OnKeyDown = [this](TObject *s, WORD &key, TShiftState shift) { StringGrid1KeyDown(s, key, shift); };
    return grid;
  };
  StringGrid1 = makeGrid(8, 1);
  StringGrid2 = makeGrid(161, 9);
  MakeIndexOkCancel(this, Button1, Button2, 155, 235, 198, 72, 23, false);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  // Keys the grids pass on arrive here as the dialog's own.
  OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_RETURN) Button1Click(this);
    else if (key == VK_ESCAPE) SetModalResult(mrCancel);
  };

  for (uint32_t k = 0; formula && k < formula->refLineCount && k < 16; ++k) {
    TXPStringGrid *grid = k < 8 ? StringGrid1 : StringGrid2;
    grid->SetCells(1, int(k < 8 ? k + 1 : k - 7), FormatIndexNumber(formula->refLines[k].value));
  }
  for (int g = 0; g < 2; ++g) {
    TXPStringGrid *grid = g ? StringGrid2 : StringGrid1;
    grid->SetCol(1);
    editors_[g] = std::make_unique<TIndexGridEditor>(grid);
    editors_[g]->Place();
  }
}

void TIndexRefLineDlg::Button1Click(TObject *) {
  if (formula) {
    formula->refLineCount = 0;
    for (TXPStringGrid *grid : {StringGrid1, StringGrid2})
      for (int r = 1; r <= 8; ++r) {
        const std::string kept = CleanRefLineText(grid->Cells(1, r));
        if (kept.empty()) continue;
        const size_t point = kept.find('.');
        const int32_t decimals = point == std::string::npos ? 0 : int32_t(kept.size() - point - 1);
        formula->AddRefLine(ReadIndexNumber(kept), decimals);
      }
  }
  SetModalResult(mrOk);
}

void TIndexRefLineDlg::StringGrid1KeyDown(TObject *, WORD &key, TShiftState) {
  if (key == VK_RETURN || key == VK_ESCAPE) PostMessageA(Handle(), WM_KEYDOWN, key, 0);
}
