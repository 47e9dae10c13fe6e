// Messages posted by outside programs to a window of this process. On
// Windows an outside program that was given a window handle posts to it
// directly; here the window opens an endpoint on a local socket named after
// its process and its handle (handles are numbered alike in every process),
// and an outside program posts through it with PostToOutsideWindow. A
// program the terminal starts finds the terminal's process in its
// environment (kPostProcessVariable). Each message is one 16-byte datagram:
//   u32 window handle, u32 message, u32 wParam, i32 lParam
// The endpoint's thread checks it (size, the window's own handle, a message
// on the window's list) and posts it to the window; anything else is
// dropped with a line of debug output.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "platform/windef.h"

namespace platform {

// Set in the environment of every program the process starts: its own
// process id, the first half of its endpoints' names.
constexpr char kPostProcessVariable[] = "KIVO_POST_PROCESS";

// The socket path of a window's endpoint: "kivo-post-<process>-<handle>" in
// XDG_RUNTIME_DIR, else in the temporary folder.
std::string PostEndpointPath(DWORD process, HWND window);

// The outside program's view of the process that started it: the id in
// kPostProcessVariable, else the parent process.
DWORD StartingProcess();

class PostEndpoint {
 public:
  // Opens the endpoint of the window for the listed messages; Open() says
  // whether it could.
  PostEndpoint(HWND window, std::initializer_list<UINT> messages);
  // Stops the thread and removes the socket.
  ~PostEndpoint();
  PostEndpoint(const PostEndpoint &) = delete;
  PostEndpoint &operator=(const PostEndpoint &) = delete;

  bool Open() const;
  // Datagrams taken and posted, and dropped (for tests and logs).
  uint32_t Posted() const;
  uint32_t Dropped() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The outside program's side: one message to the endpoint of a window of
// the given process (by default the one that started this program). False
// when there is no endpoint or the datagram could not be sent.
bool PostToOutsideWindow(DWORD process, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
inline bool PostToOutsideWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return PostToOutsideWindow(StartingProcess(), window, message, wParam, lParam);
}

}  // namespace platform
