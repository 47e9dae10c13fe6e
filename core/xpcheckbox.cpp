#include "core/xpcheckbox.h"

#include <algorithm>

namespace {

constexpr COLORREF Hex(uint32_t rrggbb) { return RGB(BYTE(rrggbb >> 16), BYTE(rrggbb >> 8), BYTE(rrggbb)); }

// Ramps over the inner cells, by (x - 1) + (y - 1).
constexpr uint32_t kNormalRamp[21] = {0xDCDCD7, 0xDCDCD7, 0xDCDCD7, 0xDEDED9, 0xE0E0DB, 0xE2E2DE, 0xE5E5E2,
                                      0xE8E8E5, 0xECECE9, 0xEFEFEC, 0xF1F1EF, 0xF3F3F1, 0xF5F5F4, 0xF7F7F6,
                                      0xF9F9F8, 0xFBFBFA, 0xFDFDFC, 0xFEFEFE, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF};
constexpr uint32_t kPressedRamp[21] = {0xB0B0A7, 0xB0B0A7, 0xB0B0A7, 0xB3B3AA, 0xB7B7AD, 0xBCBBB1, 0xC1C1B6,
                                       0xC7C6BB, 0xCDCCC0, 0xD2D1C5, 0xD7D5C8, 0xDBDACC, 0xDFDDCF, 0xE3E1D3,
                                       0xE6E5D6, 0xEAE8D9, 0xEDEBDB, 0xEFEDDD, 0xF1EFDF, 0xF1EFDF, 0xF1EFDF};
constexpr uint32_t kHotRamp[21] = {0xFFF0CF, 0xFFEDC6, 0xFFE9BA, 0xFEE4AC, 0xFEDF9C, 0xFDD98C, 0xFDD684,
                                   0xFCD37C, 0xFCD074, 0xFBCC6B, 0xFBC863, 0xFAC55A, 0xFAC254, 0xFAC04E,
                                   0xF9BD48, 0xF9BB43, 0xF9B93E, 0xF9B73A, 0xF8B636, 0xF8B433, 0xF8B330};

constexpr COLORREF kBorder = RGB(28, 81, 128);
constexpr COLORREF kDisabled = RGB(202, 200, 187);

}  // namespace

COLORREF XPCheckBoxCell(TXPButtonState state, int x, int y) {
  if (x == 0 || y == 0 || x == 12 || y == 12) return kBorder;
  int index = (x - 1) + (y - 1);
  switch (state) {
    case xpsPressed: return Hex(kPressedRamp[index]);
    case xpsHot:
      if (x >= 3 && x <= 9 && y >= 3 && y <= 9) return RGB(231, 231, 227);
      return Hex(kHotRamp[index]);
    default: return Hex(kNormalRamp[index]);
  }
}

void TXPCheckBox::DrawCheckMarker(HDC dc, int t, bool enabled) {
  static constexpr POINT kMark[] = {{10, 3}, {9, 4}, {10, 4}, {4, 5}, {8, 5}, {9, 5}, {10, 5}, {4, 6}, {5, 6},
                                    {7, 6},  {8, 6}, {9, 6},  {4, 7}, {5, 7}, {6, 7}, {7, 7},  {8, 7}, {5, 8},
                                    {6, 8},  {7, 8}, {6, 9}};
  COLORREF color = enabled ? RGB(33, 161, 33) : kDisabled;
  for (POINT p : kMark) SetPixel(dc, p.x, t + p.y, color);
}

// ---- TXPCheckBox --------------------------------------------------------------------------
TXPCheckBox::TXPCheckBox(TComponent *owner) : TCheckBox(owner), images_(this) {}

TXPCheckBox::~TXPCheckBox() = default;

void TXPCheckBox::SetImages(TCustomImageList *list) {
  if (images_.Set(list) && HandleAllocated()) InvalidateRect(Handle(), nullptr, TRUE);
}

void TXPCheckBox::SetImage(ImageSlot slot, int32_t index) {
  imageIndex_[slot] = index;
  if (HandleAllocated()) XPRepaint(Handle());
}

void TXPCheckBox::Notification(TComponent *component, TOperation operation) {
  TCheckBox::Notification(component, operation);
  images_.Notification(component, operation);
}

TXPButtonState TXPCheckBox::DrawState() const {
  if (!Enabled()) return xpsDisabled;
  if (mouse_.FPressed) return xpsPressed;
  if (mouse_.FHot) return xpsHot;
  return xpsNormal;
}

void TXPCheckBox::OnPaint(HDC dc) {
  const int w = Width(), h = Height(), t = XPBoxTop(h);
  const TXPButtonState state = DrawState();
  const bool checked = Checked();
  XPFillButtonBackground(Handle(), dc, w, h);
  if (Images()) {
    ImageSlot slot = state == xpsDisabled ? kDisable : state == xpsPressed ? kDown : state == xpsHot ? kHover : kNormal;
    images_.Draw(dc, imageIndex_[checked ? slot + kChecked : slot]);
  } else if (state == xpsDisabled) {
    HBRUSH brush = CreateSolidBrush(kDisabled);
    RECT box{1, t, 14, t + 13};
    FrameRect(dc, &box, brush);
    DeleteObject(brush);
    if (checked) DrawCheckMarker(dc, t, false);
  } else {
    for (int y = 0; y < 13; ++y)
      for (int x = 0; x < 13; ++x) SetPixel(dc, 1 + x, t + y, XPCheckBoxCell(state, x, y));
    if (checked) DrawCheckMarker(dc, t, true);
  }
  DrawCaption(dc);
}

void TXPCheckBox::DrawCaption(HDC dc) {
  const int w = Width(), h = Height();
  if (w <= 17) return;
  SIZE text{};
  COLORREF color = Enabled() ? ColorToRGB(Font()->Color()) : kXPDisabledText;
  XPDrawText(Handle(), dc, Caption(), RECT{19, 0, w, h}, DT_LEFT | DT_TOP | DT_WORDBREAK, color, &text);
  LRESULT buttonState = SendMessageA(Handle(), BM_GETSTATE, 0, 0);
  if (mouse_.FPressed || (buttonState & BST_FOCUS)) {
    if (!FFocusDrawn) {
      FFocusDrawn = 1;
      if (OnEnter) OnEnter(this);
    }
    // The halves are rounded down.
    RECT focus{17, std::max(((h - text.cy) >> 1) - 1, 0), std::min(17 + text.cx + 3, w), std::min((h + text.cy) >> 1, h)};
    DrawFocusRect(dc, &focus);
  } else if (FFocusDrawn) {
    FFocusDrawn = 0;
    if (OnExit) OnExit(this);
  }
}

void TXPCheckBox::WndProc(TMessage &m) {
  XPOwnerDrawWndProc(this, m, mouse_, {CM_ENABLEDCHANGED, CM_CHANGED, CN_DRAWITEM}, [this](HDC dc) { OnPaint(dc); },
                     [this](TMessage &message) { TCheckBox::WndProc(message); });
}

namespace xpcheckbox {
void Register() { RegisterComponent(kXPPalettePage, "TXPCheckBox"); }
}  // namespace xpcheckbox
