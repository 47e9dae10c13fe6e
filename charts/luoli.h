// The spiral-calendar aid: a small table the K-line view paints over the
// corner of its main window, listing for the date under the cursor the
// dates trunc(sqrt(n) x P) days later for nine Fibonacci numbers n (rows)
// and four periods P (columns: Sun, Moon, Mer2, Mer1). Dates are YYYYMMDD
// numbers and print as "yy-mm-dd".
#pragma once

#include <cstddef>

#include "platform/windef.h"

// A shifted date: the value with the day part grown by the shift less whole
// hundreds of days, which go to the carry.
struct LuoliDate {
  double value;
  int carry;
};

LuoliDate LuoliCellDate(double date, int row, int column);
// Normalises a date value (and its carry of hundreds of days) into a real
// day and prints it "yy-mm-dd"; years past 2099 print their last two digits.
void FormatLuoliDate(char *buffer, size_t size, double value, int carry = 0);
// Paints the table with its top-left corner at (left, top); the rectangle
// it covers.
void DrawLuoliTable(RECT *covered, HDC dc, int left, int top, double date);
