// The bank page of the trading window: transfers between the futures
// account and the investor's bank accounts, bank and futures funds, and the
// transfer records. The page keeps its bank list (the desk's bank array and
// one combo item per bank) and the texts its controls show; the window's
// form shows them. The bank notifications of the dispatcher land in the
// On... handlers, which also run the bank steps of the login chain.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/windef.h"
#include "trading/deskdata.h"

// When the last server query from the trading window was made, and how
// far apart two may be. The query page, the bank page's records and the
// lists' refresh share one.
struct TQueryGate {
  uint32_t lastTick = 0;  // 0: none yet
  uint32_t intervalMs = 10000;
  // True, and the new last tick noted, when a query may go now.
  bool Pass(uint32_t now);
  // " 为减轻对服务器的压力，两次查询之间应间隔 %u 秒。" without the lead.
  std::string RefusalText() const;
};

// The masked account of the combo: all but the last four characters as
// '*' when it is longer than four.
std::string MaskedBankAccount(const char *account);

// The whole text of a file; empty when it cannot be read.
std::string ReadTextFile(const char *path);

class TBankPage {
 public:
  TBankPage(TTradeDesk &desk, TQueryGate &gate);

  // Where the page posts its own notifications and owns its boxes.
  HWND window = nullptr;
  // What the plug-in's short-name call answers without a buffer.
  int tradeSystemKind = 1;
  // The login chain goes on after the withdrawal minimum.
  std::function<void()> chainEnd;

  // ---- what the controls show ----
  static constexpr COLORREF kBlue = 0xFF0000, kRed = 0x0000FF;
  std::vector<std::string> items;  // the bank combo, one per bank
  int selected = -1;
  int tab = 0;
  bool notePanel = false;  // the plug-in has no bank transfers
  std::string notice;      // LabelBankNotice
  COLORREF noticeColour = kBlue;
  std::string chainText;   // the login page's message line
  std::string fundsPassword, bankPassword, amount;
  std::string futuresFunds = "待查", bankFunds = "待查";
  std::string memo;
  bool memoAtEnd = false;
  int32_t withdrawMinimum = 0;

  // ---- handlers ----
  void ShowTab(int index);
  void SelectBank(int index);
  void TransferBankToFuture() { Transfer(true); }
  void TransferFutureToBank() { Transfer(false); }
  void QueryBankFunds();
  void QueryFuturesFunds();
  void QueryTransfers(uint32_t now);
  // Empties the bank list (the position list of the login chain ended).
  void ClearBanks();

  // ---- the dispatcher's bank cases ----
  // Any of them by its code (TN_TEXT_FLAG set on a failure); the page
  // returns the block.
  void OnNotify(WPARAM wParam, LPARAM lParam);
  // The combo anew from the desk's bank list (as the login chain left it),
  // the banks' names kept in the account's file.
  void TakeBanks();
  // A funds report: the withdrawal minimum and the withdrawable funds.
  void OnFuturesFunds(int32_t minimum, double withdrawable);
  void OnBanks(WPARAM wParam, LPARAM lParam);
  void OnBankAccount(WPARAM wParam, LPARAM lParam);
  void OnBankAccountChanged(WPARAM wParam, LPARAM lParam);
  void OnWithdrawLimit(WPARAM wParam, LPARAM lParam);
  void OnBankBalance(WPARAM wParam, LPARAM lParam);
  void OnBankTransfers(WPARAM wParam, LPARAM lParam);
  void OnTransferDone(bool bankToFuture, WPARAM wParam, LPARAM lParam);

  // The key the plug-in knows a bank's account by.
  std::string AccountKey(const CKivoTransferBankField &bank) const;
  std::string ItemText(const CKivoTransferBankField &bank) const;

 private:
  void Transfer(bool bankToFuture);
  void Notice(COLORREF colour, std::string text);
  void MinimumNotice();
  // Asks the first bank without account; true when one was asked.
  bool AskNextAccount();
  void LimitStep();
  void RemoveBank(int index);
  void Free(LPARAM block);
  void ErrorBox(const std::string &text);
  CKivoTransferBankField *Selected();

  TTradeDesk &desk_;
  TQueryGate &gate_;
};
