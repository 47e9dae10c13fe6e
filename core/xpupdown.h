// An up-down control in the flat blue look, with hot and pressed halves. It
// keeps all of the up-down's behaviour (position, OnChangingEx ...); only
// its looks are its own. A horizontal one draws nothing.
#pragma once

#include <cstdint>

#include "classlib/scrollbar.h"

class TXPUpDown : public TUpDown {
 public:
  VCL_CLASS_NAME(TXPUpDown)
  explicit TXPUpDown(TComponent *owner) : TUpDown(owner) {}

  enum : uint8_t { Normal = 0, UpperPressed = 1, LowerPressed = 2, UpperHot = 3, LowerHot = 4 };
  uint8_t State() const { return state_; }

  void WndProc(TMessage &message) override;

 private:
  // 1 for the upper (left) half, 2 for the lower (right) one, 0 for the
  // middle row (column) of an odd size, which belongs to neither.
  int HalfAt(int x, int y) const;
  void SetState(uint8_t state);
  void PaintLook(HDC dc);

  bool tracking_ = false;
  uint8_t state_ = Normal;
};

namespace xpupdown {
// Puts TXPUpDown on the palette.
void Register();
}  // namespace xpupdown
