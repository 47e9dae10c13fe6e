#include "plugin/records.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

using namespace tb;

TEST(ResultBlocks, ActionErrorCarriesItsTextFromByte13) {
  CKivoOrderField order{};
  strcpy(order.OrderRef, "123456789012");
  char block[kResultBlockSize];
  memset(block, 'x', sizeof block);
  FillActionError(block, order, "报单已全部成交或已撤销，不能撤单");
  EXPECT_STREQ(block, "123456789012");
  EXPECT_STREQ(block + 13, "报单已全部成交或已撤销，不能撤单");
  EXPECT_EQ(ActionErrorText(block), block + 13);

  // A text longer than the block is cut to it, NUL-terminated.
  const std::string longText(1000, 'e');
  FillActionError(block, order, longText.c_str());
  EXPECT_EQ(strlen(ActionErrorText(block)), kResultBlockSize - 13 - 1);
}

TEST(ResultBlocks, BankAccountStaysInsideItsFieldWhenTheFlagIsSet) {
  CKivoTransferBankField bank{};
  const std::string account31(31, '7');
  SetBankAccount(bank, (account31 + "89").c_str());  // longer: cut before the flag
  bank.Flag = 1;
  char out[32];
  BankAccountText(bank, out);
  EXPECT_EQ(std::string(out), account31);

  SetBankAccount(bank, "6222000012345678");
  BankAccountText(bank, out);
  EXPECT_STREQ(out, "6222000012345678");
  EXPECT_EQ(bank.Flag, 1);
}

TEST(ResultBlocks, ReportPathThenTwoDoubles) {
  char block[kResultBlockSize];
  FillReport(block, ".\\880001Account.txt", 1234.5, 1234.5);
  EXPECT_STREQ(block, ".\\880001Account.txt");
  double first, second;
  memcpy(&first, block + strlen(block) + 1, sizeof first);
  memcpy(&second, block + strlen(block) + 1 + sizeof first, sizeof second);
  EXPECT_EQ(first, 1234.5);
  EXPECT_EQ(second, 1234.5);
}

}  // namespace
