#include "trading/bankpage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/profile.h"
#include "testing/view_harness.h"
#include "trading/bankform.h"
#include "tests/trading/desk_fixture.h"
#include "tests/trading/fixed_font_check.h"
#include "trading/pluginapi.h"

namespace {

// The plug-in's bank calls, recorded.
struct Calls {
  std::vector<std::string> log;
  int answer = 0;        // what every call returns
  bool accountEntry = true;
  bool limitEntry = true;
};
Calls *g_calls = nullptr;

std::string Id(const char *bank) { return std::string(bank, strnlen(bank, 9)); }
int QueryBank() { return g_calls->answer; }
int QueryBankAccount(char *bank) {
  g_calls->log.push_back("account " + Id(bank));
  return g_calls->answer;
}
int QueryLimit(char *bank, char *) {
  g_calls->log.push_back("limit " + Id(bank));
  return g_calls->answer;
}
int Transfer(const char *kind, char *bank, char *account, char *funds, char *bankWord, double amount) {
  char text[160];
  snprintf(text, sizeof text, "%s %s %s %s %s %.2f", kind, Id(bank).c_str(), account, funds, bankWord, amount);
  g_calls->log.push_back(text);
  return g_calls->answer;
}
int ToFuture(char *b, char *a, char *f, char *w, double m) { return Transfer("in", b, a, f, w, m); }
int ToBank(char *b, char *a, char *f, char *w, double m) { return Transfer("out", b, a, f, w, m); }
int Records(char *bank, char *account) {
  g_calls->log.push_back("records " + Id(bank) + " " + account);
  return g_calls->answer;
}
std::vector<void *> g_freed;
void Free(void *block) { g_freed.push_back(block); }

CKivoTransferBankField Bank(const char *id, const char *name, const char *account = "") {
  CKivoTransferBankField bank{};
  std::memcpy(bank.BankID, id, strnlen(id, 4));
  std::strncpy(bank.BankName, name, sizeof bank.BankName - 1);
  std::memcpy(bank.BankAccount, account, strnlen(account, sizeof bank.BankAccount));
  return bank;
}

class BankPageTest : public trading_test::DeskTest {
 protected:
  BankPageTest() {
    saved_ = TradePlugin;
    TradePlugin = {};
    g_calls = &calls_;
    g_freed.clear();
    TradePlugin.QueryBank = QueryBank;
    TradePlugin.QueryBankAccount = QueryBankAccount;
    TradePlugin.QueryFutureToBankLimit = QueryLimit;
    TradePlugin.TransferBankToFuture = ToFuture;
    TradePlugin.TransferFutureToBank = ToBank;
    TradePlugin.QueryBankTransferDetail = Records;
    TradePlugin.TraderDllFree = Free;
    page_.chainEnd = [this] { ++chainEnds_; };
  }
  ~BankPageTest() override {
    TradePlugin = saved_;
    g_calls = nullptr;
  }
  // A bank notification with a block the page must give back.
  void Deliver(void (TBankPage::*handler)(WPARAM, LPARAM), uint32_t code, const CKivoTransferBankField *bank) {
    if (!bank) return (page_.*handler)(code, 0);
    blocks_.emplace_back(tb::kResultBlockSize, 0);
    std::memcpy(blocks_.back().data(), bank, sizeof *bank);
    (page_.*handler)(code, LPARAM(blocks_.back().data()));
  }
  // The two banks of the login chain, accounts asked one at a time.
  void TwoBanks() {
    const auto a = Bank("1", "工商银行"), b = Bank("2", "建设银行");
    Deliver(&TBankPage::OnBanks, tb::TN_BANKS, &a);
    Deliver(&TBankPage::OnBanks, tb::TN_BANKS, &b);
    Deliver(&TBankPage::OnBanks, tb::TN_BANKS, nullptr);
  }

