// Bank-futures transfers: the banks of the account, a bank's balance,
// transfers both ways and the transfer records of the last 30 days. A
// balance query or a transfer is submitted, then its record is polled every
// 2 s until it shows a final state or 20 s have passed.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/datetime.h"
#include "platform/clock.h"
#include "plugin/answerfields.h"
#include "plugin/reportfile.h"
#include "plugin/requests.h"

namespace tb {

namespace {

constexpr DWORD kPollMs = 2000;
constexpr DWORD kPollLimitMs = 19999;

// "处理中" and "校验成功" are on the way; every other state is final.
bool Final(const char *status) { return strcmp(status, "处理中") != 0 && strcmp(status, "校验成功") != 0; }
bool Succeeded(const char *status) { return strstr(status, "成功") != nullptr; }

struct Operation {
  const char *code;  // of 6041
  int logCode;
  uint32_t notify;
  const char *success;  // null: the balance
  const char *timeout;
};

const Operation kBalance = {"05", 3111, TN_BANK_BALANCE, nullptr, "查询超时。请在交易时段执行银期转账操作。"};
const Operation kBankToFuture = {"01", 3113, TN_BANK_TO_FUTURE_DONE, "银行资金转期货成功。",
                                 "转账超时。请在交易时段执行银期转账操作。"};
const Operation kFutureToBank = {"02", 3114, TN_FUTURE_TO_BANK_DONE, "期货资金转银行成功。",
                                 "转账超时。请在交易时段执行银期转账操作。"};

void PostFailure(Session &session, const Operation &op, const char *text) {
  session.SignalReady();
  session.PostText(op.notify, text);
}

void PostSuccess(Session &session, const Operation &op, double amount) {
  if (!op.success) {
    auto *balance = static_cast<TB_BANK_BALANCE *>(session.AllocBlock());
    if (balance) balance->Balance = amount;
    session.SignalReady();
    session.PostBlock(op.notify, balance);
    return;
  }
  char *text = static_cast<char *>(session.AllocBlock());
  if (text) snprintf(text, kResultBlockSize, "%s", op.success);
  session.SignalReady();
  session.PostBlock(op.notify, text);
}

void RunOperation(Session &session, const Operation &op) {
  const RequestSlot &slot = session.slot;
  RequestLine line(6041, session.Head());
  // The two passwords stand where the session's password would.
  line.AddSentOnly(slot.text[2]).AddSentOnly(slot.text[3]).AddAmount(slot.price).Add(op.code);
  line.Add(slot.text[0]).Add(slot.text[1]);
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, op.logCode, answer, error) != 0) return PostFailure(session, op, error);
  char serial[32], status[kSkipWidth], result[kErrorTextSize];
  {
    const AnswerFields f(answer);
    f.Get(5, serial);
    f.Get(12, status);
    f.Get(13, result);
  }
  if (Final(status)) {
    // A transfer the broker settles at once; a balance needs its record.
    if (op.success && Succeeded(status)) return PostSuccess(session, op, 0);
    return PostFailure(session, op, result);
  }

  const DWORD start = GetTickCount();
  for (;;) {
    Sleep(kPollMs);
    RequestLine poll(6043, session.Head());
    poll.Add(serial);
    bool found = false;
    double amount = 0;
    const int sent = SendListRequest(
        session, poll, 3112,
        [&](AnswerReader &packet) {
          const AnswerFields f(packet.Rest(), 3);
          char recordSerial[32];
          f.Get(3, recordSerial);
          if (strcmp(recordSerial, serial) != 0) return;
          found = true;
          amount = f.Double(11);
          f.Get(12, status);
          f.Get(13, result);
        },
        error);
    if (sent != 0) return PostFailure(session, op, error);
    if (found && Final(status)) {
      if (Succeeded(status)) return PostSuccess(session, op, amount);
      return PostFailure(session, op, result);
    }
    if (DWORD(GetTickCount() - start) > kPollLimitMs) return PostFailure(session, op, op.timeout);
  }
}

