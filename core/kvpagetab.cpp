#include "core/kvpagetab.h"

#include <algorithm>
#include <cstdlib>

#include "platform/gdi.h"
#include "platform/winctrl.h"

COLORREF LightenColor(COLORREF color, int percent) {
  int p = std::clamp(percent, 0, 100);
  auto up = [p](int c) { return BYTE(c + (255 - c) * p / 100); };
  return RGB(up(GetRValue(color)), up(GetGValue(color)), up(GetBValue(color)));
}

namespace {

// Pen and brush selected for one shape, put back when it goes.
class Tools {
 public:
  Tools(HDC dc, COLORREF pen, COLORREF brush) : dc_(dc) {
    pen_ = CreatePen(PS_SOLID, 1, pen);
    brush_ = CreateSolidBrush(brush);
    oldPen_ = SelectObject(dc, pen_);
    oldBrush_ = SelectObject(dc, brush_);
  }
  ~Tools() {
    SelectObject(dc_, oldPen_);
    SelectObject(dc_, oldBrush_);
    DeleteObject(pen_);
    DeleteObject(brush_);
  }

 private:
  HDC dc_;
  HPEN pen_;
  HBRUSH brush_;
  HGDIOBJ oldPen_, oldBrush_;
};

void ClippedText(HDC dc, const RECT &clip, int x, int y, const std::string &text) {
  ExtTextOutA(dc, x, y, ETO_CLIPPED, &clip, text.c_str(), UINT(text.size()), nullptr);
}

}  // namespace

TKVPageTab::TKVPageTab(TComponent *owner) : TCustomControl(owner) {
  SetParentFont(false);
  SetColor(clBackground);
  Font()->SetName("Tahoma");
  Font()->SetSize(9);
  Font()->SetStyle(fsBold);
  Font()->SetColor(clWhite);
  TabStop = true;
  SetBounds(Left(), Top(), 188, 24);
  CalculateTabRects();
}

TKVPageTab::~TKVPageTab() = default;

void TKVPageTab::Changed() {
  if (HandleAllocated()) {
    Invalidate();
    Update();
  }
}

void TKVPageTab::SetActiveFontColor(TColor c) {
  activeFontColor_ = c;
  Changed();
}
void TKVPageTab::SetBorderColor(TColor c) {
  borderColor_ = c;
  Changed();
}
void TKVPageTab::SetArrowColor(TColor c) {
  arrowColor_ = c;
  Changed();
}
void TKVPageTab::SetButtonColor(TColor c) {
  buttonColor_ = c;
  Changed();
}
void TKVPageTab::SetActiveButtonColor(TColor c) {
  activeButtonColor_ = c;
  Changed();
}
void TKVPageTab::SetSlope(int slope) {
  layout_.slope = slope;
  CalculateTabRects();
  Changed();
}
void TKVPageTab::SetFontColor(TColor c) { Font()->SetColor(c); }
void TKVPageTab::ColorChanged() {
  TCustomControl::ColorChanged();
  Changed();
}
void TKVPageTab::FontChanged() {
  TCustomControl::FontChanged();
  CalculateTitlesWidth();
  Changed();
}

void TKVPageTab::SetTitles(const TStrings &titles) {
  titles_.clear();
  for (int i = 0; i < titles.Count() && i < PageTabLayout::kMaxTitles; ++i) titles_.push_back(titles.Get(i));
  layout_.first = layout_.end = layout_.active = 0;
  CalculateTitlesWidth();
  Changed();
}

void TKVPageTab::ClearTitle() {
  titles_.clear();
  layout_.first = layout_.end = layout_.active = 0;
  CalculateTitlesWidth();
  Changed();
}

void TKVPageTab::AddTitle(const char *text) {
  if (text == nullptr || int(titles_.size()) >= PageTabLayout::kMaxTitles) return;
  titles_.push_back(text);
  CalculateTitlesWidth();
  Changed();
}

void TKVPageTab::SetActiveTabItem(int n) {
  CalculateTitlesWidth();
  if (!layout_.SetActive(n)) return;
  if (OnTitleChange) OnTitleChange(this, n);
  Changed();
}

void TKVPageTab::CalculateTitlesWidth() {
  layout_.widths.clear();
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, Font()->Handle());
  for (const std::string &t : titles_) {
    SIZE s{};
    GetTextExtentPoint32A(dc, t.c_str(), int(t.size()), &s);
    layout_.widths.push_back(int(s.cx));
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  CalculateTabRects();
}

void TKVPageTab::CalculateTabRects() {
  layout_.width = Width();
  layout_.height = Height();
  layout_.button = std::abs(Font()->Height());
  layout_.CalculateTabRects();
}

void TKVPageTab::Paint() {
  HDC dc = Canvas()->Handle();
  PaintSpinButtons(dc);
  CalculateTitlesWidth();
  PaintTitles(dc);
}

