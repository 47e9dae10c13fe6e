#include "tests/plugin/session_fixture.h"

#include <cstring>

#include "plugin/tradebridge.h"
#include "testing/pump.h"

namespace plugin_test {

using namespace tb;

void SessionTest::SetUp() {
  ASSERT_TRUE(link_.Attached());
  window_ = trace_.Create(WS_OVERLAPPED);
  SetRequestRoutine(TR_CONTRACTS, ContractsRoutine);
  SetRequestRoutine(TR_ORDERS, OrdersRoutine);
  SetRequestRoutine(TR_ORDER_INSERT, OrderInsertRoutine);
}

void SessionTest::TearDown() {
  EndSession();
  Notes();  // returns what is still queued
  for (int kind = 1; kind < kRequestKinds; ++kind) SetRequestRoutine(kind, nullptr);
  DestroyWindow(window_);
}

std::shared_ptr<Session> SessionTest::Login() {
  auto session = CreateSession();
  if (!session) return nullptr;
  session->window = window_;
  session->message = WM_TRADE_NOTIFY;
  strcpy(session->account, "880001");
  strcpy(session->password, "111111");
  strcpy(session->clientTag, "other#C#");
  ReadAdapterAddress(session->adapter);
  if (!BindBrokerLibrary(session->broker)) return nullptr;
  session->broker.InitSystem(1);
  session->broker.Start();
  RequestLine line(6011, session->Head());
  line.Add("127.0.0.1").Add("1").Add("1");
  char answer[kAnswerSize] = {};
  if (session->broker.Open("0001", "127.0.0.1", 17001, 0, "", 0, "", "", line.Line(), answer) != 0 ||
      !AnswerSucceeded(answer, nullptr, nullptr, 0))
    return nullptr;
  AnswerReader reader(answer);
  reader.At(4, session->holderName);
  reader.At(8, session->tradeDate);
  return StartSession(session) ? session : nullptr;
}

bool SessionTest::WaitFor(const std::function<bool()> &condition) {
  return testing_support::PumpUntil([&] {
    Notes();
    return condition();
  });
}

bool SessionTest::WaitForCode(uint32_t code, bool text) {
  return WaitFor([&] {
    for (const auto &note : notes_)
      if (note.code == code && note.text == text) return true;
    return false;
  });
}

const std::vector<Note> &SessionTest::Notes() {
  const auto &messages = trace_.Messages();
  for (; taken_ < messages.size(); ++taken_) {
    const auto &m = messages[taken_];
    if (m.message != WM_TRADE_NOTIFY) continue;
    Note note{uint32_t(m.wParam & 0xFFFF), (m.wParam & TN_TEXT_FLAG) != 0, m.lParam, {}};
    const bool block = m.lParam != 0 && note.code != TN_CONNECTION_STATE && note.code != TN_EXCHANGE_STATUS &&
                       note.code != TN_PASSWORD_CHANGED;
    if (block) {
      const char *data = reinterpret_cast<const char *>(m.lParam);
      note.bytes = note.text ? std::string(data) : std::string(data, 64);
      TraderDllFree(reinterpret_cast<void *>(m.lParam));
    }
    notes_.push_back(note);
  }
  return notes_;
}

std::vector<Note> SessionTest::NotesOf(uint32_t code) {
  std::vector<Note> out;
  for (const auto &note : Notes())
    if (note.code == code) out.push_back(note);
  return out;
}

void ContractsRoutine(Session &session) {
  RequestLine line(6018, session.Head());
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3094,
      [&](AnswerReader &record) {
        auto *contract = static_cast<TB_CONTRACT *>(session.AllocBlock());
        if (!contract) return;
        record.At(3, contract->ExchangeID);
        record.At(5, contract->InstrumentID);
        record.NextPlain(contract->InstrumentName, sizeof contract->InstrumentName);
        contract->Valid = 1;
        session.PostBlock(TN_CONTRACT, contract);
      },
      error);
  session.SignalReady();
  if (result != 0)
    session.PostText(TN_CONTRACT, error);
  else
    session.PostValue(TN_CONTRACT, 0);
}

void OrdersRoutine(Session &session) {
  RequestLine line(6019, session.Head());
  line.Add(session.tradeDate).Add(session.tradeDate);
  char error[kErrorTextSize];
  const int result = SendListRequest(
      session, line, 3108,
      [&](AnswerReader &record) {
        auto *order = static_cast<CKivoOrderField *>(session.AllocBlock());
        if (!order) return;
        record.At(5, order->OrderRef);
        record.At(6, order->InstrumentID);
        session.PostBlock(TN_ORDERS, order);
      },
      error);
  session.SignalReady();
  if (result != 0)
    session.PostText(TN_ORDERS, error);
  else
    session.PostValue(TN_ORDERS, 0);
}

void OrderInsertRoutine(Session &session) {
  RequestSlot &slot = session.slot;
  char code[8], seat[16];
  FindExchangeSeat(session.exchanges, kExchangeCount, slot.text[1], char(slot.small[2]), code, seat);
  RequestLine line(6021, session.Head());
  line.Add(slot.text[1]).Add(slot.text[0]).AddChar(EncodeDirection(char(slot.small[0])));
  line.AddChar(EncodeOffset(char(slot.small[1]))).AddChar(EncodeHedge(char(slot.small[2])));
  line.Add(slot.volume).AddPrice(slot.price < 0 ? 0 : slot.price).Add(seat).Add(code);
  char answer[kAnswerSize];
  slot.result = SendRequest(session, line, 3099, answer, slot.errorText);
  if (slot.result == 0) {
    AnswerReader reader(answer);
    reader.At(4, slot.orderRef);
  }
  session.SignalReady();
}

}  // namespace plugin_test
