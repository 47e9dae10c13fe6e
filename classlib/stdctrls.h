// Standard controls: labels, buttons, check boxes, radio buttons, group
// boxes, edits and memos. Buttons, check boxes and radio buttons are the
// window layer's "BUTTON" windows, painted by our code; edits and memos are
// "EDIT" windows made of a Qt editor (see qtwrap.h).
#pragma once

#include <string>

#include "classlib/controls.h"

class TCustomForm;

enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTextLayout { tlTop, tlCenter, tlBottom };
enum TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

// A caption drawn on the parent.
class TLabel : public TGraphicControl {
 public:
  VCL_CLASS_NAME(TLabel)
  explicit TLabel(TComponent *owner);

  TAlignment Alignment = taLeftJustify;
  TTextLayout Layout = tlTop;
  bool WordWrap = false;
  // Clear background: the parent shows through.
  bool Transparent = false;
  // '&' marks the access key (drawn underlined) unless off.
  bool ShowAccelChar = true;
  // The label sizes itself to its caption when set.
  bool AutoSize = true;
  TWinControl *FocusControl = nullptr;

 protected:
  void Paint() override;
  void TextChanged() override;
  void FontChanged() override;
  void AdjustSize();
  UINT DrawFlags() const;
};

class TButtonControl : public TWinControl {
 public:
  VCL_CLASS_NAME(TButtonControl)
  explicit TButtonControl(TComponent *owner);
};

class TButton : public TButtonControl {
 public:
  VCL_CLASS_NAME(TButton)
  explicit TButton(TComponent *owner);

  // Enter presses the default button of the form (unless another button has
  // the focus); Esc the cancel button.
  bool Default() const { return default_; }
  void SetDefault(bool value);
  bool Cancel = false;
  // Set as the form's ModalResult when the button is clicked.
  int ModalResult = 0;

  void Click() override;

 protected:
  void CreateParams(TCreateParams &params) override;
  void WndProc(TMessage &message) override;

 private:
  bool default_ = false;
};

class TCustomCheckBox : public TButtonControl {
 public:
  VCL_CLASS_NAME(TCustomCheckBox)
  explicit TCustomCheckBox(TComponent *owner);

  bool Checked() const { return state_ == cbChecked; }
  void SetChecked(bool checked) { SetState(checked ? cbChecked : cbUnchecked); }
  TCheckBoxState State() const { return state_; }
  void SetState(TCheckBoxState state);
  bool AllowGrayed = false;
  TAlignment Alignment = taRightJustify;  // caption right of the box

 protected:
  void CreateParams(TCreateParams &params) override;
  void WndProc(TMessage &message) override;
  virtual void Toggle();

 private:
  TCheckBoxState state_ = cbUnchecked;
};

class TCheckBox : public TCustomCheckBox {
 public:
  VCL_CLASS_NAME(TCheckBox)
  explicit TCheckBox(TComponent *owner) : TCustomCheckBox(owner) {}
};

// Checking a radio button unchecks the other radio buttons of its parent.
class TRadioButton : public TButtonControl {
 public:
  VCL_CLASS_NAME(TRadioButton)
  explicit TRadioButton(TComponent *owner);

  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  TAlignment Alignment = taRightJustify;

 protected:
  void CreateParams(TCreateParams &params) override;
  void WndProc(TMessage &message) override;

 private:
  bool checked_ = false;
};

// A frame with a caption around other controls.
class TCustomGroupBox : public TCustomControl {
 public:
  VCL_CLASS_NAME(TCustomGroupBox)
  explicit TCustomGroupBox(TComponent *owner);
  TRect ClientRect() const override;

 protected:
  void Paint() override;
};

class TGroupBox : public TCustomGroupBox {
 public:
  VCL_CLASS_NAME(TGroupBox)
  explicit TGroupBox(TComponent *owner) : TCustomGroupBox(owner) {}
};

enum TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };

class TCustomEdit : public TWinControl {
 public:
  VCL_CLASS_NAME(TCustomEdit)
  explicit TCustomEdit(TComponent *owner);

  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  char PasswordChar() const { return passwordChar_; }
  void SetPasswordChar(char c);
  TEditCharCase CharCase = ecNormal;
  // Only digits may be typed or pasted.
  bool NumbersOnly = false;
  bool AutoSelect = true;
  bool HideSelection = true;

  // Byte offsets into the GBK text.
  int SelStart();
  void SetSelStart(int start);
  int SelLength();
  void SetSelLength(int length);
  std::string SelText();
  void SetSelText(const std::string &text);
  void SelectAll();
  void Clear() { SetText(std::string()); }
  void ClearSelection();
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  bool Modified();
  void SetModified(bool value);

  TNotifyEvent OnChange;

 protected:
  void CreateParams(TCreateParams &params) override;
  void WndProc(TMessage &message) override;
  virtual void Change();
  void DoEnter() override;

 private:
  int maxLength_ = 0;
  bool readOnly_ = false;
  char passwordChar_ = 0;
};

class TEdit : public TCustomEdit {
 public:
  VCL_CLASS_NAME(TEdit)
  explicit TEdit(TComponent *owner) : TCustomEdit(owner) {}
};

class TStrings;
class TMemoLines;

class TCustomMemo : public TCustomEdit {
 public:
  VCL_CLASS_NAME(TCustomMemo)
  explicit TCustomMemo(TComponent *owner);
  ~TCustomMemo() override;

  // The text as lines (reading and writing go to the control).
  TStrings *Lines();
  TScrollStyle ScrollBars = ssNone;
  bool WordWrap = true;
  bool WantReturns = true;
  bool WantTabs = false;

 protected:
  void CreateParams(TCreateParams &params) override;
  LRESULT DialogCode() override;

 private:
  std::unique_ptr<TMemoLines> lines_;
};

class TMemo : public TCustomMemo {
 public:
  VCL_CLASS_NAME(TMemo)
  explicit TMemo(TComponent *owner) : TCustomMemo(owner) {}
};
