// The report list of our control family: a flat one-ring frame, full-row
// selection and header drag-and-drop switched on by itself, scroll events
// that may swallow the scroll, and a double-click event with the position.
//
// The column header is a window of its own that this class does not paint.
// Forms paint their headers through the two static operations below from
// their header window procedures, so that every header looks the same:
//   WM_PAINT: BeginPaint, OnHeaderPaint(header, paint context), EndPaint,
//             answer 0;
//   WM_ERASEBKGND: OnHeaderEraseBkgnd(header, context in wParam), answer 1;
//   anything else: the header's previous procedure.
#pragma once

#include <cstdint>
#include <functional>

#include "classlib/listview.h"

class TXPListView : public TListView {
 public:
  VCL_CLASS_NAME(TXPListView)
  explicit TXPListView(TComponent *owner) : TListView(owner) {}

  using TDblClickEvent = std::function<void(int32_t X, int32_t Y)>;
  // Code and position are the low and high words of wParam; lParam is the
  // scroll bar's window. Setting the flag keeps the scroll from the list.
  using TScrollMsgEvent = std::function<void(uint32_t code, uint32_t position, HWND scrollBar, bool *handled)>;

  TDblClickEvent OnLButtonDblClk;
  TScrollMsgEvent OnHScroll;
  TScrollMsgEvent OnVScroll;

  // White, with a line in the frame colour along the bottom.
  static void OnHeaderEraseBkgnd(HWND header, HDC dc);
  // The captions and the separators; the background is the erase step's.
  static void OnHeaderPaint(HWND header, HDC dc);

  void WndProc(TMessage &message) override;

 protected:
  void CreateParams(TCreateParams &params) override;

 private:
  uint8_t FExStylesSet = 0;
};

namespace xplistview {
// Puts TXPListView on the palette.
void Register();
}  // namespace xplistview
