// The whole quote service on loopback, serving one data set: the directory
// and data servers (logins, start-up downloads, every request kind) and the
// push server with a live market, as the quote_double program runs it and
// as end-to-end tests start it. Started by the constructor, stopped by the
// destructor; the servers' own copy of the data set lives in a folder of
// its own for as long as the object.
//
// WriteTerminalFolders lays out a terminal beside it: the data set's "cfg",
// "data" and "user" below a root, and the program folder "bin" with its
// ".\SERVER.INI" naming the service (or, without one, an empty server list
// for offline browsing).
#pragma once

#include <memory>
#include <string>

#include "testing/market_fixture.h"
#include "testing/quote_double.h"
#include "testing/quote_double_push.h"
#include "testing/quote_double_requests.h"
#include "testing/quote_double_startup.h"

class QuoteService {
 public:
  struct Options {
    uint16_t directoryPort = 0, dataPort = 0, pushPort = 0;  // 0: a free one
    double quotesPerSecond = 20;
    // When set, only this account logs in.
    std::string user, password;
  };
  QuoteService(const market_fixture::DataSetDesc &dataSet, const Options &options);
  ~QuoteService();
  QuoteService(const QuoteService &) = delete;
  QuoteService &operator=(const QuoteService &) = delete;

  bool Running() const;
  QuoteDouble &Servers() { return *servers_; }
  QuotePushDouble &Push() { return *push_; }

 private:
  std::string folder_;
  std::unique_ptr<QuoteDouble> servers_;
  std::unique_ptr<QuotePushDouble> push_;
  std::unique_ptr<QuoteRequestServer> requests_;
  std::unique_ptr<QuoteStartupService> startup_;
};

// The terminal's folders below root (POSIX); service null: offline only.
// The account goes into the user's "SERVER.INI" when it is not empty.
// False when a file could not be written.
bool WriteTerminalFolders(const market_fixture::DataSetDesc &dataSet, const std::string &root,
                          const QuoteService *service, const std::string &user = "",
                          const std::string &password = "");
// The same with the ports of a service that runs elsewhere.
bool WriteTerminalFolders(const market_fixture::DataSetDesc &dataSet, const std::string &root, uint16_t directoryPort,
                          uint16_t dataPort, uint16_t pushPort, const std::string &user = "",
                          const std::string &password = "");

// "cfg/kvpage0.ppg" below root: the system page the terminal opens at start,
// one quote report that keeps the columns of the terminal's own new report.
bool WriteFirstPage(const std::string &root);

// "cfg/clrfont.ini" below root: a dark colour theme (0) that the first run
// copies into the user folder, so the demo's views are legible.
bool WriteDemoTheme(const std::string &root);

// UTC now from the platform clock, to the minute.
PackedDateTime UtcNowPacked();
