#include "core/lzw.h"

#include <cstring>

namespace {

// Reads codes most significant bit first through a 64-bit window. It only
// takes bytes that exist; the caller asks BitsLeft() before each code.
class BitReader {
 public:
  BitReader(const uint8_t *data, int32_t length, int32_t position)
      : data_(data), length_(length), position_(position),
        bitsLeft_(int64_t(length - position) * 8) {}

  int64_t BitsLeft() const { return bitsLeft_; }

  // Requires BitsLeft() >= width.
  uint32_t Read(int width) {
    if (held_ < width) {
      if (length_ - position_ >= 8) {
        // Top up with whole bytes from one big-endian load.
        uint64_t next;
        std::memcpy(&next, data_ + position_, 8);
        next = __builtin_bswap64(next);
        int take = (63 - held_) >> 3;
        window_ = (window_ << (take * 8)) | (next >> (64 - take * 8));
        position_ += take;
        held_ += take * 8;
      } else {
        while (held_ <= 56 && position_ < length_) {
          window_ = (window_ << 8) | data_[position_++];
          held_ += 8;
        }
      }
    }
    held_ -= width;
    bitsLeft_ -= width;
    return uint32_t(window_ >> held_) & ((1u << width) - 1);
  }

 private:
  const uint8_t *data_;
  int32_t length_;
  int32_t position_;
  int64_t bitsLeft_;
  uint64_t window_ = 0;
  int held_ = 0;
};

// Copies up to 16 bytes as two 8-byte words, both read before either is
// written, so the source may overlap the target. Bytes past the string are
// scratch that later strings overwrite.
inline void CopyShort(uint8_t *to, const uint8_t *from) {
  uint64_t a, b;
  std::memcpy(&a, from, 8);
  std::memcpy(&b, from + 8, 8);
  std::memcpy(to, &a, 8);
  std::memcpy(to + 8, &b, 8);
}

}  // namespace

static_assert(LCompressLite::kDictionarySize <= 0xFFFF, "a prefix is kept in 16 bits");

LCompressLite::LCompressLite() { std::memset(dictionary_, 0, sizeof dictionary_); }

LCompressLite::~LCompressLite() = default;

uint32_t LCompressLite::Unwind(uint32_t code, uint32_t sp, uint32_t nextCode) {
  while (code >= 256) {
    if (code > kMaxCode || sp >= kMaxString) return 0;
    uint32_t prefix = 0;
    uint8_t suffix = 0;
    if (code >= kFirstStringCode && code < nextCode) {
      prefix = dictionary_[code].prefix;
      suffix = dictionary_[code].suffix;
    }
    if (prefix > kMaxPrefix) return 0;
    stack_[sp++] = suffix;
    code = prefix;
  }
  if (sp >= kMaxString) return 0;
  stack_[sp++] = uint8_t(code);
  return sp;
}

int32_t LCompressLite::Decode(const void *input, int32_t inputLength, void *output, int32_t outputCapacity,
                              int32_t *outputLength) {
  const uint8_t *in = static_cast<const uint8_t *>(input);
  if (!in || inputLength < 5 || std::memcmp(in, "WMC15", 5) != 0) return kBadMagic;
  uint8_t *out = static_cast<uint8_t *>(output);
  const uint32_t capacity = (out && outputCapacity > 0) ? uint32_t(outputCapacity) : 0;

  BitReader bits(in, inputLength, 5);
  uint32_t count = 0;

  // Input that runs out ends the data, also in the middle of a code: a code
  // wider than the bits left is a short final code, not read.
  while (bits.BitsLeft() >= kFirstWidth) {
    uint32_t code = bits.Read(kFirstWidth);
    if (code == kEndCode) break;
    if (code > 255) return kCorrupt;
    if (count >= capacity) return kOutputFull;
    out[count] = uint8_t(code);

    // The previous code's string as it was written out, and whether that
    // copy is its string for good.
    uint32_t prev = code;
    uint32_t prevOffset = count;
    uint32_t prevLength = 1;
    bool prevStable = true;
    ++count;

    uint32_t nextCode = kFirstStringCode;
    int width = kFirstWidth;
    bool reset = false;
    while (!reset) {
      if (bits.BitsLeft() < 8) goto done;
      if (capacity >= 5 && count > capacity - 5) return kOutputFull;
      if (bits.BitsLeft() < width) goto done;
      code = bits.Read(width);

      if (code == kEndCode) goto done;
      if (code == kResetCode) {
        reset = true;
        continue;
      }
      if (code == kWidenCode) {
        if (width == kMaxWidth) return kCorrupt;
        ++width;
        continue;
      }

      if (code > kMaxCode) return kCorrupt;

      const uint32_t start = count;
      uint32_t length;
      bool stable;
      if (code < 256) {
        if (count >= capacity) return kOutputFull;
        out[count] = uint8_t(code);
        length = 1;
        stable = true;
      } else if (code < nextCode && (dictionary_[code].flags & kStable)) {
        const Entry &e = dictionary_[code];
        length = e.length;
        if (length > kMaxString || (e.flags & kBroken)) return kCorrupt;
        if (length > capacity - count) return kOutputFull;
        // The entry's copy ends before the current position, so the string
        // does not overlap itself.
        if (length <= 16 && capacity - count >= 16)
          CopyShort(out + count, out + e.offset);
        else
          std::memcpy(out + count, out + e.offset, length);
        stable = true;
      } else if (code >= nextCode && prevStable) {
        // The code being defined (or, in a damaged stream, one beyond it):
        // the previous string followed by its own first byte.
        length = prevLength + 1;
        if (length > kMaxString || (prev >= kFirstStringCode && (dictionary_[prev].flags & kBroken)))
          return kCorrupt;
        if (length > capacity - count) return kOutputFull;
        if (length <= 16 && capacity - count >= 16)
          CopyShort(out + count, out + prevOffset);
        else
          std::memcpy(out + count, out + prevOffset, prevLength);
        out[count + prevLength] = out[prevOffset];
        stable = code == nextCode;
      } else {
        // Strings built on codes that were undefined when they were used
        // occur only in damaged streams; they follow the chain as it stands.
        uint32_t sp;
        if (code >= nextCode) {
          stack_[0] = out[prevOffset];
          sp = Unwind(prev, 1, nextCode);
        } else {
          sp = Unwind(code, 0, nextCode);
        }
        if (sp == 0) return kCorrupt;
        if (sp > capacity - count) return kOutputFull;
        for (uint32_t i = 0; i < sp; ++i) out[count + i] = stack_[sp - 1 - i];
        length = sp;
        stable = false;
      }
      count += length;

      if (nextCode >= kDictionarySize) return kCorrupt;
      Entry &entry = dictionary_[nextCode];
      entry.prefix = uint16_t(prev);  // at most kMaxCode
      entry.suffix = out[start];
      // A stable entry's prefix is a lower code, so only its own prefix can
      // be out of range: the codes of the chain below it are smaller still.
      entry.flags = prevStable ? (prev > kMaxPrefix ? kStable | kBroken : kStable) : 0;
      entry.offset = prevOffset;
      entry.length = prevLength + 1;
      ++nextCode;

      prev = code;
      prevOffset = start;
      prevLength = length;
      prevStable = stable;
    }
  }

done:
  if (outputLength) *outputLength = int32_t(count);
  return kOk;
}
