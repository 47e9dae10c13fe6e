// Stands in for the message box while it lives: every call is recorded and
// answered at once, with the next queued answer or else the default one.
// Calls may come from any thread.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

#include "platform/msgbox.h"

class MessageBoxRecorder {
 public:
  explicit MessageBoxRecorder(int defaultAnswer = IDOK);
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder &) = delete;
  MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

  void SetDefaultAnswer(int id);
  // Answers for the coming calls, in order; the default follows when used up.
  void QueueAnswer(int id);

  std::vector<platform::MessageBoxCall> Calls() const;
  size_t Count() const;
  void Clear();
  // Waits until at least count calls were made; false on time-out.
  bool WaitForCalls(size_t count, int timeoutMs) const;

 private:
  int Answer(const platform::MessageBoxCall &call);

  mutable std::mutex lock_;
  mutable std::condition_variable arrived_;
  std::vector<platform::MessageBoxCall> calls_;
  std::deque<int> queued_;
  int defaultAnswer_;
  platform::MessageBoxHandler previous_;
};
