// Cursors: the standard shapes, shown as the Qt cursor of the widget of the
// window under the mouse.
#include <QCursor>
#include <QPointer>
#include <QWidget>

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
    {32650, Qt::BusyCursor},
};

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
  if (instance) return nullptr;
  const auto id = reinterpret_cast<uintptr_t>(name);
  for (const CursorShape &s : kShapes)
    if (s.id == id) return HandleOf(s);
  return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
  const CursorShape *shape = ShapeOf(cursor);
  if (cursor && !shape) return g_current;
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
    widget->setCursor(shape ? shape->shape : Qt::BlankCursor);
    g_shownOn = widget;
  }
  return previous;
}

HCURSOR GetCursor() { return g_current; }
