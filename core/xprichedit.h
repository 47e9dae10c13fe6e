// The XP-look rich edit: a flat one-pixel frame, unless it has no border
// at all.
#pragma once

#include "core/xpdraw.h"
#include "classlib/richview.h"

class TXPRichEdit : public TRichEdit {
 public:
  VCL_CLASS_NAME(TXPRichEdit)
  explicit TXPRichEdit(TComponent *owner) : TRichEdit(owner) {}
  void WndProc(TMessage &message) override;

 protected:
  void CreateParams(TCreateParams &params) override;
};

namespace xprichedit {
// Puts TXPRichEdit on the palette.
void Register();
}  // namespace xprichedit
