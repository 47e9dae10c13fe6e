#include "standins/simbroker/simbroker.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <set>
#include <sstream>

#include "platform/clock.h"
#include "platform/gbk.h"
#include "standins/simbroker/futures_contracts.h"

namespace sim {

namespace {

// ---- text helpers --------------------------------------------------------------

// Splits a '|'-separated GBK text; a trail byte 0x7C inside a character does
// not separate.
std::vector<std::string> SplitLine(const std::string &line) {
  std::vector<std::string> fields(1);
  for (size_t i = 0; i < line.size(); ++i) {
    if (platform::IsGbkPair(line, i)) {
      fields.back() += line.substr(i, 2);
      ++i;
    } else if (line[i] == '|') {
      fields.emplace_back();
    } else {
      fields.back() += line[i];
    }
  }
  return fields;
}

std::string Field(const std::vector<std::string> &fields, size_t index) {
  return index < fields.size() ? fields[index] : std::string();
}

std::string Money(double value) {
  char text[64];
  snprintf(text, sizeof text, "%.2f", value);
  return text;
}

std::string Price(double value) {
  char text[64];
  snprintf(text, sizeof text, "%.3f", value);
  return text;
}

std::string Int(long long value) { return std::to_string(value); }

// An answer or record: fields by index, joined with a '|' after each.
class Fields {
 public:
  Fields &Set(size_t index, const std::string &value) {
    if (m_fields.size() <= index) m_fields.resize(index + 1);
    m_fields[index] = value;
    return *this;
  }
  std::string Join() const {
    std::string out;
    for (const auto &field : m_fields) {
      out += field;
      out += '|';
    }
    return out;
  }

 private:
  std::vector<std::string> m_fields;
};

std::string NowTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  snprintf(text, sizeof text, "%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond);
  return text;
}

std::string NowDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  char text[32];
  snprintf(text, sizeof text, "%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return text;
}

// The calendar day after a YYYYMMDD date; empty when it is no date.
std::string NextDay(const std::string &date) {
  if (date.size() != 8 || date.find_first_not_of("0123456789") != std::string::npos) return {};
  std::tm day{};
  day.tm_year = atoi(date.substr(0, 4).c_str()) - 1900;
  day.tm_mon = atoi(date.substr(4, 2).c_str()) - 1;
  day.tm_mday = atoi(date.substr(6, 2).c_str()) + 1;
  day.tm_hour = 12;
  if (timegm(&day) == -1) return {};
  char text[16];
  snprintf(text, sizeof text, "%04d%02d%02d", day.tm_year + 1900, day.tm_mon + 1, day.tm_mday);
  return text;
}

// Broker error codes inside answers.
enum : int {
  kErrAccount = 10001,
  kErrPassword = 10002,
  kErrFunction = 10003,
  kErrFunds = 30001,
  kErrClosable = 30002,
  kErrContract = 30003,
  kErrVolume = 30004,
  kErrPriceTick = 30005,
  kErrClosed = 30006,
  kErrOrderUnknown = 30010,
  kErrNoStatement = 30040,
  kErrOrderDone = 30011,
  kErrBank = 30020,
  kErrBankPassword = 30021,
  kErrFundsPassword = 30022,
  kErrAmount = 30023,
  kErrPasswordLength = 30030,
  kErrOtherCentre = 50001,
};

}  // namespace

// ---- the broker's records --------------------------------------------------------

namespace {

struct AccountRecord {
  std::string id, password, fundsPassword, name, centre;
  double preBalance = 0, deposit = 0, withdraw = 0, closeProfit = 0, fee = 0;
  bool confirmed = false;
};

struct Contract {
  std::string exchange, code, name, delivery;
  int attribute = 1;
  double tick = 1, multiplier = 10, marginRate = 0.1, feePerLot = 5, price = 0;
};

struct Seat {
  std::string exchange, seat, tradingCode;
  char hedge = '0';
  bool isDefault = false;
};

struct Order {
  int ref = 0;
  std::string account, exchange, contract, message, insertTime;
  char direction = '0', offset = '0', hedge = '0', status = 'a';
  int volume = 0, traded = 0, cancelled = 0;
  double price = 0;
  bool Resting() const { return status == 'a' || status == 'p'; }
};

struct Trade {
  int number = 0, orderRef = 0;
  std::string account, exchange, contract, date, time;
  char direction = '0', offset = '0', hedge = '0';
  int volume = 0;
  double price = 0, fee = 0;
};

struct Position {
  std::string account, contract, exchange;
  char hedge = '0';
  int longVolume = 0, shortVolume = 0, longToday = 0, shortToday = 0;
  double longPrice = 0, shortPrice = 0;  // holding averages
  double longOpen = 0, shortOpen = 0;    // open averages
};

struct Bank {
  std::string account, code, name, bankAccount, password;
  double balance = 0;
};

struct Transfer {
  std::string serial, account, bankCode, bankName, bankAccount, date, time, operation, status, result;
  double amount = 0;
  int pollsLeft = 0;
};

struct MoneyMove {
  std::string account, date, serial, summary, currency = "人民币", bank;
  double deposit = 0, withdraw = 0;
};

struct Server {
  std::string centre, address;
  int port = 0;
};

}  // namespace

struct SimBroker::State {
  mutable std::mutex lock;
  std::string tradeDate;
  // What the login answer gives as the trade date when it is not the trade
  // date itself (a broken broker); empty gives the trade date.
  std::string loginDate;
  std::map<std::string, AccountRecord> accounts;
  std::vector<Contract> contracts;
  std::vector<Seat> seats;
  std::map<int, Order> orders;
  int nextOrder = 1001;
  std::vector<Trade> trades;
  int nextTrade = 1;
  std::vector<Position> positions;
  std::vector<Bank> banks;
  std::vector<Transfer> transfers;
  int nextSerial = 5001;
  std::vector<MoneyMove> moves;
  // Statement files by account and date ("880001 20240115"); once an
  // account has one, its other dates are refused as not yet published.
  std::map<std::string, std::string> statements;
  std::vector<Server> servers;
  std::map<int, unsigned> delays;
  // Exchanges that refuse every order, with their text.
  std::map<std::string, std::string> closedExchanges;
  std::vector<std::pair<int, int>> failures;  // requests to go, code
  std::map<int, std::map<int, std::string>> answerFields;  // code: field, text
  bool autofill = true;
  int transferPolls = 1;
  // When set, transfers settle in this state with this result and move no
  // money (a bank that refuses, a balance it can't tell).
  std::string outcomeStatus, outcomeResult;
  int status = 3;
  std::vector<std::string> recorded;
  std::vector<SimClient *> clients;
  std::atomic<int> inProgress{0};
  int sequence = 0;
  std::set<int> holds;
  std::set<int> answerHolds;  // done, but the answer held back
  int waiting = 0;  // requests held back now
  std::condition_variable released;

