#include "testing/message_trace.h"

#include <algorithm>
#include <map>

namespace testing_support {
namespace {

MessageTrace *g_trace = nullptr;  // one trace records at a time
std::map<HWND, WNDPROC> g_previous;
std::map<HWND, WNDPROC> g_handlers;

}  // namespace

MessageTrace::MessageTrace() {
  g_trace = this;
  WNDCLASSA wc{};
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &MessageTrace::Proc;
  wc.lpszClassName = "KivoTrace";
  RegisterClassA(&wc);  // fails harmlessly when already registered
}

MessageTrace::~MessageTrace() {
  if (g_trace == this) g_trace = nullptr;
  for (auto &[hwnd, proc] : g_previous)
    if (IsWindow(hwnd)) SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(proc));
  g_previous.clear();
  g_handlers.clear();
}

HWND MessageTrace::Create(DWORD style, HWND parent, RECT rect, DWORD exStyle) {
  return CreateWindowExA(exStyle, "KivoTrace", "", style, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, parent, nullptr, nullptr, nullptr);
}

void MessageTrace::Attach(HWND hwnd) {
  g_previous[hwnd] = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MessageTrace::Proc)));
}

void MessageTrace::SetHandler(HWND hwnd, WNDPROC handler) {
  if (handler)
    g_handlers[hwnd] = handler;
  else
    g_handlers.erase(hwnd);
}

LRESULT MessageTrace::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (g_trace) g_trace->messages_.push_back(TracedMessage{hwnd, message, wParam, lParam});
  if (auto it = g_handlers.find(hwnd); it != g_handlers.end()) return it->second(hwnd, message, wParam, lParam);
  if (auto it = g_previous.find(hwnd); it != g_previous.end())
    return CallWindowProcA(it->second, hwnd, message, wParam, lParam);
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

std::vector<UINT> MessageTrace::Numbers(HWND only) const {
  std::vector<UINT> numbers;
  for (const auto &m : messages_)
    if (!only || m.hwnd == only) numbers.push_back(m.message);
  return numbers;
}

std::vector<UINT> MessageTrace::NumbersOf(std::initializer_list<UINT> wanted, HWND only) const {
  std::vector<UINT> numbers;
  for (const auto &m : messages_)
    if ((!only || m.hwnd == only) && std::find(wanted.begin(), wanted.end(), m.message) != wanted.end())
      numbers.push_back(m.message);
  return numbers;
}

size_t MessageTrace::Count(UINT message, HWND only) const {
  return size_t(std::count_if(messages_.begin(), messages_.end(), [&](const TracedMessage &m) {
    return m.message == message && (!only || m.hwnd == only);
  }));
}

}  // namespace testing_support
