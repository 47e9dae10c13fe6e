// Text helpers the formula dialogs share.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

// The first bytes of GBK text up to `limit` bytes, never half a character.
inline std::string GbkPrefix(const std::string &text, size_t limit) {
  size_t n = 0;
  while (n < text.size()) {
    const size_t step = uint8_t(text[n]) >= 0x81 && n + 1 < text.size() ? 2 : 1;
    if (n + step > limit) break;
    n += step;
  }
  return text.substr(0, n);
}

// Copies GBK text into a fixed field: at most size - 1 bytes (never half a
// character), zero-filled.
inline void SetGbkField(char *field, size_t size, const std::string &text) {
  const std::string kept = GbkPrefix(text, size - 1);
  std::memset(field, 0, size);
  std::memcpy(field, kept.data(), kept.size());
}

// Lines separated by "\n" as an edit control shows them ("\r\n").
inline std::string WithCrLf(const std::string &text) {
  std::string out;
  for (char c : text) {
    if (c == '\n' && (out.empty() || out.back() != '\r')) out += '\r';
    out += c;
  }
  return out;
}

// Two GBK texts equal without regard to the case of ASCII letters (the
// bytes of double-byte characters compare as they are).
inline bool SameGbkTextNoCase(const char *a, const char *b) {
  auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; };
  while (*a && *b) {
    if (uint8_t(*a) >= 0x81 && a[1]) {
      if (a[0] != b[0] || a[1] != b[1]) return false;
      a += 2;
      b += 2;
      continue;
    }
    if (upper(*a) != upper(*b)) return false;
    ++a;
    ++b;
  }
  return *a == *b;
}
