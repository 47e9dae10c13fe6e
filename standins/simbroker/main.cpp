// The simulated broker as a program, so that a person can trade against it
// by hand: it listens on 127.0.0.1 and the broker library stand-in forwards
// every call to it when the trading server of the settings names its port.
//
//   simbroker_server [--port N] [--script FILE] [--commands FILE]
//
// The script (GBK text, see simbroker.h) replaces the built-in one. With
// --commands the program runs every line of FILE, and every line appended
// to it later, as a script statement while it runs, so a person can move
// prices or start a new trading day ("reinit") by hand:
//
//   echo "reinit" >> FILE
//
// The program runs until it is interrupted.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "standins/simbroker/server.h"
#include "standins/simbroker/simbroker.h"

namespace {

// The statements a person appends to the command file: each complete line
// runs once, in order; a line not understood is told on the error output.
struct SimCommandFile {
  std::string path;
  std::streamoff done = 0;  // bytes of the file already run
  std::string pending;      // a line still without its end

  void RunNewLines(sim::SimBroker &broker) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < done) {  // emptied by hand: start again
      done = 0;
      pending.clear();
    }
    if (size == done) return;
    in.seekg(done);
    std::string text(size_t(size - done), '\0');
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(in.gcount()));
    done += std::streamoff(text.size());
    pending += text;
    size_t end;
    while ((end = pending.find('\n')) != std::string::npos) {
      const std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      std::string error;
      if (broker.LoadScript(line, &error))
        printf("command: %s\n", line.c_str());
      else
        fprintf(stderr, "command %s: %s\n", line.c_str(), error.c_str());
      fflush(stdout);
    }
  }
};

}  // namespace

int main(int argc, char **argv) {
  int port = 17001;
  const char *scriptFile = nullptr;
  const char *commandFile = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
      port = atoi(argv[++i]);
    } else if (strcmp(argv[i], "--script") == 0 && i + 1 < argc) {
      scriptFile = argv[++i];
    } else if (strcmp(argv[i], "--commands") == 0 && i + 1 < argc) {
      commandFile = argv[++i];
    } else {
      fprintf(stderr, "usage: %s [--port N] [--script FILE] [--commands FILE]\n", argv[0]);
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
  SimCommandFile commands;
  if (commandFile) commands.path = commandFile;
  const timespec poll{0, 200 * 1000 * 1000};
  for (;;) {
    if (!commands.path.empty()) commands.RunNewLines(broker);
    if (sigtimedwait(&stop, nullptr, &poll) >= 0) break;
  }
  server.Stop();
  return 0;
}
