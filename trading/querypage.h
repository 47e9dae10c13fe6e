// The query page of the trading window: funds, settlement statements,
// position details, trade history, trade statistics and money moves, asked
// of the plug-in tab by tab; the answers come back through the dispatcher
// into the memo. Also printing the memo and the disclaimer link of the
// login page. The page keeps the texts and states its controls show.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"
#include "trading/bankpage.h"

class TPrinter;

class TQueryPage {
 public:
  enum Tab { kFunds, kStatement, kPositionDetail, kHistory, kStatistics, kMoney, kPassword };
  static constexpr COLORREF kBlue = 0xFF0000, kRed = 0x0000FF;

  explicit TQueryPage(TQueryGate &gate);

  // True when market 3 is missing or inside a session now; by default the
  // market table's.
  std::function<bool()> historyLocked;
  // The login page's disclaimer: the program's general one, or the trading
  // one with its caption (the text of ".\tradead.txt").
  std::function<void()> showGeneralDisclaimer;
  std::function<void(const char *caption)> showTradingDisclaimer;

  // ---- what the controls show ----
  int tab = kFunds;
  std::string firstLabel, secondLabel;  // Label6, Label16
  std::string firstDate, secondDate;    // XPEdit3, XPEdit11
  bool firstShown = false, secondShown = false, radiosShown = false;
  bool daily = true;
  bool cfmmcShown = false;
  bool passwordPanel = false;  // Panel15 instead of Panel17
  std::string hint;            // Label22
  COLORREF hintColour = kBlue;
  std::string memo;

  // ---- handlers ----
  void ChangeTab(int index);
  void StatementKindClick(bool dailyStatement);
  void Query(uint32_t now);
  void QueryCfmmc();
  // Runs the print dialog and prints the memo; false when cancelled.
  bool Print();
  void DisclaimerClick();

  // The trade date the plug-in reports (YYYYMMDD), and that date days
  // calendar days earlier.
  static std::string TradeDate();
  static std::string DaysBefore(const std::string &date, int days);

 private:
  void Hint(COLORREF colour, std::string text);
  TQueryGate &gate_;
};

// Prints text lines on the printer's open document from the top-left
// margin of 200 units, starting a new page when a line does not fit; a line
// too tall for an empty page goes on a page of its own.
void PrintMemoLines(TPrinter &printer, const std::vector<std::string> &lines);
