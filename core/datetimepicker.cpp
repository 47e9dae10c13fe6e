#include "core/datetimepicker.h"

#include <algorithm>
#include <cstdio>

#include "classlib/graphics.h"
#include "platform/gdi.h"

int DaysInMonth(int year, int month) {
  static const int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 31;
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return lengths[month - 1];
}

TDateTimePicker::TDateTimePicker(TComponent *owner) : TCustomControl(owner) {
  TabStop = true;
  SetBounds(0, 0, 100, 21);
  SetColor(clWindow);
}

void TDateTimePicker::SetDate(int year, int month, int day) {
  parts_[0] = std::clamp(year, 1601, 4095);
  parts_[1] = std::clamp(month, 1, 12);
  parts_[2] = std::clamp(day, 1, DaysInMonth(parts_[0], parts_[1]));
  Invalidate();
}

void TDateTimePicker::SetTime(int hour, int minute, int second) {
  time_[0] = std::clamp(hour, 0, 23);
  time_[1] = std::clamp(minute, 0, 59);
  time_[2] = std::clamp(second, 0, 59);
  Invalidate();
}

std::string TDateTimePicker::DisplayText() const {
  char text[32];
  if (Kind == dtkDate)
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts_[0], parts_[1], parts_[2]);
  else
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time_[0], time_[1], time_[2]);
  return text;
}

void TDateTimePicker::Changed() {
  Invalidate();
  if (OnChange) OnChange(this);
}

void TDateTimePicker::StepPart(int delta) {
  if (Kind == dtkDate) {
    int y = parts_[0], m = parts_[1], d = parts_[2];
    if (part_ == 0) y = std::clamp(y + delta, 1601, 4095);
    if (part_ == 1) m = (m - 1 + delta + 12) % 12 + 1;
    if (part_ == 2) d = (d - 1 + delta + DaysInMonth(y, m)) % DaysInMonth(y, m) + 1;
    SetDate(y, m, d);
  } else {
    const int limit = part_ == 0 ? 24 : 60;
    time_[part_] = (time_[part_] + delta + limit) % limit;
  }
  Changed();
}

LRESULT TDateTimePicker::DialogCode() { return DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TDateTimePicker::KeyDown(WORD &key, TShiftState shift) {
  switch (key) {
    case VK_LEFT: part_ = std::max(0, part_ - 1), typed_ = 0, Invalidate(), key = 0; break;
    case VK_RIGHT: part_ = std::min(2, part_ + 1), typed_ = 0, Invalidate(), key = 0; break;
    case VK_UP: typed_ = 0, StepPart(+1), key = 0; break;
    case VK_DOWN: typed_ = 0, StepPart(-1), key = 0; break;
    default: break;
  }
  TCustomControl::KeyDown(key, shift);
}

void TDateTimePicker::WMChar(TWMChar &msg) {
  const char c = char(msg.CharCode);
  if (c < '0' || c > '9') {
    TCustomControl::WMChar(msg);
    return;
  }
  // Digits fill the part from the right; a full part moves on.
  const int width = Kind == dtkDate && part_ == 0 ? 4 : 2;
  int *value = Kind == dtkDate ? &parts_[part_] : &time_[part_];
  *value = typed_ == 0 ? c - '0' : *value * 10 + (c - '0');
  ++typed_;
  if (Kind == dtkDate) {
    if (typed_ >= width || part_ != 0) SetDate(parts_[0], parts_[1], parts_[2]);
  } else {
    SetTime(time_[0], time_[1], time_[2]);
  }
  if (typed_ >= width) {
    typed_ = 0;
    if (part_ < 2) ++part_;
  }
  Changed();
  msg.Result = 0;
}

void TDateTimePicker::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (CanFocus()) SetFocus();
  // The part under the mouse, by the text's thirds.
  const int third = std::max(1, Width() / 3);
  part_ = std::clamp(x / third, 0, 2);
  typed_ = 0;
  Invalidate();
  TCustomControl::MouseDown(button, shift, x, y);
}

void TDateTimePicker::WMFocus(TWMFocus &msg) {
  typed_ = 0;
  if (Kind == dtkDate) SetDate(parts_[0], parts_[1], parts_[2]);
  Invalidate();
  TCustomControl::WMFocus(msg);
}

void TDateTimePicker::Paint() {
  HDC dc = Canvas()->Handle();
  const TRect r = ClientRect();
  RECT all{r.Left, r.Top, r.Right, r.Bottom};
  HBRUSH back = CreateSolidBrush(ColorToRGB(clWindow));
  FillRect(dc, &all, back);
  DeleteObject(back);
  HBRUSH frame = CreateSolidBrush(0x7F9DB9);
  FrameRect(dc, &all, frame);
  DeleteObject(frame);
  const std::string text = DisplayText();
  // Parts start at 0, 5, 8 (date) or 0, 3, 6 (time).
  const int starts[2][3] = {{0, 5, 8}, {0, 3, 6}};
  const int lengths[2][3] = {{4, 2, 2}, {2, 2, 2}};
  const int k = Kind == dtkDate ? 0 : 1;
  SIZE before{0, 0}, part{0, 0};
  GetTextExtentPoint32A(dc, text.c_str(), starts[k][part_], &before);
  GetTextExtentPoint32A(dc, text.c_str() + starts[k][part_], lengths[k][part_], &part);
  const int x = r.Left + 4, y = r.Top + (r.Height() - part.cy) / 2;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, 0x000000);
  TextOutA(dc, x, y, text.c_str(), int(text.size()));
  if (Focused()) {
    RECT mark{x + before.cx, y, x + before.cx + part.cx, y + part.cy};
    HBRUSH hl = CreateSolidBrush(ColorToRGB(clHighlight));
    FillRect(dc, &mark, hl);
    DeleteObject(hl);
    SetTextColor(dc, 0xFFFFFF);
    TextOutA(dc, mark.left, y, text.c_str() + starts[k][part_], lengths[k][part_]);
  }
}
