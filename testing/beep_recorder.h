// Stands in for the warning sound while it lives: every beep and every
// played sound file is recorded and nothing sounds. Calls may come from any thread.
#pragma once

#include <mutex>
#include <vector>

#include "platform/beep.h"

class BeepRecorder {
 public:
  BeepRecorder();
  ~BeepRecorder();
  BeepRecorder(const BeepRecorder &) = delete;
  BeepRecorder &operator=(const BeepRecorder &) = delete;

  std::vector<platform::BeepCall> Calls() const;
  size_t Count() const;
  std::vector<platform::SoundCall> Sounds() const;

 private:
  mutable std::mutex lock_;
  std::vector<platform::BeepCall> calls_;
  std::vector<platform::SoundCall> sounds_;
  platform::BeepHandler previous_;
  platform::SoundHandler previousSound_;
};
