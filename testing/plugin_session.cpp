#include "testing/plugin_session.h"

#include <cstring>

#include "platform/messages.h"

namespace testing_support {

using namespace tb;

std::shared_ptr<Session> OpenSimSession(HWND window, int port) {
  auto session = CreateSession();
  if (!session) return nullptr;
  session->window = window;
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
  if (session->broker.Open("0001", "127.0.0.1", port, 0, "", 0, "", "", line.Line(), answer) != 0 ||
      !AnswerSucceeded(answer, nullptr, nullptr, 0))
    return nullptr;
  AnswerReader reader(answer);
  reader.At(4, session->holderName);
  reader.At(8, session->tradeDate);
  return StartSession(session) ? session : nullptr;
}

}  // namespace testing_support
