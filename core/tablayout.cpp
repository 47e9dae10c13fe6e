#include "core/tablayout.h"

#include <algorithm>

// ---- sloped page tabs --------------------------------------------------------

void PageTabLayout::CalculateTabRects() {
  rects.clear();
  int count = int(widths.size());
  end = count;
  int S = slope, B = button;
  int right = 0;
  for (int i = std::max(first - 1, 0); i < count; ++i) {
    RECT r{0, 0, 0, height};
    if (i == first - 1) {
      r.left = B;
      r.right = B + S;
    } else {
      r.left = i == first ? B + S : right;
      r.right = r.left + DrawnWidth(i);
    }
    right = r.right;
    if (r.right > width - B - S) {
      r.right = width - B - S;
      rects.push_back(r);
      end = i + 1;
      return;
    }
    rects.push_back(r);
  }
}

const RECT *PageTabLayout::TabRect(int i) const {
  int base = std::max(first - 1, 0);
  if (i < base || i >= end || size_t(i - base) >= rects.size()) return nullptr;
  return &rects[size_t(i - base)];
}

int PageTabLayout::ScrollTarget(int n) const {
  // Walk back from n until the tabs no longer fit between the sliver and the
  // right button; never before the first title.
  int x = (width - button) - 2 * slope;
  int j = n;
  for (; j >= 0; --j) {
    x -= DrawnWidth(j);
    if (x < button) break;
  }
  return std::min(j + 1, n);
}

bool PageTabLayout::LastVisibleFits() const {
  int last = end - 1;
  const RECT *r = TabRect(last);
  if (r == nullptr || last < first) return true;
  return r->left + DrawnWidth(last) <= width - button - slope;
}

int PageTabLayout::TabAt(int x, int y) const {
  for (int i = std::max(first - 1, 0); i < end; ++i) {
    const RECT *r = TabRect(i);
    if (r != nullptr && x >= r->left && x < r->right && y >= r->top && y < r->bottom) return i;
  }
  return -1;
}

bool PageTabLayout::SetActive(int n) {
  if (n == active || n < 0 || n >= int(widths.size())) return false;
  active = n;
  CalculateTabRects();
  if (n < first) {
    first = n;
  } else if (n >= end || (n == end - 1 && !LastVisibleFits())) {
    first = ScrollTarget(n);
  }
  CalculateTabRects();
  return true;
}

bool PageTabLayout::Click(int i) {
  if (i < std::max(first - 1, 0) || i >= end || i == active) return false;
  active = i;
  if (i == first - 1) {
    first = i;
  } else if (i == end - 1 && !LastVisibleFits()) {
    first = ScrollTarget(i);
  }
  CalculateTabRects();
  return true;
}

bool PageTabLayout::ScrollLeft() {
  if (first <= 0) return false;
  --first;
  CalculateTabRects();
  return true;
}

bool PageTabLayout::ScrollRight() {
  if (LastVisibleFits() || first + 1 >= int(widths.size())) return false;
  ++first;
  CalculateTabRects();
  return true;
}

// ---- owner-drawn tab set -------------------------------------------------------

void TabSetLayout::Update() {
  int total = startMargin;
  for (const std::string &t : titles) total += TabWidth(t);
  scrollMode = total > width;
  if (!scrollMode) {
    first = 0;
    return;
  }
  first = std::min<int>(first, std::max<int>(int(titles.size()) - 1, 0));
  if (first > 0 && RestFits()) {
    int used = startMargin;
    for (size_t i = size_t(first); i < titles.size(); ++i) used += TabWidth(titles[i]);
    for (int j = first - 1; j >= 0; --j) {
      if (used + TabWidth(titles[size_t(j)]) > width - kButtons) break;
      used += TabWidth(titles[size_t(j)]);
      first = j;
    }
  }
}

bool TabSetLayout::RestFits() const {
  int right = startMargin;
  for (size_t i = size_t(std::max(first, 0)); i < titles.size(); ++i) right += TabWidth(titles[i]);
  return right <= width - kButtons;
}

bool TabSetLayout::GetItemRect(int index, RECT *rect) const {
  if (index < first || index >= int(titles.size())) return false;
  int left = startMargin;
  for (int i = first; i <= index; ++i) {
    int right = left + TabWidth(titles[size_t(i)]);
    if (right > UsableRight()) return false;
    if (i == index) {
      *rect = RECT{left, 0, right, height};
      return true;
    }
    left = right;
  }
  return false;
}

int TabSetLayout::ItemAtPos(int x, int y, int *offset) const {
  if (x < startMargin || y < 0 || y > height - 1) return -1;
  int left = startMargin;
  for (int i = first; i < int(titles.size()); ++i) {
    int right = left + TabWidth(titles[size_t(i)]);
    if (right > UsableRight()) break;
    if (right > x) {
      if (offset) *offset = right - x;
      return i;
    }
    left = right;
  }
  if (!scrollMode) return -1;
  if (x >= width - 14) return kRightButton;
  if (x >= width - kButtons) return kLeftButton;
  return -1;
}

RECT TabSetLayout::ButtonRect(int which) const {
  if (which == kLeftButton) return RECT{width - kButtons, 0, width - 14, height};
  return RECT{width - 14, 0, width, height};
}

bool TabSetLayout::ScrollLeft() {
  if (first <= 0) return false;
  --first;
  return true;
}

bool TabSetLayout::ScrollRight() {
  if (RestFits()) return false;
  ++first;
  return true;
}
