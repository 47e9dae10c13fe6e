#include "charts/luoli.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/gdi.h"
#include "views/viewdisplay.h"

namespace {

constexpr int kRows[9] = {1, 2, 3, 5, 8, 13, 21, 34, 55};
constexpr double kPeriods[4] = {25.2, 29.53, 87.97, 58.6};
const char *const kHeadings[4] = {"Sun", "Moon", "Mer2", "Mer1"};

int MonthLength(int month, int year) {
  static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && (year % 400 == 0 || (year % 100 != 0 && year % 4 == 0))) return 29;
  return lengths[(month - 1) % 12];
}

}  // namespace

LuoliDate LuoliCellDate(double date, int row, int column) {
  if (row < 0 || row > 8) row = 0;
  if (column < 0 || column > 3) column = 0;
  const double b = std::sqrt(double(kRows[row])) * kPeriods[column];
  const long long d = (long long)(date) % 100;
  const int c = int((d + b) * 0.01);
  return LuoliDate{date + b - 100.0 * c, c};
}

void FormatLuoliDate(char *buffer, size_t size, double value, int carry) {
  const long long a = (long long)(value);
  int m = int((a % 10000) / 100);
  int y = int((a / 10000) % 100) + m / 12 - (m % 12 == 0 ? 1 : 0);
  if (m % 12 == 0) m = 12;
  long long e = a % 100 + 100LL * carry;
  if (m < 1) m = 1;
  if (e < 1) {
    // The last day of the month before.
    if (--m < 1) {
      m = 12;
      --y;
    }
    e = MonthLength(m, y);
  }
  while (e > MonthLength(m, y)) {
    e -= MonthLength(m, y);
    if (++m > 12) {
      m = 1;
      ++y;
    }
  }
  std::snprintf(buffer, size, "%02d-%02d-%02d", ((y % 100) + 100) % 100, m, int(e));
}

void DrawLuoliTable(RECT *covered, HDC dc, int left, int top, double date) {
  const VIEWFONTDEF &entry = ViewFont(10);
  const int s = entry.size;
  const int cw = 4 * s + 5, lh = s + 1;
  char face[16] = {};
  std::memcpy(face, entry.face, sizeof entry.face);
  HFONT font = CreateFontA(-s, 0, 0, 0, (entry.style & 1) ? FW_BOLD : 400, (entry.style & 2) ? 1 : 0,
                           (entry.style & 4) ? 1 : 0, (entry.style & 8) ? 1 : 0, DEFAULT_CHARSET, 0, 0, 0, 0, face);
  HBRUSH brush = CreateSolidBrush(ViewColor(1));
  HPEN pen = CreatePen(PS_SOLID, 1, ViewColor(13));
  HGDIOBJ oldFont = SelectObject(dc, font), oldBrush = SelectObject(dc, brush), oldPen = SelectObject(dc, pen);
  const int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF oldColour = SetTextColor(dc, ViewColor(30));
  const RECT box{left, top, left + 4 * cw - 2, top + 11 * lh};
  Rectangle(dc, box.left, box.top, box.right, box.bottom);
  char text[32];
  FormatLuoliDate(text, sizeof text, date);
  TextOutA(dc, int(left + 1.5 * cw), top + 1, text, int(std::strlen(text)));
  for (int k = 0; k < 4; ++k)
    TextOutA(dc, left + s + k * cw, top + lh, kHeadings[k], int(std::strlen(kHeadings[k])));
  for (int r = 0; r < 9; ++r)
    for (int c = 0; c < 4; ++c) {
      const LuoliDate cell = LuoliCellDate(date, r, c);
      FormatLuoliDate(text, sizeof text, cell.value, cell.carry);
      TextOutA(dc, left + 2 + c * cw, top + (2 + r) * lh, text, int(std::strlen(text)));
    }
  SetTextColor(dc, oldColour);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  SelectObject(dc, oldBrush);
  SelectObject(dc, oldPen);
  DeleteObject(font);
  DeleteObject(brush);
  DeleteObject(pen);
  if (covered) *covered = box;
}
