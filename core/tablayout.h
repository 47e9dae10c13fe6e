// Layout and scrolling of the two tab strips, apart from their windows: the
// sloped page tabs (trapezoids between two scroll buttons) and the owner-drawn
// tab set (widths from the title length, two scroll buttons at the right).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/windef.h"

// The sloped page tabs. B is the scroll buttons' width, S the slope; tab i is
// drawn width[i] + 4S + 8 wide, the tab just left of the first visible one
// as a sliver of S pixels.
struct PageTabLayout {
  static constexpr int kMaxTitles = 128;
  int width = 188, height = 24;  // of the control
  int button = 12;               // B
  int slope = 4;                 // S
  std::vector<int> widths;       // text width of each title
  std::vector<RECT> rects;       // tab rectangles, from first - 1 to end - 1
  int first = 0, end = 0, active = 0;

  int DrawnWidth(int i) const { return widths[size_t(i)] + 4 * slope + 8; }
  void CalculateTabRects();
  // The rectangle of visible tab i (first - 1 ... end - 1), or null.
  const RECT *TabRect(int i) const;
  // The first visible tab that shows tab n whole at the right end.
  int ScrollTarget(int n) const;
  // The last visible tab is not cut by the right button.
  bool LastVisibleFits() const;
  // The visible tab under the point, -1 when none.
  int TabAt(int x, int y) const;
  // Makes tab n active and scrolls it into full view; false when nothing
  // changed (n is active already or out of range).
  bool SetActive(int n);
  // A click on tab i: false when it is not a visible tab or already active.
  bool Click(int i);
  // The scroll buttons and keys: false when the strip cannot move that way.
  bool ScrollLeft();
  bool ScrollRight();
};

// The owner-drawn tab set: tab i is (title length in bytes) x 6 + 24 wide;
// when the tabs do not all fit the last 28 pixels hold "<" and ">".
struct TabSetLayout {
  static constexpr int kButtons = 28;
  static constexpr int kLeftButton = -2;
  static constexpr int kRightButton = -3;
  int width = 0, height = 0;
  int startMargin = 0;
  std::vector<std::string> titles;
  bool scrollMode = false;
  int first = 0;

  static int TabWidth(const std::string &title) { return int(title.size()) * 6 + 24; }
  // Scroll mode from the widths, and earlier tabs pulled back in when the
  // tabs from the first visible one leave room (done on every paint).
  void Update();
  int UsableRight() const { return scrollMode ? width - kButtons : width; }
  bool GetItemRect(int index, RECT *rect) const;
  // The tab under the point, -1 none, kLeftButton or kRightButton; for a tab
  // offset gets the distance from x to its right edge.
  int ItemAtPos(int x, int y, int *offset) const;
  RECT ButtonRect(int which) const;
  // All tabs from the first visible one fit before the buttons.
  bool RestFits() const;
  bool ScrollLeft();
  bool ScrollRight();
};
