// The condition-order dialog without a window: the fields as the form
// shows them, filling them for a new order or from an order, the layouts,
// the summary, the price words, the steps, and OK, which checks the input
// and builds the order into the desk's list. The form (TSetConditionOrderDlg)
// mirrors these fields and forwards input here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "trading/deskrecords.h"

class TTradeDesk;

// The four words the price field takes besides a number.
extern const char *const kConditionPriceWords[4];

enum class TConditionField { None, Contract, TriggerPrice, Price, Volume, Stop, Trailing, Profit };
enum : int { kConditionOnPrice = 0, kConditionAtOpen = 1, kConditionAtTime = 2, kConditionByHand = 3 };
enum : int { kOffsetOpen = 0, kOffsetCloseToday = 1, kOffsetClose = 2 };

struct TConditionDialogFields {
  std::string contract;
  bool sell = false;
  int offset = kOffsetOpen;
  int condition = kConditionOnPrice;
  int source = 0;      // 最新价, 买一价, 卖一价
  int ticks = 2;
  int comparison = 0;  // ">=", "<="
  std::string triggerPrice;
  int hour = 0, minute = 0, second = 0;  // the time picker
  std::string price;
  std::string volume = "1";
  std::string stop, trailing, profit;
  bool cancelIf = false;
  int seconds = 5;
  bool reorder = true;
  int validity = 0;  // 0 永久, 1 当日
  bool advanced = false;
};

class TConditionDialogModel {
 public:
  explicit TConditionDialogModel(TTradeDesk &desk);

  TConditionDialogFields fields;
  // The current hedge flag of the desk.
  char hedge = '1';
  // The trade date a day-valid order gets; the plug-in's by default.
  std::function<int32_t()> tradeDate;
  // Bid 1 and ask 1 of the chosen contract (0 when none); its quote by
  // default.
  std::function<void(double &bid, double &ask)> market;

  // Direction hint above 0: sell. Offset hint 0 or less: open, 2 close,
  // other close today.
  void InitForNew(const CContractInfo *contract, int directionHint, int offsetHint, const std::string &price,
                  int32_t volume);
  // For "修改": the order at that index of the list.
  void InitFromOrder(const CContractInfo *contract, int32_t index);

  // The contract text changed: a short name becomes its code and the
  // record is looked up.
  void SetContract(const std::string &text);
  const CContractInfo *Contract() const { return contract_; }
  int Decimals() const;

  // Visibility by the fields.
  bool CancelOptionsVisible() const;
  bool StopFieldsVisible() const { return fields.offset == kOffsetOpen; }
  // The price field was left: letters become the default word.
  void PriceFieldLeft();
  // An arrow or wheel step in one of the five price fields.
  void Step(TConditionField field, bool up);
  std::string Summary() const;
  // The layout switch (tag 1: advanced shown).
  void ToggleLayout() { fields.advanced = !fields.advanced; }

  // OK: true when the order was stored and the dialog closes; false with
  // the reason shown and focus set to the field concerned.
  bool Ok();
  TConditionField focus = TConditionField::None;
  // The index being edited, -1 for a new order.
  int32_t editing = -1;

 private:
  std::string &Text(TConditionField field);
  bool Refuse(const char *text, TConditionField field);

  TTradeDesk &desk_;
  const CContractInfo *contract_ = nullptr;
};

// A price is a whole number of ticks (within 0.0001).
bool ConditionTickMultiple(double price, double tick);
// A format of a format: "%%.%if" printed with the decimals (held to
// 0..6), then with the value.
std::string ConditionFormatWithDecimals(const char *format, int decimals, double value);

// What the order panel hands over for a new condition order.
struct TConditionRequest {
  std::string contract, price;
  int32_t volume = 1;
  int directionHint = -1, offsetHint = -1;
  char hedge = '1';
};
// The dialog's run by the window: modal, with the shell's modal-dialog
// flag set; returns true on OK.
struct TConditionDialogRun {
  std::function<bool(TConditionDialogModel &)> runModal;
  // After OK: "DEALLIST.SET" saved, the order panel reset, the page shown.
  std::function<void()> saveConditionOrders;
  std::function<void()> resetOrderPanel;
  std::function<void()> showConditionPage;
  // A refused request gives the focus back to the order panel.
  std::function<void()> refocusOrderPanel;
  // The rights byte of the account.
  std::function<uint8_t()> rights;
};
// "条件单" on the order panel: the checks, the dialog, and after OK the
// save, the panel reset and the condition page. True when an order was
// added.
bool OpenNewConditionOrder(TTradeDesk &desk, const TConditionRequest &request, const TConditionDialogRun &run);
