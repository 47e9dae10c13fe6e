#include "platform/gdi.h"

#include <algorithm>

BOOL SetRect(RECT *rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = RECT{left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(RECT *rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(RECT *target, const RECT *source) {
  if (!target || !source) return FALSE;
  *target = *source;
  return TRUE;
}

BOOL InflateRect(RECT *rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left -= dx;
  rect->top -= dy;
  rect->right += dx;
  rect->bottom += dy;
  return TRUE;
}

BOOL OffsetRect(RECT *rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx;
  rect->top += dy;
  rect->right += dx;
  rect->bottom += dy;
  return TRUE;
}

BOOL IsRectEmpty(const RECT *rect) { return !rect || rect->right <= rect->left || rect->bottom <= rect->top; }

BOOL IntersectRect(RECT *target, const RECT *a, const RECT *b) {
  if (!target || !a || !b) return FALSE;
  RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
         std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    *target = RECT{};
    return FALSE;
  }
  *target = r;
  return TRUE;
}

BOOL UnionRect(RECT *target, const RECT *a, const RECT *b) {
  if (!target || !a || !b) return FALSE;
  if (IsRectEmpty(a) && IsRectEmpty(b)) {
    *target = RECT{};
    return FALSE;
  }
  if (IsRectEmpty(a)) {
    *target = *b;
  } else if (IsRectEmpty(b)) {
    *target = *a;
  } else {
    *target = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                   std::max(a->bottom, b->bottom)};
  }
  return TRUE;
}

BOOL EqualRect(const RECT *a, const RECT *b) {
  return a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT *rect, POINT p) {
  return rect && p.x >= rect->left && p.x < rect->right && p.y >= rect->top && p.y < rect->bottom;
}
