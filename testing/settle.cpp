#include "testing/settle.h"

#include <dirent.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <thread>

#include "testing/fake_clock.h"

namespace testing_support {

namespace {

using Clock = std::chrono::steady_clock;

struct ThreadLook {
  char state = '?';
  unsigned long long runNs = 0;  // time spent on a processor so far
  bool operator==(const ThreadLook &) const = default;
};

std::string ReadSmall(const std::string &path) {
  FILE *file = std::fopen(path.c_str(), "r");
  if (!file) return std::string();
  char buffer[512];
  const size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
  std::fclose(file);
  return std::string(buffer, n);
}

// False when the thread is gone.
bool Look(pid_t thread, ThreadLook &look) {
  const std::string folder = "/proc/self/task/" + std::to_string(thread);
  const std::string stat = ReadSmall(folder + "/stat");
  // The name in parentheses may itself hold blanks and parentheses.
  const size_t close = stat.rfind(')');
  if (close == std::string::npos || close + 2 >= stat.size()) return false;
  look.state = stat[close + 2];
  look.runNs = std::strtoull(ReadSmall(folder + "/schedstat").c_str(), nullptr, 10);
  return true;
}

bool Blocked(const ThreadLook &look) { return look.state != 'R'; }

std::map<pid_t, ThreadLook> LookAtOthers() {
  std::map<pid_t, ThreadLook> looks;
  const pid_t self = ThreadId();
  DIR *tasks = opendir("/proc/self/task");
  if (!tasks) return looks;
  while (dirent *entry = readdir(tasks)) {
    const pid_t id = pid_t(std::atoi(entry->d_name));
    ThreadLook look;
    if (id > 0 && id != self && Look(id, look)) looks[id] = look;
  }
  closedir(tasks);
  return looks;
}

// The others get the processor while this thread waits for them.
void Pause() { std::this_thread::sleep_for(std::chrono::microseconds(500)); }

}  // namespace

pid_t ThreadId() { return pid_t(syscall(SYS_gettid)); }

bool WaitForThreadToBlock(pid_t thread, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    ThreadLook look;
    if (!Look(thread, look) || Blocked(look)) return true;
    if (Clock::now() >= deadline) return false;
    Pause();
  }
}

bool WaitForOtherThreadsToBlock(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  auto allBlocked = [](const std::map<pid_t, ThreadLook> &looks) {
    for (const auto &[id, look] : looks)
      if (!Blocked(look)) return false;
    return true;
  };
  for (;;) {
    // One look reads the threads one after another, and a thread read as
    // blocked may be woken by one read later; a second look that finds the
    // same threads blocked with the same run time shows that none ran.
    const auto first = LookAtOthers();
    if (allBlocked(first)) {
      Pause();
      if (LookAtOthers() == first) return true;
    }
    if (Clock::now() >= deadline) return false;
    Pause();
  }
}

uint64_t AdvanceUntil(FakeClock &clock, const std::function<bool()> &done, uint64_t stepMs, uint64_t limitMs) {
  uint64_t moved = 0;
  bool settling = WaitForOtherThreadsToBlock();
  while (!done() && moved < limitMs) {
    clock.Advance(stepMs);
    moved += stepMs;
    if (settling) settling = WaitForOtherThreadsToBlock();
    else std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return moved;
}

}  // namespace testing_support
