// The queries: settlement statement and its confirmation, contracts and
// seats, maximum volumes, the trading account, positions, trades, money
// history, trade statistics, password change, the margin-monitoring login
// data, quotes and margin rates. Report queries write a text file in the
// current folder and post its path; list queries post one record each and
// close with 0.
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/fileapi.h"
#include "plugin/answerfields.h"
#include "plugin/reportfile.h"
#include "plugin/requests.h"
#include "plugin/tradelog.h"

namespace tb {

namespace {

// A failed request: the token, then the text under the code.
void Fail(Session &session, uint32_t code, const char *error) {
  session.SignalReady();
  session.PostText(code, error);
}

// A report's path block, with its two amounts.
void PostReport(Session &session, const char *path, double first = 0, double second = 0) {
  char *block = static_cast<char *>(session.AllocBlock());
  if (block) FillReport(block, path, first, second);
  session.SignalReady();
  session.PostBlock(TN_QUERY_REPORT, block);
}

// The path of a file named by the account, in a block.
void PostPath(Session &session, uint32_t code, const char *path) {
  char *block = static_cast<char *>(session.AllocBlock());
  if (block) snprintf(block, kResultBlockSize, "%s", path);
  session.SignalReady();
  session.PostBlock(code, block);
}

// Trading codes of the close-today exchange: the first two letters all
// lower or all upper case.
bool ClosesToday(const char *contract) {
  static const char *const kProducts[] = {"cu", "al", "au", "fu", "ru", "zn"};
  if (!contract[0] || !contract[1]) return false;
  char lower[3] = {contract[0], contract[1], 0}, upper[3] = {contract[0], contract[1], 0};
  for (int i = 0; i < 2; ++i) {
    lower[i] = char(lower[i] | 0x20);
    upper[i] = char(upper[i] & ~0x20);
  }
  const bool sameCase = strncmp(contract, lower, 2) == 0 || strncmp(contract, upper, 2) == 0;
  if (!sameCase) return false;
  for (const char *product : kProducts)
    if (strcmp(lower, product) == 0) return true;
  return false;
}

// The exchange's entry, added when new (at most eight); null when full.
ExchangeEntry *ExchangeOf(ExchangeTable &table, const char *exchange) {
  for (ExchangeEntry &entry : table.entries) {
    if (!entry.exchange[0]) {
      snprintf(entry.exchange, sizeof entry.exchange, "%s", exchange);
      return &entry;
    }
    if (strcasecmp(entry.exchange, exchange) == 0) return &entry;
  }
  return nullptr;
}

}  // namespace

void AccountFilePath(const Session &session, const char *name, char out[64]) {
  snprintf(out, 64, ".\\%s%s", session.account, name);
}

void SettlementInfoRoutine(Session &session) {
  char path[64];
  AccountFilePath(session, "settle.tmp", path);
  DeleteFileA(path);
  char number[16];
  snprintf(number, sizeof number, "%u", unsigned(session.slot.small[0]));
  RequestLine line(6072, session.Head());
  line.Add(number).Add(session.slot.text[0]);
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3092,
      [&](AnswerReader &packet) {
        char text[kAnswerSize];
        packet.At(3, text);
        ReportFile file(path, ReportFile::kAppend);
        file.Write(text);
        file.Write("\r\n");
      },
      error);
  if (result != 0) return Fail(session, TN_SETTLEMENT_INFO, error);
  PostPath(session, TN_SETTLEMENT_INFO, path);
}

void SettlementConfirmRoutine(Session &session) {
  RequestLine line(6071, session.Head());
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 3093, answer, error) != 0) return Fail(session, TN_SETTLEMENT_CONFIRMED, error);
  session.SignalReady();
  session.PostValue(TN_SETTLEMENT_CONFIRMED, 0);
}