  Contract *FindContract(const std::string &code) {
    for (auto &contract : contracts)
      if (contract.code == code) return &contract;
    return nullptr;
  }
  Position &PositionOf(const std::string &account, const Contract &contract, char hedge) {
    for (auto &position : positions)
      if (position.account == account && position.contract == contract.code && position.hedge == hedge)
        return position;
    positions.push_back(Position{account, contract.code, contract.exchange, hedge});
    return positions.back();
  }
  Bank *FindBank(const std::string &account, const std::string &code) {
    for (auto &bank : banks)
      if (bank.account == account && bank.code == code) return &bank;
    return nullptr;
  }

  // Margin held and floating profit of an account's positions.
  void Exposure(const std::string &account, double &margin, double &profit) {
    margin = profit = 0;
    for (const auto &position : positions) {
      if (position.account != account) continue;
      const Contract *contract = FindContract(position.contract);
      if (!contract) continue;
      const double value = contract->price * contract->multiplier;
      margin += (position.longVolume + position.shortVolume) * value * contract->marginRate;
      profit += position.longVolume * (contract->price - position.longPrice) * contract->multiplier;
      profit += position.shortVolume * (position.shortPrice - contract->price) * contract->multiplier;
    }
  }
  // Margin frozen by resting opening orders.
  double Frozen(const std::string &account) {
    double frozen = 0;
    for (const auto &[ref, order] : orders) {
      if (order.account != account || !order.Resting() || order.offset != '0') continue;
      if (const Contract *contract = FindContract(order.contract))
        frozen += (order.volume - order.traded) * OrderPrice(order, *contract) * contract->multiplier *
                  contract->marginRate;
    }
    return frozen;
  }
  static double OrderPrice(const Order &order, const Contract &contract) {
    return order.price > 0 ? order.price : contract.price;
  }
  double Balance(const AccountRecord &account) {
    double margin, profit;
    Exposure(account.id, margin, profit);
    return account.preBalance + account.deposit - account.withdraw + account.closeProfit - account.fee + profit;
  }
  double Available(const AccountRecord &account) {
    double margin, profit;
    Exposure(account.id, margin, profit);
    return Balance(account) - margin - Frozen(account.id);
  }
  // What can still be closed of one side, less what resting closing orders
  // already ask for.
  int Closable(const std::string &account, const Contract &contract, char hedge, char direction, bool today) {
    int held = 0;
    for (const auto &position : positions)
      if (position.account == account && position.contract == contract.code && position.hedge == hedge)
        held = direction == '1' ? (today ? position.longToday : position.longVolume)
                                : (today ? position.shortToday : position.shortVolume);
    for (const auto &[ref, order] : orders)
      if (order.account == account && order.contract == contract.code && order.hedge == hedge &&
          order.direction == direction && order.offset != '0' && order.Resting())
        held -= order.volume - order.traded;
    return held;
  }

