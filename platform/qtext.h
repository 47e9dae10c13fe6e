// GBK text at the Qt boundary. Only sources that already use Qt include this.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstring>

#include "platform/gbk.h"

namespace platform {

inline QString FromUtf16(const std::u16string &text) {
  return QString(reinterpret_cast<const QChar *>(text.data()), qsizetype(text.size()));
}

// A NUL-terminated GBK string; null gives an empty string.
inline QString FromGbk(const char *gbk) {
  return gbk ? FromUtf16(GbkToUtf16(std::string_view(gbk))) : QString();
}

// At most len bytes of a fixed-size GBK field, ending early at a NUL as the
// field does; a negative len means NUL-terminated.
inline QString FromGbk(const char *gbk, int len) {
  if (!gbk) return QString();
  if (len < 0) return FromGbk(gbk);
  const void *nul = std::memchr(gbk, 0, size_t(len));
  const size_t size = nul ? size_t(static_cast<const char *>(nul) - gbk) : size_t(len);
  return FromUtf16(GbkToUtf16(std::string_view(gbk, size)));
}

// The installed families that draw a face the system names ("宋体" the
// fixed-width Chinese face), the Chinese face after it for missing glyphs:
// the same choice the drawing functions make.
QStringList FontFamiliesFor(const QString &face);

inline QByteArray ToGbk(const QString &text) {
  const std::string gbk = Utf16ToGbk(
      std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size())));
  return QByteArray(gbk.data(), qsizetype(gbk.size()));
}

}  // namespace platform
