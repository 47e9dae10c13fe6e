// The XP-look combo box: a flat frame and a drop button repainted in the
// family's blues, hot and pressed as the mouse goes. On systems before the
// XP look (version 5.0 and older) it is the plain combo box.
#pragma once

#include <cstdint>

#include "core/xpdraw.h"
#include "classlib/combobox.h"

class TXPComboBox : public TComboBox {
 public:
  VCL_CLASS_NAME(TXPComboBox)
  explicit TXPComboBox(TComponent *owner) : TComboBox(owner) {}

  // Major version x 10000 + minor version of the system, read by the first
  // combo box made; 50001 is the first with the XP look.
  static int32_t OSVersionCode;

  // 0 normal, 1 pressed, 2 hot.
  int32_t ButtonState() const { return FButtonState; }
  bool Hot() const { return FHot != 0; }

  void WndProc(TMessage &message) override;

 protected:
  void CreateParams(TCreateParams &params) override;

 private:
  void OnMouseMove(UINT keys);
  void OnMouseLeave();
  void OnPaint(HDC dc);

  int32_t FHot = 0;
  int32_t FButtonState = 0;
};

namespace xpcombobox {
// Puts TXPComboBox on the palette.
void Register();
}  // namespace xpcombobox