  void Push(const std::string &account, const std::string &record);
  // A transfer reaches its final state.
  void Settle(Transfer &t, AccountRecord &account);
  std::string OrderStateRecord(const Order &order);
  std::string FillRecord(const Order &order, const Trade &trade);
  void Fill(Order &order, int volume, double price);
  void Match(const std::string &contract);
};

namespace {

const char *OffsetText(char offset) {
  switch (offset) {
    case '0': return "开仓";
    case '1': return "平仓";
    case '2': return "平今";
    default: return "强平";
  }
}

}  // namespace

void SimBroker::State::Push(const std::string &account, const std::string &record) {
  for (SimClient *client : clients)
    if (client->m_open && (account.empty() || client->m_account == account)) client->m_pushes.push_back(record);
}

std::string SimBroker::State::OrderStateRecord(const Order &order) {
  Fields f;
  f.Set(0, "P").Set(1, Int(++sequence)).Set(2, "push").Set(3, order.status == 'd' ? "16004" : "16002");
  f.Set(7, order.account).Set(8, Int(order.ref)).Set(9, order.exchange).Set(11, order.contract);
  f.Set(13, std::string(1, order.status)).Set(14, order.message).Set(15, std::string(1, order.direction));
  f.Set(17, std::string(1, order.offset)).Set(18, OffsetText(order.offset)).Set(19, std::string(1, order.hedge));
  f.Set(21, Int(order.volume)).Set(22, Price(order.price)).Set(23, Int(order.traded));
  f.Set(25, Int(order.status == 'd' ? order.cancelled : order.volume - order.traded));
  f.Set(26, "L" + Int(order.ref)).Set(29, order.insertTime).Set(33, order.insertTime);
  f.Set(35, "1").Set(39, "").Set(41, Int(900000 + order.ref));
  return f.Join();
}

std::string SimBroker::State::FillRecord(const Order &order, const Trade &trade) {
  Fields f;
  f.Set(0, "P").Set(1, Int(++sequence)).Set(2, "push").Set(3, "16005");
  f.Set(7, order.account).Set(8, order.exchange).Set(10, Int(order.ref));
  f.Set(11, std::string(1, order.status)).Set(12, order.message).Set(13, order.contract);
  f.Set(15, std::string(1, order.direction)).Set(17, std::string(1, order.offset));
  f.Set(18, OffsetText(order.offset)).Set(19, std::string(1, order.hedge));
  f.Set(21, Int(trade.volume)).Set(22, Int(order.volume - order.traded)).Set(23, Price(trade.price));
  f.Set(27, "L" + Int(order.ref)).Set(28, "T" + Int(trade.number)).Set(30, trade.time);
  f.Set(31, "1").Set(36, Int(900000 + order.ref));
  return f.Join();
}

void SimBroker::State::Fill(Order &order, int volume, double price) {
  Contract *contract = FindContract(order.contract);
  auto found = accounts.find(order.account);
  if (!contract || found == accounts.end() || volume <= 0) return;
  AccountRecord &account = found->second;
  volume = std::min(volume, order.volume - order.traded);
  if (volume <= 0) return;
  Trade trade;
  trade.number = nextTrade++;
  trade.orderRef = order.ref;
  trade.account = order.account;
  trade.exchange = order.exchange;
  trade.contract = order.contract;
  trade.date = tradeDate;
  trade.time = NowTime();
  trade.direction = order.direction;
  trade.offset = order.offset;
  trade.hedge = order.hedge;
  trade.volume = volume;
  trade.price = price;
  trade.fee = contract->feePerLot * volume;
  trades.push_back(trade);
  account.fee += trade.fee;

  Position &position = PositionOf(order.account, *contract, order.hedge);
  const bool buy = order.direction == '0';
  if (order.offset == '0') {
    int &held = buy ? position.longVolume : position.shortVolume;
    double &average = buy ? position.longPrice : position.shortPrice;
    double &open = buy ? position.longOpen : position.shortOpen;
    average = (average * held + price * volume) / (held + volume);
    open = (open * held + price * volume) / (held + volume);
    held += volume;
    (buy ? position.longToday : position.shortToday) += volume;
  } else {
    // A buy closes short positions, a sell long ones; today's first when
    // closing today.
    int &held = buy ? position.shortVolume : position.longVolume;
    int &today = buy ? position.shortToday : position.longToday;
    const double average = buy ? position.shortPrice : position.longPrice;
    const int closed = std::min(volume, held);
    account.closeProfit += (buy ? average - price : price - average) * closed * contract->multiplier;
    held -= closed;
    today = order.offset == '2' ? std::max(0, today - closed) : std::min(today, held);
  }
  order.traded += volume;
  order.status = order.traded >= order.volume ? 'c' : 'p';
  order.message = order.status == 'c' ? "全部成交" : "部分成交";
  Push(order.account, FillRecord(order, trade));
  Push(order.account, OrderStateRecord(order));
}

// Fills every resting order of the contract that the price now reaches.
void SimBroker::State::Match(const std::string &code) {
  Contract *contract = FindContract(code);
  if (!contract || contract->price <= 0) return;
  for (auto &[ref, order] : orders) {
    if (order.contract != code || !order.Resting()) continue;
    const bool reached = order.price <= 0 || (order.direction == '0' ? order.price >= contract->price
                                                                      : order.price <= contract->price);
    if (reached) Fill(order, order.volume - order.traded, contract->price);
  }
}

void SimBroker::State::Settle(Transfer &t, AccountRecord &account) {
  Bank *bank = FindBank(account.id, t.bankCode);
  if (!outcomeStatus.empty()) {
    t.status = outcomeStatus;
    t.result = outcomeResult;
  } else if (t.operation == "05") {
    t.amount = bank ? bank->balance : 0;
    t.status = "查询成功";
    t.result = "交易成功";
  } else if (t.operation == "01" && bank && bank->balance >= t.amount) {
    bank->balance -= t.amount;
    account.deposit += t.amount;
    moves.push_back(MoneyMove{account.id, t.date, t.serial, "银行转入", "人民币", t.bankName, t.amount, 0});
    t.status = "转账成功";
    t.result = "交易成功";
  } else if (t.operation == "02" && bank && Available(account) >= t.amount) {
    bank->balance += t.amount;
    account.withdraw += t.amount;
    moves.push_back(MoneyMove{account.id, t.date, t.serial, "转出银行", "人民币", t.bankName, 0, t.amount});
    t.status = "转账成功";
    t.result = "交易成功";
  } else {
    t.status = "转账失败";
    t.result = t.operation == "01" ? "银行余额不足" : "可取资金不足";
  }
}

// ---- the script ----------------------------------------------------------------

namespace {

// Words of a statement and its key=value pairs.
struct Statement {
  std::vector<std::string> words;
  std::map<std::string, std::string> values;
  std::string Value(const std::string &key, const std::string &fallback = "") const {
    auto found = values.find(key);
    return found == values.end() ? fallback : found->second;
  }
  double Number(const std::string &key, double fallback = 0) const {
    auto found = values.find(key);
    return found == values.end() ? fallback : atof(found->second.c_str());
  }
};

Statement Parse(const std::string &line) {
  Statement statement;
  std::istringstream in(line);
  std::string word;
  while (in >> word) {
    const size_t equals = word.find('=');
    if (equals != std::string::npos && !statement.words.empty())
      statement.values[word.substr(0, equals)] = word.substr(equals + 1);
    else
      statement.words.push_back(word);
  }
  return statement;
}

}  // namespace

SimBroker::SimBroker() : m_state(std::make_unique<State>()) { m_state->tradeDate = NowDate(); }

SimBroker::~SimBroker() = default;

const char *SimBroker::DefaultScript() {
  static const std::string script = [] {
    std::string text =
        "tradedate 20240115\n"
        "account 880001 password=111111 funds=222222 name=张三 balance=500000\n";
    // The contracts the quote-service double quotes too; the contract
    // record's attribute is the volume multiple the terminal counts with.
    char line[256];
    for (const FuturesContract &c : kFuturesContracts) {
      if (!c.code) continue;
      snprintf(line, sizeof line,
               "contract %s %s name=%s tick=%g multiplier=%g attr=%g margin=%g price=%.2f delivery=%s\n", c.exchange,
               c.code, c.name, c.tick, c.multiplier, c.multiplier, c.margin, c.price, c.delivery);
      text += line;
    }
    text +=
        "seat SHFE seat=0001 code=8800101 hedge=0 default=1\n"
        "seat SHFE seat=0002 code=8800102 hedge=1\n"
        "seat DCE seat=0101 code=1000001 hedge=0 default=1\n"
        "seat CZCE seat=0201 code=2000001 hedge=0 default=1\n"
        "seat CFFEX seat=0301 code=3000001 hedge=0 default=1\n"
        "bank 880001 code=1 name=工商银行 account=6222000012345678 balance=80000 password=333333\n"
        "money 880001 date=20240110 serial=12 deposit=100000 summary=银行转入 bank=工商银行\n";
    return text;
  }();
  return script.c_str();
}

bool SimBroker::LoadScript(const std::string &text, std::string *error) {
  std::istringstream in(text);
  std::string line;
  int number = 0;
  auto fail = [&](const std::string &why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (std::getline(in, line)) {
    ++number;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.resize(hash);
    const Statement s = Parse(line);
    if (s.words.empty()) continue;
    const std::string &verb = s.words[0];
    auto word = [&](size_t i) { return i < s.words.size() ? s.words[i] : std::string(); };
    if (verb == "price") {
      if (s.words.size() < 3) return fail("price needs a contract and a price");
      SetPrice(word(1), atof(word(2).c_str()));
      continue;
    }
    if (verb == "status") {
      SetConnectionStatus(atoi(word(1).c_str()));
      continue;
    }
    if (verb == "push") {
      const size_t at = line.find("push") + 4;
      std::string record = line.substr(at);
      record.erase(0, record.find_first_not_of(' '));
      QueuePush(record);
      continue;
    }
    if (verb == "delay") {
      SetDelay(atoi(word(1).c_str()), unsigned(atoi(word(2).c_str())));
      continue;
    }
    if (verb == "fail") {
      FailRequest(atoi(word(1).c_str()), atoi(word(2).c_str()));
      continue;
    }
    std::lock_guard guard(m_state->lock);
    State &st = *m_state;
    if (verb == "tradedate") {
      if (word(1).size() != 8) return fail("a trade date is YYYYMMDD");
      st.tradeDate = word(1);
    } else if (verb == "reinit") {
      // The broker starts a new trading day: the trade date moves on and
      // every connection is told so.
      const std::string date = word(1).empty() ? NextDay(st.tradeDate) : word(1);
      if (date.size() != 8 || date == st.tradeDate) return fail("reinit needs a new trade date YYYYMMDD");
      st.tradeDate = date;
      Fields f;
      f.Set(0, "P").Set(1, Int(++st.sequence)).Set(2, "push").Set(3, "16006");
      f.Set(7, "").Set(8, "1").Set(11, "SYSTEM").Set(12, "系统初始化").Set(14, date);
      st.Push("", f.Join());
    } else if (verb == "logindate") {
      st.loginDate = word(1) == "-" ? std::string() : word(1);
    } else if (verb == "account") {
      if (word(1).empty()) return fail("account needs an id");
      AccountRecord &account = st.accounts[word(1)];
      account.id = word(1);
      account.password = s.Value("password", account.password);
      account.fundsPassword = s.Value("funds", account.fundsPassword);
      account.name = s.Value("name", account.name);
      account.centre = s.Value("centre", account.centre);
      account.preBalance = s.Number("balance", account.preBalance);
    } else if (verb == "refuse") {
      if (word(1).empty()) return fail("refuse needs an exchange");
      const size_t at = line.find(word(1), line.find("refuse") + 6) + word(1).size();
      std::string text = line.substr(at);
      text.erase(0, text.find_first_not_of(' '));
      while (!text.empty() && (text.back() == ' ' || text.back() == '\r')) text.pop_back();
      if (text.empty())
        st.closedExchanges.erase(word(1));
      else
        st.closedExchanges[word(1)] = text;
    } else if (verb == "contract") {
      if (word(2).empty()) return fail("contract needs an exchange and a code");
      Contract *contract = st.FindContract(word(2));
      if (!contract) {
        st.contracts.push_back(Contract{});
        contract = &st.contracts.back();
      }
      contract->exchange = word(1);
      contract->code = word(2);
      contract->name = s.Value("name", contract->name.empty() ? word(2) : contract->name);
      contract->delivery = s.Value("delivery", contract->delivery);
      contract->attribute = int(s.Number("attr", contract->attribute));
      contract->tick = s.Number("tick", contract->tick);
      contract->multiplier = s.Number("multiplier", contract->multiplier);
      contract->marginRate = s.Number("margin", contract->marginRate);
      contract->feePerLot = s.Number("fee", contract->feePerLot);
      contract->price = s.Number("price", contract->price);
    } else if (verb == "seat") {
      if (word(1).empty()) return fail("seat needs an exchange");
      Seat seat{word(1), s.Value("seat"), s.Value("code"), s.Value("hedge", "0")[0], s.Value("default") == "1"};
      st.seats.push_back(seat);
    } else if (verb == "position") {
      const Contract *contract = st.FindContract(word(2));
      if (!contract || !st.accounts.count(word(1))) return fail("position of an unknown account or contract");
      Position &position = st.PositionOf(word(1), *contract, s.Value("hedge", "0")[0]);
      position.longVolume = int(s.Number("long"));
      position.shortVolume = int(s.Number("short"));
      position.longPrice = position.shortPrice = position.longOpen = position.shortOpen = s.Number("price");
    } else if (verb == "bank") {
      if (!st.accounts.count(word(1))) return fail("bank of an unknown account");
      st.banks.push_back(Bank{word(1), s.Value("code"), s.Value("name"), s.Value("account"), s.Value("password"),
                              s.Number("balance")});
    } else if (verb == "money") {
      MoneyMove move;
      move.account = word(1);
      move.date = s.Value("date", st.tradeDate);
      move.serial = s.Value("serial");
      move.summary = s.Value("summary");
      move.bank = s.Value("bank");
      move.deposit = s.Number("deposit");
      move.withdraw = s.Number("withdraw");
      st.moves.push_back(move);
    } else if (verb == "statement") {
      if (word(2).size() != 8 || s.Value("file").empty()) return fail("statement needs an account, a date and a file");
      st.statements[word(1) + " " + word(2)] = s.Value("file");
    } else if (verb == "server") {
      if (word(3).empty()) return fail("server needs a centre, an address and a port");
      st.servers.push_back(Server{word(1), word(2), atoi(word(3).c_str())});
    } else if (verb == "autofill") {
      st.autofill = word(1) != "off";
    } else if (verb == "transferpolls") {
      st.transferPolls = std::max(0, atoi(word(1).c_str()));
    } else if (verb == "transferoutcome") {
      st.outcomeStatus = word(1) == "-" ? "" : word(1);
      st.outcomeResult = word(2);
    } else {
      return fail("unknown statement \"" + verb + "\"");
    }
  }
  return true;
}

std::unique_ptr<SimClient> SimBroker::Connect() { return std::make_unique<SimClient>(*this); }

void SimBroker::QueuePush(const std::string &record, const std::string &account) {
  std::lock_guard guard(m_state->lock);
  m_state->Push(account, record);
}

void SimBroker::SetConnectionStatus(int status) {
  std::lock_guard guard(m_state->lock);
  m_state->status = status;
}

void SimBroker::FailRequest(int k, int code) {
  std::lock_guard guard(m_state->lock);
  if (k >= 1) m_state->failures.emplace_back(k, code);
}

void SimBroker::SetAnswerField(int code, int field, const std::string &text) {
  std::lock_guard guard(m_state->lock);
  if (field >= 0) m_state->answerFields[code][field] = text;
}

void SimBroker::SetDelay(int code, unsigned ms) {
  std::lock_guard guard(m_state->lock);
  m_state->delays[code] = ms;
}

void SimBroker::SetPrice(const std::string &code, double price) {
  std::lock_guard guard(m_state->lock);
  if (Contract *contract = m_state->FindContract(code)) {
    contract->price = price;
    if (m_state->autofill) m_state->Match(code);
  }
}

bool SimBroker::FillOrder(int orderRef, int volume) {
  std::lock_guard guard(m_state->lock);
  auto found = m_state->orders.find(orderRef);
  if (found == m_state->orders.end() || !found->second.Resting()) return false;
  const Contract *contract = m_state->FindContract(found->second.contract);
  if (!contract) return false;
  m_state->Fill(found->second, volume, State::OrderPrice(found->second, *contract));
  return true;
}

std::vector<std::string> SimBroker::RecordedLines() const {
  std::lock_guard guard(m_state->lock);
  return m_state->recorded;
}

void SimBroker::ClearRecordedLines() {
  std::lock_guard guard(m_state->lock);
  m_state->recorded.clear();
}

int SimBroker::RequestsInProgress() const { return m_state->inProgress.load(); }

void SimBroker::Hold(int code) {
  std::lock_guard guard(m_state->lock);
  m_state->holds.insert(code);
}

void SimBroker::HoldAnswer(int code) {
  std::lock_guard guard(m_state->lock);
  m_state->answerHolds.insert(code);
}

void SimBroker::Release(int code) {
  std::lock_guard guard(m_state->lock);
  m_state->holds.erase(code);
  m_state->answerHolds.erase(code);
  m_state->released.notify_all();
}

bool SimBroker::WaitHeld(int count, unsigned timeoutMs) {
  std::unique_lock hold(m_state->lock);
  return m_state->released.wait_for(hold, std::chrono::milliseconds(timeoutMs),
                                    [&] { return m_state->waiting >= count; });
}

// ---- one connection ------------------------------------------------------------

SimClient::SimClient(SimBroker &broker) : m_broker(broker) {
  std::lock_guard guard(broker.m_state->lock);
  broker.m_state->clients.push_back(this);
}

SimClient::~SimClient() {
  std::lock_guard guard(m_broker.m_state->lock);
  auto &clients = m_broker.m_state->clients;
  clients.erase(std::remove(clients.begin(), clients.end(), this), clients.end());
}

std::string SimClient::Account() const {
  std::lock_guard guard(m_broker.m_state->lock);
  return m_account;
}

int SimClient::Open(const char *, const char *address, int port, const char *line, char *answer, int answerSize) {
  {
    std::lock_guard guard(m_broker.m_state->lock);
    m_server = std::string(address ? address : "") + ":" + std::to_string(port);
  }
  return Answer(line ? line : "", true, answer, answerSize);
}

int SimClient::Send(const char *line, char *answer, int answerSize) {
  return Answer(line ? line : "", false, answer, answerSize);
}

int SimClient::PushCount() {
  std::lock_guard guard(m_broker.m_state->lock);
  return m_open ? int(m_pushes.size()) : 0;
}

int SimClient::ReceivePush(char *buffer, int *length) {
  std::lock_guard guard(m_broker.m_state->lock);
  if (!buffer || !length || *length <= 0) return kErrBadRequest;
  if (!m_open) return kErrNotConnected;
  if (m_pushes.empty()) return kErrNoMorePackets;
  const std::string record = std::move(m_pushes.front());
  m_pushes.pop_front();
  return CopyPushRecord(record, buffer, length);
}

int SimClient::ConnectionStatus() {
  std::lock_guard guard(m_broker.m_state->lock);
  return m_open ? m_broker.m_state->status : 0;
}

void SimClient::Close() {
  std::lock_guard guard(m_broker.m_state->lock);
  m_open = false;
  m_account.clear();
  m_packets.clear();
  m_pushes.clear();
}

void SimClient::ErrorMessage(int code, char *text, int size) {
  if (!text || size <= 0) return;
  const char *message;
  switch (code) {
    case kErrNotConnected: message = "未连接到交易服务器"; break;
    case kErrNoMorePackets: message = "没有后续数据包"; break;
    case kErrBadRequest: message = "请求格式错误"; break;
    case kErrLinkFailed: message = "与交易服务器的连接中断"; break;
    case kErrRetryOnce: message = "连接交易服务器超时，请重试"; break;
    default: message = "网络通讯失败"; break;
  }
  snprintf(text, size_t(size), "%s", message);
}

int SimClient::SwitchList(const char *account, char (*addresses)[32], int *ports, int max) {
  std::lock_guard guard(m_broker.m_state->lock);
  SimBroker::State &st = *m_broker.m_state;
  std::string centre;
  if (auto found = st.accounts.find(account ? account : ""); found != st.accounts.end())
    centre = found->second.centre;
  int count = 0;
  for (const auto &server : st.servers) {
    if (count >= max) break;
    if (!centre.empty() && server.centre != centre) continue;
    snprintf(addresses[count], 32, "%s", server.address.c_str());
    ports[count] = server.port;
    ++count;
  }
  return count;
}

// ---- answers -----------------------------------------------------------------------

namespace {

struct Reply {
  int library = 0;  // a library error code instead of an answer
  std::string first;
  std::vector<std::string> packets;
};

Fields Head(int sequence, int code) {
  Fields f;
  f.Set(0, "A").Set(1, Int(sequence)).Set(2, Int(code));
  return f;
}

Reply Refuse(int sequence, int code, int error, const std::string &text) {
  Reply reply;
  reply.first = Head(sequence, code).Set(3, "N").Set(4, Int(error)).Set(5, text).Join();
  return reply;
}

// A list: the first answer names the packet count, each packet one record.
Reply List(int sequence, int code, std::vector<Fields> records) {
  Reply reply;
  reply.first = Head(sequence, code).Set(3, "Y").Set(4, Int(long(records.size()))).Join();
  for (auto &record : records) {
    record.Set(0, "A").Set(1, Int(sequence)).Set(2, "0");
    reply.packets.push_back(record.Join());
  }
  return reply;
}

bool Between(const std::string &date, const std::string &from, const std::string &to) {
  return (from.empty() || date >= from) && (to.empty() || date <= to);
}

}  // namespace

int SimClient::Answer(const std::string &line, bool login, char *answer, int answerSize) {
  SimBroker::State &st = *m_broker.m_state;
  st.inProgress.fetch_add(1);
  struct Done {
    SimBroker::State &st;
    ~Done() { st.inProgress.fetch_sub(1); }
  } done{st};
  if (answer && answerSize > 0) answer[0] = '\0';
  const std::vector<std::string> f = SplitLine(line);
  const int code = atoi(Field(f, 3).c_str());
  unsigned delay = 0;
  {
    std::unique_lock hold(st.lock);
    st.recorded.push_back(line);
    int failure = 0;
    for (auto it = st.failures.begin(); it != st.failures.end();) {
      if (--it->first == 0) {
        failure = it->second;
        it = st.failures.erase(it);
      } else {
        ++it;
      }
    }
    if (failure) return failure;
    if (auto found = st.delays.find(code); found != st.delays.end()) delay = found->second;
    if (st.holds.count(code)) {
      ++st.waiting;
      st.released.notify_all();
      st.released.wait(hold, [&] { return !st.holds.count(code); });
      --st.waiting;
    }
  }
  // The broker takes its time outside the lock: pushes and other
  // connections go on meanwhile.
  if (delay) Sleep(delay);

  std::unique_lock guard(st.lock);
  if (!answer || answerSize <= 0) return kErrBadRequest;
  if (!login && !m_open) return kErrNotConnected;
  if (Field(f, 0) != "R" || f.size() < 8) return kErrBadRequest;
  auto write = [&](const std::string &text) {
    const size_t size = std::min(text.size(), size_t(answerSize - 1));
    memcpy(answer, text.data(), size);
    answer[size] = '\0';
    return 0;
  };
  if (code == 0) {
    if (m_packets.empty()) return kErrNoMorePackets;
    const std::string packet = std::move(m_packets.front());
    m_packets.pop_front();
    return write(packet);
  }
  const int seq = ++st.sequence;
  const std::string accountId = Field(f, 6);
  auto found = st.accounts.find(accountId);
  if (login) {
    if (code != 6011) return kErrBadRequest;
    if (found == st.accounts.end()) return write(Refuse(seq, code, kErrAccount, "客户号不存在").first);
    AccountRecord &account = found->second;
    if (Field(f, 7) != account.password) return write(Refuse(seq, code, kErrPassword, "密码不正确").first);
    if (!account.centre.empty()) {
      for (const auto &server : st.servers)
        if (server.address + ":" + std::to_string(server.port) == m_server && server.centre != account.centre)
          return write(Refuse(seq, code, kErrOtherCentre, "客户不属于该交易中心").first);
    }
    m_open = true;
    m_account = accountId;
    m_packets.clear();
    double margin, profit;
    st.Exposure(accountId, margin, profit);
    const double balance = st.Balance(account);
    char risk[32];
    snprintf(risk, sizeof risk, "%.2f%%", balance > 0 ? margin * 100 / balance : 0.0);
    Fields a = Head(seq, code);
    a.Set(3, "Y").Set(4, account.name).Set(5, risk).Set(6, "0.00").Set(7, "0").Set(8, st.loginDate.empty() ? st.tradeDate : st.loginDate);
    a.Set(9, "127.0.0.1").Set(10, st.tradeDate).Set(11, "08:30:00").Set(12, "3").Set(13, "1").Set(14, "0");
    a.Set(18, "3.2").Set(24, "1/5").Set(29, "0");
    return write(a.Join());
  }
  if (accountId != m_account || found == st.accounts.end())
    return write(Refuse(seq, code, kErrAccount, "客户号与登录客户不符").first);
  AccountRecord &account = found->second;
  const bool ownPassword = code == 6023 || code == 6024 || code == 6041;
  if (!ownPassword && Field(f, 7) != account.password)
    return write(Refuse(seq, code, kErrPassword, "密码不正确").first);
  auto own = [&](size_t i) { return Field(f, 8 + i); };

  Reply reply;
  switch (code) {
    case 6012: {
      double margin, profit;
      st.Exposure(accountId, margin, profit);
      const double balance = st.Balance(account);
      Fields a = Head(seq, code);
      a.Set(3, "Y").Set(5, Money(account.preBalance)).Set(6, Money(st.Frozen(accountId))).Set(7, Money(0));
      a.Set(8, Money(margin)).Set(9, Money(0)).Set(12, Money(st.Available(account))).Set(13, Money(balance));
      a.Set(14, Money(balance > 0 ? margin / balance : 0)).Set(16, Money(account.fee)).Set(17, Money(profit));
      a.Set(18, Money(account.closeProfit)).Set(21, Money(account.deposit - account.withdraw));
      a.Set(24, Money(margin)).Set(26, Money(0)).Set(29, "");
      reply.first = a.Join();
      break;
    }
    case 6032: {
      Fields a = Head(seq, code);
      a.Set(3, "Y").Set(4, Money(account.preBalance)).Set(5, Money(0)).Set(6, Money(0)).Set(8, Money(0));
      a.Set(9, Money(0)).Set(10, Money(account.preBalance)).Set(11, Money(0)).Set(12, Money(account.preBalance));
      reply.first = a.Join();
      break;
    }
    case 6013:
    case 6053: {
      std::vector<Fields> records;
      for (const auto &t : st.trades) {
        if (t.account != accountId) continue;
        if (code == 6053 && !Between(t.date, own(0), own(1))) continue;
        Fields r;
        if (code == 6013) {
          r.Set(5, Int(t.orderRef)).Set(6, t.contract).Set(8, std::string(1, t.direction));
          r.Set(10, std::string(1, t.offset)).Set(11, OffsetText(t.offset)).Set(12, std::string(1, t.hedge));
          r.Set(14, Int(t.volume)).Set(15, Price(t.price)).Set(18, "T" + Int(t.number)).Set(19, t.exchange);
          r.Set(21, t.time);
        } else {
          r.Set(6, t.contract).Set(9, t.direction == '0' ? "买" : "卖").Set(11, OffsetText(t.offset));
          r.Set(13, t.hedge == '1' ? "套保" : "投机").Set(14, Int(t.volume)).Set(15, Price(t.price));
          r.Set(18, Int(t.number)).Set(19, t.date).Set(20, Money(t.fee)).Set(23, t.time);
        }
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6014: {
      std::vector<Fields> records;
      for (const auto &p : st.positions) {
        if (p.account != accountId || (p.longVolume <= 0 && p.shortVolume <= 0)) continue;
        Fields r;
        r.Set(5, p.contract).Set(6, std::string(1, p.hedge)).Set(7, Int(p.longVolume)).Set(9, Int(p.shortVolume));
        // The two amounts: the holding average and the open average of the
        // side that is held (the long side when both are).
        const bool longSide = p.longVolume > 0;
        r.Set(22, Price(longSide ? p.longPrice : p.shortPrice)).Set(23, Price(longSide ? p.longOpen : p.shortOpen));
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6015: {
      double turnover = 0;
      for (const auto &t : st.trades)
        if (t.account == accountId)
          if (const Contract *c = st.FindContract(t.contract)) turnover += t.price * t.volume * c->multiplier;
      Fields a = Head(seq, code);
      a.Set(3, "Y").Set(4, Money(account.fee)).Set(7, Money(account.closeProfit)).Set(8, Money(turnover));
      reply.first = a.Join();
      break;
    }
    case 6016: {
      std::vector<Fields> records;
      for (const auto &m : st.moves) {
        if (m.account != accountId || !Between(m.date, own(0), own(1))) continue;
        Fields r;
        r.Set(3, m.date).Set(4, m.serial).Set(5, Money(m.withdraw)).Set(6, Money(m.deposit)).Set(7, m.summary);
        r.Set(9, m.currency).Set(12, m.bank);
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6017: {
      const Contract *c = st.FindContract(own(1));
      if (!c) c = st.FindContract(own(0));
      if (!c) {
        reply = Refuse(seq, code, kErrContract, "合约代码不存在");
        break;
      }
      Fields a = Head(seq, code);
      a.Set(3, "Y").Set(4, c->code).Set(5, Price(c->price)).Set(6, Price(c->price - c->tick));
      a.Set(7, Price(c->price + c->tick)).Set(8, "10").Set(9, "12");
      reply.first = a.Join();
      break;
    }
    case 6018: {
      std::vector<Fields> records;
      for (const auto &c : st.contracts) {
        Fields r;
        r.Set(3, c.exchange).Set(5, c.code).Set(6, c.name).Set(7, Int(c.attribute)).Set(10, c.delivery);
        char tick[32];
        snprintf(tick, sizeof tick, "%g", c.tick);
        r.Set(15, tick);
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6019: {
      std::vector<Fields> records;
      for (const auto &[ref, o] : st.orders) {
        if (o.account != accountId) continue;
        Fields r;
        r.Set(3, o.exchange).Set(5, Int(o.ref)).Set(6, o.contract).Set(8, std::string(1, o.status));
        r.Set(9, o.message).Set(10, std::string(1, o.direction)).Set(12, std::string(1, o.offset));
        r.Set(13, OffsetText(o.offset)).Set(14, std::string(1, o.hedge)).Set(16, Int(o.volume));
        r.Set(17, Price(o.price)).Set(18, Int(o.traded)).Set(20, Int(o.cancelled)).Set(21, "L" + Int(o.ref));
        r.Set(24, o.insertTime).Set(28, o.insertTime).Set(30, "1").Set(32, "").Set(35, Int(900000 + o.ref));
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6020: {
      auto order = st.orders.find(atoi(own(0).c_str()));
      if (order == st.orders.end() || order->second.account != accountId) {
        reply = Refuse(seq, code, kErrOrderUnknown, "找不到该报单");
        break;
      }
      reply.first = Head(seq, code).Set(3, "Y").Set(7, Int(order->second.volume)).Join();
      break;
    }
    case 6021: {
      Contract *c = st.FindContract(own(1));
      const int volume = atoi(own(5).c_str());
      const double price = atof(own(6).c_str());
      const char direction = own(2).empty() ? '0' : own(2)[0];
      const char offset = own(3).empty() ? '0' : own(3)[0];
      const char hedge = own(4).empty() ? '0' : own(4)[0];
      if (!c || (!own(0).empty() && own(0) != c->exchange)) {
        reply = Refuse(seq, code, kErrContract, "合约代码不存在");
        break;
      }
      if (const auto closed = st.closedExchanges.find(c->exchange); closed != st.closedExchanges.end()) {
        reply = Refuse(seq, code, kErrClosed, closed->second);
        break;
      }
      if (volume <= 0) {
        reply = Refuse(seq, code, kErrVolume, "委托数量不正确");
        break;
      }
      if (price > 0 && c->tick > 0 && std::fabs(price / c->tick - std::round(price / c->tick)) > 1e-6) {
        reply = Refuse(seq, code, kErrPriceTick, "委托价格不是最小变动价位的整数倍");
        break;
      }
      const double valuePrice = price > 0 ? price : c->price;
      if (offset == '0') {
        if (valuePrice * c->multiplier * volume * c->marginRate > st.Available(account)) {
          reply = Refuse(seq, code, kErrFunds, "可用资金不足");
          break;
        }
      } else if (st.Closable(accountId, *c, hedge, direction, offset == '2') < volume) {
        reply = Refuse(seq, code, kErrClosable, "可平仓数量不足");
        break;
      }
      Order order;
      order.ref = st.nextOrder++;
      order.account = accountId;
      order.exchange = c->exchange;
      order.contract = c->code;
      order.direction = direction;
      order.offset = offset;
      order.hedge = hedge;
      order.volume = volume;
      order.price = price > 0 ? price : 0;
      order.status = 'a';
      order.message = "已报入";
      order.insertTime = NowTime();
      Order &stored = st.orders[order.ref] = order;
      Fields a = Head(seq, code);
      a.Set(3, "Y").Set(4, Int(order.ref)).Set(5, order.exchange).Set(7, order.contract);
      a.Set(9, "a").Set(10, order.message).Set(11, std::string(1, direction)).Set(13, std::string(1, offset));
      a.Set(14, OffsetText(offset)).Set(15, std::string(1, hedge)).Set(17, Int(volume)).Set(18, Price(order.price));
      a.Set(19, "0").Set(21, "0").Set(25, order.insertTime).Set(29, order.insertTime).Set(31, "1");
      a.Set(33, Int(900000 + order.ref));
      reply.first = a.Join();
      st.Push(accountId, st.OrderStateRecord(stored));
      if (st.autofill) st.Match(c->code);
      break;
    }
    case 6022: {
      auto order = st.orders.find(atoi(own(7).c_str()));
      if (order == st.orders.end() || order->second.account != accountId) {
        reply = Refuse(seq, code, kErrOrderUnknown, "撤单找不到相应报单");
        break;
      }
      Order &o = order->second;
      if (!o.Resting()) {
        reply = Refuse(seq, code, kErrOrderDone, "报单已全部成交或已撤销，不能撤单");
        break;
      }
      o.cancelled = o.volume - o.traded;
      o.status = 'd';
      o.message = o.traded > 0 ? "部成部撤" : "已撤单";
      reply.first = Head(seq, code).Set(3, "Y").Set(7, "d").Set(8, o.message).Join();
      st.Push(accountId, st.OrderStateRecord(o));
      break;
    }
    case 6023:
    case 6024: {
      std::string &password = code == 6023 ? account.password : account.fundsPassword;
      if (Field(f, 7) != password) {
        reply = Refuse(seq, code, kErrPassword, "原密码不正确");
      } else if (Field(f, 8).empty() || Field(f, 8).size() > 8) {
        reply = Refuse(seq, code, kErrPasswordLength, "新密码长度不正确");
      } else {
        password = Field(f, 8);
        reply.first = Head(seq, code).Set(3, "Y").Join();
      }
      break;
    }
    case 6027: {
      const Contract *c = st.FindContract(own(2));
      if (!c) {
        reply = Refuse(seq, code, kErrContract, "合约代码不存在");
        break;
      }
      Fields a = Head(seq, code);
      a.Set(3, "Y");
      for (int i = 0; i < 6; ++i) a.Set(size_t(4 + i), Money(c->marginRate));
      reply.first = a.Join();
      break;
    }
    case 6040: {
      std::vector<Fields> records;
      for (const auto &seat : st.seats) {
        if (seat.exchange != own(0)) continue;
        Fields r;
        r.Set(4, seat.exchange).Set(5, seat.seat).Set(6, seat.isDefault ? "1" : "0").Set(7, seat.tradingCode);
        r.Set(8, std::string(1, seat.hedge));
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6041: {
      // Fields from 7: funds password, bank password, amount, operation,
      // bank code, bank account.
      const std::string operation = Field(f, 10);
      const double amount = atof(Field(f, 9).c_str());
      Bank *bank = st.FindBank(accountId, Field(f, 11));
      if (!bank || (!Field(f, 12).empty() && Field(f, 12) != bank->bankAccount)) {
        reply = Refuse(seq, code, kErrBank, "银行帐户不存在");
      } else if (Field(f, 7) != account.fundsPassword) {
        reply = Refuse(seq, code, kErrFundsPassword, "资金密码不正确");
      } else if (Field(f, 8) != bank->password) {
        reply = Refuse(seq, code, kErrBankPassword, "银行密码不正确");
      } else if (operation != "01" && operation != "02" && operation != "05") {
        reply = Refuse(seq, code, kErrFunction, "业务类别不正确");
      } else if (operation != "05" && !(amount > 0)) {
        reply = Refuse(seq, code, kErrAmount, "转账金额不正确");
      } else {
        Transfer t;
        t.serial = Int(st.nextSerial++);
        t.account = accountId;
        t.bankCode = bank->code;
        t.bankName = bank->name;
        t.bankAccount = bank->bankAccount;
        t.date = st.tradeDate;
        t.time = NowTime();
        t.operation = operation;
        t.amount = amount;
        t.status = "处理中";
        t.pollsLeft = st.transferPolls;
        if (t.pollsLeft <= 0) st.Settle(t, account);  // at once
        st.transfers.push_back(t);
        reply.first = Head(seq, code).Set(3, "Y").Set(5, t.serial).Set(12, t.status).Set(13, t.result).Join();
      }
      break;
    }
    case 6042: {
      std::vector<Fields> records;
      for (const auto &bank : st.banks) {
        if (bank.account != accountId) continue;
        Fields r;
        r.Set(4, bank.code).Set(5, bank.name).Set(6, bank.bankAccount);
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6043: {
      std::vector<Fields> records;
      for (auto &t : st.transfers) {
        if (t.account != accountId) continue;
        if (!own(0).empty() ? t.serial != own(0) : !Between(t.date, own(1), own(2))) continue;
        if (t.status == "处理中" && --t.pollsLeft <= 0) st.Settle(t, account);
        const char *names[] = {"", "银行转期货", "期货转银行", "", "", "查询余额"};
        const int op = atoi(t.operation.c_str());
        Fields r;
        r.Set(3, t.serial).Set(5, t.bankName).Set(6, t.bankAccount).Set(8, t.date).Set(9, t.time);
        r.Set(10, op >= 0 && op <= 5 ? names[op] : "").Set(11, Money(t.amount)).Set(12, t.status).Set(13, t.result);
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6044: {
      const Contract *c = st.FindContract(own(0));
      const double price = atof(own(2).c_str()) > 0 ? atof(own(2).c_str()) : (c ? c->price : 0);
      const double perLot = c ? price * c->multiplier * c->marginRate : 0;
      const long volume = perLot > 0 ? long(std::max(0.0, st.Available(account)) / perLot) : 0;
      reply.first = Head(seq, code).Set(3, "Y").Set(4, Int(volume)).Join();
      break;
    }
    case 6068: {
      std::vector<Fields> records;
      const Contract *c = st.FindContract(own(0));
      const char direction = own(3).empty() ? '0' : own(3)[0];
      const char hedge = own(4).empty() ? '0' : own(4)[0];
      if (c) {
        Fields r;
        r.Set(6, Int(std::max(0, st.Closable(accountId, *c, hedge, direction, false))));
        r.Set(7, Int(std::max(0, st.Closable(accountId, *c, hedge, direction, true))));
        records.push_back(r);
      }
      reply = List(seq, code, records);
      break;
    }
    case 6056: {
      Fields a = Head(seq, code);
      a.Set(3, "Y").Set(5, "0001").Set(6, "12345").Set(7, "ab").Set(8, "cd").Set(9, "ef");
      reply.first = a.Join();
      break;
    }
    case 6071:
      account.confirmed = true;
      reply.first = Head(seq, code).Set(3, "Y").Join();
      break;
    case 6072: {
      const std::string date = own(1).empty() ? st.tradeDate : own(1);
      if (const auto file = st.statements.find(accountId + " " + date); file != st.statements.end()) {
        // The file's lines as they stand, one record each.
        std::ifstream in(file->second, std::ios::binary);
        std::vector<Fields> records;
        for (std::string text; std::getline(in, text);) {
          if (!text.empty() && text.back() == '\r') text.pop_back();
          records.push_back(Fields().Set(3, text));
        }
        reply = List(seq, code, records);
        break;
      }
      bool scripted = false;
      for (const auto &entry : st.statements) scripted |= entry.first.rfind(accountId + " ", 0) == 0;
      if (scripted) {
        reply = Refuse(seq, code, kErrNoStatement, "结算单未发布");
        break;
      }
      std::vector<std::string> lines = {
          "                    交易结算单",
          "客户号: " + accountId + "    客户名称: " + account.name + "    日期: " + date,
          "上日结存: " + Money(account.preBalance) + "    当日结存: " + Money(st.Balance(account)),
          "出入金: " + Money(account.deposit - account.withdraw) + "    手续费: " + Money(account.fee),
          "平仓盈亏: " + Money(account.closeProfit),
          "成交记录",
      };
      for (const auto &t : st.trades)
        if (t.account == accountId && t.date == date)
          lines.push_back(t.date + " " + t.contract + " " + (t.direction == '0' ? "买" : "卖") + " " +
                          OffsetText(t.offset) + " " + Price(t.price) + " " + Int(t.volume));
      std::vector<Fields> records;
      for (const auto &text : lines) records.push_back(Fields().Set(3, text));
      reply = List(seq, code, records);
      break;
    }
    default:
      reply = Refuse(seq, code, kErrFunction, "不支持的功能号");
      break;
  }
  m_packets.assign(reply.packets.begin(), reply.packets.end());
  if (auto set = st.answerFields.find(code); set != st.answerFields.end()) {
    std::vector<std::string> fields = SplitLine(reply.first);
    if (!fields.empty() && fields.back().empty()) fields.pop_back();
    for (const auto &[field, text] : set->second) {
      if (size_t(field) >= fields.size()) fields.resize(size_t(field) + 1);
      fields[size_t(field)] = text;
    }
    reply.first.clear();
    for (const std::string &field : fields) reply.first += field + '|';
  }
  // The broker has done the request; its answer waits while held.
  if (st.answerHolds.count(code)) {
    ++st.waiting;
    st.released.notify_all();
    st.released.wait(guard, [&] { return !st.answerHolds.count(code); });
    --st.waiting;
  }
  return write(reply.first);
}

}  // namespace sim
