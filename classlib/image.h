// TImage: a control that shows a picture (a bitmap, an icon or a JPEG) in
// its own size at its top-left corner, centred, or stretched over it.
#pragma once

#include "classlib/picture.h"
#include "classlib/controls.h"

class TImage : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TImage)
  explicit TImage(TComponent *owner);

  TPicture *Picture() { return &picture_; }
  // Draws on the picture itself: an empty picture first becomes a white
  // bitmap of the control's size. Null when the picture is not a bitmap.
  // Call Invalidate after drawing so the control shows it.
  TCanvas *Canvas();

  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch);
  bool Center() const { return center_; }
  void SetCenter(bool center);

 protected:
  void Paint() override;

 private:
  TPicture picture_;
  bool stretch_ = false;
  bool center_ = false;
};
