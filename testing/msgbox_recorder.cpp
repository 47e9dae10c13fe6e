#include "testing/msgbox_recorder.h"

#include <chrono>

MessageBoxRecorder::MessageBoxRecorder(int defaultAnswer) : defaultAnswer_(defaultAnswer) {
  previous_ = platform::SetMessageBoxHandler(
      [this](const platform::MessageBoxCall &call) { return Answer(call); });
}

MessageBoxRecorder::~MessageBoxRecorder() { platform::SetMessageBoxHandler(std::move(previous_)); }

void MessageBoxRecorder::SetDefaultAnswer(int id) {
  std::lock_guard guard(lock_);
  defaultAnswer_ = id;
}

void MessageBoxRecorder::QueueAnswer(int id) {
  std::lock_guard guard(lock_);
  queued_.push_back(id);
}

std::vector<platform::MessageBoxCall> MessageBoxRecorder::Calls() const {
  std::lock_guard guard(lock_);
  return calls_;
}

size_t MessageBoxRecorder::Count() const {
  std::lock_guard guard(lock_);
  return calls_.size();
}

void MessageBoxRecorder::Clear() {
  std::lock_guard guard(lock_);
  calls_.clear();
}

bool MessageBoxRecorder::WaitForCalls(size_t count, int timeoutMs) const {
  std::unique_lock guard(lock_);
  return arrived_.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                           [&] { return calls_.size() >= count; });
}

int MessageBoxRecorder::Answer(const platform::MessageBoxCall &call) {
  std::lock_guard guard(lock_);
  calls_.push_back(call);
  int answer = defaultAnswer_;
  if (!queued_.empty()) {
    answer = queued_.front();
    queued_.pop_front();
  }
  arrived_.notify_all();
  return answer;
}
