// Records the messages windows receive, in order, for tests that check
// sequences (creation, destruction, input).
#pragma once

#include <string>
#include <vector>

#include "platform/winuser.h"

namespace testing_support {

struct TracedMessage {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class MessageTrace {
 public:
  MessageTrace();
  ~MessageTrace();
  MessageTrace(const MessageTrace &) = delete;
  MessageTrace &operator=(const MessageTrace &) = delete;

  // A window of the recording class "KivoTrace": it records every message
  // and then handles it with DefWindowProcA.
  HWND Create(DWORD style, HWND parent = nullptr, RECT rect = RECT{0, 0, 100, 100}, DWORD exStyle = 0);
  // Records what an existing window receives by subclassing it.
  void Attach(HWND hwnd);

  const std::vector<TracedMessage> &Messages() const { return messages_; }
  // Only the numbers, optionally of one window, leaving out what tests rarely
  // care about unless asked.
  std::vector<UINT> Numbers(HWND only = nullptr) const;
  std::vector<UINT> NumbersOf(std::initializer_list<UINT> wanted, HWND only = nullptr) const;
  size_t Count(UINT message, HWND only = nullptr) const;
  void Clear() { messages_.clear(); }

  // Procedure the next messages of a window go to after being recorded
  // (instead of DefWindowProcA); null restores the default.
  void SetHandler(HWND hwnd, WNDPROC handler);

 private:
  static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  std::vector<TracedMessage> messages_;
};

}  // namespace testing_support
