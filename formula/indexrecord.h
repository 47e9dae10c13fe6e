// The plain bytes of the formula files (the library files and the export
// files share the formula record): little-endian 32-bit integers, lengths
// followed by the bytes they count.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

class CKvIndex;

// Plain bytes read front to back; every length is checked against what is
// left before anything is taken.
class IndexPlainReader {
 public:
  IndexPlainReader(const char *p, const char *end) : p_(p), end_(end) {}
  size_t Left() const { return size_t(end_ - p_); }
  const char *Position() const { return p_; }
  bool Bytes(void *out, size_t n) {
    if (n > Left()) return false;
    std::memcpy(out, p_, n);
    p_ += n;
    return true;
  }
  bool Skip(size_t n) {
    if (n > Left()) return false;
    p_ += n;
    return true;
  }
  bool U32(uint32_t &v) {
    uint8_t b[4];
    if (!Bytes(b, 4)) return false;
    v = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return true;
  }
  // A length field and the bytes it counts; false when they don't fit (a
  // negative length reads as one beyond any file).
  bool Span(const char *&data, uint32_t &length) {
    if (!U32(length) || length > Left()) return false;
    data = p_;
    p_ += length;
    return true;
  }

 private:
  const char *p_;
  const char *end_;
};

inline void PutIndexU32(std::string &out, uint32_t v) {
  const char b[4] = {char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
  out.append(b, 4);
}

// One formula record without its marker byte: name, password, description,
// parameters, text, usage notes and flags, all as the formula holds them.
void PutIndexRecord(std::string &out, const CKvIndex &formula);
