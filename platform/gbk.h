// The one converter between the system's GBK text and Unicode. Text stays
// GBK inside the system and is converted only where it meets Qt or a UTF-8
// consumer. Malformed input never fails: a bad or truncated GBK sequence
// becomes U+FFFD, a UTF-16 unit that cannot be encoded becomes '?'.
#pragma once

#include <string>
#include <string_view>

#include "platform/windef.h"

typedef WCHAR *LPWSTR;
typedef const WCHAR *LPCWSTR;

namespace platform {

// The bytes of GBK text: a lead byte (0x81..0xFE) and a trail byte
// (0x40..0x7E, 0x80..0xFE) make one double-byte character; every other
// byte, and a lead byte without a trail byte after it, stands alone.
constexpr bool IsGbkLead(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
constexpr bool IsGbkTrail(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }
// Whether text[i] and text[i + 1] are one double-byte character.
inline bool IsGbkPair(std::string_view text, size_t i) {
  return i + 1 < text.size() && IsGbkLead(static_cast<unsigned char>(text[i])) &&
         IsGbkTrail(static_cast<unsigned char>(text[i + 1]));
}
// The bytes of text to keep so that at most limit bytes remain and no
// double-byte character is cut in two.
size_t GbkCutLength(std::string_view text, size_t limit);
// Copies a NUL-terminated (or size-bounded) text into out[size], cut on a
// whole character to at most size - 1 bytes, and ends it with a NUL; the
// bytes after it are zero.
void GbkCopyCut(const char *text, size_t textSize, char *out, size_t size);

std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view text);
std::string GbkToUtf8(std::string_view gbk);
// Malformed UTF-8 bytes become '?'.
std::string Utf8ToGbk(std::string_view utf8);

}  // namespace platform

// Code page 0 (the ANSI code page) is GBK here, as on a Chinese system, the
// same as 936.
constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// Win32 conventions: a source length of -1 means NUL-terminated, the NUL
// included in the result; an output size of 0 asks for the size needed;
// a buffer too small gives 0 with ERROR_INSUFFICIENT_BUFFER. Flags are
// accepted and ignored.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR source, int sourceBytes, LPWSTR target,
                        int targetChars);
// defaultChar (its first byte) replaces what GBK cannot hold, and
// *usedDefaultChar tells whether that happened; both must be null for UTF-8.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR source, int sourceChars, LPSTR target,
                        int targetBytes, LPCSTR defaultChar, BOOL *usedDefaultChar);
