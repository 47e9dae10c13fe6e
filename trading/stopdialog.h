// The stop-loss and take-profit dialog without a window: a private copy
// of one position's stop entries, the rows the list shows, the in-place
// edits with their checks, the arrow steps, "全部删除", saving and the
// fills that change the position while the dialog is open. The form
// (TSetStopOrderDlg) shows the rows and forwards input here; notices and
// closing are posted through the hooks so that they come after the
// current edit.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trading/deskrecords.h"

class TTradeDesk;

// How uncovered volume is split into empty rows.
enum class TStopSplit { Auto, One, Default };

enum : int {
  kStopColumnTime,
  kStopColumnVolume,
  kStopColumnStop,
  kStopColumnTrailing,
  kStopColumnProfit,
  kStopColumnExpiry,
  kStopColumns
};

// The notices the dialog posts itself (the codes of its private message).
const char *StopDialogNoticeText(int code);

// An automatic stop an opening fill adds while the dialog is open.
struct TStopAddition {
  int32_t volume = 0;
  double stop = 0, trailing = 0, profit = 0, reference = 0;
  int32_t expiryKind = 0;
};

class TStopDialogModel {
 public:
  explicit TStopDialogModel(TTradeDesk &desk);
  ~TStopDialogModel();
  TStopDialogModel(const TStopDialogModel &) = delete;
  TStopDialogModel &operator=(const TStopDialogModel &) = delete;

  // The instrument's last price (0 when none); its quote by default.
  std::function<double()> lastPrice;
  // The trade date a day-valid entry gets; the plug-in's by default.
  std::function<int32_t()> tradeDate;
  // Posted: a notice code, the dialog's closing, the editors hidden.
  std::function<void(int code)> notice;
  std::function<void()> close;
  std::function<void()> hideEditors;

  // Takes the position, copies its valid entries and fills the list with
  // "自动" checked. defaultCloseVolume 0: the first uncovered volume.
  void SetPosition(const InvestorPosition_Lite &position, double tick, int32_t defaultCloseVolume);
  const InvestorPosition_Lite &Position() const { return position_; }
  // "为 %s （%s,%s）设置止损止盈。"
  std::string Caption() const;

  TStopSplit split = TStopSplit::Auto;
  // A radio button: the split changes and the list is filled again.
  void SetSplit(TStopSplit split);
  std::vector<std::array<std::string, kStopColumns>> rows;
  int32_t DefaultVolume() const { return defaultVolume_; }
  // The validity editor's first choice (the option): 0 永久, 1 当日.
  int ExpiryDefault() const;

  // The sum of the volumes of the position's records.
  int32_t PositionTotal() const;
  // The largest volume the row's editor accepts.
  int32_t VolumeLimit(int row) const;
  // The volume editor is open on a row (its arrows' maximum and value).
  bool volumeEditing = false;
  int volumeRow = -1;
  int32_t volumeMaximum = 0, volumeValue = 0;
  void BeginVolumeEdit(int row);

  // An in-place editor closed on the row with its text.
  void FinishEdit(int row, int column, const std::string &text);
  // An arrow or wheel step in the price editors (stop, trailing, profit)
  // from the editor's text; the new text.
  std::string Step(int column, const std::string &text, bool up) const;
  // "全部删除" answered yes.
  void DeleteAll();
  // "保存": true when the dialog closes (written, or no holder could be
  // made); false with the refusal shown and the dialog kept open.
  bool Save();
  // A fill changed a position while the dialog is open; false when it is
  // not the dialog's.
  bool OnPositionChanged(const InvestorPosition_Lite &position, const TStopAddition *added);

  // The working copy (tests).
  const StopOrderPointer *Copy() const { return copy_; }

 private:
  void Fill(bool dropInvalid);
  StopOrder *Entry(int row) const;
  std::string Price(double value) const;
  void Notice(int code) const;
  double Last() const;
  int32_t TradeDate() const;

  TTradeDesk &desk_;
  StopOrderPointer *copy_ = nullptr;
  InvestorPosition_Lite position_{};
  double tick_ = 0;
  int32_t defaultVolume_ = 0;
  int decimals_ = 2;
};

// The dialog's refusal of a save, by the position's direction.
std::string StopSaveRefusalText(char direction);

// What opening the dialog needs of the window: the modal run of the form
// (which sets the shell's modal-dialog flag around it), the position
// list's stop columns and the focus afterwards.
struct TStopDialogRun {
  std::function<void(TStopDialogModel &)> runModal;
  std::function<void(const InvestorPosition_Lite &)> updateStopColumns;
  std::function<void()> refocusOrderPanel;
};

// The dialog for a position: nothing for none, a volume not above 0 or a
// direction other than long or short; "该合约不存在或不可交易。  " for an
// unknown instrument. While it runs the dialog is published (the stop
// engine skips its position).
void SetStopOrderForPosition(TTradeDesk &desk, const InvestorPosition_Lite *position, const TStopDialogRun &run);
// The open dialog, null when none.
TStopDialogModel *OpenStopDialog();
// A fill changed a position (null: a closing fill; added: the automatic
// stop it attached): handed to the open dialog, if any.
void StopDialogPositionChanged(const InvestorPosition_Lite *position, const TStopAddition *added);
