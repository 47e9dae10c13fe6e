#include "testing/shell_recorder.h"

#include "platform/kernel.h"

ShellRecorder::ShellRecorder() : previous_(platform::SetShellHost(this)) {}

ShellRecorder::~ShellRecorder() { platform::SetShellHost(previous_); }

void ShellRecorder::QueueOpenResult(INT_PTR result) {
  std::lock_guard guard(lock_);
  openResults_.push_back(result);
}

void ShellRecorder::QueueStartFailure(DWORD error) {
  std::lock_guard guard(lock_);
  startFailures_.push_back(error);
}

std::vector<platform::ShellOpenCall> ShellRecorder::Opens() const {
  std::lock_guard guard(lock_);
  return opens_;
}

std::vector<platform::ProcessStartCall> ShellRecorder::Starts() const {
  std::lock_guard guard(lock_);
  return starts_;
}

std::vector<std::string> ShellRecorder::ClipboardWrites() const {
  std::lock_guard guard(lock_);
  return writes_;
}

void ShellRecorder::SetClipboard(std::optional<std::string> gbk) {
  std::lock_guard guard(lock_);
  clipboard_ = std::move(gbk);
}

bool ShellRecorder::SetClipboardText(const std::string &gbk) {
  std::lock_guard guard(lock_);
  writes_.push_back(gbk);
  clipboard_ = gbk;
  return true;
}

bool ShellRecorder::GetClipboardText(std::string &gbk) {
  std::lock_guard guard(lock_);
  if (!clipboard_) return false;
  gbk = *clipboard_;
  return true;
}

INT_PTR ShellRecorder::Open(const platform::ShellOpenCall &call) {
  std::lock_guard guard(lock_);
  opens_.push_back(call);
  if (openResults_.empty()) return 42;
  const INT_PTR result = openResults_.front();
  openResults_.pop_front();
  return result;
}

bool ShellRecorder::Start(const platform::ProcessStartCall &call, DWORD &processId) {
  std::lock_guard guard(lock_);
  starts_.push_back(call);
  if (!startFailures_.empty()) {
    SetLastError(startFailures_.front());
    startFailures_.pop_front();
    return false;
  }
  processId = nextProcessId_++;
  return true;
}
