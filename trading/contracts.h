// The contract list as it arrives after the statement is confirmed: each
// contract the market data knows becomes one 72-byte record in
// "Contract.dat" of the account folder, and the end of the list reads the
// file back in one pass into the desk's contract table, sorted by
// instrument, with the drop-down groups rebuilt. The file lives only while
// a list arrives: the end, a failed list and a close all delete it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "trading/deskrecords.h"

class TTradeDesk;

// The 72 bytes of a record as they go to the file, field by field (the
// two spare words zero).
void SerializeContract(const CContractInfo &record, uint8_t out[72]);
void DeserializeContract(const uint8_t in[72], CContractInfo &record);

// The instruments' order of the table: market, then kind, then stock.
bool ContractBefore(const CContractInfo &a, const CContractInfo &b);

class TContractList {
 public:
  explicit TContractList(TTradeDesk &desk) : desk_(desk) {}
  ~TContractList();
  TContractList(const TContractList &) = delete;
  TContractList &operator=(const TContractList &) = delete;

  // A new list: the table freed, the count 0, a file left over deleted.
  void Begin();
  // One contract block. False when its record could not be written (the
  // caller shows "写入临时文件失败。").
  bool Add(const tb::TB_CONTRACT &contract);
  // The records written so far.
  int32_t Count() const { return count_; }
  // The end of the list: the table built from the file and the groups
  // rebuilt. Null when done, else the failure text. The file is deleted in
  // every case.
  const char *Finish();
  // The list is given up (failed, or trading closed): the file is deleted.
  void Abandon();
  // A contract was lost to a file that could not be opened.
  bool incomplete = false;

  std::string FilePath() const;

 private:
  void CloseFile();
  // The record of one contract; false when the market data doesn't know it.
  bool BuildRecord(const tb::TB_CONTRACT &contract, CContractInfo &record);

  TTradeDesk &desk_;
  int32_t count_ = 0;
  // The file stays open while the list arrives.
  HANDLE file_ = nullptr;
  bool active_ = false;
  std::map<std::string, CContractInfo> productDefaults_;
};

// Rebuilds the drop-down groups from the table: a new group wherever the
// group name changes from the record before.
void BuildContractGroups(TTradeDesk &desk);
