// The other half of the quote service's LZW format, for tests and test
// doubles: streams that LCompressLite (core/lzw.h) decodes, with the code
// width growing as the dictionary fills and dictionary resets where asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <vector>

struct LzwEncodeOptions {
  // Input offsets before which a run ends: the encoder writes the reset code
  // and starts the next byte with an empty dictionary and 9-bit codes.
  // Offsets of 0 or past the input are ignored; the order does not matter.
  std::vector<size_t> resetAt;
  // A run also ends when its next string code would reach this value
  // (259 to 35072, the decoder's dictionary; values outside are brought
  // inside). The default fills the dictionary up to 15-bit codes; above
  // 32768 the codes need 16 bits.
  uint32_t codeLimit = 32768;
  // Widening early: every code of a run after its first literal is at least
  // this wide (9 to 24; values outside are brought inside), although the
  // codes would fit in fewer bits.
  int minWidth = 9;
  // Finish with the end code. Without it the stream just stops (the last
  // byte padded with zero bits), which the decoder takes as the end.
  bool endCode = true;
};

// What the encoder did, for tests that want to be sure a stream exercises
// width changes and resets.
struct LzwEncodeStats {
  int codes = 0;     // every code written, control codes included
  int widenings = 0;
  int resets = 0;
  int maxWidth = 9;
};

std::vector<uint8_t> LzwEncode(const void *data, size_t size, const LzwEncodeOptions &options = {},
                               LzwEncodeStats *stats = nullptr);
std::vector<uint8_t> LzwEncode(std::string_view data, const LzwEncodeOptions &options = {},
                               LzwEncodeStats *stats = nullptr);

// Packs codes of any width, most significant bit first, after the magic:
// for hand-made and deliberately broken streams.
class LzwCodeWriter {
 public:
  LzwCodeWriter();
  // Appends the low `width` bits of code (width 1 to 32).
  LzwCodeWriter &Put(uint32_t code, int width);
  // Codes of one width.
  LzwCodeWriter &Put(std::initializer_list<uint32_t> codes, int width);
  // The stream so far, the last byte padded with zero bits.
  std::vector<uint8_t> Bytes() const;
  // Bits written after the magic.
  size_t BitCount() const { return bits_; }

 private:
  std::vector<uint8_t> bytes_;
  size_t bits_ = 0;
};