void TKVPageTab::PaintSpinButtons(HDC dc) {
  int W = Width(), H = Height(), B = std::abs(Font()->Height());
  {
    Tools t(dc, ColorToRGB(borderColor_), ColorToRGB(buttonColor_));
    Rectangle(dc, 0, 0, B, H);
    Rectangle(dc, W - B, 0, W, H);
  }
  int cx = B / 2, cr = W - B / 2, my = H / 2;
  int dl = spin_ == 0 ? -1 : 0, dr = spin_ == 1 ? 1 : 0;
  POINT left[3] = {{cx - 2 + dl, my}, {cx + 2 + dl, my - 4}, {cx + 2 + dl, my + 4}};
  POINT right[3] = {{cr + 2 + dr, my}, {cr - 2 + dr, my - 4}, {cr - 2 + dr, my + 4}};
  Tools t(dc, ColorToRGB(arrowColor_), ColorToRGB(arrowColor_));
  Polygon(dc, left, 3);
  Polygon(dc, right, 3);
}

void TKVPageTab::PaintTitles(HDC dc) {
  int W = Width(), H = Height(), S = layout_.slope, B = layout_.button;
  RECT strip{B, 0, W - B, H};
  HBRUSH back = CreateSolidBrush(ColorToRGB(Color()));
  FillRect(dc, &strip, back);
  DeleteObject(back);
  HGDIOBJ oldFont = SelectObject(dc, Font()->Handle());
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ColorToRGB(Font()->Color()));
  int fontHeight = std::abs(Font()->Height());
  for (int i = std::max(layout_.first - 1, 0); i < layout_.end; ++i) {
    if (i == layout_.active) continue;
    const RECT *r = layout_.TabRect(i);
    if (r == nullptr) continue;
    Tools t(dc, ColorToRGB(borderColor_), ColorToRGB(buttonColor_));
    if (i == layout_.first - 1) {
      if (S != 0) {
        POINT tri[3] = {{B, 0}, {B + 2 * S, 0}, {B, H}};
        Polygon(dc, tri, 3);
      }
      continue;
    }
    POINT trap[4] = {{r->left - S, r->top}, {r->right + S, r->top}, {r->right - S, r->bottom}, {r->left + S, r->bottom}};
    Polygon(dc, trap, 4);
    ClippedText(dc, *r, r->left + 2 * S + 4, r->top + (r->bottom - r->top - fontHeight) / 2, titles_[size_t(i)]);
  }
  PaintActiveTitle(dc);
  SelectObject(dc, oldFont);
}

void TKVPageTab::PaintActiveTitle(HDC dc) {
  int a = layout_.active;
  if (a < layout_.first - 1 || a >= layout_.end || a >= int(titles_.size())) return;
  const RECT *r = layout_.TabRect(a);
  if (r == nullptr) return;
  int S = layout_.slope, B = layout_.button, H = Height();
  COLORREF fill = ColorToRGB(activeButtonColor_);
  if (a == layout_.first - 1) {
    Tools t(dc, fill, fill);
    POINT tri[3] = {{B, 0}, {B + 2 * S, 0}, {B, H}};
    Polygon(dc, tri, 3);
    return;
  }
  {
    Tools t(dc, fill, fill);
    POINT trap[4] = {{r->left - S, r->top}, {r->right + S, r->top}, {r->right - S, r->bottom}, {r->left + S, r->bottom}};
    Polygon(dc, trap, 4);
  }
  if (S == 0) {
    // A band lightening from the middle row outwards.
    int T = r->top, Bt = r->bottom, mid = (T + Bt) / 2, span = Bt - T;
    COLORREF base = ColorToRGB(buttonColor_);
    auto row = [&](int y) {
      HPEN pen = CreatePen(PS_SOLID, 1, LightenColor(base, span > 0 ? std::abs(y - mid) * 80 / span : 0));
      HGDIOBJ old = SelectObject(dc, pen);
      MoveToEx(dc, r->left, y, nullptr);
      LineTo(dc, r->right, y);
      SelectObject(dc, old);
      DeleteObject(pen);
    };
    for (int y = mid; y >= T + 1; --y) row(y);
    for (int y = mid; y <= Bt - 1; ++y) row(y);
  }
  const std::string &title = titles_[size_t(a)];
  SetTextColor(dc, ColorToRGB(activeFontColor_));
  SetBkMode(dc, TRANSPARENT);
  int width = layout_.widths[size_t(a)];
  ClippedText(dc, *r, r->left + (r->right - r->left - width) / 2,
              r->top + (r->bottom - r->top - std::abs(Font()->Height())) / 2, title);
}

void TKVPageTab::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (button != mbLeft) return;
  int W = Width(), B = layout_.button;
  CalculateTabRects();
  if (x < B) {
    spin_ = 0;
    layout_.ScrollLeft();
    Changed();
    return;
  }
  if (x >= W - B) {
    spin_ = 1;
    layout_.ScrollRight();
    Changed();
    return;
  }
  int i = layout_.TabAt(x, y);
  if (i >= 0 && layout_.Click(i)) {
    Changed();
    if (OnTitleChange) OnTitleChange(this, i);
  }
}

void TKVPageTab::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseUp(button, shift, x, y);
  spin_ = 255;
  Changed();
}

void TKVPageTab::KeyDown(WORD &key, TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  CalculateTabRects();
  bool moved = false;
  if (key == VK_LEFT) moved = layout_.ScrollLeft();
  if (key == VK_RIGHT) moved = layout_.ScrollRight();
  if (moved) Changed();
}

void TKVPageTab::KeyUp(WORD &, TShiftState) {}

LRESULT TKVPageTab::DialogCode() { return TCustomControl::DialogCode() | DLGC_WANTARROWS; }