void ContractsRoutine(Session &session) {
  // The new table is built aside and put in place whole at the end; until
  // then the exports and the push receiver keep the last one. The
  // close-today exchange, once known, stays.
  ExchangeTable table = session.exchanges.Get();
  memset(table.entries, 0, sizeof table.entries);
  const int month = atoi(session.tradeDate) / 100;
  RequestLine line(6018, session.Head());
  char error[kErrorTextSize];
  int result = SendListRequest(
      session, line, 3094,
      [&](AnswerReader &packet) {
        const AnswerFields f(packet.Rest(), 3);
        TB_CONTRACT contract{};
        f.Get(3, contract.ExchangeID);
        f.Get(5, contract.InstrumentID);
        // The name is split like every other field, so a GBK character
        // whose second byte is '|' keeps the fields after it in place; it is
        // cut bytewise to its 15 bytes.
        f.Get(6, contract.InstrumentName);
        contract.Attribute = f.Int(7);
        contract.PriceTick = f.Double(15);
        contract.Valid = 1;
        if (!contract.InstrumentID[0]) return;
        if (!table.closeToday[0] && ClosesToday(contract.InstrumentID))
          snprintf(table.closeToday, sizeof table.closeToday, "%s", contract.ExchangeID);
        if (int64_t(f.Int(10)) + 200000 < month) return;
        if (contract.ExchangeID[0]) ExchangeOf(table, contract.ExchangeID);
        if (auto *block = static_cast<TB_CONTRACT *>(session.AllocBlock())) {
          *block = contract;
          session.PostBlock(TN_CONTRACT, block);
        }
      },
      error);
  for (int i = 0; result == 0 && i < kExchangeCount && table.entries[i].exchange[0]; ++i) {
    ExchangeEntry &entry = table.entries[i];
    RequestLine seats(6040, session.Head());
    seats.Add(entry.exchange).Add("");
    result = SendListRequest(
        session, seats, 3095,
        [&](AnswerReader &packet) {
          const AnswerFields f(packet.Rest(), 3);
          char exchange[sizeof entry.exchange];
          f.Get(4, exchange);
          if (strcasecmp(exchange, entry.exchange) != 0) return;
          const char kind = f.Char(8);
          const int slot = kind == '1' ? 1 : kind == '2' ? 2 : 0;
          if (entry.seat[slot][0] && f.Char(6) != '1') return;
          f.Get(5, entry.seat[slot]);
          f.Get(7, entry.tradingCode[slot]);
        },
        error);
  }
  // What the query learned, also when it failed part way.
  session.exchanges.Put(table);
  if (result != 0) return Fail(session, TN_CONTRACT, error);
  session.SignalReady();
  session.PostValue(TN_CONTRACT, 0);
}

void MaxOrderVolumeRoutine(Session &session) {
  const RequestSlot &slot = session.slot;
  const char direction = char(slot.small[0]), offset = char(slot.small[1]), hedge = char(slot.small[2]);
  TB_MAXVOL result{};
  CopyBounded(result.InstrumentID, slot.text[0]);
  result.Direction = direction;
  result.OffsetFlag = offset == '0' ? '0' : offset;
  result.HedgeFlag = hedge;
  char error[kErrorTextSize];
  int status;
  if (offset == '0') {
    RequestLine line(6044, session.Head());
    line.Add(slot.text[0]).Add(slot.text[1]).AddPrice(slot.price).AddChar(EncodeDirection(direction));
    line.AddChar(EncodeHedge(hedge));
    char answer[kAnswerSize];
    status = SendRequest(session, line, 3098, answer, error);
    if (status == 0) result.MaxVolume = AnswerFields(answer).Int(4);
  } else {
    char code[8], seat[16];
    session.exchanges.Seat(slot.text[1], hedge, code, seat);
    RequestLine line(6068, session.Head());
    line.Add(slot.text[0]).Add(slot.text[1]).AddPrice(slot.price).AddChar(EncodeDirection(direction));
    line.AddChar(EncodeHedge(hedge)).Add(code).Add("");
    status = SendListRequest(
        session, line, 3098,
        [&](AnswerReader &packet) {
          const AnswerFields f(packet.Rest(), 3);
          if (offset == '1') result.MaxVolume += f.Int(6);
          if (offset == '3') result.MaxVolume += f.Int(7);
        },
        error);
  }
  if (status != 0) return Fail(session, TN_MAX_ORDER_VOLUME, error);
  auto *block = static_cast<TB_MAXVOL *>(session.AllocBlock());
  if (block) *block = result;
  session.SignalReady();
  session.PostBlock(TN_MAX_ORDER_VOLUME, block);
}

