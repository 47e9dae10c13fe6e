#include "trading/bankpage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/emem.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/handles.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/winuser.h"
#include "trading/dispatcher.h"
#include "trading/pluginapi.h"

using tb::TN_TEXT_FLAG;

namespace {

bool IsFailure(WPARAM wParam) { return (wParam & TN_TEXT_FLAG) != 0; }

std::string BlockText(LPARAM lParam, const char *fallback) {
  if (!lParam) return fallback;
  const char *text = reinterpret_cast<const char *>(lParam);
  return std::string(text, strnlen(text, tb::kMaxBlockText));
}

std::string BankId(const CKivoTransferBankField &bank) {
  const char *id = bank.BankID;  // bytes 0 to 8
  return std::string(id, strnlen(id, 9));
}

std::string AccountOf(const CKivoTransferBankField &bank) {
  char account[32];
  tb::BankAccountText(bank, account);
  return account;
}

// An amount of money typed as a decimal number; 0 when it is not one.
double ParseAmount(const std::string &text) {
  const char *begin = text.c_str();
  char *end = nullptr;
  errno = 0;
  const double value = strtod(begin, &end);
  if (end == begin || errno) return 0;
  while (*end == ' ') ++end;
  return *end ? 0 : value;
}

}  // namespace

std::string ReadTextFile(const char *path) {
  std::string text;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) text.append(buffer, n);
  CloseHandle(file);
  return text;
}

bool TQueryGate::Pass(uint32_t now) {
  if (now == 0) now = 1;
  if (lastTick && !TicksElapsed(lastTick, now, intervalMs)) return false;
  lastTick = now;
  return true;
}

std::string TQueryGate::RefusalText() const {
  char text[96];
  snprintf(text, sizeof text, "为减轻对服务器的压力，两次查询之间应间隔 %u 秒。", intervalMs / 1000);
  return text;
}

std::string MaskedBankAccount(const char *account) {
  std::string masked(account ? account : "");
  if (masked.size() > 4) masked.replace(0, masked.size() - 4, masked.size() - 4, '*');
  return masked;
}

TBankPage::TBankPage(TTradeDesk &desk, TQueryGate &gate) : desk_(desk), gate_(gate) {}

std::string TBankPage::AccountKey(const CKivoTransferBankField &bank) const {
  if (tradeSystemKind == 1) return AccountOf(bank);
  return std::string(bank.Zero4, strnlen(bank.Zero4, sizeof bank.Zero4));
}

std::string TBankPage::ItemText(const CKivoTransferBankField &bank) const {
  const std::string name(bank.BankName, strnlen(bank.BankName, sizeof bank.BankName));
  if (tradeSystemKind != 1 && tradeSystemKind != 2) return name;
  return name + " " + MaskedBankAccount(AccountOf(bank).c_str());
}

void TBankPage::Notice(COLORREF colour, std::string text) {
  noticeColour = colour;
  notice = std::move(text);
}

void TBankPage::MinimumNotice() {
  if (!withdrawMinimum) return Notice(kBlue, "");
  char text[64];
  snprintf(text, sizeof text, "交易期间，出金下限为%i元。", withdrawMinimum);
  Notice(kBlue, text);
}

void TBankPage::Free(LPARAM block) {
  if (block && TradePlugin.TraderDllFree) TradePlugin.TraderDllFree(reinterpret_cast<void *>(block));
}

