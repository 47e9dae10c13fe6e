#include "platform/postendpoint.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "platform/debugout.h"
#include "platform/kernel.h"
#include "platform/winuser.h"

namespace platform {

namespace {

#pragma pack(push, 1)
struct PostRecord {
  uint32_t window;
  uint32_t message;
  uint32_t wParam;
  int32_t lParam;
};
#pragma pack(pop)
static_assert(sizeof(PostRecord) == 16);

bool MakeAddress(DWORD process, HWND window, sockaddr_un &address) {
  const std::string path = PostEndpointPath(process, window);
  if (path.size() >= sizeof address.sun_path) return false;
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

}  // namespace

std::string PostEndpointPath(DWORD process, HWND window) {
  const char *folder = std::getenv("XDG_RUNTIME_DIR");
  if (!folder || !*folder) folder = std::getenv("TMPDIR");
  if (!folder || !*folder) folder = "/tmp";
  char name[64];
  std::snprintf(name, sizeof name, "/kivo-post-%u-%u", unsigned(process), unsigned(uintptr_t(window)));
  return std::string(folder) + name;
}

DWORD StartingProcess() {
  if (const char *text = std::getenv(kPostProcessVariable)) {
    char *end = nullptr;
    const unsigned long id = std::strtoul(text, &end, 10);
    if (end != text && *end == 0 && id > 0 && id <= 0xFFFFFFFFul) return DWORD(id);
  }
  return DWORD(::getppid());
}

struct PostEndpoint::State {
  HWND window = nullptr;
  std::vector<UINT> messages;
  int socket = -1;
  std::string path;
  std::thread thread;
  std::atomic<bool> stopping{false};
  std::atomic<uint32_t> posted{0}, dropped{0};

  void Serve() {
    for (;;) {
      uint8_t bytes[64];
      const ssize_t got = recv(socket, bytes, sizeof bytes, 0);
      if (stopping) return;
      if (got < 0) continue;
      PostRecord record;
      if (got != ssize_t(sizeof record)) {
        Drop("a datagram of the wrong size");
        continue;
      }
      std::memcpy(&record, bytes, sizeof record);
      if (record.window != uint32_t(uintptr_t(window))) {
        Drop("a message for another window");
        continue;
      }
      bool known = false;
      for (UINT m : messages) known = known || m == record.message;
      if (!known) {
        Drop("a message the window does not take from outside");
        continue;
      }
      if (PostMessageA(window, record.message, WPARAM(record.wParam), LPARAM(record.lParam))) ++posted;
      else Drop("the window is gone");
    }
  }
  void Drop(const char *why) {
    ++dropped;
    char line[128];
    std::snprintf(line, sizeof line, "outside message dropped: %s (PostEndpoint)", why);
    OutputDebugStringA(line);
  }
};

PostEndpoint::PostEndpoint(HWND window, std::initializer_list<UINT> messages) : state_(new State) {
  State &s = *state_;
  s.window = window;
  s.messages.assign(messages);
  sockaddr_un address;
  if (!MakeAddress(GetCurrentProcessId(), window, address)) return;
  s.path = address.sun_path;
  s.socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s.socket < 0) return;
  // A socket that still answers is another endpoint of this window: it is
  // left alone, and this one stays closed. One that refuses was left by a
  // program that ended without removing it (its process id now ours).
  const int probe = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
  if (probe >= 0) ::close(probe);
  if (live) {
    ::close(s.socket);
    s.socket = -1;
    OutputDebugStringA("outside messages: the endpoint is already open (PostEndpoint)");
    return;
  }
  ::unlink(s.path.c_str());
  if (::bind(s.socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    ::close(s.socket);
    s.socket = -1;
    return;
  }
  s.thread = std::thread([&s] { s.Serve(); });
}

PostEndpoint::~PostEndpoint() {
  State &s = *state_;
  if (s.socket < 0) return;
  s.stopping = true;
  ::shutdown(s.socket, SHUT_RDWR);
  // A datagram to itself ends a receive that the shutdown did not.
  sockaddr_un address;
  if (MakeAddress(GetCurrentProcessId(), s.window, address)) {
    const int wake = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (wake >= 0) {
      ::sendto(wake, "", 1, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&address), sizeof address);
      ::close(wake);
    }
  }
  if (s.thread.joinable()) s.thread.join();
  ::close(s.socket);
  ::unlink(s.path.c_str());
}

bool PostEndpoint::Open() const { return state_->socket >= 0; }
uint32_t PostEndpoint::Posted() const { return state_->posted; }
uint32_t PostEndpoint::Dropped() const { return state_->dropped; }

bool PostToOutsideWindow(DWORD process, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  sockaddr_un address;
  if (!MakeAddress(process, window, address)) return false;
  const int s = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  const PostRecord record{uint32_t(uintptr_t(window)), uint32_t(message), uint32_t(wParam), int32_t(lParam)};
  const bool sent = ::sendto(s, &record, sizeof record, 0, reinterpret_cast<sockaddr *>(&address), sizeof address) ==
                    ssize_t(sizeof record);
  ::close(s);
  return sent;
}

}  // namespace platform