void TradingAccountRoutine(Session &session) {
  const bool today = strcmp(session.slot.text[0], session.tradeDate) == 0;
  RequestLine line(today ? 6012 : 6032, session.Head());
  line.Add(session.slot.text[0]).Add("");
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, today ? 3101 : 3102, answer, error) != 0)
    return Fail(session, TN_QUERY_REPORT, error);
  const AnswerFields f(answer);
  char path[64];
  AccountFilePath(session, "Account.txt", path);
  {
    ReportFile file(path, ReportFile::kTruncate);
    if (!today) {
      file.Printf("\r\n 当日结存:   % 13.2f        可用资金:   % 13.2f\r\n", f.Double(12), f.Double(10));
      file.Printf(" 上日结存:   % 13.2f\r\n\r\n", f.Double(4));
      file.Printf(" 持仓盈亏:   % 13.2f        平仓盈亏:   % 13.2f\r\n", f.Double(9), f.Double(5));
      file.Printf(" 手续费:     % 13.2f\r\n", f.Double(6));
      file.Printf(" 保证金:     % 13.2f        风险:       % 13.2f", f.Double(8), f.Double(11));
    } else {
      file.Printf("\r\n 动态权益:   % 13.2f        可用资金:   % 13.2f\r\n", f.Double(13), f.Double(12));
      file.Printf(" 上日结存:   % 13.2f        当日出入金: % 13.2f\r\n\r\n", f.Double(5), f.Double(21));
      file.Printf(" 持仓盈亏:   % 13.2f        平仓盈亏:   % 13.2f\r\n", f.Double(17), f.Double(18));
      file.Printf(" 手续费:     % 13.2f\r\n\r\n", f.Double(16));
      file.Printf(" 买入冻结:   % 13.2f        卖出冻结:   % 13.2f\r\n", f.Double(6), f.Double(7));
      file.Printf(" 买入保证金: % 13.2f        卖出保证金: % 13.2f\r\n", f.Double(8), f.Double(9));
      file.Printf(" 总保证金:   % 13.2f        动态风险:   % 13.4f", f.Double(24), f.Double(14));
      if (!f.Empty(29))
        file.Printf("\r\n 质押金额:   % 13.2f        交易所风险: % 13.4f", f.Double(26), f.Double(29));
    }
  }
  if (!today) return PostReport(session, path);
  const double available = f.Double(12);
  PostReport(session, path, available, available);
}

namespace {

// The positions of the trade date, each side with a volume posted under
// code; with a filter only the sides that match it.
struct PositionFilter {
  const char *contract;
  char direction, hedge;
};

void QueryPositions(Session &session, uint32_t code, const PositionFilter *filter) {
  RequestLine line(6014, session.Head());
  line.Add(session.tradeDate).Add(session.tradeDate);
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3103,
      [&](AnswerReader &packet) {
        const AnswerFields f(packet.Rest(), 3);
        TB_POSITION side{};
        f.Get(5, side.InstrumentID);
        if (!side.InstrumentID[0]) return;
        side.HedgeFlag = DecodeHedge(f.Char(6));
        side.HoldingAmount = f.Double(22);
        side.OpenAmount = f.Double(23);
        const int volumes[2] = {f.Int(7), f.Int(9)};
        for (int i = 0; i < 2; ++i) {
          if (volumes[i] <= 0) continue;
          side.PosiDirection = i == 0 ? '2' : '3';
          side.Volume = volumes[i];
          if (filter && (strcasecmp(side.InstrumentID, filter->contract) != 0 ||
                         side.PosiDirection != filter->direction || side.HedgeFlag != filter->hedge))
            continue;
          if (auto *block = static_cast<TB_POSITION *>(session.AllocBlock())) {
            *block = side;
            session.PostBlock(code, block);
          }
        }
      },
      error);
  if (result != 0) return Fail(session, code, error);
  session.SignalReady();
  session.PostValue(code, 0);
}

}  // namespace

void PositionsRoutine(Session &session) { QueryPositions(session, TN_POSITIONS, nullptr); }

void SinglePositionRoutine(Session &session) {
  const PositionFilter filter{session.slot.text[0], char(session.slot.small[0]), char(session.slot.small[2])};
  QueryPositions(session, TN_SINGLE_POSITION, &filter);
}

