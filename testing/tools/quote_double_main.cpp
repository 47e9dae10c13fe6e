// The quote-service double as a program of its own, for trying the
// terminal by hand: it listens on 127.0.0.1 until it is interrupted.
//
//   quote_double [--directory-port N] [--data-port N] [--user NAME --password PW]
//
// A port of 0 (the default) takes a free one; the ports in use are printed
// on the first lines of the output, as "directory 127.0.0.1:N" and
// "data 127.0.0.1:N".
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "testing/quote_double.h"

namespace {

void Usage() {
  std::fprintf(stderr, "usage: quote_double [--directory-port N] [--data-port N] [--user NAME --password PW]\n");
}

bool ParsePort(const char *text, uint16_t *port) {
  char *end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 0 || value > 65535) return false;
  *port = uint16_t(value);
  return true;
}

}  // namespace

int main(int argc, char **argv) {
  QuoteDouble::Options options;
  std::string user, password;
  bool account = false;
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

  // Wait for the end in the main thread; the double's thread must not take
  // the signals.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);

  QuoteDouble server(options);
  if (!server.Running()) {
    std::fprintf(stderr, "quote_double: cannot listen on the ports asked for\n");
    return 1;
  }
  if (account) server.SetAccount(user, password);
  std::printf("directory %s:%u\ndata %s:%u\n", server.Host(), unsigned(server.DirectoryPort()), server.Host(),
              unsigned(server.DataPort()));
  std::fflush(stdout);

  int signal = 0;
  sigwait(&stop, &signal);
  return 0;
}
