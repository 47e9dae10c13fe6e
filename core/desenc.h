// Whole-file cipher: DES in electronic-codebook mode in the system's own
// flavour, with a small container that carries the plain length and the key
// text enciphered with itself, so a wrong key is noticed before anything is
// written.
//
// Container (integers little-endian):
//   0   int32   version, 1
//   4   uint32  plain length (the source file's length)
//   8   16      the key text enciphered with the object's key
//   24  ...     the plain text enciphered in 10240-byte chunks; the last one
//               is padded with zero bytes to a whole number of 8-byte blocks
//
// The cipher is the published DES (its tables, key schedule and 16 rounds)
// with three differences that existing files depend on: the 64 bits of a
// block or key are numbered from the least significant bit of the first
// byte; the 4-bit S-box value is unpacked least significant bit first; and
// the halves are not exchanged after the last round. A key text of up to 8
// characters gives single DES, 9 to 16 characters two-key triple DES
// (encipher with the first half, decipher with the second, encipher with the
// first).
#pragma once

#include <cstdint>

#include "platform/windef.h"

class CDesEnc {
 public:
  // A key text of 1 to 16 characters. Longer texts are cut to their first
  // 16 characters; an empty (or null) text is a key of zero bytes.
  explicit CDesEnc(const char *keyText);
  virtual ~CDesEnc();

  // Both return 1 on success and 0 on failure, without a message. The
  // result is written to a scratch file beside the target and renamed over
  // it only on success, so a failure (a missing or short source, a wrong key,
  // an unknown version, a full disk) leaves an existing target as it was. A
  // source that is the target itself is refused.
  BOOL EncryptFile(const char *source, const char *target) const;
  BOOL DecryptFile(const char *source, const char *target) const;

  // Enciphers or deciphers data in place, 8 bytes at a time; a trailing part
  // of fewer than 8 bytes is left alone.
  void EncryptBlocks(void *data, uint32_t length) const;
  void DecryptBlocks(void *data, uint32_t length) const;

  bool TwoKey() const { return twoKey_ != 0; }

  static constexpr int32_t kVersion = 1;
  static constexpr uint32_t kHeaderSize = 24;
  static constexpr uint32_t kChunkSize = 10240;

 private:
  int32_t twoKey_ = 0;
  char keyText_[16] = {};
  // Round keys K1 to K16, 48 bits each, the standard's first bit highest.
  uint64_t schedule1_[16] = {};
  uint64_t schedule2_[16] = {};
};
