// A logged-in plug-in session against the simulated broker, in the test's
// own process, with a window that receives the notifications.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/messages.h"
#include "plugin/session.h"
#include "testing/message_trace.h"
#include "testing/sim_broker_link.h"

namespace plugin_test {

// One WM_TRADE_NOTIFY as the window received it; a block's text or record
// bytes are copied and the block is returned at once.
struct Note {
  uint32_t code;
  bool text;
  LPARAM value;  // the lParam (a block's address only for identity)
  std::string bytes;  // a text block's text, else a record block's first bytes
  std::string raw;    // the whole block
};

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Opens a session the way the login does: binds the broker library,
  // connects and logs in as 880001, starts the threads.
  std::shared_ptr<tb::Session> Login();
  // Serves the window until the condition holds (real-time bound).
  bool WaitFor(const std::function<bool()> &condition);
  // Serves the window until a notification with the code arrives.
  bool WaitForCode(uint32_t code, bool text = false);
  // The notifications so far (taking them in: blocks go back at once).
  const std::vector<Note> &Notes();
  std::vector<Note> NotesOf(uint32_t code);
  // The order returns so far, in the order they came. The answers to the
  // terminal's own inserts and cancels and the states the push receiver
  // posts come from different threads of the plug-in, so an answer and a
  // push about the same order may come in either order; only a pushed
  // return carries the exchange's order number.
  std::vector<tb::CKivoOrderField> Returns();
  std::vector<tb::CKivoOrderField> AnswerReturns();
  std::vector<tb::CKivoOrderField> PushedReturns();

  testing_support::SimBrokerLink link_;
  sim::SimBroker &broker_ = link_.Broker();
  testing_support::MessageTrace trace_;
  HWND window_ = nullptr;
  size_t taken_ = 0;
  std::vector<Note> notes_;
};

}  // namespace plugin_test
