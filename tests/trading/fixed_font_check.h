// Whether a text pane's font keeps the columns of a text table: every
// single-byte character one width and a Chinese character two of them.
#pragma once

#include <string>

#include "classlib/graphics.h"
#include "platform/gdi.h"

namespace trading_test {

inline std::string TableFontProblem(TFont *font) {
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font->Handle());
  const auto width = [dc](const char *text) {
    SIZE size{0, 0};
    GetTextExtentPoint32A(dc, text, int(std::char_traits<char>::length(text)), &size);
    return int(size.cx);
  };
  const int narrow = width("iiii"), wide = width("WWWW"), digits = width("1.00"), chinese = width("成交");
  SelectObject(dc, old);
  DeleteDC(dc);
  if (narrow <= 0 || narrow != wide || narrow != digits)
    return "single-byte widths differ: " + std::to_string(narrow) + " " + std::to_string(wide) + " " +
           std::to_string(digits);
  if (chinese != narrow) return "two Chinese characters take " + std::to_string(chinese) + ", four others " +
                                std::to_string(narrow);
  return "";
}

}  // namespace trading_test
