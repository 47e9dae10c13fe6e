#include "platform/gbk.h"

#include <errno.h>
#include <iconv.h>

#include <cstring>

namespace platform {

size_t GbkCutLength(std::string_view text, size_t limit) {
  size_t i = 0;
  while (i < text.size() && i < limit) {
    const size_t step = IsGbkPair(text, i) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

void GbkCopyCut(const char *text, size_t textSize, char *out, size_t size) {
  if (!out || size == 0) return;
  const std::string_view view(text ? text : "", text ? strnlen(text, textSize) : 0);
  const size_t keep = GbkCutLength(view, size - 1);
  std::memmove(out, view.data(), keep);
  std::memset(out + keep, 0, size - keep);
}

namespace {

// GB18030 reads every GBK sequence and writes GBK for every character GBK
// has; what GBK lacks comes out as its four-byte form, which reads back.
enum Encoding { kGbk, kUtf8, kUtf16, kEncodingCount };
const char *const kIconvNames[kEncodingCount] = {"GB18030", "UTF-8", "UTF-16LE"};
// Bytes of one code unit, skipped past a malformed one.
const size_t kUnitBytes[kEncodingCount] = {1, 1, 2};
const std::string_view kReplacement[kEncodingCount] = {
    "?", "\xEF\xBF\xBD", std::string_view("\xFD\xFF", 2)};

// iconv descriptors carry conversion state, so each thread keeps its own.
class ThreadConverters {
 public:
  ~ThreadConverters() {
    for (auto &row : descriptors_)
      for (iconv_t cd : row)
        if (cd != kNone) iconv_close(cd);
  }
  iconv_t Get(Encoding from, Encoding to) {
    iconv_t &cd = descriptors_[from][to];
    if (cd == kNone) cd = iconv_open(kIconvNames[to], kIconvNames[from]);
    return cd;
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  iconv_t descriptors_[kEncodingCount][kEncodingCount] = {
      {kNone, kNone, kNone}, {kNone, kNone, kNone}, {kNone, kNone, kNone}};
};

thread_local ThreadConverters t_converters;

bool IsAscii(const char *data, size_t size) {
  for (size_t i = 0; i < size; ++i)
    if (static_cast<unsigned char>(data[i]) >= 0x80) return false;
  return true;
}

// Converts bytes of one encoding into bytes of another. Every malformed or
// unconvertible unit, and a sequence cut off at the end, becomes one
// replacement; *replaced tells whether any was needed.
std::string Convert(Encoding from, Encoding to, const char *data, size_t size,
                    std::string_view replacement, bool *replaced = nullptr) {
  std::string out;
  if (replaced) *replaced = false;
  if (size == 0) return out;
  iconv_t cd = t_converters.Get(from, to);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converters only ASCII survives.
    const size_t unit = kUnitBytes[from];
    for (size_t i = 0; i + unit <= size; i += unit) {
      unsigned value = static_cast<unsigned char>(data[i]);
      if (unit == 2) value |= unsigned(static_cast<unsigned char>(data[i + 1])) << 8;
      if (value < 0x80) {
        out.push_back(char(value));
        if (to == kUtf16) out.push_back('\0');
      } else {
        out.append(replacement);
        if (replaced) *replaced = true;
      }
    }
    return out;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(size * 2 + 16);
  size_t used = 0;
  char *in = const_cast<char *>(data);
  size_t inLeft = size;
  auto reserve = [&](size_t more) {
    if (out.size() - used < more) out.resize(out.size() * 2 + more);
  };
  while (inLeft > 0) {
    char *outPtr = out.data() + used;
    size_t outLeft = out.size() - used;
    const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    used = size_t(outPtr - out.data());
    if (result != size_t(-1)) break;
    if (errno == E2BIG) {
      reserve(inLeft * 2 + 16);
      continue;
    }
    reserve(replacement.size());
    out.replace(used, replacement.size(), replacement);
    used += replacement.size();
    if (replaced) *replaced = true;
    if (errno != EILSEQ) break;  // cut off at the end
    const size_t skip = std::min(kUnitBytes[from], inLeft);
    in += skip;
    inLeft -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
  out.resize(used);
  return out;
}

std::u16string ToU16(const std::string &bytes) {
  std::u16string text(bytes.size() / 2, u'\0');
  std::memcpy(text.data(), bytes.data(), text.size() * 2);
  return text;
}

}  // namespace

std::u16string GbkToUtf16(std::string_view gbk) {
  if (IsAscii(gbk.data(), gbk.size())) return std::u16string(gbk.begin(), gbk.end());
  return ToU16(Convert(kGbk, kUtf16, gbk.data(), gbk.size(), kReplacement[kUtf16]));
}

std::string Utf16ToGbk(std::u16string_view text) {
  bool ascii = true;
  for (char16_t c : text) ascii = ascii && c < 0x80;
  if (ascii) return std::string(text.begin(), text.end());
  return Convert(kUtf16, kGbk, reinterpret_cast<const char *>(text.data()), text.size() * 2,
                 kReplacement[kGbk]);
}

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk.data(), gbk.size())) return std::string(gbk);
  return Convert(kGbk, kUtf8, gbk.data(), gbk.size(), kReplacement[kUtf8]);
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8.data(), utf8.size())) return std::string(utf8);
  return Convert(kUtf8, kGbk, utf8.data(), utf8.size(), kReplacement[kGbk]);
}

}  // namespace platform