  Calls calls_;
  TradePluginApi saved_;
  TQueryGate gate_;
  TBankPage page_{desk_, gate_};
  int chainEnds_ = 0;
  std::vector<std::vector<char>> blocks_;
};

TEST(BankAccountMask, KeepsTheLastFour) {
  const struct {
    const char *account, *shown;
  } cases[] = {{"", ""}, {"1234", "1234"}, {"12345", "*2345"}, {"6222021234567890", "************7890"}};
  for (const auto &c : cases) EXPECT_EQ(MaskedBankAccount(c.account), c.shown) << c.account;
}

TEST_F(BankPageTest, ChainAsksAccountsOneBankAtATimeAndDropsABankWithout) {
  TwoBanks();
  EXPECT_EQ(page_.items, (std::vector<std::string>{"工商银行 ", "建设银行 "}));
  EXPECT_EQ(page_.selected, 0);
  EXPECT_EQ(calls_.log, std::vector<std::string>{"account 1"});
  EXPECT_EQ(page_.chainText, "正在查询银行帐号...");
  char name[48];
  GetPrivateProfileStringA("Bank", "B2", "", name, sizeof name, AccountPath("Consign.ini").c_str());
  EXPECT_STREQ(name, "建设银行");

  auto answer = Bank("1", "", "6222021234567890");
  Deliver(&TBankPage::OnBankAccount, 37, &answer);
  Deliver(&TBankPage::OnBankAccount, 37, nullptr);
  EXPECT_EQ(page_.items[0], "工商银行 ************7890");
  EXPECT_EQ(calls_.log.back(), "account 2");
  // The second bank's answer brings no account: it leaves at the next end.
  answer = Bank("2", "");
  Deliver(&TBankPage::OnBankAccount, 37, &answer);
  Deliver(&TBankPage::OnBankAccount, 37, nullptr);
  EXPECT_EQ(page_.items, std::vector<std::string>{"工商银行 ************7890"});
  EXPECT_EQ(desk_.banks.GetCount(), 1);
  EXPECT_EQ(calls_.log.back(), "limit 1");
  EXPECT_EQ(page_.chainText, "正在查询转帐限额...");
  EXPECT_EQ(g_freed.size(), blocks_.size());

  int32_t minimum = 5000;
  std::vector<char> block(tb::kResultBlockSize);
  std::memcpy(block.data(), &minimum, 4);
  page_.OnWithdrawLimit(tb::TN_WITHDRAW_LIMIT, LPARAM(block.data()));
  EXPECT_EQ(chainEnds_, 1);
  page_.ShowTab(0);
  EXPECT_EQ(page_.notice, "交易期间，出金下限为5000元。");
}

TEST_F(BankPageTest, AccountChangesEditTheListInPlace) {
  const auto a = Bank("1", "工商银行", "1234");
  Deliver(&TBankPage::OnBanks, tb::TN_BANKS, &a);
  WritePrivateProfileStringA("Bank", "B7", "招商银行", AccountPath("Consign.ini").c_str());
  // A bank bound later is named from the account file.
  auto change = Bank("7", "", "99998888");
  Deliver(&TBankPage::OnBankAccountChanged, 38, &change);
  EXPECT_EQ(page_.items.back(), "招商银行 ****8888");
  // A bank unbound leaves.
  change = Bank("1", "");
  Deliver(&TBankPage::OnBankAccountChanged, 38, &change);
  EXPECT_EQ(page_.items, std::vector<std::string>{"招商银行 ****8888"});
  page_.OnBankAccountChanged(38, 0);  // ignored
  EXPECT_EQ(g_freed.size(), blocks_.size());
}

TEST_F(BankPageTest, TransferRefusesBadInputAndSendsNothing) {
  const auto a = Bank("1", "工商银行", "1234");
  Deliver(&TBankPage::OnBanks, tb::TN_BANKS, &a);
  page_.selected = 0;
  calls_.log.clear();
  for (const char *amount : {"0", "abc", "", "-5", "12x"}) {
    page_.fundsPassword = "111";
    page_.bankPassword = "222";
    page_.amount = amount;
    page_.TransferBankToFuture();
    EXPECT_EQ(page_.notice, "请正确填写转帐金额。") << amount;
    EXPECT_EQ(page_.noticeColour, TBankPage::kRed);
    EXPECT_EQ(page_.fundsPassword, "111");
    EXPECT_EQ(page_.bankPassword, "222");
  }
  page_.TransferFutureToBank();
  EXPECT_EQ(page_.notice, "请正确填写转帐金额");
  page_.amount = "100.5";
  page_.fundsPassword.clear();
  page_.TransferFutureToBank();
  EXPECT_EQ(page_.notice, "请填写资金密码");
  EXPECT_TRUE(calls_.log.empty());

  page_.fundsPassword = "111";
  page_.TransferBankToFuture();
  EXPECT_EQ(calls_.log, std::vector<std::string>{"in 1 1234 111 222 100.50"});
  EXPECT_EQ(page_.notice, "正在执行转帐（银行转期货）...");
  EXPECT_TRUE(page_.fundsPassword.empty() && page_.bankPassword.empty() && page_.amount.empty());
  calls_.answer = 5;
  page_.fundsPassword = "1";
  page_.amount = "3";
  page_.TransferFutureToBank();
  EXPECT_EQ(page_.notice, "转帐失败 (5) ");
}

TEST_F(BankPageTest, TransferResultsAndBalance) {
  page_.bankFunds = "100.00";
  page_.amount = "5";
  page_.OnTransferDone(true, tb::TN_BANK_TO_FUTURE_DONE, 0);
  EXPECT_EQ(page_.notice, "转帐（银行转期货）成功。");
  EXPECT_EQ(page_.bankFunds, "待查");
  EXPECT_TRUE(page_.amount.empty());
  page_.OnTransferDone(false, tb::TN_FUTURE_TO_BANK_DONE | tb::TN_TEXT_FLAG, 0);
  EXPECT_EQ(page_.notice, "转帐（期货转银行）失败，系统内存不足。");
  ASSERT_EQ(boxes_.Count(), 1u);
  EXPECT_EQ(boxes_.Calls()[0].caption, "错误");

  tb::TB_BANK_BALANCE balance{};
  balance.Balance = 1234.567;
  std::vector<char> block(tb::kResultBlockSize);
  std::memcpy(block.data(), &balance, sizeof balance);
  page_.OnBankBalance(tb::TN_BANK_BALANCE, LPARAM(block.data()));
  EXPECT_EQ(page_.bankFunds, "1234.57");
  EXPECT_EQ(g_freed.back(), block.data());
}

TEST_F(BankPageTest, RecordsTwiceInTheIntervalAsksOnce) {
  const auto a = Bank("1", "工商银行", "1234");
  Deliver(&TBankPage::OnBanks, tb::TN_BANKS, &a);
  page_.selected = 0;
  calls_.log.clear();
  page_.QueryTransfers(50000);
  EXPECT_EQ(page_.memo, "正在查询转帐记录...");
  page_.QueryTransfers(59999);
  EXPECT_EQ(page_.memo, "\r\n 为减轻对服务器的压力，两次查询之间应间隔 10 秒。");
  EXPECT_EQ(calls_.log, std::vector<std::string>{"records 1 1234"});
  page_.QueryTransfers(60000);
  EXPECT_EQ(calls_.log.size(), 2u);

  // The answer's file in the program's folder is shown and removed.
  const std::string path = (std::filesystem::current_path() / "records.txt").string();
  std::ofstream(path) << "line 1\r\nline 2";
  std::vector<char> block(tb::kResultBlockSize);
  std::strcpy(block.data(), path.c_str());
  page_.OnBankTransfers(tb::TN_BANK_TRANSFERS, LPARAM(block.data()));
  EXPECT_EQ(page_.memo, "line 1\r\nline 2");
  EXPECT_FALSE(std::ifstream(path).good());

  // A block naming a file elsewhere neither shows nor deletes it.
  const std::string outside = box_.Path("records.txt");
  std::ofstream(outside) << "not ours";
  std::strcpy(block.data(), outside.c_str());
  page_.OnBankTransfers(tb::TN_BANK_TRANSFERS, LPARAM(block.data()));
  EXPECT_EQ(page_.memo, "");
  EXPECT_TRUE(std::ifstream(outside).good());
}

TEST_F(BankPageTest, WithoutBankTransfersOnlyTheNoteShows) {
  TradePlugin.QueryBank = nullptr;
  page_.ShowTab(0);
  EXPECT_TRUE(page_.notePanel);
  TradePlugin.QueryBank = QueryBank;
  page_.ShowTab(1);
  EXPECT_FALSE(page_.notePanel);
}

class BankFormTest : public BankPageTest {
 protected:
  testing_support::ViewHarness harness_;
};

TEST_F(BankFormTest, FormHandsItsEditsToThePageAndShowsItsTabs) {
  TwoBanks();
  TBankForm form(nullptr, page_);
  form.Show();
  harness_.Pump();
  ASSERT_EQ(form.XPComboBoxBank->Items()->Count(), 2);
  EXPECT_EQ(form.XPComboBoxBank->ItemIndex(), 0);

  // A bad amount sends nothing and keeps the passwords; a good one sends
  // the typed values and empties the edits.
  form.XPEditBank1->SetText("111");
  form.XPEditBank2->SetText("222");
  form.XPPriceEditBank2->SetText("abc");
  calls_.log.clear();
  form.XPButtonBank1->Click();
  EXPECT_TRUE(calls_.log.empty());
  EXPECT_EQ(form.LabelBankNotice->Caption(), "请正确填写转帐金额。");
  EXPECT_EQ(form.XPEditBank1->Text(), "111");
  EXPECT_EQ(form.XPEditBank2->Text(), "222");
  form.XPPriceEditBank2->SetText("100");
  form.XPButtonBank2->Click();
  ASSERT_EQ(calls_.log.size(), 1u);
  EXPECT_EQ(calls_.log[0].substr(0, 6), "out 1 ");
  EXPECT_NE(calls_.log[0].find("111 222 100.00"), std::string::npos);
  EXPECT_EQ(form.XPEditBank1->Text() + form.XPEditBank2->Text() + form.XPPriceEditBank2->Text(), "");

  testing_support::PictureSheet sheet(2);
  sheet.Add("转帐", harness_.Render(form.Handle()));
  form.XPTabControl3->SetTabIndex(1);
  form.XPTabControl3Change(form.XPTabControl3);
  harness_.Pump();
  EXPECT_TRUE(form.XPButtonBankQuery->Visible() && form.XPMemoBank->Visible());
  EXPECT_FALSE(form.XPEditBank1->Visible() || form.XPButtonBank1->Visible() || form.LabelBankNotice->Visible());
  EXPECT_EQ(form.XPMemoBank->Width(), form.PanelBank->Width() - 16);
  EXPECT_EQ(trading_test::TableFontProblem(form.XPMemoBank->Font()), "");  // the records' columns line up
  sheet.Add("查转帐记录", harness_.Render(form.Handle()));

  // Without bank transfers in the plug-in the note panel replaces the page.
  TradePlugin.QueryBank = nullptr;
  form.XPTabControl3Change(form.XPTabControl3);
  harness_.Pump();
  EXPECT_TRUE(form.PanelBank1->Visible());
  EXPECT_FALSE(form.PanelBank->Visible());
  sheet.Add("note", harness_.Render(form.Handle()));
  harness_.SavePng(sheet.Compose(), "bank-page");
}

}  // namespace