void TBankPage::ErrorBox(const std::string &text) {
  MessageBoxA(window, text.c_str(), "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

CKivoTransferBankField *TBankPage::Selected() {
  if (selected < 0 || selected >= desk_.banks.GetCount()) return nullptr;
  return &desk_.banks.GetData()[selected];
}

void TBankPage::ShowTab(int index) {
  if (!TradePlugin.QueryBank) {
    notePanel = true;
    return;
  }
  tab = index;
  if (tab == 0) MinimumNotice();
  notePanel = false;
}

void TBankPage::SelectBank(int index) {
  selected = index;
  bankFunds = "待查";
}

void TBankPage::Transfer(bool bankToFuture) {
  auto *entry = bankToFuture ? TradePlugin.TransferBankToFuture : TradePlugin.TransferFutureToBank;
  CKivoTransferBankField *bank = Selected();
  if (!entry || !bank) return;
  const double value = ParseAmount(amount);
  if (!(value > 0)) return Notice(kRed, bankToFuture ? "请正确填写转帐金额。" : "请正确填写转帐金额");
  if (fundsPassword.empty()) return Notice(kRed, "请填写资金密码");
  std::string funds = fundsPassword, bankWord = bankPassword, key = AccountKey(*bank);
  fundsPassword.clear();
  bankPassword.clear();
  amount.clear();
  CKivoTransferBankField record = *bank;
  const int r = entry(reinterpret_cast<char *>(&record), key.data(), funds.data(), bankWord.data(), value);
  if (r) {
    char text[48];
    snprintf(text, sizeof text, "转帐失败 (%i) ", r);
    return Notice(kRed, text);
  }
  Notice(kBlue, bankToFuture ? "正在执行转帐（银行转期货）..." : "正在执行转帐（期货转银行）...");
}

void TBankPage::QueryBankFunds() {
  CKivoTransferBankField *bank = Selected();
  if (!TradePlugin.QueryBankBalance || !bank) return;
  std::string funds = fundsPassword.substr(0, 63), bankWord = bankPassword.substr(0, 63);
  if (funds.empty()) return Notice(kRed, "请填写资金密码");
  fundsPassword.clear();
  bankPassword.clear();
  amount.clear();
  std::string key = AccountKey(*bank);
  CKivoTransferBankField record = *bank;
  const int r = TradePlugin.QueryBankBalance(reinterpret_cast<char *>(&record), key.data(), funds.data(),
                                             bankWord.data());
  if (r) {
    char text[48];
    snprintf(text, sizeof text, "查银行资金失败 (%i) ", r);
    return Notice(kRed, text);
  }
  Notice(kBlue, "正在查询银行资金...");
}

void TBankPage::QueryFuturesFunds() {
  if (!TradePlugin.QueryTradingAccount) return;
  char date[16] = {};
  if (TradePlugin.GetTradeDate) TradePlugin.GetTradeDate(date);
  const int r = TradePlugin.QueryTradingAccount(date, 0);
  if (r) {
    char text[48];
    snprintf(text, sizeof text, "查期货资金失败 (%i) ", r);
    return Notice(kRed, text);
  }
  Notice(kBlue, "正在查询期货资金...");
}

void TBankPage::QueryTransfers(uint32_t now) {
  if (!gate_.Pass(now)) {
    memo = "\r\n " + gate_.RefusalText();
    return;
  }
  CKivoTransferBankField *bank = Selected();
  if (!TradePlugin.QueryBankTransferDetail || !bank) return;
  std::string key = AccountKey(*bank);
  CKivoTransferBankField record = *bank;
  const int r = TradePlugin.QueryBankTransferDetail(reinterpret_cast<char *>(&record), key.data());
  char text[48];
  if (r) snprintf(text, sizeof text, "查询转帐记录失败 (%i) ", r);
  memo = r ? text : "正在查询转帐记录...";
}

void TBankPage::ClearBanks() {
  desk_.banks.RemoveAll();
  items.clear();
  selected = -1;
}

void TBankPage::RemoveBank(int index) {
  desk_.banks.RemoveAt(index, 1);
  items.erase(items.begin() + index);
  if (selected == index) selected = -1;
  else if (selected > index) --selected;
}

bool TBankPage::AskNextAccount() {
  if (!TradePlugin.QueryBankAccount) return false;
  for (int i = 0; i < desk_.banks.GetCount(); ++i) {
    CKivoTransferBankField &bank = desk_.banks.GetData()[i];
    if (bank.BankAccount[0]) continue;
    CKivoTransferBankField record = bank;
    if (TradePlugin.QueryBankAccount(reinterpret_cast<char *>(&record)) != 0) return false;
    std::memset(bank.BankAccount, 0, sizeof bank.BankAccount);
    bank.BankAccount[0] = 'X';
    chainText = "正在查询银行帐号...";
    return true;
  }
  return false;
}

void TBankPage::LimitStep() {
  const auto failed = [this] {
    PostMessageA(window, WM_TRADE_NOTIFY, tb::TN_WITHDRAW_LIMIT | TN_TEXT_FLAG, 0);
  };
  if (!TradePlugin.QueryFutureToBankLimit || desk_.banks.GetCount() == 0) return failed();
  CKivoTransferBankField record = desk_.banks.GetData()[0];
  char text[6] = {};
  std::memcpy(text, record.Zero4, strnlen(record.Zero4, sizeof record.Zero4));
  if (TradePlugin.QueryFutureToBankLimit(reinterpret_cast<char *>(&record), text) != 0) return failed();
  chainText = "正在查询转帐限额...";
}

void TBankPage::OnBanks(WPARAM wParam, LPARAM lParam) {
  if (IsFailure(wParam)) {
    Notice(kRed, BlockText(lParam, "查询银行列表失败，系统内存不足。"));
    Free(lParam);
  } else if (lParam) {
    CKivoTransferBankField bank;
    std::memcpy(&bank, reinterpret_cast<const void *>(lParam), sizeof bank);
    Free(lParam);
    bank.BankName[sizeof bank.BankName - 1] = 0;
    const std::string key = "B" + BankId(bank);
    WritePrivateProfileStringA("Bank", key.c_str(), bank.BankName, desk_.AccountFile("Consign.ini").c_str());
    if (desk_.banks.Add(bank) >= 0) items.push_back(ItemText(bank));
    return;
  }
  if (!items.empty()) selected = 0;
  if (!AskNextAccount()) LimitStep();
}

void TBankPage::OnBankAccount(WPARAM wParam, LPARAM lParam) {
  if (IsFailure(wParam)) {
    Free(lParam);
    return LimitStep();
  }
  if (lParam) {
    CKivoTransferBankField answer;
    std::memcpy(&answer, reinterpret_cast<const void *>(lParam), sizeof answer);
    Free(lParam);
    const std::string account = AccountOf(answer);
    for (int i = 0; i < desk_.banks.GetCount(); ++i) {
      CKivoTransferBankField &bank = desk_.banks.GetData()[i];
      // An answer without an account leaves the bank marked as asked, so
      // it is dropped at the end instead of being asked for ever.
      if (std::memcmp(bank.BankID, answer.BankID, 9) != 0 || account.empty()) continue;
      std::memset(bank.BankAccount, 0, sizeof bank.BankAccount);
      std::memcpy(bank.BankAccount, account.data(), account.size());
      items[size_t(i)] = ItemText(bank);
      break;
    }
    return;
  }
  if (AskNextAccount()) return;
  for (int i = desk_.banks.GetCount() - 1; i >= 0; --i)
    if (desk_.banks.GetData()[i].BankAccount[0] == 'X') RemoveBank(i);
  if (!items.empty()) selected = 0;
  LimitStep();
}

void TBankPage::OnBankAccountChanged(WPARAM, LPARAM lParam) {
  if (!lParam) return;
  CKivoTransferBankField record;
  std::memcpy(&record, reinterpret_cast<const void *>(lParam), sizeof record);
  Free(lParam);
  const std::string account = AccountOf(record);
  for (int i = 0; i < desk_.banks.GetCount(); ++i) {
    CKivoTransferBankField &bank = desk_.banks.GetData()[i];
    if (std::memcmp(bank.BankID, record.BankID, 9) != 0) continue;
    if (account.empty()) {
      RemoveBank(i);
      if (selected < 0 && !items.empty()) selected = 0;
    } else {
      std::memset(bank.BankAccount, 0, sizeof bank.BankAccount);
      std::memcpy(bank.BankAccount, account.data(), account.size());
      items[size_t(i)] = ItemText(bank);
    }
    return;
  }
  const std::string key = "B" + BankId(record);
  std::memset(record.BankName, 0, sizeof record.BankName);
  GetPrivateProfileStringA("Bank", key.c_str(), "", record.BankName, 48, desk_.AccountFile("Consign.ini").c_str());
  if (desk_.banks.Add(record) < 0) return;
  items.push_back(ItemText(record));
  if (items.size() == 1) selected = 0;
}

void TBankPage::OnWithdrawLimit(WPARAM wParam, LPARAM lParam) {
  withdrawMinimum = 0;
  if ((wParam >> 16) == 0 && lParam) std::memcpy(&withdrawMinimum, reinterpret_cast<const void *>(lParam), 4);
  Free(lParam);
  if (chainEnd) chainEnd();
}

void TBankPage::OnBankBalance(WPARAM wParam, LPARAM lParam) {
  if (IsFailure(wParam)) {
    const std::string text = BlockText(lParam, "查银行资金失败，系统内存不足。");
    Notice(kRed, text);
    ErrorBox(text);
    return Free(lParam);
  }
  if (!lParam) return Notice(kRed, "查银行资金失败，系统内存不足。");
  MinimumNotice();
  tb::TB_BANK_BALANCE balance;
  std::memcpy(&balance, reinterpret_cast<const void *>(lParam), sizeof balance);
  char text[48];
  snprintf(text, sizeof text, "%.2f", balance.Balance);
  bankFunds = text;
  Free(lParam);
}

void TBankPage::OnBankTransfers(WPARAM wParam, LPARAM lParam) {
  if (IsFailure(wParam) || !lParam) {
    memo = BlockText(lParam, "查转帐记录失败，系统内存不足。");
    return Free(lParam);
  }
  // A path outside the program's folder is neither read nor deleted.
  const std::string path = BlockPathInside(reinterpret_cast<const char *>(lParam), tb::kMaxBlockText);
  memo = path.empty() ? std::string() : ReadTextFile(path.c_str());
  if (!path.empty()) DeleteFileA(path.c_str());
  Free(lParam);
  memoAtEnd = true;
}

void TBankPage::OnTransferDone(bool bankToFuture, WPARAM wParam, LPARAM lParam) {
  if (IsFailure(wParam)) {
    const std::string text = BlockText(
        lParam, bankToFuture ? "转帐（银行转期货）失败，系统内存不足。" : "转帐（期货转银行）失败，系统内存不足。");
    Notice(kRed, text);
    ErrorBox(text);
    return Free(lParam);
  }
  amount.clear();
  Notice(kBlue, BlockText(lParam, bankToFuture ? "转帐（银行转期货）成功。" : "转帐（期货转银行）成功。"));
  Free(lParam);
  futuresFunds = bankFunds = "待查";
}

void TBankPage::OnNotify(WPARAM wParam, LPARAM lParam) {
  switch (uint32_t(wParam) & 0xFFFF) {
    case tb::TN_BANKS: return OnBanks(wParam, lParam);
    case tb::TN_BANK_BALANCE: return OnBankBalance(wParam, lParam);
    case tb::TN_BANK_TRANSFERS: return OnBankTransfers(wParam, lParam);
    case tb::TN_BANK_TO_FUTURE_DONE: return OnTransferDone(true, wParam, lParam);
    case tb::TN_FUTURE_TO_BANK_DONE: return OnTransferDone(false, wParam, lParam);
    case 38: return OnBankAccountChanged(wParam, lParam);
    default: return Free(lParam);
  }
}

void TBankPage::TakeBanks() {
  items.clear();
  const std::string file = desk_.AccountFile("Consign.ini");
  for (int i = 0; i < desk_.banks.GetCount(); ++i) {
    CKivoTransferBankField &bank = desk_.banks.GetData()[i];
    bank.BankName[sizeof bank.BankName - 1] = 0;
    const std::string key = "B" + BankId(bank);
    WritePrivateProfileStringA("Bank", key.c_str(), bank.BankName, file.c_str());
    items.push_back(ItemText(bank));
  }
  if (selected < 0 || selected >= int(items.size())) selected = items.empty() ? -1 : 0;
}

void TBankPage::OnFuturesFunds(int32_t minimum, double withdrawable) {
  withdrawMinimum = minimum;
  MinimumNotice();
  char text[48];
  snprintf(text, sizeof text, "%.2f", withdrawable);
  futuresFunds = text;
}
