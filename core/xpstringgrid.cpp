#include "core/xpstringgrid.h"

#include "platform/gdi.h"
#include "platform/winuser.h"

namespace {

constexpr COLORREF kGridLine = RGB(192, 192, 192);
constexpr UINT kCellText = DT_SINGLELINE | DT_VCENTER | DT_LEFT;

}  // namespace

void TXPStringGrid::WndProc(TMessage &message) {
  if (XPHandlePaint(Handle(), message, [this](HDC dc) { OnPaint(dc); })) return;
  // The base class, then the flat frame after WM_NCPAINT.
  TXPFlat<TStringGrid>::WndProc(message);
}

void TXPStringGrid::OnPaint(HDC dc) {
  RECT client;
  GetClientRect(Handle(), &client);
  const int W = client.right, H = client.bottom;
  const int fixedRows = FixedRows(), fixedCols = FixedCols();
  const int rows = RowCount(), cols = ColCount();
  const int top = TopRow(), left = LeftCol();

  XPFill(dc, RECT{0, 0, W, H}, ColorToRGB(Color()));

  int fixedHeight = 0, bottom = 0;
  for (int r = 0; r < fixedRows; ++r) fixedHeight += RowHeights(r);
  bottom = fixedHeight;
  for (int r = top; r < rows && bottom < H; ++r) bottom += RowHeights(r) + 1;
  int fixedWidth = 0, right = 0;
  for (int c = 0; c < fixedCols; ++c) fixedWidth += ColWidths(c);
  right = fixedWidth;
  for (int c = left; c < cols && right < W; ++c) right += ColWidths(c) + 1;

  COLORREF fixedColour = ColorToRGB(FixedColor());
  if (fixedRows > 0) XPFill(dc, RECT{0, 0, right, fixedHeight}, fixedColour);
  if (fixedCols > 0) XPFill(dc, RECT{0, 0, fixedWidth, bottom}, fixedColour);

  HPEN pen = CreatePen(PS_SOLID, 1, kGridLine);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  auto across = [&](int y) {
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, right + 1, y);
  };
  auto down = [&](int x) {
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, bottom);
  };
  int y = 0;
  for (int r = 0; r < fixedRows && y < H; ++r) across(y += RowHeights(r));
  for (int r = top; r < rows && y < H; ++r) across(y += RowHeights(r) + 1);
  int x = 0;
  for (int c = 0; c < fixedCols && x < W; ++c) down(x += ColWidths(c));
  for (int c = left; c < cols && x < W; ++c) down(x += ColWidths(c) + 1);
  SelectObject(dc, oldPen);
  DeleteObject(pen);

  TFont *font = Font();
  TFontStyles style = font->Style();
  HFONT made = CreateFontA(font->Height(), 0, 0, 0, (style & fsBold) ? 700 : 400, (style & fsItalic) ? 1 : 0,
                           (style & fsUnderline) ? 1 : 0, (style & fsStrikeOut) ? 1 : 0, DEFAULT_CHARSET, 0, 0, 0,
                           0x20, font->Name().c_str());
  HGDIOBJ oldFont = SelectObject(dc, made);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  const COLORREF ink = ColorToRGB(font->Color());
  COLORREF oldInk = SetTextColor(dc, ink);

  auto text = [&](int c, int r, int cx, int cy) {
    std::string s = Cells(c, r);
    if (s.empty()) return;
    RECT cell{cx + 3, cy, cx + ColWidths(c) - 3, cy + RowHeights(r)};
    DrawTextA(dc, s.c_str(), int(s.size()), &cell, kCellText);
  };
  // The fixed columns of a row; returns where the scrollable ones start.
  // Fixed texts are always in the font colour, also after a highlighted
  // cell at the end of the row above.
  auto fixedPart = [&](int r, int cy) {
    SetTextColor(dc, ink);
    int cx = 0;
    for (int c = 0; c < fixedCols && cx < W; ++c) {
      text(c, r, cx, cy);
      cx += ColWidths(c);
    }
    return cx;
  };

  y = 0;
  for (int r = 0; r < fixedRows && y < H; ++r) {
    x = fixedPart(r, y);
    for (int c = left; c < cols && x < W; ++c) {
      text(c, r, x, y);
      x += ColWidths(c) + 1;
    }
    y += RowHeights(r);
  }
  const bool rowSelect = (Options() & goRowSelect) != 0;
  const COLORREF highlight = GetSysColor(COLOR_HIGHLIGHT);
  for (int r = top; r < rows && y < H; ++r) {
    x = fixedPart(r, y);
    for (int c = left; c < cols && x < W; ++c) {
      if (r == Row() && (c == Col() || rowSelect)) {
        XPFill(dc, RECT{x + 1, y + 1, x + ColWidths(c) + 1, y + RowHeights(r) + 1}, highlight);
        SetTextColor(dc, RGB(255, 255, 255));
      } else {
        SetTextColor(dc, ink);
      }
      text(c, r, x, y);
      x += ColWidths(c) + 1;
    }
    y += RowHeights(r) + 1;
  }

  SetTextColor(dc, oldInk);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
  DeleteObject(made);
}

namespace xpstringgrid {
void Register() { RegisterComponent(kXPPalettePage, "TXPStringGrid"); }
}  // namespace xpstringgrid
