#include "shell/statusbar.h"

#include <cstdio>
#include <cstring>

#include "platform/gdi.h"

namespace {

constexpr int kLabelX[3] = {9, 230, 458};
constexpr int kPriceX[3] = {79, 307, 535};
constexpr int kChangeX[3] = {142, 370, 598};
constexpr int kAmountX[3] = {212, 440, 668};
constexpr int kSeparatorX[3] = {220, 448, 676};
constexpr const char *kLabels[3] = {"沪", "深", "300"};

// A font selected into a device context for as long as it lives.
class TScopedFont {
 public:
  TScopedFont(HDC dc, const char *face, int height, int weight) : dc_(dc) {
    font_ = CreateFontA(-height, 0, 0, 0, weight, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, face);
    old_ = font_ ? SelectObject(dc, font_) : nullptr;
  }
  ~TScopedFont() {
    if (font_) {
      SelectObject(dc_, old_);
      DeleteObject(font_);
    }
  }
  TScopedFont(const TScopedFont &) = delete;
  TScopedFont &operator=(const TScopedFont &) = delete;

 private:
  HDC dc_;
  HFONT font_;
  HGDIOBJ old_;
};

SIZE Extent(HDC dc, const std::string &text) {
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), int(text.size()), &size);
  return size;
}

void Out(HDC dc, int x, int y, const std::string &text, COLORREF colour) {
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text.c_str(), int(text.size()));
}

void OutRight(HDC dc, int right, int y, const std::string &text, COLORREF colour) {
  Out(dc, right - Extent(dc, text).cx, y, text, colour);
}

void Line(HDC dc, int x0, int y0, int x1, int y1) {
  MoveToEx(dc, x0, y0, nullptr);
  LineTo(dc, x1, y1);
}

}  // namespace

TIndexTexts IndexTexts(const TIndexSlot &slot, uint32_t divisor) {
  if (divisor == 0) divisor = 1000;
  const uint32_t reference = slot.values[0], last = slot.values[1];
  float amount;
  std::memcpy(&amount, &slot.values[2], sizeof amount);
  const double change = reference && last ? (double(last) - double(reference)) / divisor : 0.0;
  char text[64];
  TIndexTexts out;
  std::snprintf(text, sizeof text, "%.2f", double(last) / divisor);
  out.price = text;
  std::snprintf(text, sizeof text, "%+.2f", change);
  out.change = text;
  std::snprintf(text, sizeof text, "%.2f亿", double(amount) * 0.00000001);
  out.amount = text;
  out.colour = last == reference ? 0 : (last > reference ? 1 : 2);
  return out;
}

int IndexSlotAt(int x) { return x < 220 ? 0 : (x < 448 ? 1 : 2); }