namespace {

bool GbkOrUtf8(UINT codePage, bool &utf8) {
  utf8 = codePage == CP_UTF8;
  return codePage == CP_ACP || codePage == 936 || codePage == CP_UTF8;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes, LPWSTR target,
                        int targetChars) {
  bool utf8;
  if (!GbkOrUtf8(codePage, utf8) || !source || sourceBytes == 0 || sourceBytes < -1 ||
      targetChars < 0 || (targetChars > 0 && !target)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t size = sourceBytes == -1 ? std::strlen(source) + 1 : size_t(sourceBytes);
  std::u16string text;
  if (utf8) {
    text = platform::ToU16(platform::Convert(platform::kUtf8, platform::kUtf16, source, size,
                                             platform::kReplacement[platform::kUtf16]));
  } else {
    text = platform::GbkToUtf16(std::string_view(source, size));
  }
  if (text.size() > size_t(INT32_MAX)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const int needed = int(text.size());
  if (targetChars == 0) return needed;
  if (needed > targetChars) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(target, text.data(), text.size() * sizeof(WCHAR));
  return needed;
}

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceChars, LPSTR target,
                        int targetBytes, LPCSTR defaultChar, BOOL *usedDefaultChar) {
  bool utf8;
  if (!GbkOrUtf8(codePage, utf8) || !source || sourceChars == 0 || sourceChars < -1 ||
      targetBytes < 0 || (targetBytes > 0 && !target) ||
      (utf8 && (defaultChar || usedDefaultChar))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  size_t size = 0;
  if (sourceChars == -1) {
    while (source[size]) ++size;
    ++size;
  } else {
    size = size_t(sourceChars);
  }
  bool replaced = false;
  std::string bytes;
  if (utf8) {
    bytes = platform::Convert(platform::kUtf16, platform::kUtf8,
                              reinterpret_cast<const char *>(source), size * 2,
                              platform::kReplacement[platform::kUtf8]);
  } else {
    const char substitute = defaultChar ? defaultChar[0] : '?';
    bytes = platform::Convert(platform::kUtf16, platform::kGbk,
                              reinterpret_cast<const char *>(source), size * 2,
                              std::string_view(&substitute, 1), &replaced);
  }
  if (usedDefaultChar) *usedDefaultChar = replaced ? TRUE : FALSE;
  if (bytes.size() > size_t(INT32_MAX)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const int needed = int(bytes.size());
  if (targetBytes == 0) return needed;
  if (needed > targetBytes) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(target, bytes.data(), bytes.size());
  return needed;
}
