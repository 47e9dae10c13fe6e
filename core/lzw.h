// Decoder of the quote service's compressed bodies: a variable-width LZW
// stream behind the magic "WMC15".
//
// Stream: the five ASCII bytes "WMC15", then codes packed most significant
// bit first (a code may span bytes). Codes 0-255 are literal bytes, 256 ends
// the data, 257 widens the codes by one bit, 258 starts a new run with an
// empty dictionary, 259 and up name dictionary strings. Every run starts
// with a 9-bit literal; codes are 9 bits wide until a 257 widens them. A
// dictionary of 35072 entries needs 16-bit codes and an encoder may widen
// sooner than it must, so every widening is followed, up to the 24 bits the
// bit reader holds.
//
// The bodies come off the network, so any byte string is safe to decode:
// the reader never looks past the input, a code that does not fit in the
// bits left ends the data, and the decoder never writes past the capacity
// it is given.
#pragma once

#include <cstdint>

class LCompressLite {
 public:
  // Results of Decode.
  static constexpr int32_t kOk = 0;
  static constexpr int32_t kOutputFull = 201;
  static constexpr int32_t kBadMagic = 203;
  static constexpr int32_t kCorrupt = 206;

  // Control codes and the first string code of a run.
  static constexpr uint32_t kEndCode = 256;
  static constexpr uint32_t kWidenCode = 257;
  static constexpr uint32_t kResetCode = 258;
  static constexpr uint32_t kFirstStringCode = 259;
  static constexpr int kFirstWidth = 9;
  // The widest code the bit reader takes; a widening past it is corrupt data.
  static constexpr int kMaxWidth = 24;

  // Work memory: the dictionary's entries and the stack on which a string
  // is unwound when it cannot be copied from the output.
  static constexpr uint32_t kDictionarySize = 35072;
  static constexpr uint32_t kStackSize = 35024;
  // The longest string a code may stand for, which is also the highest
  // code a stream may use, and the highest code a string may be built on.
  static constexpr uint32_t kMaxString = 35022;
  static constexpr uint32_t kMaxCode = 35022;
  static constexpr uint32_t kMaxPrefix = 32767;

  // The object is large (about 450 KB): keep one per connection, on the heap.
  LCompressLite();
  ~LCompressLite();
  LCompressLite(const LCompressLite &) = delete;
  LCompressLite &operator=(const LCompressLite &) = delete;

  // Decodes input into output, which holds outputCapacity bytes.
  //   0    success; *outputLength (when given) receives the decoded length.
  //        Input that runs out before the end code ends the data there.
  //   201  the output does not fit. A stream that ends with the end code
  //        fits only when its output is at most capacity - 5 bytes (for a
  //        capacity of 5 or more): the decoder keeps that margin free.
  //   203  the input does not begin with "WMC15" (or is null).
  //   206  corrupt data: a run that does not start with a literal, codes
  //        widened past 24 bits, a code above 35022, a string longer than
  //        35022 bytes, a string built on a code above 32767 or a
  //        dictionary that outgrows its 35072 entries.
  // On an error the output holds the bytes decoded so far and
  // *outputLength is left alone. Bytes of the output past the decoded length
  // may be overwritten (never past the capacity). Allocates nothing; the
  // object can decode the next stream at once.
  int32_t Decode(const void *input, int32_t inputLength, void *output, int32_t outputCapacity,
                 int32_t *outputLength);

 private:
  // An entry stands for the string of its prefix code followed by its suffix
  // byte. When the whole prefix chain was known as the entry was made
  // ("stable"), the string also lies in the output at offset, length bytes
  // long, and is copied from there; otherwise it is unwound through the
  // chain as it stands now. A stable entry whose prefix is above kMaxPrefix
  // is "broken": using it is corrupt data.
  enum : uint8_t { kStable = 1, kBroken = 2 };
  struct Entry {
    uint32_t offset;
    uint32_t length;
    uint16_t prefix;
    uint8_t suffix;
    uint8_t flags;
  };

  // Lays the string of code down on the stack from position sp upwards, last
  // byte first; codes the current run has not defined read as an empty
  // entry (prefix 0, suffix 0). Returns the new stack height, or 0 when the
  // string is too long or its chain holds a code or prefix out of range.
  uint32_t Unwind(uint32_t code, uint32_t sp, uint32_t nextCode);

  Entry dictionary_[kDictionarySize];
  uint8_t stack_[kStackSize];
};
