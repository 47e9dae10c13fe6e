#include "core/xptabpaint.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/xpdraw.h"
#include "platform/gdi.h"
#include "platform/winuser.h"

namespace xptabs {

namespace {

constexpr COLORREF kPageFrame = RGB(145, 155, 156);
constexpr COLORREF kTabOutline = RGB(145, 167, 180);
constexpr COLORREF kHotTop = RGB(230, 139, 44);
constexpr COLORREF kHotBand = RGB(255, 199, 60);
constexpr COLORREF kCornerLight = RGB(227, 233, 236);
constexpr COLORREF kCornerHot = RGB(249, 185, 56);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A context with one pen per colour, made on first use and freed at the end.
class Painter {
 public:
  explicit Painter(HDC dc) : dc_(dc), oldPen_(GetCurrentObject(dc, OBJ_PEN)) {}
  ~Painter() {
    SelectObject(dc_, oldPen_);
    for (auto &[colour, pen] : pens_) DeleteObject(pen);
  }
  Painter(const Painter &) = delete;
  Painter &operator=(const Painter &) = delete;

  void Line(COLORREF colour, int x0, int y0, int x1, int y1) {
    Use(colour);
    MoveToEx(dc_, x0, y0, nullptr);
    LineTo(dc_, x1, y1);
  }
  // A polyline through the points, in one colour.
  void Path(COLORREF colour, std::initializer_list<POINT> points) {
    Use(colour);
    auto p = points.begin();
    MoveToEx(dc_, p->x, p->y, nullptr);
    for (++p; p != points.end(); ++p) LineTo(dc_, p->x, p->y);
  }
  void Fill(COLORREF colour, int l, int t, int r, int b) {
    XPFill(dc_, RECT{l, t, r, b}, colour);
  }
  void Dots(COLORREF colour, std::initializer_list<POINT> points) {
    for (POINT p : points) SetPixel(dc_, p.x, p.y, colour);
  }

 private:
  void Use(COLORREF colour) {
    for (auto &[c, pen] : pens_)
      if (c == colour) {
        SelectObject(dc_, pen);
        return;
      }
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    pens_.push_back({colour, pen});
    SelectObject(dc_, pen);
  }
  HDC dc_;
  HGDIOBJ oldPen_;
  std::vector<std::pair<COLORREF, HPEN>> pens_;
};

}  // namespace

COLORREF Blend(COLORREF parent, COLORREF target, int num, int den) {
  auto channel = [&](int p, int t) { return std::min(p, t) + num * std::abs(p - t) / den; };
  return RGB(channel(GetRValue(parent), GetRValue(target)), channel(GetGValue(parent), GetGValue(target)),
             channel(GetBValue(parent), GetBValue(target)));
}

void Paint(HDC dc, TCustomTabControl *control, const std::function<std::string(int)> &caption) {
  const int W = control->Width(), H = control->Height();
  const COLORREF P = ColorToRGB(control->Parent() ? control->Parent()->Color() : clBtnFace);
  Painter paint(dc);
  const int count = control->TabCount();
  if (count < 1) {
    paint.Fill(P, 0, 0, W, H);
    return;
  }
  const int tb = control->TabRect(0).Bottom;
  paint.Fill(P, 0, 0, W, tb);
  {
    RECT frame{0, tb, W - 2, H - 2};
    HBRUSH brush = CreateSolidBrush(kPageFrame);
    FrameRect(dc, &frame, brush);
    DeleteObject(brush);
  }
  const COLORREF outer = Blend(P, kPageFrame, 17, 20), inner = Blend(P, kPageFrame, 2, 3);
  paint.Line(outer, W - 1, tb, W - 1, H);
  paint.Line(outer, 0, H - 1, W, H - 1);
  paint.Line(inner, W - 2, tb, W - 2, H - 1);
  paint.Line(inner, 0, H - 2, W - 1, H - 2);
  paint.Fill(kWhite, 1, tb + 1, W - 3, H - 3);

  // Our tab controls keep their font in Font rather than in the window.
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(control->Handle(), WM_GETFONT, 0, 0));
  if (!font) font = control->Font()->Handle();
  HGDIOBJ oldFont = SelectObject(dc, font);
  int oldMode = SetBkMode(dc, TRANSPARENT);
  COLORREF oldInk =
      SetTextColor(dc, control->Enabled() ? ColorToRGB(control->Font()->Color()) : kXPDisabledText);
  auto text = [&](int i, int x, int y) {
    std::string s = caption(i);
    TextOutA(dc, x, y, s.c_str(), int(s.size()));
  };

