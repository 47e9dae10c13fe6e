// Firing across a real crash: the probe program fires an armed stop or
// condition order against the simulator program on loopback and ends
// itself at a point between the journal's intent and the broker's answer;
// started again on the same files it reconciles and repeats the trigger.
// Whatever the point, the broker has exactly one order for the item.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "standins/simbroker/server.h"
#include "standins/simbroker/simbroker.h"

extern char **environ;

namespace trading_test {
namespace {

const char kProbeScript[] =
    "tradedate 20240115\n"
    "account 880001 password=111111 funds=222222 name=张三 balance=1000000\n"
    "contract DCE M2401 name=豆粕2401 tick=0.2 multiplier=10 margin=0.1 price=3500 delivery=2401\n"
    "seat DCE seat=0101 code=1000001 hedge=0 default=1\n"
    "position 880001 M2401 long=2 short=0 price=3500 hedge=0\n"
    "autofill off\n";

class FiringProbeTest : public testing::Test {
 protected:
  FiringProbeTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "kivo-probe-XXXXXX").string();
    if (mkdtemp(pattern.data())) root_ = pattern;
  }
  ~FiringProbeTest() override {
    std::error_code ignored;
    if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
  }

  // Starts the probe on a fresh folder below the root; its output goes to
  // a file there.
  pid_t StartProbe(const std::string &folder, int port, const char *item, const char *point) {
    const std::string out = folder + "/probe-" + point + ".txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string portText = std::to_string(port);
    std::vector<char *> argv{const_cast<char *>(KIVO_FIRING_PROBE), const_cast<char *>(folder.c_str()),
                             const_cast<char *>(portText.c_str()), const_cast<char *>(item),
                             const_cast<char *>(point), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, KIVO_FIRING_PROBE, &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  static int ExitCode(pid_t pid) {
    int status = 0;
    if (pid <= 0 || waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  static size_t OrderLines(const sim::SimBroker &broker) {
    size_t count = 0;
    for (const std::string &line : broker.RecordedLines()) count += line.find("||6021||") != std::string::npos;
    return count;
  }
  static std::string ReadProbeText(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  std::string root_;
};

TEST_F(FiringProbeTest, EveryCrashPointEndsWithExactlyOneOrderPerItem) {
  ASSERT_FALSE(root_.empty());
  const char *items[] = {"stop", "trailing", "profit", "price", "time", "open"};
  struct Point {
    const char *name;
    size_t sentBeforeCrash;  // orders the broker holds when the process ends
  } points[] = {{"intent", 0}, {"itemfile", 0}, {"stored", 1}, {"returned", 1}};
  int row = 0;
  for (const char *item : items) {
    for (const Point &point : points) {
      SCOPED_TRACE(std::string(item) + " ending at " + point.name);
      sim::SimBroker broker;
      ASSERT_TRUE(broker.LoadScript(kProbeScript));
      sim::SimServer server(broker);
      ASSERT_TRUE(server.Listen("127.0.0.1", 0));
      const std::string folder = root_ + "/" + std::to_string(++row);
      std::filesystem::create_directories(folder);

      const bool stored = std::string(point.name) == "stored";
      if (stored) broker.HoldAnswer(6021);
      const pid_t first = StartProbe(folder, server.Port(), item, point.name);
      ASSERT_GT(first, 0);
      if (stored) {
        // The broker has the order; the process ends before it hears so.
        const bool held = broker.WaitHeld(1, 30000);
        std::ofstream(folder + "/exit") << "";
        EXPECT_EQ(ExitCode(first), 3);
        broker.Release(6021);
        ASSERT_TRUE(held);
      } else {
        EXPECT_EQ(ExitCode(first), 3) << ReadProbeText(folder + "/probe-" + point.name + ".txt");
      }
      EXPECT_EQ(OrderLines(broker), point.sentBeforeCrash);

      const pid_t second = StartProbe(folder, server.Port(), item, "restart");
      ASSERT_GT(second, 0);
      EXPECT_EQ(ExitCode(second), 0);
      EXPECT_EQ(OrderLines(broker), 1u) << ReadProbeText(folder + "/probe-restart.txt");
      server.Stop();
      if (HasFailure()) return;
    }
  }
}

// Three open-trigger orders sent in one walk, the process ending before
// the first send, right after the broker took the second, or before the
// third: after the restart and "确认" the broker holds each order once.
TEST_F(FiringProbeTest, ACrashInAnOpenTriggerWalkEndsWithEachOrderOnce) {
  ASSERT_FALSE(root_.empty());
  struct Point {
    const char *name;
    size_t sentBeforeCrash;
  } points[] = {{"walk1", 0}, {"walk2", 2}, {"walk3", 2}};
  for (const Point &point : points) {
    SCOPED_TRACE(std::string("ending at ") + point.name);
    sim::SimBroker broker;
    ASSERT_TRUE(broker.LoadScript(kProbeScript));
    sim::SimServer server(broker);
    ASSERT_TRUE(server.Listen("127.0.0.1", 0));
    const std::string folder = root_ + "/pending-" + point.name;
    std::filesystem::create_directories(folder);
    EXPECT_EQ(ExitCode(StartProbe(folder, server.Port(), "pending", point.name)), 3)
        << ReadProbeText(folder + "/probe-" + point.name + ".txt");
    EXPECT_EQ(OrderLines(broker), point.sentBeforeCrash);
    EXPECT_EQ(ExitCode(StartProbe(folder, server.Port(), "pending", "restart")), 0);
    const std::string out = ReadProbeText(folder + "/probe-restart.txt");
    EXPECT_NE(out.find("pending 0 "), std::string::npos) << out;
    // The orders as sent, from the exchange on: three, all different.
    std::vector<std::string> sent;
    for (const std::string &line : broker.RecordedLines())
      if (line.find("||6021||") != std::string::npos && line.find("DCE|M2401|") != std::string::npos)
        sent.push_back(line.substr(line.find("DCE|M2401|")));
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent.size(), 3u) << out;
    EXPECT_EQ(std::unique(sent.begin(), sent.end()), sent.end()) << out;
    server.Stop();
    if (HasFailure()) return;
  }
}

// The link breaks while the stop's close order waits for its fill; the
// reconnection asks the lists again: the stop stays consumed and the same
// quote sends nothing more.
TEST_F(FiringProbeTest, ABrokenLinkWhileTheStopTaskWaitsSendsNothingTwice) {
  ASSERT_FALSE(root_.empty());
  sim::SimBroker broker;
  ASSERT_TRUE(broker.LoadScript(kProbeScript));
  sim::SimServer server(broker);
  ASSERT_TRUE(server.Listen("127.0.0.1", 0));
  const pid_t probe = StartProbe(root_, server.Port(), "stop", "status6");
  ASSERT_GT(probe, 0);
  auto waitFor = [](const std::function<bool()> &condition) {
    for (int i = 0; i < 3000 && !condition(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return condition();
  };
  const bool sent = waitFor([&] { return OrderLines(broker) == 1; });
  broker.SetConnectionStatus(6);
  const bool heard = waitFor([&] { return std::filesystem::exists(root_ + "/broken"); });
  broker.SetConnectionStatus(3);
  EXPECT_EQ(ExitCode(probe), 0);
  EXPECT_TRUE(sent);
  EXPECT_TRUE(heard);
  EXPECT_EQ(OrderLines(broker), 1u);
  EXPECT_NE(ReadProbeText(root_ + "/probe-status6.txt").find("stops 0 tasks 1"), std::string::npos)
      << ReadProbeText(root_ + "/probe-status6.txt");
  server.Stop();
}

}  // namespace
}  // namespace trading_test