void TradesRoutine(Session &session) {
  const RequestSlot &slot = session.slot;
  char error[kErrorTextSize];
  if (slot.small[0] == 0) {
    RequestLine line(6013, session.Head());
    line.Add(session.tradeDate).Add(session.tradeDate);
    const int result = SendListRequest(
        session, line, 3106,
        [&](AnswerReader &packet) {
          const AnswerFields f(packet.Rest(), 3);
          TB_TRADE trade{};
          f.Get(5, trade.OrderRef);
          f.Get(6, trade.InstrumentID);
          trade.Volume = f.Int(14);
          if (!trade.InstrumentID[0] || trade.Volume == 0) return;
          trade.Direction = DecodeDirection(f.Char(8));
          char offsetText[kSkipWidth];
          f.Get(11, offsetText);
          trade.OffsetFlag = DecodeOffset(f.Char(10), offsetText);
          trade.HedgeFlag = DecodeHedge(f.Char(12));
          trade.Price = f.Double(15);
          f.Get(18, trade.Text43);
          f.Get(19, trade.Text21);
          f.Get(21, trade.TradeTime);
          if (auto *block = static_cast<TB_TRADE *>(session.AllocBlock())) {
            *block = trade;
            session.PostBlock(TN_TRADES, block);
          }
        },
        error);
    if (result != 0) return Fail(session, TN_TRADES, error);
    session.SignalReady();
    session.PostValue(TN_TRADES, 0);
    return;
  }
  char path[64];
  AccountFilePath(session, "Trade.txt", path);
  RequestLine line(6053, session.Head());
  line.Add(slot.text[0]).Add(slot.text[1]).Add("").Add("").Add("1");
  ListReport report(path,
                    "\r\n   日期      时间      合约  买卖  开平   成交价格  数量   手续费    投保  成交号\r\n\r\n",
                    "\r\n 查询时段内无成交。");
  const int result = SendListRequest(
      session, line, 3107,
      [&](AnswerReader &packet) {
        const AnswerFields f(packet.Rest(), 3);
        char v[10][kSkipWidth];
        const int fields[10] = {19, 23, 6, 9, 11, 15, 14, 20, 13, 18};
        for (int i = 0; i < 10; ++i) f.Get(fields[i], v[i]);
        report.Printf(" %8s  %8s  %6s  %4s  %4s  %9s  %4s  %7s    %4s  %6s\r\n", v[0], v[1], v[2], v[3],
                      v[4], v[5], v[6], v[7], v[8], v[9]);
      },
      error);
  if (result != 0) return Fail(session, TN_QUERY_REPORT, error);
  report.Finish();
  PostReport(session, path);
}

void MoneyHistoryRoutine(Session &session) {
  // The head and a ruler of blanks and '|' under its columns.
  static const char kHead[] =
      "\r\n   日期   | 流水号 |  币种  |     银行     |     出金     |     入金     |    摘要\r\n"
      "          |        |        |              |              |              |\r\n";
  char path[64];
  AccountFilePath(session, "Money.txt", path);
  RequestLine line(6016, session.Head());
  line.Add(session.slot.text[0]).Add(session.slot.text[1]);
  ListReport report(path, kHead, "\r\n 查询时段内无出入金记录。");
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3105,
      [&](AnswerReader &packet) {
        const AnswerFields f(packet.Rest(), 3);
        char v[7][kSkipWidth];
        const int fields[7] = {3, 4, 9, 12, 5, 6, 7};
        for (int i = 0; i < 7; ++i) f.Get(fields[i], v[i]);
        report.Printf(" %8s | %6s | %6s | %12s | %12s | %12s | %s\r\n", v[0], v[1], v[2], v[3], v[4], v[5],
                      v[6]);
      },
      error);
  if (result != 0) return Fail(session, TN_QUERY_REPORT, error);
  report.Finish();
  PostReport(session, path);
}

void TradeStatisticsRoutine(Session &session) {
  RequestLine line(6015, session.Head());
  line.Add(session.slot.text[0]).Add(session.slot.text[1]);
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 0, answer, error) != 0) return Fail(session, TN_QUERY_REPORT, error);
  const AnswerFields f(answer);
  char fee[kSkipWidth], profit[kSkipWidth], turnover[kSkipWidth];
  f.Get(4, fee);
  f.Get(7, profit);
  f.Get(8, turnover);
  char path[64];
  AccountFilePath(session, "Stat.txt", path);
  {
    ReportFile file(path, ReportFile::kTruncate);
    file.Printf("\r\n 手续费：  %16s\r\n 盈亏：    %16s\r\n 成交额：  %16s", fee, profit, turnover);
  }
  PostReport(session, path);
}

