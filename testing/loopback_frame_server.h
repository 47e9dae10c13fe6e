// The socket work the quote-service doubles share: a listener on
// 127.0.0.1, taking connections, reading what a client sent, cutting it
// into frames, hanging up, and the pipe that wakes a double's thread.
// Plain POSIX sockets, non-blocking throughout.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "market/nclient_frames.h"

namespace loopback_frame {

// A listening socket on 127.0.0.1 at port (0 takes a free one); *bound
// gets the port taken. -1 when it could not be opened.
int OpenListener(uint16_t port, uint16_t *bound);
// The next waiting connection (non-blocking, no send delay); -1 when none.
int AcceptOne(int listener);
// Appends every byte the socket has now; false when the client closed or
// the connection failed (what came before is in `in`).
bool ReadAvailable(int fd, std::vector<uint8_t> &in);
// Closes the socket; reset sends a reset instead of an orderly end.
void CloseSocket(int fd, bool reset);

// The head and the body of a frame as it came (a short one gives zeros and
// an empty body).
FRAMEHEAD HeadOf(const std::vector<uint8_t> &raw);
std::vector<uint8_t> BodyOf(const std::vector<uint8_t> &raw);

// Takes the whole frames at the front of `in` while open() holds, each
// to onFrame(head, raw), and leaves a partial one in `in`. A head that
// cannot be taken (wrong mark, body above 8192 bytes) leaves no way to find
// the next frame: every byte from it on goes to onMalformed(raw), `in` is
// emptied and false comes back, for the caller to hang up.
template <class Open, class OnFrame, class OnMalformed>
bool TakeFrames(std::vector<uint8_t> &in, Open open, OnFrame onFrame, OnMalformed onMalformed) {
  size_t at = 0;
  while (open() && in.size() - at >= size_t(kFrameHeadSize)) {
    FRAMEHEAD head;
    std::memcpy(&head, in.data() + at, kFrameHeadSize);
    if (head.mark != kFrameMark || head.bodyLength > kMaxFrameBody) {
      onMalformed(std::vector<uint8_t>(in.begin() + ptrdiff_t(at), in.end()));
      in.clear();
      return false;
    }
    const size_t size = size_t(kFrameHeadSize) + head.bodyLength;
    if (in.size() - at < size) break;
    std::vector<uint8_t> raw(in.begin() + ptrdiff_t(at), in.begin() + ptrdiff_t(at + size));
    at += size;
    onFrame(head, std::move(raw));
  }
  in.erase(in.begin(), in.begin() + ptrdiff_t(at < in.size() ? at : in.size()));
  return true;
}

// A double's own thread: it runs the double's loop, takes work handed to
// it from other threads, and is woken from poll through a pipe.
class ServerThread {
 public:
  ServerThread() = default;
  // Stops the thread when it still runs.
  ~ServerThread();
  ServerThread(const ServerThread &) = delete;
  ServerThread &operator=(const ServerThread &) = delete;

  // Opens the pipe and starts the loop; false when the pipe could not be
  // opened (nothing runs then).
  bool Start(std::function<void()> loop);
  // Asks the loop to end, wakes it and waits for it.
  void Stop();

  // Work for the thread, run at the loop's next turn.
  void Post(std::function<void()> work);
  // Work for the thread, and waits until it has run; its result.
  bool Call(std::function<bool()> work);

  // On the thread, at the top of every turn: runs the work handed in since
  // the last turn; false once the loop is to end (nothing run then).
  bool RunPosted();
  // The end to poll for input, and emptying it after a wake.
  int WakeFd() const { return wake_[0]; }
  void DrainWake();

 private:
  void Wake();

  int wake_[2] = {-1, -1};
  std::thread thread_;
  std::mutex lock_;
  bool stop_ = false;
  std::vector<std::function<void()>> inbox_;
};

}  // namespace loopback_frame