// The account text with every character but the last four hidden.
void MaskAccount(const char *account, char *out, size_t width) {
  const size_t length = strlen(account);
  snprintf(out, width, "%s", account);
  if (length <= 4) return;
  for (size_t i = 0; i + 4 < length && i < width - 1; ++i) out[i] = '*';
}

}  // namespace

void BanksRoutine(Session &session) {
  RequestLine line(6042, session.Head());
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3110,
      [&](AnswerReader &packet) {
        const AnswerFields f(packet.Rest(), 3);
        CKivoTransferBankField bank{};
        f.Get(4, bank.BankID);
        if (strncmp(bank.BankID, "合", 2) == 0) return;
        f.Get(5, bank.BankName);
        char account[32];
        f.Get(6, account);
        SetBankAccount(bank, account);
        if (auto *block = static_cast<CKivoTransferBankField *>(session.AllocBlock())) {
          *block = bank;
          session.PostBlock(TN_BANKS, block);
        }
      },
      error);
  session.SignalReady();
  if (result != 0)
    session.PostText(TN_BANKS, error);
  else
    session.PostValue(TN_BANKS, 0);
}

void BankBalanceRoutine(Session &session) { RunOperation(session, kBalance); }
void BankToFutureRoutine(Session &session) { RunOperation(session, kBankToFuture); }
void FutureToBankRoutine(Session &session) { RunOperation(session, kFutureToBank); }

void WriteTransferTableHead(const Session &session) {
  // The head and a ruler of blanks and '|' under its columns.
  static const char kHead[] =
      "\r\n     流水号     |   银行简称   |       银行帐号       |   日期   |   时间   | 操作类别 |     金额     |"
      "   处理状态   | 处理结果\r\n"
      "                |              |                      |          |          |          |              |"
      "              |\r\n";
  char path[64];
  AccountFilePath(session, "Money.txt", path);
  ReportFile file(path, ReportFile::kTruncate);
  file.Write(kHead);
}

void BankTransfersRoutine(Session &session) {
  const unsigned to = unsigned(atoi(session.tradeDate));
  PackedDateTime day = MakePackedDateTime(to / 10000, to / 100 % 100, to % 100);
  for (int i = 0; i < 30; ++i) PackedPreviousDayInPlace(&day);
  const unsigned from = PackedYear(day) * 10000 + PackedMonth(day) * 100 + PackedDay(day);
  char fromText[16], toText[16];
  snprintf(fromText, sizeof fromText, "%u", from);
  snprintf(toText, sizeof toText, "%u", to);
  char path[64];
  AccountFilePath(session, "Money.txt", path);
  RequestLine line(6043, session.Head());
  line.Add("").Add(fromText).Add(toText);
  char error[kErrorTextSize];
  int result;
  {
    ReportFile file(path, ReportFile::kAppend);
    result = SendListRequest(
        session, line, 3112,
        [&](AnswerReader &packet) {
          const AnswerFields f(packet.Rest(), 3);
          char v[9][kSkipWidth];
          const int fields[9] = {3, 5, 6, 8, 9, 10, 11, 12, 13};
          for (int i = 0; i < 9; ++i) f.Get(fields[i], v[i]);
          char account[kSkipWidth];
          MaskAccount(v[2], account, sizeof account);
          file.Printf(" %14s | %12s | %20s | %8s | %8s | %8s | %12s | %12s | %s\r\n", v[0], v[1], account, v[3],
                      v[4], v[5], v[6], v[7], v[8]);
        },
        error);
  }
  if (result != 0) {
    session.SignalReady();
    session.PostText(TN_BANK_TRANSFERS, error);
    return;
  }
  char *block = static_cast<char *>(session.AllocBlock());
  if (block) snprintf(block, kResultBlockSize, "%s", path);
  session.SignalReady();
  session.PostBlock(TN_BANK_TRANSFERS, block);
}

}  // namespace tb