void ChangePasswordRoutine(Session &session) {
  const RequestSlot &slot = session.slot;
  const int kind = slot.small[0];
  RequestLine line(kind == 0 ? 6023 : 6024, session.Head());
  line.AddSentOnly(slot.text[0]).AddSentOnly(slot.text[1]);
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 3109, answer, error) != 0) return Fail(session, TN_PASSWORD_CHANGED, error);
  if (kind == 0) CopyBounded(session.password, slot.text[1]);
  session.SignalReady();
  session.PostValue(TN_PASSWORD_CHANGED, kind);
}

void CfmmcRoutine(Session &session) {
  RequestLine line(6056, session.Head());
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 3115, answer, error) != 0) return Fail(session, TN_CFMMC, error);
  const AnswerFields f(answer);
  auto *block = static_cast<TB_CFMMC *>(session.AllocBlock());
  if (block) {
    f.Get(5, block->CompanyID);
    CopyBounded(block->AccountID, session.account);
    block->KeyID = f.Int(6);
    size_t length = 0;
    for (int i = 7; i <= 9; ++i) {
      f.Get(i, block->Password + length, sizeof block->Password - length);
      length = strlen(block->Password);
    }
  }
  session.SignalReady();
  session.PostBlock(TN_CFMMC, block);
}

namespace {

// The quote record: the code, prices in thousandths, volumes. Nothing in the
// system reads it.
#pragma pack(push, 1)
struct QuoteRecord {
  char InstrumentID[32];
  int32_t Prices[3];  // last, bid, ask
  int32_t Volumes[2];  // bid, ask
  char Zero52[106];
};
static_assert(sizeof(QuoteRecord) == 158);

// The margin-rate record: three groups of the contract with its hedge flag
// and the long and short ratios.
struct MarginGroup {
  char InstrumentID[31];
  char HedgeFlag;
  double LongRatio;
  double ShortRatio;
};
static_assert(sizeof(MarginGroup) == 48);
#pragma pack(pop)

// A price the broker sent, in thousandths. An answer's number past what the
// field holds is held at its end, and one that is no number reads as 0.
int32_t Thousandths(double price) {
  const double scaled = price * 1000 + (price < 0 ? -0.5 : 0.5);
  if (std::isnan(scaled)) return 0;
  if (scaled >= double(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
  if (scaled <= double(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
  return int32_t(scaled);
}

}  // namespace

void QuoteRoutine(Session &session) {
  RequestLine line(6017, session.Head());
  line.Add(session.slot.text[1]).Add(session.slot.text[0]);
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 0, answer, error) != 0) return Fail(session, TN_QUOTE, error);
  const AnswerFields f(answer);
  auto *quote = static_cast<QuoteRecord *>(session.AllocBlock());
  if (quote) {
    f.Get(4, quote->InstrumentID);
    for (int i = 0; i < 3; ++i) quote->Prices[i] = Thousandths(f.Double(5 + i));
    for (int i = 0; i < 2; ++i) quote->Volumes[i] = f.Int(8 + i);
  }
  session.SignalReady();
  session.PostBlock(TN_QUOTE, quote);
}

void MarginRateRoutine(Session &session) {
  const RequestSlot &slot = session.slot;
  char code[8], seat[16];
  session.exchanges.Seat(slot.text[1], char(slot.small[2]), code, seat);
  RequestLine line(6027, session.Head());
  line.Add(slot.text[1]).Add(code).Add(slot.text[0]).Add("2").Add(session.tradeDate);
  char answer[kAnswerSize], error[kErrorTextSize];
  if (SendRequest(session, line, 0, answer, error) != 0) return Fail(session, TN_MARGIN_RATE, error);
  const AnswerFields f(answer);
  auto *groups = static_cast<MarginGroup *>(session.AllocBlock());
  if (groups) {
    const char hedges[3] = {'1', '3', '2'};
    for (int i = 0; i < 3; ++i) {
      CopyBounded(groups[i].InstrumentID, slot.text[0]);
      groups[i].HedgeFlag = hedges[i];
      groups[i].LongRatio = f.Double(4 + 2 * i);
      groups[i].ShortRatio = f.Double(5 + 2 * i);
    }
  }
  session.SignalReady();
  session.PostBlock(TN_MARGIN_RATE, groups);
}

}  // namespace tb