void PaintIndexPanel(HDC dc, int height, const TFrameSkin &skin, const TIndexSlot (&slots)[3],
                     const uint32_t (&divisors)[3]) {
  TScopedFont font(dc, "宋体", 12, 700);
  SetBkMode(dc, TRANSPARENT);
  const int h = Extent(dc, "沪").cy;
  const int y = (height - h) / 2;
  const COLORREF colours[3] = {skin.statusText, skin.statusTextRed, skin.statusTextGreen};
  HPEN pen = CreatePen(PS_SOLID, 1, skin.statusCol);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  for (int i = 0; i < 3; ++i) {
    Out(dc, kLabelX[i], y, kLabels[i], skin.statusText);
    const TIndexTexts t = IndexTexts(slots[i], divisors[i]);
    OutRight(dc, kPriceX[i], y, t.price, colours[t.colour]);
    OutRight(dc, kChangeX[i], y, t.change, colours[t.colour]);
    OutRight(dc, kAmountX[i], y, t.amount, skin.statusTextYellow);
    Line(dc, kSeparatorX[i], y + 1, kSeparatorX[i], y + h - 1);
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

int TickerItemAt(const TFrameCore::TickerItem *head, int offset, int panelWidth, int x) {
  int a = offset + x - panelWidth;
  if (a < -15) return -1;
  for (int i = 0; head; head = head->next, ++i) {
    if (a < head->width + 15) return i;
    a -= head->width + 30;
  }
  return -1;
}

void PaintTicker(HDC dc, int width, int height, const TFrameSkin &skin, const TFrameCore::TickerItem *head,
                 int offset) {
  if (!head) return;
  TScopedFont font(dc, "宋体", 12, 400);
  SetBkMode(dc, TRANSPARENT);
  const int y = (height - Extent(dc, "沪").cy) / 2;
  for (int x = width - offset; head && x < width; head = head->next) {
    Out(dc, x, y, head->text, skin.statusText);
    x += head->width + 30;
  }
}

void PaintConnection(HDC dc, int height, const TFrameSkin &skin, int tag, const char16_t (&word)[4]) {
  TScopedFont font(dc, "Tahoma", 16, 700);
  SetBkMode(dc, TRANSPARENT);
  const int lit = (tag < 0 ? -tag : tag) - 1;
  int x = 11, top = height;
  for (int i = 0; i < 4; ++i) {
    const char letter[2] = {char(word[i] < 128 ? word[i] : '?'), 0};
    const SIZE s = Extent(dc, letter);
    const int y = (height - s.cy) / 2;
    if (y < top) top = y;
    Out(dc, x, y, letter, i == lit ? skin.statusTextRed : skin.statusText);
    x += s.cx;
  }
  const int y = top;
  HPEN pen = CreatePen(PS_SOLID, 1, tag < 0 ? skin.statusTextRed : skin.statusText);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  // the antenna: a double bar, a two-pixel stem and the strokes joining them
  Line(dc, x + 10, y + 1, x + 21, y + 1);
  Line(dc, x + 10, y + 2, x + 21, y + 2);
  Line(dc, x + 14, y + 5, x + 14, y + 13);
  Line(dc, x + 15, y + 5, x + 15, y + 13);
  Line(dc, x + 12, y + 3, x + 14, y + 6);
  Line(dc, x + 18, y + 3, x + 15, y + 6);
  auto bar = [&](int left, int from) {
    Line(dc, left, from, left, y + 14);
    Line(dc, left + 1, from, left + 1, y + 14);
  };
  if (tag == 0) {
    Line(dc, x + 21, y + 5, x + 29, y + 14);
    Line(dc, x + 28, y + 5, x + 20, y + 14);
  } else if (tag < 0) {
    bar(x + 20, y + 11);
    bar(x + 23, y + 8);
  } else {
    for (int i = 0; i < 4; ++i) bar(x + 20 + 3 * i, y + 11 - 3 * i);
  }
  SelectObject(dc, oldPen);
  DeleteObject(pen);
}

std::string ClockText(int minute) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", (minute / 60 + 8) % 24, minute % 60);
  return text;
}

int ClockFontHeight(HDC dc, int width) {
  // The clock is drawn at x 1; a face wider than the one it was laid out
  // for steps down until "00:00" fits the panel.
  int height = 16;
  for (; height > 8; --height) {
    TScopedFont font(dc, "Arial", height, 400);
    if (1 + Extent(dc, "00:00").cx <= width) break;
  }
  return height;
}

TClockFont::~TClockFont() {
  if (font_) DeleteObject(font_);
}

HFONT TClockFont::For(HDC dc, int width) {
  if (font_ && width == width_) return font_;
  if (font_) DeleteObject(font_);
  font_ = CreateFontA(-ClockFontHeight(dc, width), 0, 0, 0, 400, 0, 0, 0, GB2312_CHARSET, 0, 0, 0, 0, "Arial");
  width_ = width;
  return font_;
}

void PaintClock(HDC dc, int width, int height, const TFrameSkin &skin, int minute, TClockFont &font) {
  HFONT face = font.For(dc, width);
  HGDIOBJ old = face ? SelectObject(dc, face) : nullptr;
  SetBkMode(dc, TRANSPARENT);
  const std::string text = ClockText(minute);
  Out(dc, 1, (height - Extent(dc, "0").cy) / 2, text, skin.statusText);
  if (face) SelectObject(dc, old);
}

void PaintPageName(HDC dc, int width, int height, COLORREF back, COLORREF text, const char *name) {
  HBRUSH brush = CreateSolidBrush(back);
  RECT r{0, 0, width, height};
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  TScopedFont font(dc, "Tahoma", 14, 700);
  SetBkMode(dc, TRANSPARENT);
  Out(dc, 2, -1, name ? name : "", text);
}
