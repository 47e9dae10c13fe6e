#include "core/emem.h"

#include <atomic>
#include <cstring>

#include "platform/memory.h"

namespace {

// Layout of one process-heap allocation: 12 unused bytes, the front guard,
// the user bytes, the back guard. The lead-in is 16 bytes so that the user
// bytes keep the heap's 16-byte alignment.
constexpr size_t kHeader = 16;
constexpr size_t kGuard = 4;
constexpr size_t kOverhead = kHeader + kGuard;
constexpr char kGuardBytes[kGuard] = {'$', '$', '$', '$'};

std::atomic<MallocRefusal> g_refusal{nullptr};

char *BaseOf(const void *block) {
  return static_cast<char *>(const_cast<void *>(block)) - kHeader;
}

bool IsBlank(unsigned char c) { return (c >= 1 && c <= 32) || c == 127; }

int CopyBounded(const char *text, int length, char *buffer, int n) {
  if (!buffer || n <= 0) return 0;
  int copied = 0;
  if (text && length > 0) {
    copied = length < n - 1 ? length : n - 1;
    std::memcpy(buffer, text, size_t(copied));
  }
  buffer[copied] = '\0';
  return copied;
}

char g_static[512];

}  // namespace

void *MemAlloc(int32_t size) {
  if (size < 0) return nullptr;
  MallocRefusal refuse = g_refusal.load(std::memory_order_relaxed);
  if (refuse && refuse(size)) return nullptr;
  char *base =
      static_cast<char *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size_t(size) + kOverhead));
  if (!base) return nullptr;
  std::memcpy(base + kHeader - kGuard, kGuardBytes, kGuard);
  std::memcpy(base + kHeader + size_t(size), kGuardBytes, kGuard);
  return base + kHeader;
}

void MemFree(void *block) {
  if (block) HeapFree(GetProcessHeap(), 0, BaseOf(block));
}

int32_t MemSize(const void *block) {
  if (!block) return 0;
  SIZE_T bytes = HeapSize(GetProcessHeap(), 0, BaseOf(block));
  return bytes == SIZE_T(-1) || bytes < kOverhead ? 0 : int32_t(bytes - kOverhead);
}

void SetMallocRefusal(MallocRefusal refuse) { g_refusal.store(refuse, std::memory_order_relaxed); }

int AnsiToBuf(const std::string &text, char *buffer, int n) {
  size_t length = text.size();
  return CopyBounded(text.data(), length > 0x7FFFFFFF ? 0x7FFFFFFF : int(length), buffer, n);
}

int AnsiToBuf(const char *text, int length, char *buffer, int n) {
  return CopyBounded(text, length, buffer, n);
}

char *AnsiToStatic(const std::string &text) {
  AnsiToBuf(text, g_static, int(sizeof g_static));
  return g_static;
}

char *AnsiToStatic(const char *text, int length) {
  CopyBounded(text, length, g_static, int(sizeof g_static));
  return g_static;
}

void TrimLeft(char *text) {
  if (!text) return;
  size_t skip = 0;
  while (IsBlank(static_cast<unsigned char>(text[skip]))) ++skip;
  if (skip) std::memmove(text, text + skip, std::strlen(text + skip) + 1);
}

void TrimRight(char *text) {
  if (!text) return;
  size_t end = std::strlen(text);
  while (end > 0 && IsBlank(static_cast<unsigned char>(text[end - 1]))) --end;
  text[end] = '\0';
}

void Trim(char *text) {
  TrimRight(text);
  TrimLeft(text);
}
