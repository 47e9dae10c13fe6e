#include "core/desenc.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>

#include "platform/fileapi.h"
#include "platform/kernel.h"
#include "platform/path.h"

namespace {

// The published tables; entries count bits from 1, the first bit being the
// most significant of the standard's numbering.
constexpr uint8_t kInitialPermutation[64] = {
    58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4, 62, 54, 46, 38, 30, 22,
    14, 6,  64, 56, 48, 40, 32, 24, 16, 8, 57, 49, 41, 33, 25, 17, 9,  1,  59, 51, 43, 35,
    27, 19, 11, 3,  61, 53, 45, 37, 29, 21, 13, 5,  63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t kFinalPermutation[64] = {
    40, 8,  48, 16, 56, 24, 64, 32, 39, 7,  47, 15, 55, 23, 63, 31, 38, 6,  46, 14, 54, 22,
    62, 30, 37, 5,  45, 13, 53, 21, 61, 29, 36, 4,  44, 12, 52, 20, 60, 28, 35, 3,  43, 11,
    51, 19, 59, 27, 34, 2,  42, 10, 50, 18, 58, 26, 33, 1,  41, 9,  49, 17, 57, 25};
constexpr uint8_t kPermutationP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                                       2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kChoice1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                                  10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                                  63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                                  14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kChoice2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                                  26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                                  51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kRotations[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kSBoxes[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8,  3,  10, 6,  12, 5,  9,  0, 7,  0, 15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5,  3,  8,  4,  1,  14, 8,  13, 6, 2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2,  4,  9,  1,  7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4,  9,  7,  2,  13, 12, 0,  5,  10, 3,  13, 4,  7,  15, 2,
     8,  14, 12, 0,  1,  10, 6,  9,  11, 5,  0,  14, 7,  11, 10, 4,  13, 1,  5,  8,  12, 6,
     9,  3,  2,  15, 13, 8,  10, 1,  3,  15, 4,  2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6,  3,  15, 5,  1,  13, 12, 7,  11, 4,  2,  8,  13, 7,  0,  9,  3,  4,
     6,  10, 2,  8,  5,  14, 12, 11, 15, 1,  13, 6,  4,  9,  8,  15, 3,  0,  11, 1,  2,  12,
     5,  10, 14, 7,  1,  10, 13, 0,  6,  9,  8,  7,  4,  15, 14, 3,  11, 5,  2,  12},
    {7,  13, 14, 3,  0,  6,  9,  10, 1,  2,  8,  5,  11, 12, 4,  15, 13, 8,  11, 5,  6,  15,
     0,  3,  4,  7,  2,  12, 1,  10, 14, 9,  10, 6,  9,  0,  12, 11, 7,  13, 15, 1,  3,  14,
     5,  2,  8,  4,  3,  15, 0,  6,  10, 1,  13, 8,  9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4,  1,  7,  10, 11, 6,  8,  5,  3,  15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5,  0,  15, 10, 3,  9,  8,  6,  4,  2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0,  14, 11, 8,  12, 7,  1,  14, 2,  13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6,  8,  0,  13, 3,  4,  14, 7,  5,  11, 10, 15, 4,  2,  7,  12,
     9,  5,  6,  1,  13, 14, 0,  11, 3,  8,  9,  14, 15, 5,  2,  8,  12, 3,  7,  0,  4,  10,
     1,  13, 11, 6,  4,  3,  2,  12, 9,  5,  15, 10, 11, 14, 1,  7,  6,  0,  8,  13},
    {4,  11, 2,  14, 15, 0,  8,  13, 3,  12, 9,  7,  5,  10, 6,  1,  13, 0,  11, 7,  4,  9,
     1,  10, 14, 3,  5,  12, 2,  15, 8,  6,  1,  4,  11, 13, 12, 3,  7,  14, 10, 15, 6,  8,
     0,  5,  9,  2,  6,  11, 13, 8,  1,  4,  10, 7,  9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2,  8,  4,  6,  15, 11, 1,  10, 9,  3,  14, 5,  0,  12, 7,  1,  15, 13, 8,  10, 3,
     7,  4,  12, 5,  6,  11, 0,  14, 9,  2,  7,  11, 4,  1,  9,  12, 14, 2,  0,  6,  10, 13,
     15, 3,  5,  8,  2,  1,  14, 7,  4,  10, 8,  13, 15, 12, 9,  0,  3,  5,  6,  11}};

// Lookup tables built from the ones above at compile time. Inside the
// cipher a block is a 64-bit word holding the standard's bit n at value
// 1 << (64 - n); on the outside bit n is bit (n - 1) % 8 of byte (n - 1) / 8.
struct Tables {
  // The initial permutation, one table per input byte.
  uint64_t initial[8][256];
  // The final permutation, one table per byte of the inner word (highest
  // first), giving the output bytes as a little-endian word.
  uint64_t final[8][256];
  // The S-boxes followed by P, per S-box and 6-bit input.
  uint32_t sp[8][64];
};

constexpr Tables BuildTables() {
  Tables t{};
  for (int j = 0; j < 8; ++j) {
    uint64_t in[8] = {}, out[8] = {};
    for (int k = 0; k < 8; ++k) {
      int n = 8 * j + k + 1;  // the outside bit k of byte j
      for (int i = 1; i <= 64; ++i)
        if (kInitialPermutation[i - 1] == n) in[k] |= uint64_t(1) << (64 - i);
      int m = 8 * j + 8 - k;  // the inner bit at value 1 << k of byte j
      for (int i = 1; i <= 64; ++i)
        if (kFinalPermutation[i - 1] == m) out[k] |= uint64_t(1) << (i - 1);
    }
    for (int v = 0; v < 256; ++v)
      for (int k = 0; k < 8; ++k)
        if ((v >> k) & 1) {
          t.initial[j][v] |= in[k];
          t.final[j][v] |= out[k];
        }
  }
  for (int s = 0; s < 8; ++s)
    for (int v = 0; v < 64; ++v) {
      int row = ((v >> 4) & 2) | (v & 1);
      int column = (v >> 1) & 15;
      uint32_t value = kSBoxes[s][row * 16 + column];
      // The value's lowest bit becomes the first of the box's four bits.
      uint32_t word = 0;
      for (int b = 0; b < 4; ++b)
        if ((value >> b) & 1) word |= 1u << (32 - (4 * s + 1 + b));
      uint32_t permuted = 0;
      for (int m = 1; m <= 32; ++m)
        if ((word >> (32 - kPermutationP[m - 1])) & 1) permuted |= 1u << (32 - m);
      t.sp[s][v] = permuted;
    }
  return t;
}

constexpr Tables kTables = BuildTables();

inline uint32_t RotateLeft(uint32_t x, int n) { return (x << n) | (x >> ((32 - n) & 31)); }

inline uint32_t Feistel(uint32_t r, uint64_t key) {
  // Expansion E takes, for S-box i, the six bits 4i to 4i + 5 of R (bit 0
  // being bit 32), which a left rotation by 4i + 5 brings to the bottom.
  return kTables.sp[0][(RotateLeft(r, 5) ^ uint32_t(key >> 42)) & 63] |
         kTables.sp[1][(RotateLeft(r, 9) ^ uint32_t(key >> 36)) & 63] |
         kTables.sp[2][(RotateLeft(r, 13) ^ uint32_t(key >> 30)) & 63] |
         kTables.sp[3][(RotateLeft(r, 17) ^ uint32_t(key >> 24)) & 63] |
         kTables.sp[4][(RotateLeft(r, 21) ^ uint32_t(key >> 18)) & 63] |
         kTables.sp[5][(RotateLeft(r, 25) ^ uint32_t(key >> 12)) & 63] |
         kTables.sp[6][(RotateLeft(r, 29) ^ uint32_t(key >> 6)) & 63] |
         kTables.sp[7][(RotateLeft(r, 1) ^ uint32_t(key)) & 63];
}

inline uint64_t Initial(const uint8_t *p) {
  const auto &t = kTables.initial;
  return t[0][p[0]] | t[1][p[1]] | t[2][p[2]] | t[3][p[3]] | t[4][p[4]] | t[5][p[5]] | t[6][p[6]] |
         t[7][p[7]];
}

inline void Final(uint64_t x, uint8_t *p) {
  const auto &t = kTables.final;
  uint64_t out = t[0][x >> 56] | t[1][(x >> 48) & 255] | t[2][(x >> 40) & 255] | t[3][(x >> 32) & 255] |
                 t[4][(x >> 24) & 255] | t[5][(x >> 16) & 255] | t[6][(x >> 8) & 255] | t[7][x & 255];
  for (int k = 0; k < 8; ++k) p[k] = uint8_t(out >> (8 * k));
}

void EncipherBlock(uint8_t *p, const uint64_t *keys) {
  uint64_t x = Initial(p);
  uint32_t l = uint32_t(x >> 32), r = uint32_t(x);
  for (int i = 0; i < 16; ++i) {
    uint32_t t = r;
    r = l ^ Feistel(r, keys[i]);
    l = t;
  }
  // No exchange after the last round: L16 goes first.
  Final((uint64_t(l) << 32) | r, p);
}

void DecipherBlock(uint8_t *p, const uint64_t *keys) {
  uint64_t x = Initial(p);
  uint32_t r = uint32_t(x >> 32), l = uint32_t(x);
  for (int i = 15; i >= 0; --i) {
    uint32_t t = r;
    r = l ^ Feistel(r, keys[i]);
    l = t;
  }
  Final((uint64_t(r) << 32) | l, p);
}

void BuildSchedule(const char *key8, uint64_t *keys) {
  uint64_t key = 0;
  for (int n = 1; n <= 64; ++n)
    if ((uint8_t(key8[(n - 1) / 8]) >> ((n - 1) % 8)) & 1) key |= uint64_t(1) << (64 - n);
  uint64_t cd = 0;  // 56 bits, bit m at value 1 << (56 - m)
  for (int m = 1; m <= 56; ++m)
    if ((key >> (64 - kChoice1[m - 1])) & 1) cd |= uint64_t(1) << (56 - m);
  uint32_t c = uint32_t(cd >> 28), d = uint32_t(cd & 0xFFFFFFF);
  for (int round = 0; round < 16; ++round) {
    int s = kRotations[round];
    c = ((c << s) | (c >> (28 - s))) & 0xFFFFFFF;
    d = ((d << s) | (d >> (28 - s))) & 0xFFFFFFF;
    uint64_t joined = (uint64_t(c) << 28) | d;
    uint64_t k = 0;
    for (int m = 1; m <= 48; ++m)
      if ((joined >> (56 - kChoice2[m - 1])) & 1) k |= uint64_t(1) << (48 - m);
    keys[round] = k;
  }
}

uint32_t GetLE32(const uint8_t *p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

void PutLE32(uint8_t *p, uint32_t v) {
  for (int k = 0; k < 4; ++k) p[k] = uint8_t(v >> (8 * k));
}

class Handle {
 public:
  explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
  ~Handle() { Close(); }
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  bool Valid() const { return h_ != INVALID_HANDLE_VALUE && h_ != nullptr; }
  HANDLE Get() const { return h_; }
  bool Close() {
    bool ok = true;
    if (Valid()) ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok;
  }
  void Reset(HANDLE h) {
    Close();
    h_ = h;
  }

 private:
  HANDLE h_;
};

// Reads until want bytes are in or the file ends.
bool ReadUpTo(HANDLE file, uint8_t *buffer, DWORD want, DWORD *got) {
  *got = 0;
  while (*got < want) {
    DWORD n = 0;
    if (!ReadFile(file, buffer + *got, want - *got, &n, nullptr)) return false;
    if (n == 0) break;
    *got += n;
  }
  return true;
}

bool WriteAll(HANDLE file, const uint8_t *buffer, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, buffer, size, &written, nullptr) && written == size;
}

// The file being written: a scratch file in the target's folder that takes
// the target's name only when everything went well, and is removed
// otherwise.
class ScratchBeside {
 public:
  ~ScratchBeside() {
    if (file_.Valid()) {
      file_.Close();
      DeleteFileA(name_.c_str());
    }
  }

  bool Create(const std::string &targetPosix) {
    static std::atomic<unsigned> counter{0};
    std::string folder = platform::ParentOf(targetPosix);
    if (folder != "/") folder += '/';
    for (int attempt = 0; attempt < 100; ++attempt) {
      name_ = folder + "." + std::string(platform::LastComponent(targetPosix)) + ".des-" +
              std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter.fetch_add(1));
      file_.Reset(CreateFileA(name_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_.Valid()) return true;
      if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
  }

  HANDLE Get() const { return file_.Get(); }

  bool Commit(const char *target) {
    bool ok = file_.Close() && MoveFileExA(name_.c_str(), target, MOVEFILE_REPLACE_EXISTING);
    if (!ok) {
      DWORD error = GetLastError();
      DeleteFileA(name_.c_str());
      SetLastError(error);
    }
    return ok;
  }

 private:
  Handle file_;
  std::string name_;
};

// The target's POSIX path, or "" when either path is empty or both name the
// same file (which would be read while it is replaced).
std::string CheckedTarget(const char *source, const char *target) {
  std::string from = platform::ResolvePath(source);
  std::string to = platform::ResolvePath(target);
  if (from.empty() || to.empty() || from == to) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return {};
  }
  return to;
}

HANDLE OpenSource(const char *source) {
  return CreateFileA(source, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

constexpr uint64_t RoundUp8(uint64_t n) { return (n + 7) & ~uint64_t(7); }

}  // namespace

CDesEnc::CDesEnc(const char *keyText) {
  size_t length = keyText ? strnlen(keyText, sizeof keyText_) : 0;
  if (length) std::memcpy(keyText_, keyText, length);
  BuildSchedule(keyText_, schedule1_);
  if (length > 8) {
    twoKey_ = 1;
    BuildSchedule(keyText_ + 8, schedule2_);
  }
}

CDesEnc::~CDesEnc() = default;

void CDesEnc::EncryptBlocks(void *data, uint32_t length) const {
  uint8_t *p = static_cast<uint8_t *>(data);
  for (uint32_t i = 0; i + 8 <= length; i += 8) {
    EncipherBlock(p + i, schedule1_);
    if (twoKey_) {
      DecipherBlock(p + i, schedule2_);
      EncipherBlock(p + i, schedule1_);
    }
  }
}

void CDesEnc::DecryptBlocks(void *data, uint32_t length) const {
  uint8_t *p = static_cast<uint8_t *>(data);
  for (uint32_t i = 0; i + 8 <= length; i += 8) {
    DecipherBlock(p + i, schedule1_);
    if (twoKey_) {
      EncipherBlock(p + i, schedule2_);
      DecipherBlock(p + i, schedule1_);
    }
  }
}

BOOL CDesEnc::EncryptFile(const char *source, const char *target) const {
  std::string targetPosix = CheckedTarget(source, target);
  if (targetPosix.empty()) return FALSE;
  Handle in(OpenSource(source));
  if (!in.Valid()) return FALSE;
  DWORD high = 0;
  DWORD size = GetFileSize(in.Get(), &high);
  // The container holds a 32-bit length.
  if ((size == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) || high != 0) return FALSE;

  ScratchBeside out;
  if (!out.Create(targetPosix)) return FALSE;

  uint8_t header[kHeaderSize];
  PutLE32(header, uint32_t(kVersion));
  PutLE32(header + 4, size);
  std::memcpy(header + 8, keyText_, sizeof keyText_);
  EncryptBlocks(header + 8, sizeof keyText_);
  if (!WriteAll(out.Get(), header, kHeaderSize)) return FALSE;

  uint8_t chunk[kChunkSize];
  for (;;) {
    DWORD n = 0;
    if (!ReadUpTo(in.Get(), chunk, kChunkSize, &n)) return FALSE;
    if (n > 0) {
      uint32_t padded = uint32_t(RoundUp8(n));
      std::memset(chunk + n, 0, padded - n);
      EncryptBlocks(chunk, padded);
      if (!WriteAll(out.Get(), chunk, padded)) return FALSE;
    }
    if (n < kChunkSize) break;
  }
  return out.Commit(target);
}

BOOL CDesEnc::DecryptFile(const char *source, const char *target) const {
  std::string targetPosix = CheckedTarget(source, target);
  if (targetPosix.empty()) return FALSE;
  Handle in(OpenSource(source));
  if (!in.Valid()) return FALSE;

  uint8_t header[kHeaderSize];
  DWORD n = 0;
  if (!ReadUpTo(in.Get(), header, kHeaderSize, &n) || n < kHeaderSize) return FALSE;
  DecryptBlocks(header + 8, sizeof keyText_);
  if (int32_t(GetLE32(header)) != kVersion || std::memcmp(header + 8, keyText_, sizeof keyText_) != 0)
    return FALSE;
  const uint32_t plainLength = GetLE32(header + 4);

  ScratchBeside out;
  if (!out.Create(targetPosix)) return FALSE;

  // Only whole blocks up to the padded plain length count as the body;
  // padding and anything after it are not written.
  uint64_t bodyRead = 0;
  uint64_t written = 0;
  uint8_t chunk[kChunkSize];
  for (;;) {
    if (!ReadUpTo(in.Get(), chunk, kChunkSize, &n)) return FALSE;
    if (n > 0) {
      uint32_t padded = uint32_t(RoundUp8(n));
      std::memset(chunk + n, 0, padded - n);
      DecryptBlocks(chunk, padded);
      uint32_t part = uint32_t(std::min<uint64_t>(padded, plainLength - written));
      if (part > 0 && !WriteAll(out.Get(), chunk, part)) return FALSE;
      written += part;
      bodyRead += n;
    }
    if (n < kChunkSize) break;
  }
  // A body cut short, even inside its last block, is refused.
  if (bodyRead < RoundUp8(plainLength)) return FALSE;
  return out.Commit(target);
}
