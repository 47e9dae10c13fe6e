// The quote-service double as a program of its own, for trying the
// terminal by hand: it listens on 127.0.0.1 until it is interrupted.
//
//   quote_double [--directory-port N] [--data-port N] [--push-port N]
//                [--push-rate QUOTES_PER_SECOND] [--user NAME --password PW]
//                [--terminal ROOT | --offline-terminal ROOT] [--broker-prices FILE]
//
// A port of 0 (the default) takes a free one; the ports in use are printed
// on the first lines of the output, as "directory 127.0.0.1:N",
// "data 127.0.0.1:N" and "push 127.0.0.1:N".
//
// The data server answers the start-up downloads and every request kind from
// the standard fixture data set, and the push server serves it as a live market:
// the subscribed instruments' quotes move (20 quote items a second unless
// asked otherwise), a clock item comes every minute, and now and then a
// headline, a price head, an advice record or a waiting message.
//
// --terminal ROOT also lays out a terminal's folders below ROOT (the data
// set's "cfg", "data" and "user", and "bin\SERVER.INI" naming these
// servers, with the account, "demo"/"demo" unless given);
// --offline-terminal ROOT only writes those folders, with an empty server
// list, and ends.
//
// --broker-prices FILE appends the simulated broker's "price" statements
// that move its market to the last prices quoted here for the futures
// contracts both share (its --commands file takes them).
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/datetime.h"
#include "platform/clock.h"
#include "testing/quote_double.h"
#include "testing/quote_service.h"

namespace {

void Usage() {
  std::fprintf(stderr,
               "usage: quote_double [--directory-port N] [--data-port N] [--push-port N] [--push-rate N]"
               " [--user NAME --password PW] [--terminal ROOT | --offline-terminal ROOT] [--broker-prices FILE]\n");
}

bool ParsePort(const char *text, uint16_t *port) {
  char *end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
  *port = uint16_t(value);
  return true;
}

bool ParseRate(const char *text, double *rate) {
  char *end = nullptr;
  const double value = std::strtod(text, &end);
  if (end == text || *end != '\0' || !(value >= 0) || value > 100000) return false;
  *rate = value;
  return true;
}

PackedDateTime UtcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return MakePackedDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
}

}  // namespace

int main(int argc, char **argv) {
  QuoteDouble::Options options;
  QuotePushDouble::Options pushOptions;
  double pushRate = 20;
  std::string user, password;
  bool account = false;
  std::string terminal;
  bool offline = false;
  std::string brokerPrices;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
    if (value == nullptr) {
      Usage();
      return 2;
    }
    if (arg == "--directory-port") {
      if (!ParsePort(value, &options.ports[QuoteDouble::kDirectory])) return Usage(), 2;
    } else if (arg == "--data-port") {
      if (!ParsePort(value, &options.ports[QuoteDouble::kData])) return Usage(), 2;
    } else if (arg == "--push-port") {
      if (!ParsePort(value, &pushOptions.port)) return Usage(), 2;
    } else if (arg == "--push-rate") {
      if (!ParseRate(value, &pushRate)) return Usage(), 2;
    } else if (arg == "--terminal") {
      terminal = value;
    } else if (arg == "--offline-terminal") {
      terminal = value;
      offline = true;
    } else if (arg == "--broker-prices") {
      brokerPrices = value;
    } else if (arg == "--user") {
      user = value;
      account = true;
    } else if (arg == "--password") {
      password = value;
      account = true;
    } else {
      Usage();
      return 2;
    }
    ++i;
  }

  const market_fixture::DataSetDesc dataSet = market_fixture::StandardDataSet(UtcNow());
  if (!brokerPrices.empty()) {
    std::FILE *file = std::fopen(brokerPrices.c_str(), "ab");
    const std::string statements = market_fixture::BrokerPriceStatements(dataSet);
    if (!file || std::fwrite(statements.data(), 1, statements.size(), file) != statements.size()) {
      std::fprintf(stderr, "quote_double: cannot write %s\n", brokerPrices.c_str());
      if (file) std::fclose(file);
      return 1;
    }
    std::fclose(file);
  }
  if (offline) {
    // Only the terminal's folders, for browsing offline.
    if (!WriteTerminalFolders(dataSet, terminal, nullptr) || !WriteFirstPage(terminal)) {
      std::fprintf(stderr, "quote_double: cannot write the terminal's folders below %s\n", terminal.c_str());
      return 1;
    }
    return 0;
  }

  // Wait for the end in the main thread; the double's threads must not take
  // the signals.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  QuoteService::Options serviceOptions;
  serviceOptions.directoryPort = options.ports[QuoteDouble::kDirectory];
  serviceOptions.dataPort = options.ports[QuoteDouble::kData];
  serviceOptions.pushPort = pushOptions.port;
  serviceOptions.quotesPerSecond = pushRate;
  if (account) {
    serviceOptions.user = user;
    serviceOptions.password = password;
  }
  QuoteService service(dataSet, serviceOptions);
  if (!service.Running()) {
    std::fprintf(stderr, "quote_double: cannot listen on the ports asked for\n");
    return 1;
  }
  if (!terminal.empty() &&
      (!WriteTerminalFolders(dataSet, terminal, &service, account ? user : "demo", account ? password : "demo") ||
       !WriteFirstPage(terminal))) {
    std::fprintf(stderr, "quote_double: cannot write the terminal's folders below %s\n", terminal.c_str());
    return 1;
  }
  QuoteDouble &server = service.Servers();
  QuotePushDouble &push = service.Push();
  std::printf("directory %s:%u\ndata %s:%u\npush %s:%u\n", server.Host(), unsigned(server.DirectoryPort()),
              server.Host(), unsigned(server.DataPort()), push.Host(), unsigned(push.Port()));
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stop, &signal);
  return 0;
}
