// TIndexParamDlg "指标参数": the current values of a formula's parameters
// for one chart period. TIndexRefLineDlg "参考线": a formula's reference
// lines in two grids of eight. Neither dialog saves anything: the caller
// reads the values (or the formula's new reference lines) after OK.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/extctrls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpcheckbox.h"
#include "core/xpedit.h"
#include "core/xpmemo.h"
#include "core/xpstringgrid.h"
#include "formula/indexgridedit.h"
#include "formula/kvindex.h"

// The general form of a number: up to 15 significant digits, no trailing
// zeros (12, 0.5, 1.25).
std::string FormatIndexNumber(double value);
// A decimal number by its longest numeric prefix (leading blanks skipped);
// 0 for a text without one.
double ReadIndexNumber(const std::string &text);
// The name of a chart period code 0..14 ("即时" .. "240分"); "" past it.
const char *ChartPeriodName(uint32_t period);

class TIndexParamDlg : public TForm {
 public:
  TIndexParamDlg(CKvIndex *formula, TComponent *owner, uint8_t period);

  void Button1Click(TObject *sender);  // 确定: checks every value
  void Button3Click(TObject *sender);  // 恢复默认值

  // The value the caller takes for parameter i (0-based) after OK.
  double Value(uint32_t i) const;

  TLabel *Labels[16];
  TXPEdit *Edits[16];
  TXPCheckBox *CheckBox1;  // 应用到所有周期
  TXPMemo *Memo1;
  TXPButton *Button1, *Button2, *Button3;
  CKvIndex *formula;
  uint8_t period;
};

// Keeps the number a reference-line cell holds: from the first '+', '-',
// '.' or digit up to the first character that is none of them, a sign
// after the first kept character or a second '.'; "" when no digit is kept.
std::string CleanRefLineText(const std::string &cell);

class TIndexRefLineDlg : public TForm {
 public:
  TIndexRefLineDlg(CKvIndex *formula, TComponent *owner);

  // Rewrites the formula's reference lines from the grids and closes.
  void Button1Click(TObject *sender);
  // Enter and Esc in a grid reach the dialog's buttons.
  void StringGrid1KeyDown(TObject *sender, WORD &key, TShiftState shift);
  TIndexGridEditor *CellEditor(int grid) const { return editors_[grid ? 1 : 0].get(); }

  TPanel *Panel1;
  TXPStringGrid *StringGrid1, *StringGrid2;
  TXPButton *Button1, *Button2;
  CKvIndex *formula;

 private:
  std::unique_ptr<TIndexGridEditor> editors_[2];
};
