// The simulated broker as a program, so that a person can trade against it
// by hand: it listens on 127.0.0.1 and the broker library stand-in forwards
// every call to it when the trading server of the settings names its port.
//
//   simbroker_server [--port N] [--script FILE]
//
// The script (GBK text, see simbroker.h) replaces the built-in one. The
// program runs until it is interrupted.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "standins/simbroker/server.h"
#include "standins/simbroker/simbroker.h"

int main(int argc, char **argv) {
  int port = 17001;
  const char *scriptFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      port = atoi(argv[++i]);
    } else if (strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
      scriptFile = argv[++i];
    } else {
      fprintf(stderr, "usage: %s [--port N] [--script FILE]\n", argv[0]);
      return 2;
    }
  }
  std::string script = sim::SimBroker::DefaultScript();
  if (scriptFile) {
    std::ifstream in(scriptFile, std::ios::binary);
    if (!in) {
      fprintf(stderr, "cannot read %s\n", scriptFile);
      return 1;
    }
    std::ostringstream text;
    text << in.rdbuf();
    script = text.str();
  }
  sim::SimBroker broker;
  std::string error;
  if (!broker.LoadScript(script, &error)) {
    fprintf(stderr, "script: %s\n", error.c_str());
    return 1;
  }
  // Block the stop signals before any thread starts, then wait for one.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  sim::SimServer server(broker);
  if (!server.Listen("127.0.0.1", port)) {
    fprintf(stderr, "cannot listen on 127.0.0.1:%d\n", port);
    return 1;
  }
  printf("simulated broker listening on 127.0.0.1:%d\n", server.Port());
  fflush(stdout);
  int signal = 0;
  sigwait(&stop, &signal);
  server.Stop();
  return 0;
}
