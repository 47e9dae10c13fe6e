// The trading desk's state of one session, without any window: the record
// arrays (orders, trades, positions, tasks, banks, drop-down groups, short
// names, quick-order keys, condition orders), the contract table with its
// look-up index, the trading options and the daily trade log's handle. The
// main window owns one; tests make as many as they like.
//
// Also the small questions the desk answers about contracts and tasks, and
// the per-account files of the short names ([ShortCut] of "Consign.ini")
// and the quick-order keys ("OptionShortcut.dat").
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "core/earray.h"
#include "trading/accountreport.h"
#include "trading/deskrecords.h"
#include "trading/stopstore.h"
#include "trading/tradingoptions.h"

class TTradeDesk {
 public:
  TTradeDesk();
  ~TTradeDesk();
  TTradeDesk(const TTradeDesk &) = delete;
  TTradeDesk &operator=(const TTradeDesk &) = delete;

  // The account the plug-in reports; the per-account folder is the user
  // data folder followed by it.
  void SetAccount(const char *account);
  const char *Account() const { return account_; }
  // "<data folder><account>\" and a file in it.
  std::string AccountFolder() const;
  std::string AccountFile(const char *name) const;

  // Owner of the desk's message boxes.
  HWND owner = nullptr;
  // The quote server's minute of the day (UTC); the desk adds 480 for the
  // exchange's minute. By default the system clock's.
  std::function<int()> serverMinute;

  // ---- the arrays ----
  EArray<CKivoOrderField> orders{128};
  EArray<Trade_Lite> trades{256};
  EArray<InvestorPosition_Lite> positions{16};
  EArray<OrderScript> tasks{32};
  EArray<CKivoTransferBankField> banks{4};
  EArray<ContractNameList> groups{64};
  EArray<ShortContractName> shortNames{32};
  EArray<OptionShortcut> shortcuts{16};
  EArray<ConditionOrder> conditions{16};

  TradingOptions options;
  // The trade and account report: its arrays and walk live as long as the
  // program; the report dialog works on it while it is open.
  TAccountReport accountReport;
  // The stop entries and stop files; set by whoever builds the desk.
  TStopStore *stopStore = nullptr;
  // The daily trade log's handle, 0 while none is open.
  uint32_t tradeLog = 0;

  // ---- the contract table ----
  CContractInfo *contracts = nullptr;
  int32_t contractCount = 0;
  // Takes a copy of the records as the table and builds its index.
  bool SetContracts(const CContractInfo *records, int32_t count);
  void FreeContracts();
  // The first contract whose code matches without regard to case, or null.
  CContractInfo *FindContract(const char *code) const;
  // Moves with every new or freed table and whenever the records are
  // bound to other instruments: a cache of contract records by instrument
  // is rebuilt when it is not the number the cache saw.
  uint32_t ContractTableChanges() const { return contractChanges_; }
  void MarkContractsChanged() { ++contractChanges_; }

  // ---- short names ([ShortCut] sc1, sc2, ... of the account file) ----
  // Reads up to the first empty key; a value without a comma or with an
  // empty part is skipped. Names and codes keep 7 bytes, cut on a character.
  void LoadShortContractNames();
  void SaveShortContractNames();

  // ---- quick-order keys ("OptionShortcut.dat") ----
  // Reads the file; a missing one is written with the nine defaults.
  void LoadOptionShortcuts();
  // Replaces the file by a new one renamed over it; false when that failed
  // (the old file stays).
  bool SaveOptionShortcuts();
  // The first binding of the slot; key 0 and value 0 when there is none.
  // value may be null.
  bool FindOptionShortcut(int slot, char *key, int32_t *value) const;
  // Changes the first binding of the slot or adds one, then saves. Slots
  // 0 to 14 only.
  bool SetOptionShortcut(int slot, char key, int32_t value);

  // ---- the options by task kind ----
  int TaskPriceOffset(const OrderScript &task) const;
  int TaskTimeOut(const OrderScript &task) const;
  bool TaskReorder(const OrderScript &task) const;
  bool TaskActionOnLimit(const OrderScript &task) const;

  // The exchange's minute of the day for the market merger.
  int MergerMinute() const;

 private:
  char account_[16] = {};
  uint32_t contractChanges_ = 0;
  std::unordered_map<uint64_t, int32_t> contractIndex_;
};

// The instrument of a contract code: the first futures market that knows
// it by its extended code, mapped through the market merger at the minute.
// (255, 255, 0xFFFF) when none does.
STKPTR LookupContractStock(const char *code, int mergerMinute);

// The group name of a contract for the drop-down: "其它" for a code over 6
// characters, else the product letters (one letter gets a second blank), a
// blank and the instrument's name up to its first blank or digit; at most
// 7 bytes, cut on a character, NUL-terminated in out.
void ContractGroupName(const CContractInfo &contract, char out[8]);
// The product of a code: the whole code when longer than 6 characters,
// else its leading characters above '9'. Into out (9 bytes).
void ContractProductCodeOf(const char *code, char out[9]);
// The same into a buffer that the next call overwrites.
const char *ContractProductCode(const char *code);
// Copies at most width - 1 bytes of a GBK text, never half a character,
// and a NUL.
void CopyGbkCut(char *out, size_t width, const char *text);
