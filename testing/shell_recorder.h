// Stands in for the desktop while it lives: the clipboard is a string of its
// own, and opens and program starts are recorded and answered without
// anything being started. Answers are queued per kind of call; when none is
// queued, an open succeeds (42) and a start succeeds.
#pragma once

#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/shell.h"

class ShellRecorder final : public platform::ShellHost {
 public:
  ShellRecorder();
  ~ShellRecorder() override;
  ShellRecorder(const ShellRecorder &) = delete;
  ShellRecorder &operator=(const ShellRecorder &) = delete;

  // The result the next open returns (32 or below makes it fail).
  void QueueOpenResult(INT_PTR result);
  // Makes the next start fail with the given last error.
  void QueueStartFailure(DWORD error);

  std::vector<platform::ShellOpenCall> Opens() const;
  std::vector<platform::ProcessStartCall> Starts() const;
  // Every text put on the clipboard, in order.
  std::vector<std::string> ClipboardWrites() const;
  // What the clipboard holds now (nullopt: no text).
  void SetClipboard(std::optional<std::string> gbk);

  bool SetClipboardText(const std::string &gbk) override;
  bool GetClipboardText(std::string &gbk) override;
  INT_PTR Open(const platform::ShellOpenCall &call) override;
  bool Start(const platform::ProcessStartCall &call, DWORD &processId) override;

 private:
  mutable std::mutex lock_;
  platform::ShellHost *previous_;
  std::vector<platform::ShellOpenCall> opens_;
  std::vector<platform::ProcessStartCall> starts_;
  std::vector<std::string> writes_;
  std::optional<std::string> clipboard_;
  std::deque<INT_PTR> openResults_;
  std::deque<DWORD> startFailures_;
  DWORD nextProcessId_ = 1000;
};
