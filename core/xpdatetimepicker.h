// A flat-framed box around a plain edit window that lets only digits,
// backspace and date separators in; every separator becomes '-'. It keeps
// no date of its own: its content is the edit's text.
#pragma once

#include "core/xpdraw.h"
#include "classlib/controls.h"

class TXPDateTimePicker : public TCustomControl {
 public:
  VCL_CLASS_NAME(TXPDateTimePicker)
  explicit TXPDateTimePicker(TComponent *owner);
  ~TXPDateTimePicker() override;

  // The hosted edit window (null before the control's window exists).
  HWND EditHandle() const { return edit_; }

  void WndProc(TMessage &message) override;

  // The hosted edit's window procedure: filters typed characters.
  static LRESULT EditProcNew(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

 protected:
  void CreateParams(TCreateParams &params) override;

 private:
  void CreateEdit();
  void DestroyEdit();

  HWND edit_ = nullptr;
  HFONT font_ = nullptr;
};

namespace xpdatetimepicker {
// Puts TXPDateTimePicker on the palette.
void Register();
}  // namespace xpdatetimepicker
