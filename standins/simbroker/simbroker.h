// A simulated broker trading system: accounts with funds and passwords,
// contracts of several exchanges with their seats, orders that live
// (accepted, partly and fully filled, cancelled, refused), trades,
// positions, banks with balances and transfers that take a few polls to
// settle, money movements, daily statements, connection states and pushed
// records. It answers the broker's request lines as the real system does
// and is set up by a script and driven by a small test interface.
//
// Script: one statement per line, '#' starts a comment, values are GBK
// words (key=value pairs may come in any order):
//   tradedate 20240115
//   logindate ../x                    (the login answer's trade date, any word:
//                                      a broken broker; "-" gives the real one)
//   account 880001 password=111111 funds=222222 name=张三 balance=100000 centre=A
//   contract SHFE cu2405 name=沪铜2405 tick=10 multiplier=5 margin=0.1 price=70000 attr=1 delivery=2405
//   seat SHFE seat=0001 code=8800101 hedge=0 default=1
//   position 880001 cu2405 long=2 short=0 price=69800 hedge=0
//   bank 880001 code=1 name=工商银行 account=6222000012345678 balance=50000 password=333333
//   money 880001 date=20240110 serial=12 deposit=1000 withdraw=0 summary=入金 bank=工商银行
//   server A 127.0.0.1 17001          (a trading server of a centre, for the portal)
//   statement 880001 20240115 file=/path/s.txt  (the account's statement of the
//                                      day, served line by line; once an account
//                                      has one, its other dates answer "结算单未发布")
//   delay 6018 3000                   (answers of a function wait; 0: continuations)
//   fail 3 -100                       (the 3rd request from here fails with -100)
//   refuse SHFE 不是交易时间           (orders of that exchange are refused with the text;
//                                      "refuse SHFE" alone lets them in again)
//   autofill on|off                   (marketable orders fill at once)
//   transferpolls 1                   (transfer queries until a transfer settles;
//                                      0: it settles when submitted)
//   transferoutcome 转账失败 银行系统忙  (transfers settle so, moving no money;
//                                      "-" settles them normally again)
//   price cu2405 70010                (moves the market; resting orders may fill)
//   status 6                          (the connection state the library reports)
//   push <record>                     (queues a raw pushed record)
//   reinit [20240116]                 (a new trading day: the trade date moves on,
//                                      by default to the next day, and every
//                                      connection is pushed the initialisation notice)
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "standins/simbroker/broker_endpoint.h"

namespace sim {

class SimClient;

class SimBroker {
 public:
  SimBroker();
  ~SimBroker();
  SimBroker(const SimBroker &) = delete;
  SimBroker &operator=(const SimBroker &) = delete;

  // Runs a script; false with the line and reason in *error when a line is
  // not understood (the lines before it have taken effect).
  bool LoadScript(const std::string &text, std::string *error = nullptr);
  // The script the simulator program starts with when given none.
  static const char *DefaultScript();

  // A new connection to this broker.
  std::unique_ptr<SimClient> Connect();

  // ---- the test interface ----
  // Queues a raw record for every connection logged in as the account
  // (every connection when the account is empty).
  void QueuePush(const std::string &record, const std::string &account = "");
  void SetConnectionStatus(int status);
  // The k-th request from now (1 = the next) fails in the library with code.
  void FailRequest(int k, int code);
  // How long the answer of a function code waits (0: continuations).
  void SetDelay(int code, unsigned ms);
  // From now on the answers of a function code carry this text in a field
  // (counted from 0), whatever the broker would put there: a broker that
  // answers nonsense.
  void SetAnswerField(int code, int field, const std::string &text);
  void SetPrice(const std::string &contract, double price);
  // Fills part or all of a resting order; false when it can't be filled.
  bool FillOrder(int orderRef, int volume);
  // Every request line in the order received (login and continuations too).
  std::vector<std::string> RecordedLines() const;
  void ClearRecordedLines();
  // How many requests are being answered now.
  int RequestsInProgress() const;
  // Requests of a function code are held back unanswered until released,
  // so a test can act while the broker is busy. WaitHeld waits (real time)
  // until at least count requests are held; false after the time-out.
  void Hold(int code);
  // The requests are done (an order stored, a transfer made) but their
  // answers are held back until released: the caller never learns the
  // outcome if it ends meanwhile.
  void HoldAnswer(int code);
  void Release(int code);
  bool WaitHeld(int count, unsigned timeoutMs = 5000);

 private:
  friend class SimClient;
  struct State;
  std::unique_ptr<State> m_state;
};

class SimClient : public BrokerEndpoint {
 public:
  explicit SimClient(SimBroker &broker);
  ~SimClient() override;

  int Open(const char *brokerId, const char *address, int port, const char *line, char *answer,
           int answerSize) override;
  int Send(const char *line, char *answer, int answerSize) override;
  int PushCount() override;
  int ReceivePush(char *buffer, int *length) override;
  int ConnectionStatus() override;
  void Close() override;
  void ErrorMessage(int code, char *text, int size) override;
  int SwitchList(const char *account, char (*addresses)[32], int *ports, int max) override;

  // The account logged in on this connection (empty when none).
  std::string Account() const;

 private:
  friend class SimBroker;
  int Answer(const std::string &line, bool login, char *answer, int answerSize);
  SimBroker &m_broker;
  std::string m_account;
  std::string m_server;  // address:port of the login
  bool m_open = false;
  std::deque<std::string> m_packets;  // continuation packets still to come
  std::deque<std::string> m_pushes;
};

}  // namespace sim
