// The character rules of the formula language. Formula text is GBK: a blank
// is any byte from 1 to 32, 127 or 255, byte 0 ends the text, and a
// double-byte character is a lead byte of 129 or more followed by a trail
// byte of 64 or more that is neither 127 nor 255.
#pragma once

#include <cstdint>

#include "platform/gbk.h"

namespace indexlex {

inline bool IsBlank(char c) {
  const uint8_t b = uint8_t(c);
  return (b >= 1 && b <= 32) || b == 127 || b == 255;
}
// 255 is a blank, so it never leads a character.
inline bool IsLead(char c) { return platform::IsGbkLead(uint8_t(c)); }
inline bool IsTrail(char c) { return platform::IsGbkTrail(uint8_t(c)); }
inline bool IsDoubleByte(const char *p) { return IsLead(p[0]) && IsTrail(p[1]); }
inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsNameStart(const char *p) { return IsUpper(*p) || *p == '_' || IsDoubleByte(p); }
inline char ToUpper(char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; }

const char *SkipBlanks(const char *p);
// Blanks and comments ({ ... }; an unclosed comment runs to the end).
const char *SkipBlanksAndComments(const char *p);
// Back from just before `end` over blanks and comments, not below begin;
// returns the position after the last significant byte.
const char *SkipBackBlanksAndComments(const char *begin, const char *end);
// The end of a name starting at p (A-Z, 0-9, "_" and double-byte characters).
const char *NameEnd(const char *p);

// Digits with at most one ".", at least one digit, shorter than 32 bytes.
bool IsNumberText(const char *p, int length);
// The value of such a text ("." first is read as "0." first).
double NumberFromText(const char *p, int length);

// Upper-cases the ASCII letters in place, leaving the trail bytes of
// double-byte characters alone.
void UpperCase(char *p);
// Case-insensitive comparison of a span with a NUL-terminated name, folding
// only ASCII letters outside double-byte characters.
bool SameName(const char *span, int length, const char *name);

}  // namespace indexlex
