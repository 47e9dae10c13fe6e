// Cursors: the standard shapes, shown as the Qt cursor of the widget of the
// window under the mouse.
#include <QBitmap>
#include <QCursor>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstring>
#include <iterator>

#include "platform/internal/window_record.h"
#include "platform/qtbridge.h"
#include "platform/winuser.h"

namespace platform {
namespace {

struct CursorShape {
  uintptr_t id;
  Qt::CursorShape shape;
};

const CursorShape kShapes[] = {
    {32512, Qt::ArrowCursor},    {32513, Qt::IBeamCursor},      {32514, Qt::WaitCursor},
    {32515, Qt::CrossCursor},    {32516, Qt::UpArrowCursor},    {32642, Qt::SizeFDiagCursor},
    {32643, Qt::SizeBDiagCursor}, {32644, Qt::SizeHorCursor},   {32645, Qt::SizeVerCursor},
    {32646, Qt::SizeAllCursor},  {32648, Qt::ForbiddenCursor},  {32649, Qt::PointingHandCursor},
    {32650, Qt::BusyCursor},     {32641, Qt::ArrowCursor},
};

// The program's own cursors, drawn from 16 x 16 pictures: 'X' black, '.'
// white, anything else clear. The cursor is made at first use.
struct NamedCursor {
  const char *name;
  int hotX, hotY;
  const char *rows[16];
  QCursor *cursor;
};

NamedCursor kNamed[] = {
    {"IDC_CROSS", 7, 7,
     {"      .X.       ", "      .X.       ", "      .X.       ", "      .X.       ", "      .X.       ",
      "      .X.       ", "...... . .......", "XXXXXX   XXXXXXX", "...... . .......", "      .X.       ",
      "      .X.       ", "      .X.       ", "      .X.       ", "      .X.       ", "      .X.       ",
      "                "},
     nullptr},
    {"IDC_HAND", 5, 0,
     {"     XX         ", "    X..X        ", "    X..X        ", "    X..XXX      ", "    X..X..XXX   ",
      "    X..X..X..XX ", " XX X..X..X..X.X", "X..XX........X.X", "X...X..........X", " X.............X",
      "  X............X", "  X...........X ", "   X..........X ", "    X........X  ", "     X.......X  ",
      "     XXXXXXXXX  "},
     nullptr},
    {"IDC_HAND2", 7, 7,
     {"                ", "      XX XX     ", "   XXX..X..XX   ", "  X..X..X..X.X  ", "  X..X..X..X..X ",
      "   X..X..X..X.X ", " XX X.........X ", "X..XX.........X ", "X...X........X  ", " X...........X  ",
      "  X..........X  ", "  X.........X   ", "   X........X   ", "    X.......X   ", "    XXXXXXXXX   ",
      "                "},
     nullptr},
    {"IDC_RUBBER", 0, 0,
     {"X               ", "XX              ", "X.X             ", "X..X            ", "X...X           ",
      "X....X          ", "X.....X         ", "X..XXXXX        ", "X.X             ", "XX    X X X X X ",
      "X               ", "      X       X ", "                ", "      X       X ", "                ",
      "      X X X X X "},
     nullptr},
    {"IDC_DRAG", 7, 7,
     {"       X        ", "      X.X       ", "     X...X      ", "    XXX.XXX     ", "  X   X.X   X   ",
      " XX   X.X   XX  ", "X.XXXXX.XXXXX.X ", "X.............X ", "X.XXXXX.XXXXX.X ", " XX   X.X   XX  ",
      "  X   X.X   X   ", "    XXX.XXX     ", "     X...X      ", "      X.X       ", "       X        ",
      "                "},
     nullptr},
};

HCURSOR HandleOf(const NamedCursor &c) { return reinterpret_cast<HCURSOR>(const_cast<NamedCursor *>(&c)); }

const NamedCursor *NamedOf(HCURSOR cursor) {
  for (const NamedCursor &c : kNamed)
    if (HandleOf(c) == cursor) return &c;
  return nullptr;
}

const QCursor &MakeNamed(NamedCursor &c) {
  if (!c.cursor) {
    QImage bits(16, 16, QImage::Format_Mono), mask(16, 16, QImage::Format_Mono);
    bits.fill(0);
    mask.fill(0);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 16 && c.rows[y][x]; ++x) {
        const char ch = c.rows[y][x];
        if (ch == 'X' || ch == '.') mask.setPixel(x, y, 1);
        if (ch == 'X') bits.setPixel(x, y, 1);
      }
    c.cursor = new QCursor(QBitmap::fromImage(bits), QBitmap::fromImage(mask), c.hotX, c.hotY);
  }
  return *c.cursor;
}

HCURSOR HandleOf(const CursorShape &shape) { return reinterpret_cast<HCURSOR>(const_cast<CursorShape *>(&shape)); }

const CursorShape *ShapeOf(HCURSOR cursor) {
  for (const CursorShape &s : kShapes)
    if (HandleOf(s) == cursor) return &s;
  return nullptr;
}

HCURSOR g_current = nullptr;
HWND g_pointerWindow = nullptr;   // the window the last mouse message went to
QPointer<QWidget> g_shownOn;      // the widget that shows g_current

}  // namespace

void CursorPointerWindow(HWND hwnd) {
  if (hwnd == g_pointerWindow) return;
  g_pointerWindow = hwnd;
  // The window left behind shows its own cursor again.
  if (g_shownOn && WidgetFromHandle(hwnd) != g_shownOn) {
    g_shownOn->unsetCursor();
    g_shownOn = nullptr;
    g_current = HandleOf(kShapes[0]);
  }
}

}  // namespace platform

using namespace platform;

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name) {
  const auto id = reinterpret_cast<uintptr_t>(name);
  if (instance) {
    if (id <= 0xFFFF) return nullptr;
    for (const NamedCursor &c : kNamed)
      if (std::strcmp(c.name, name) == 0) return HandleOf(c);
    return nullptr;
  }
  for (const CursorShape &s : kShapes)
    if (s.id == id) return HandleOf(s);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const CursorShape *shape = ShapeOf(cursor);
  const NamedCursor *named = NamedOf(cursor);
  if (cursor && !shape && !named) return g_current;
  HCURSOR previous = g_current;
  g_current = cursor;
  HWND target = GetCapture() ? GetCapture() : g_pointerWindow;
  QWidget *widget = target ? WidgetFromHandle(target) : nullptr;
  if (!widget) {
    Window *under = HostWindowAt(HostCursorPos());
    widget = under ? WidgetFromHandle(under->handle) : nullptr;
  }
  if (widget) {
    if (g_shownOn && g_shownOn != widget) g_shownOn->unsetCursor();
    if (named) widget->setCursor(MakeNamed(*const_cast<NamedCursor *>(named)));
    else widget->setCursor(shape ? shape->shape : Qt::BlankCursor);
    g_shownOn = widget;
  }
  return previous;
}

HCURSOR GetCursor() { return g_current; }
