// Cutting the request connection's byte stream into frames on the GUI
// thread: a feeder thread writes frames into a loopback socket as fast as
// it can; the benchmark thread receives them through the socket layer into
// the frame assembler, checks each head and touches each body, as the
// request client's read handler does before it dispatches an answer.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "market/nclient_frames.h"
#include "platform/winsock.h"

namespace {

// Frames of one body size back to back, about 256 KB of them.
std::vector<uint8_t> Pattern(int bodySize, int *frames) {
  std::vector<uint8_t> out;
  *frames = 0;
  while (out.size() < 256 * 1024) {
    const FRAMEHEAD head{kFrameMark, FRAME_TICKS, 3, uint16_t(*frames % 3), uint16_t(bodySize), 0, 0};
    const uint8_t *h = reinterpret_cast<const uint8_t *>(&head);
    out.insert(out.end(), h, h + kFrameHeadSize);
    for (int i = 0; i < bodySize; ++i) out.push_back(uint8_t(i + *frames));
    ++*frames;
  }
  return out;
}

// Writes the pattern over and over into a loopback connection until the
// reader goes away.
class Feeder {
 public:
  explicit Feeder(std::vector<uint8_t> pattern) : pattern_(std::move(pattern)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(listener_, 1) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &length) != 0)
      return;
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] {
      const int fd = ::accept(listener_, nullptr, nullptr);
      if (fd < 0) return;
      while (::send(fd, pattern_.data(), pattern_.size(), MSG_NOSIGNAL) > 0) {
      }
      ::close(fd);
    });
  }
  ~Feeder() {
    // Wakes a feeder still waiting for its reader.
    if (listener_ >= 0) ::shutdown(listener_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (listener_ >= 0) ::close(listener_);
  }
  uint16_t Port() const { return port_; }

 private:
  std::vector<uint8_t> pattern_;
  int listener_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
};

void ParseFromLoopback(benchmark::State &state) {
  const int bodySize = int(state.range(0));
  int framesPerPattern = 0;
  std::vector<uint8_t> pattern = Pattern(bodySize, &framesPerPattern);
  const int64_t bytesPerPattern = int64_t(pattern.size());
  Feeder feeder(std::move(pattern));

  WSADATA data;
  ws::WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET s = ws::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = inet_addr("127.0.0.1");
  address.sin_port = htons(feeder.Port());
  if (feeder.Port() == 0 || ws::connect(s, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
    state.SkipWithError("no loopback connection");
    ws::closesocket(s);
    return;
  }

  auto assembler = std::make_unique<FrameAssembler>();
  uint64_t checksum = 0;
  bool failed = false;
  for (auto _ : state) {
    // One pattern's worth of frames per iteration.
    int frames = 0;
    while (frames < framesPerPattern && !failed) {
      const int n = ws::recv(s, reinterpret_cast<char *>(assembler->Space()), assembler->SpaceSize(), 0);
      if (n <= 0) {
        failed = true;
        break;
      }
      assembler->Received(n);
      FRAMEHEAD head;
      const uint8_t *body;
      FrameAssembler::Result result;
      while ((result = assembler->Next(&head, &body)) == FrameAssembler::kFrame) {
        ++frames;
        if (head.bodyLength > 0) checksum += body[0] + body[head.bodyLength - 1] + head.partIndex;
      }
      failed = result == FrameAssembler::kError;
    }
  }
  benchmark::DoNotOptimize(checksum);
  ws::closesocket(s);
  if (failed) state.SkipWithError("the stream broke");
  state.SetItemsProcessed(state.iterations() * framesPerPattern);
  state.SetBytesProcessed(state.iterations() * bytesPerPattern);
}

// 20-byte bodies (a tick) and the largest body a frame may carry.
BENCHMARK(ParseFromLoopback)->Name("BM_FramesFromLoopback")->Arg(20)->Arg(1000)->Arg(8192)->UseRealTime();

// The assembler alone over bytes already in memory, cut into the receive
// sizes a busy socket delivers.
void BM_FrameAssemblerInMemory(benchmark::State &state) {
  int framesPerPattern = 0;
  const std::vector<uint8_t> pattern = Pattern(int(state.range(0)), &framesPerPattern);
  auto assembler = std::make_unique<FrameAssembler>();
  uint64_t checksum = 0;
  for (auto _ : state) {
    size_t at = 0;
    while (at < pattern.size()) {
      const size_t n = std::min(pattern.size() - at, size_t(assembler->SpaceSize()));
      std::memcpy(assembler->Space(), pattern.data() + at, n);
      assembler->Received(int(n));
      at += n;
      FRAMEHEAD head;
      const uint8_t *body;
      while (assembler->Next(&head, &body) == FrameAssembler::kFrame)
        if (head.bodyLength > 0) checksum += body[0];
    }
  }
  benchmark::DoNotOptimize(checksum);
  state.SetItemsProcessed(state.iterations() * framesPerPattern);
  state.SetBytesProcessed(state.iterations() * int64_t(pattern.size()));
}
BENCHMARK(BM_FrameAssemblerInMemory)->Arg(20)->Arg(8192);

}  // namespace
