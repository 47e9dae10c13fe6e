// A small child window that shows one or more lines of text in a light-yellow
// box with a black frame. The owner moves, re-parents, shows and hides it; it
// never activates and hides itself when the mouse moves over it.
#pragma once

#include <cstdint>

#include "core/ewnd.h"

class EToolTip : public EWnd {
 public:
  explicit EToolTip(HWND parent);
  ~EToolTip() override;

  // An empty or null text hides the tip. Otherwise the tip moves to the
  // point of the (new) parent's client area, sized to the text, on top of
  // its siblings.
  bool Show(POINT point, const char *text, HWND newParent);
  void Hide();
  // Stores the text and gives the window size it needs.
  void Measure(SIZE *size, const char *text);

  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

  HFONT m_hFont = nullptr;
  int32_t m_multiLine = 0;   // the text holds a CR LF
  int32_t m_lineHeight = 0;  // height of the last measured line
  char m_text[1024] = {};

 private:
  void Paint();
};
