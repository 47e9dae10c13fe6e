// The XP-look check box: a 13 x 13 box drawn from fixed pixel images (a
// colour ramp per state, an orange ring when hot), a green check mark when
// checked, the caption word-wrapped beside it; or pictures of an image list.
#pragma once

#include <cstdint>

#include "core/xpdraw.h"
#include "classlib/stdctrls.h"

class TXPCheckBox : public TCheckBox {
 public:
  VCL_CLASS_NAME(TXPCheckBox)
  explicit TXPCheckBox(TComponent *owner);
  ~TXPCheckBox() override;

  TCustomImageList *Images() const { return images_.Images(); }
  void SetImages(TCustomImageList *list);
  // Image indexes of the image-list look, unchecked and checked; setting
  // one repaints at once.
  int32_t ImageNormal() const { return imageIndex_[kNormal]; }
  int32_t ImageHover() const { return imageIndex_[kHover]; }
  int32_t ImageDown() const { return imageIndex_[kDown]; }
  int32_t ImageDisable() const { return imageIndex_[kDisable]; }
  int32_t ImageChecked() const { return imageIndex_[kChecked]; }
  int32_t ImageCheckedHover() const { return imageIndex_[kCheckedHover]; }
  int32_t ImageCheckedDown() const { return imageIndex_[kCheckedDown]; }
  int32_t ImageCheckedDisable() const { return imageIndex_[kCheckedDisable]; }
  void SetImageNormal(int32_t index) { SetImage(kNormal, index); }
  void SetImageHover(int32_t index) { SetImage(kHover, index); }
  void SetImageDown(int32_t index) { SetImage(kDown, index); }
  void SetImageDisable(int32_t index) { SetImage(kDisable, index); }
  void SetImageChecked(int32_t index) { SetImage(kChecked, index); }
  void SetImageCheckedHover(int32_t index) { SetImage(kCheckedHover, index); }
  void SetImageCheckedDown(int32_t index) { SetImage(kCheckedDown, index); }
  void SetImageCheckedDisable(int32_t index) { SetImage(kCheckedDisable, index); }

  bool Hot() const { return mouse_.FHot != 0; }
  bool Pressed() const { return mouse_.FPressed != 0; }
  // Disabled, pressed, hot or normal; the check adds the mark.
  TXPButtonState DrawState() const;

  void WndProc(TMessage &message) override;

  // The check mark's pixels, relative to the box top t.
  static void DrawCheckMarker(HDC dc, int t, bool enabled);

 protected:
  void Notification(TComponent *component, TOperation operation) override;

 private:
  // The unchecked slots; each checked one is 4 further.
  enum ImageSlot { kNormal, kHover, kDown, kDisable, kChecked, kCheckedHover, kCheckedDown, kCheckedDisable };
  void SetImage(ImageSlot slot, int32_t index);
  void OnPaint(HDC dc);
  void DrawCaption(HDC dc);

  TXPMouseFlags mouse_;
  int32_t FFocusDrawn = 0;
  int32_t imageIndex_[8] = {};
  TXPImageLink images_;
};

// The box's top in a control h pixels high.
inline int XPBoxTop(int h) { return (h - 13) >> 1; }
// The colour of a check-box image cell (x, y), 0..12, in a state (normal,
// hot or pressed).
COLORREF XPCheckBoxCell(TXPButtonState state, int x, int y);

namespace xpcheckbox {
// Puts TXPCheckBox on the palette.
void Register();
}  // namespace xpcheckbox
