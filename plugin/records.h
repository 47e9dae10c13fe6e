// The plug-in's own helpers around the interface records: filling the
// blocks it posts and the bank records it builds.
#pragma once

#include "plugin/tradeapi.h"

namespace tb {

// Fills a block as TB_ACTION_ERROR: the order's reference, then the text
// (cut to what the block holds), NUL-terminated.
void FillActionError(char *block, const CKivoOrderField &order, const char *text);
// Fills a block as TB_REPORT: the path, its NUL, then two doubles.
void FillReport(char *block, const char *path, double first, double second);
// Stores an account text, cut to the 31 bytes before the flag.
void SetBankAccount(CKivoTransferBankField &bank, const char *account);

}  // namespace tb
