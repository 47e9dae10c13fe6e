#include "testing/beep_recorder.h"

BeepRecorder::BeepRecorder() {
  previous_ = platform::SetBeepHandler([this](const platform::BeepCall &call) {
    std::lock_guard guard(lock_);
    calls_.push_back(call);
  });
  previousSound_ = platform::SetSoundHandler([this](const platform::SoundCall &call) {
    std::lock_guard guard(lock_);
    sounds_.push_back(call);
  });
}

BeepRecorder::~BeepRecorder() {
  platform::SetBeepHandler(std::move(previous_));
  platform::SetSoundHandler(std::move(previousSound_));
}

std::vector<platform::SoundCall> BeepRecorder::Sounds() const {
  std::lock_guard guard(lock_);
  return sounds_;
}

std::vector<platform::BeepCall> BeepRecorder::Calls() const {
  std::lock_guard guard(lock_);
  return calls_;
}

size_t BeepRecorder::Count() const {
  std::lock_guard guard(lock_);
  return calls_.size();
}
