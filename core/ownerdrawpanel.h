// A panel that hands its paint, left-button, cursor, hit-test and min-max
// messages to events; without OnDraw it fills itself in its colour and never
// draws the bevels or the caption.
#pragma once

#include <cstdint>
#include <functional>

#include "classlib/extctrls.h"

class TOwnerDrawPanel : public TPanel {
 public:
  VCL_CLASS_NAME(TOwnerDrawPanel)
  explicit TOwnerDrawPanel(TComponent *owner) : TPanel(owner) {}

  std::function<void(TObject *Sender, HDC dc, RECT *rect)> OnDraw;
  std::function<void(TObject *Sender, int32_t x, int32_t y)> OnLButtonDown;
  std::function<void(TObject *Sender, int32_t x, int32_t y)> OnLButtonUp;
  std::function<void(TObject *Sender, int32_t hitTest, bool *handled)> OnSetCursor;
  std::function<void(TObject *Sender, int32_t x, int32_t y, int32_t *result)> OnNcHittest;
  std::function<void(TObject *Sender, MINMAXINFO *info)> OnGetMinMaxInfo;

  void WndProc(TMessage &message) override;
};

namespace ownerdrawpanel {
// Puts TOwnerDrawPanel on the palette.
void Register();
}  // namespace ownerdrawpanel
