#include "platform/debugout.h"

#include <cstdio>
#include <mutex>
#include <utility>

#include "platform/gbk.h"

namespace {

std::mutex &SinkLock() {
  static std::mutex lock;
  return lock;
}

platform::DebugOutputSink &Sink() {
  static platform::DebugOutputSink sink;
  return sink;
}

}  // namespace

void OutputDebugStringA(LPCSTR text) {
  if (!text) return;
  std::lock_guard<std::mutex> hold(SinkLock());
  if (Sink()) {
    Sink()(std::string(text));
    return;
  }
  std::fprintf(stderr, "%s\n", platform::GbkToUtf8(text).c_str());
}

namespace platform {

DebugOutputSink SetDebugOutputSink(DebugOutputSink sink) {
  std::lock_guard<std::mutex> hold(SinkLock());
  return std::exchange(Sink(), std::move(sink));
}

}  // namespace platform
