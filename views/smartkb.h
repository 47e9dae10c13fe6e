// The keyboard wizard "智能键盘": an input line and a two-column list of
// what the text finds (commands, formulas, pages, instruments). Enter takes
// the current row, Esc cancels; the main window acts on the result.
#pragma once

#include <memory>

#include "classlib/forms.h"
#include "classlib/grids.h"
#include "core/xpedit.h"
#include "classlib/stdctrls.h"
#include "views/viewattr.h"
#include "views/wizardsearch.h"

// Result kinds.
constexpr int16_t kWizardResultView = 1;     // instrument or formula in the view record
constexpr int16_t kWizardResultPage = 2;     // value = page index
constexpr int16_t kWizardResultCommand = 3;  // value = hot-key record index

class TSmartKB : public TForm {
 public:
  // Reads the display flags and the web address into the view record and
  // the extra pinyin table once.
  explicit TSmartKB(TComponent *owner, const WizardSources *sources = nullptr);
  ~TSmartKB() override;

  bool MatchAll(const char *text) { return search_->MatchAll(text); }
  TWizardSearch &Search() { return *search_; }

  TXPEdit *Edit1;
  TDrawGrid *DrawGrid1;

  // The result, read by the main window after ShowModal.
  uint8_t accepted = 0;
  int16_t resultKind = 0;
  int16_t resultGroup = 0;
  int32_t resultValue = 0;
  VIEW_ATTR_13 viewAttr{};

  void Edit1Change(TObject *sender);
  void Edit1KeyDown(TObject *sender, WORD &key, TShiftState shift);
  void DrawGrid1DrawCell(TObject *sender, int col, int row, TRect rect, TGridDrawState state);
  void DrawGrid1KeyPress(TObject *sender, char &key);
  void DrawGrid1DblClick(TObject *sender);

 private:
  // Takes the current row; false when it stands for nothing.
  bool TakeRow();
  void Finish(bool taken);
  std::unique_ptr<TWizardSearch> search_;
};
