// A dispatcher over the small futures market of DeskTest, with recorders for
// the trading window, the main window and the desktop, and a test plug-in
// that hands out counted blocks and answers the chain's queries by posting
// notifications the way the real one does.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "platform/winuser.h"
#include "plugin/tradeapi.h"
#include "testing/desk_ui_recorder.h"
#include "testing/message_trace.h"
#include "testing/shell_recorder.h"
#include "tests/trading/desk_fixture.h"
#include "trading/dispatcher.h"
#include "trading/tradedesk.h"

namespace trading_test {

// What the test plug-in answers and what it was asked.
struct ChainBroker {
  // Blocks handed out and not yet returned, and the returns of each.
  std::map<void *, int> live;
  int freed = 0;
  int strayFrees = 0;  // a return of something that was never handed out
  std::vector<std::string> calls;
  // A request's answer: posts to the window; empty answers "refused" (1).
  std::map<std::string, std::function<void()>> answers;
  std::map<std::string, int> results;
  HWND window = nullptr;
  int shortName = 1;
  std::string exchangeOf1 = "SHFE";
  char *Block(const void *data = nullptr, size_t size = 0);
  char *TextBlock(const std::string &text);
  void Post(uint32_t wParam, LPARAM lParam) { PostMessageA(window, WM_TRADE_NOTIFY, wParam, lParam); }
  int Ask(const std::string &name);
};
extern ChainBroker Broker;

class DispatcherTest : public DeskTest {
 protected:
  DispatcherTest();
  ~DispatcherTest() override;

  // Delivers every posted notification to the dispatcher until none is left.
  void Pump();
  void Notify(uint32_t wParam, LPARAM lParam) { dispatch_.HandleTradeNotify(wParam, lParam); }
  // The page states the window was laid out in, in order, without repeats.
  std::vector<int> PageStates() const;
  // A contract block of a code.
  char *ContractBlock(const char *code, int valid = 1);
  // A file in the program's folder with that text.
  void WriteProgramFile(const std::string &name, const std::string &text);
  bool ProgramFileExists(const std::string &name) const;

  DeskUiRecorder ui_;
  DeskHostRecorder host_;
  testing_support::MessageTrace trace_;
  ShellRecorder shell_;
  TTradingDesk trading_;
  TTradeDispatcher dispatch_;
};

}  // namespace trading_test
