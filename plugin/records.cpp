#include "plugin/records.h"

#include <cstring>

namespace tb {

namespace {

// Copies at most width - 1 bytes of text and a NUL.
void CopyText(char *out, size_t width, const char *text) {
  const size_t length = text ? strnlen(text, width - 1) : 0;
  memcpy(out, text ? text : "", length);
  out[length] = '\0';
}

}  // namespace

void FillActionError(char *block, const CKivoOrderField &order, const char *text) {
  memset(block, 0, kResultBlockSize);
  memcpy(block, order.OrderRef, sizeof order.OrderRef);
  CopyText(block + kActionErrorTextOffset, kResultBlockSize - kActionErrorTextOffset, text);
}

void FillReport(char *block, const char *path, double first, double second) {
  memset(block, 0, kResultBlockSize);
  constexpr size_t kRoomForPath = kResultBlockSize - 2 * sizeof(double);
  CopyText(block, kRoomForPath, path);
  const size_t at = strlen(block) + 1;
  memcpy(block + at, &first, sizeof first);
  memcpy(block + at + sizeof first, &second, sizeof second);
}

void SetBankAccount(CKivoTransferBankField &bank, const char *account) {
  const size_t length = account ? strnlen(account, sizeof bank.BankAccount) : 0;
  memset(bank.BankAccount, 0, sizeof bank.BankAccount);
  if (length) memcpy(bank.BankAccount, account, length);
}

}  // namespace tb
