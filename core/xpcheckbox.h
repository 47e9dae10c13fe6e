// The XP-look check box: a 13 x 13 box drawn from fixed pixel images (a
// colour ramp per state, an orange ring when hot), a green check mark when
// checked, the caption word-wrapped beside it; or pictures of an image list.
#pragma once

#include <cstdint>

#include "core/xpdraw.h"
#include "platform/vcl/stdctrls.h"

class TXPCheckBox : public TCheckBox {
 public:
  VCL_CLASS_NAME(TXPCheckBox)
  explicit TXPCheckBox(TComponent *owner);
  ~TXPCheckBox() override;

  TCustomImageList *Images() const { return images_.Images(); }
  void SetImages(TCustomImageList *list);
  // Image indexes of the image-list look, unchecked and checked.
  enum ImageSlot { kNormal, kHover, kDown, kDisable, kChecked, kCheckedHover, kCheckedDown, kCheckedDisable };
  int32_t Image(ImageSlot slot) const { return imageIndex_[slot]; }
  void SetImage(ImageSlot slot, int32_t index);

  bool Hot() const { return mouse_.FHot != 0; }
  bool Pressed() const { return mouse_.FPressed != 0; }
  // Disabled, pressed, hot or normal; the check adds the mark.
  TXPButtonState DrawState() const;

  void WndProc(TMessage &message) override;

 protected:
  void Notification(TComponent *component, TOperation operation) override;

 private:
  void OnPaint(HDC dc);
  void DrawCaption(HDC dc);

  TXPMouseFlags mouse_;
  int32_t focusDrawn_ = 0;
  int32_t imageIndex_[8] = {};
  TXPImageLink images_;
};

// The box's top in a control h pixels high.
inline int XPBoxTop(int h) { return (h - 13) >> 1; }
// The colour of a check-box image cell (x, y), 0..12, in a state (normal,
// hot or pressed).
COLORREF XPCheckBoxCell(TXPButtonState state, int x, int y);
// The check mark's pixels, relative to the box top t.
void XPDrawCheckMark(HDC dc, int t, bool enabled);

namespace xpcheckbox {
// Puts TXPCheckBox on the palette.
void Register();
}  // namespace xpcheckbox
