#include "formula/lexer.h"

#include <charconv>
#include <cstring>

namespace indexlex {

const char *SkipBlanks(const char *p) {
  while (IsBlank(*p)) ++p;
  return p;
}

const char *SkipBlanksAndComments(const char *p) {
  for (;;) {
    while (IsBlank(*p)) ++p;
    if (*p != '{') return p;
    while (*p && *p != '}') ++p;
    if (*p) ++p;
  }
}

const char *SkipBackBlanksAndComments(const char *begin, const char *end) {
  for (;;) {
    while (end > begin && IsBlank(end[-1])) --end;
    if (end == begin || end[-1] != '}') return end;
    const char *open = end - 1;
    while (open > begin && *open != '{') --open;
    if (*open != '{') return end;  // a stray "}" is text
    end = open;
  }
}

const char *NameEnd(const char *p) {
  for (;;) {
    if (IsUpper(*p) || IsDigit(*p) || *p == '_') {
      ++p;
    } else if (IsDoubleByte(p)) {
      p += 2;
    } else {
      return p;
    }
  }
}

bool IsNumberText(const char *p, int length) {
  if (length <= 0 || length >= 32) return false;
  int dots = 0, digits = 0;
  for (int i = 0; i < length; ++i) {
    if (p[i] == '.') {
      if (++dots > 1) return false;
    } else if (IsDigit(p[i])) {
      ++digits;
    } else {
      return false;
    }
  }
  return digits > 0;
}

double NumberFromText(const char *p, int length) {
  char text[40];
  int n = 0;
  if (length > 0 && p[0] == '.') text[n++] = '0';
  if (length > 32) length = 32;
  std::memcpy(text + n, p, size_t(length));
  n += length;
  double value = 0;
  std::from_chars(text, text + n, value);
  return value;
}

void UpperCase(char *p) {
  while (*p) {
    if (IsDoubleByte(p)) {
      p += 2;
    } else {
      *p = ToUpper(*p);
      ++p;
    }
  }
}

bool SameName(const char *span, int length, const char *name) {
  int i = 0;
  for (; i < length; ++i) {
    if (!name[i]) return false;
    if (IsDoubleByte(span + i) && i + 1 < length) {
      if (span[i] != name[i] || span[i + 1] != name[i + 1]) return false;
      ++i;
      continue;
    }
    if (ToUpper(span[i]) != ToUpper(name[i])) return false;
  }
  return name[i] == 0;
}

}  // namespace indexlex
