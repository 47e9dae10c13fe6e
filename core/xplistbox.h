// The XP-look list box: a flat one-pixel frame, an item-drawing event that
// gets the owner-draw record's context, and events after each scroll.
#pragma once

#include <cstdint>
#include <functional>

#include "core/xpdraw.h"
#include "classlib/listbox.h"

using TXPDrawItem2Event =
    std::function<void(TObject *Sender, HDC dc, int index, const RECT &rect, TOwnerDrawState state)>;
using TXPScrollEvent = std::function<void(TObject *Sender, uint32_t code, uint32_t position)>;

class TXPListBox : public TXPFlat<TListBox> {
 public:
  VCL_CLASS_NAME(TXPListBox)
  explicit TXPListBox(TComponent *owner) : TXPFlat<TListBox>(owner) {}

  // Draws the items of an owner-drawn list instead of OnDrawItem.
  TXPDrawItem2Event OnDrawItem2;
  TXPScrollEvent OnHScroll;
  TXPScrollEvent OnVScroll;

  void WndProc(TMessage &message) override;
};

namespace xplistbox {
// Puts TXPListBox on the palette.
void Register();
}  // namespace xplistbox
