// A terminal's folders for tests that talk to the quote service on
// loopback: the data set's "cfg", "data" and "user" in a fresh temporary
// folder, the program folder "bin" (with ".\SERVER.INI" naming the
// service) as the current folder, the user folder as UserDataPath, the
// socket library started and the market side wired to the request client.
// Going away, it deletes both quote clients, stops the market side and the
// socket library, and puts the folders back.
#pragma once

#include <filesystem>
#include <string>

#include "testing/market_fixture.h"

class QuoteService;

class TerminalSandbox {
 public:
  TerminalSandbox(const market_fixture::DataSetDesc &dataSet, const QuoteService &service, const std::string &user,
                  const std::string &password, const char *name);
  ~TerminalSandbox();
  TerminalSandbox(const TerminalSandbox &) = delete;
  TerminalSandbox &operator=(const TerminalSandbox &) = delete;

  // False when the folders could not be written.
  bool Ready() const { return ready_; }
  const std::string &Root() const { return root_; }

 private:
  std::string root_;
  std::filesystem::path old_;
  bool ready_ = false;
};