  POINT mouse{};
  GetCursorPos(&mouse);
  ScreenToClient(control->Handle(), &mouse);
  const int selected = control->TabIndex();
  for (int i = 0; i < count; ++i) {
    if (i == selected) continue;
    TRect r = control->TabRect(i);
    const int L = r.Left, T = r.Top, R = r.Right, B = r.Bottom;
    paint.Fill(kWhite, L + 1, T + 2, R - 2, B);
    bool hot = L <= mouse.x && mouse.x < R && T <= mouse.y && mouse.y < B;
    if (hot) {
      paint.Line(kTabOutline, L, B - 1, L, T + 1);
      paint.Line(kHotTop, L, T + 1, R - 2, T + 1);
      paint.Line(kTabOutline, R - 2, T + 1, R - 2, B);
      paint.Line(kHotBand, L + 2, T + 3, R - 3, T + 3);
      paint.Line(kHotBand, L + 3, T + 2, R - 4, T + 2);
    } else {
      paint.Path(kTabOutline, {{L, B - 1}, {L, T + 1}, {R - 2, T + 1}, {R - 2, B}});
    }
    const COLORREF target = hot ? kHotTop : kTabOutline;
    paint.Dots(P, {{L, T + 1}, {R - 2, T + 1}});
    paint.Dots(Blend(P, target, 2, 3), {{L + 1, T + 1}, {L, T + 2}, {R - 3, T + 1}, {R - 2, T + 2}});
    paint.Dots(Blend(P, target, 1, 3),
               {{L + 2, T + 1}, {L + 1, T + 2}, {L, T + 3}, {R - 4, T + 1}, {R - 3, T + 2}, {R - 2, T + 3}});
    paint.Dots(hot ? kCornerHot : kCornerLight, {{L + 2, T + 2}, {L + 1, T + 3}, {R - 4, T + 2}, {R - 3, T + 3}});
    text(i, L + 5, T + 4);
  }

  if (selected >= 0 && selected < count) {
    TRect r = control->TabRect(selected);
    const int l = r.Left - 2, t = r.Top - 1, rr = r.Right, b = r.Bottom;
    paint.Fill(kWhite, l + 1, t + 3, rr, b + 1);
    paint.Line(kPageFrame, l, b - 1, l, t + 2);
    paint.Line(kPageFrame, rr, t + 3, rr, b);
    paint.Line(kHotBand, l + 2, t + 2, rr - 1, t + 2);
    paint.Line(kHotBand, l + 3, t + 1, rr - 2, t + 1);
    paint.Line(kHotTop, l + 3, t, rr - 2, t);
    paint.Dots(P, {{l, t}, {rr, t}});
    paint.Dots(Blend(P, kHotTop, 2, 3), {{l + 1, t}, {l, t + 1}, {rr - 1, t}, {rr, t + 1}});
    paint.Dots(Blend(P, kHotTop, 1, 3), {{l + 2, t}, {l + 1, t + 1}, {l, t + 2}, {rr - 2, t}, {rr - 1, t + 1}, {rr, t + 2}});
    paint.Dots(kCornerHot, {{l + 2, t + 1}, {l + 1, t + 2}, {rr - 2, t + 1}, {rr - 1, t + 2}});
    text(selected, l + 5, t + 3);
  }

  SetTextColor(dc, oldInk);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
}

bool PaintMessage(TMessage &message, TCustomTabControl *control, const std::function<std::string(int)> &caption,
                  const std::function<void(HDC)> &children) {
  if (message.Msg == WM_PAINT) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(control->Handle(), &ps);
    if (dc) {
      Paint(dc, control, caption);
      children(dc);
    }
    EndPaint(control->Handle(), &ps);
    message.Result = 0;
    return true;
  }
  if (message.Msg == WM_ERASEBKGND) {
    message.Result = 1;
    return true;
  }
  return false;
}

}  // namespace xptabs
