// The XP-look push button: drawn in one of five states (normal, default,
// hot, pressed, disabled) from fixed colours and ramps over the parent's
// button background, or from an image list; a hook may draw the caption.
// Clicks keep the class library's behaviour (OnClick, ModalResult, the
// default and cancel keys); the second click of a double click is an
// ordinary click.
#pragma once

#include <cstdint>
#include <functional>

#include "core/xpdraw.h"
#include "classlib/stdctrls.h"

// Draws the caption instead of the control: the context being painted and
// the caption rectangle (4, 4, W-4, H-4).
using TXPDrawCaptionEvent = std::function<void(TObject *Sender, HDC dc, RECT &rect)>;

// The look of an XP push button of w x h in a state, drawn over the
// background already on dc; `caption` is called between the face and the
// corner pixels.
void XPDrawButton(HDC dc, int w, int h, TXPButtonState state, const std::function<void()> &caption);
// The caption of an XP push button: centred on one line with an end
// ellipsis in (4, 4, W-4, H-4), through the hook when one is assigned.
void XPDrawButtonCaption(TWinControl *control, HDC dc, const TXPDrawCaptionEvent &hook);

class TXPButton : public TButton {
 public:
  VCL_CLASS_NAME(TXPButton)
  explicit TXPButton(TComponent *owner);
  ~TXPButton() override;

  TCustomImageList *Images() const { return images_.Images(); }
  void SetImages(TCustomImageList *list);
  int32_t ImageNormal() const { return imageNormal_; }
  int32_t ImageHover() const { return imageHover_; }
  int32_t ImageDown() const { return imageDown_; }
  int32_t ImageDisable() const { return imageDisable_; }
  void SetImageNormal(int32_t index) { SetImage(imageNormal_, index); }
  void SetImageHover(int32_t index) { SetImage(imageHover_, index); }
  void SetImageDown(int32_t index) { SetImage(imageDown_, index); }
  void SetImageDisable(int32_t index) { SetImage(imageDisable_, index); }

  TXPDrawCaptionEvent OnDrawCaption;

  bool Hot() const { return mouse_.FHot != 0; }
  bool Pressed() const { return mouse_.FPressed != 0; }
  // The state the next paint draws.
  TXPButtonState DrawState() const;

  void WndProc(TMessage &message) override;

 protected:
  void Notification(TComponent *component, TOperation operation) override;
  virtual void DrawCaption(HDC dc);

 private:
  void SetImage(int32_t &field, int32_t index);
  void OnPaint(HDC dc);

  TXPMouseFlags mouse_;
  int32_t FFocusDrawn = 0;  // the last paint drew the focus rectangle
  int32_t imageNormal_ = 0, imageHover_ = 0, imageDown_ = 0, imageDisable_ = 0;
  TXPImageLink images_;
};

namespace xpbutton {
// Puts TXPButton on the palette.
void Register();
}  // namespace xpbutton
