// The class library's common dialogs. Each Execute asks the one answerer of
// classlib/commdlg.h, which tests replace; true when the user chose.
#pragma once

#include <string>

#include "classlib/classes.h"
#include "classlib/graphics.h"

class TCommonDialog : public TComponent {
 public:
  VCL_CLASS_NAME(TCommonDialog)
  explicit TCommonDialog(TComponent *owner) : TComponent(owner) {}
  virtual bool Execute() = 0;

 protected:
  // The window of the form that owns the dialog, for the dialog's owner.
  HWND OwnerWindow() const;
};

enum TOpenOption : unsigned {
  ofReadOnly = 1u << 0,
  ofOverwritePrompt = 1u << 1,
  ofHideReadOnly = 1u << 2,
  ofNoChangeDir = 1u << 3,
  ofPathMustExist = 1u << 4,
  ofFileMustExist = 1u << 5,
  ofEnableSizing = 1u << 6,
};
typedef unsigned TOpenOptions;

class TOpenDialog : public TCommonDialog {
 public:
  VCL_CLASS_NAME(TOpenDialog)
  explicit TOpenDialog(TComponent *owner) : TCommonDialog(owner) {}

  // GBK; paths in Windows form. Filter is "description|pattern|..." .
  std::string FileName;
  std::string Filter;
  int FilterIndex = 1;
  std::string InitialDir;
  std::string DefaultExt;
  std::string Title;
  TOpenOptions Options = ofHideReadOnly | ofEnableSizing;

  bool Execute() override;

 protected:
  virtual bool Saving() const { return false; }
};

class TSaveDialog : public TOpenDialog {
 public:
  VCL_CLASS_NAME(TSaveDialog)
  explicit TSaveDialog(TComponent *owner) : TOpenDialog(owner) {}

 protected:
  bool Saving() const override { return true; }
};

class TColorDialog : public TCommonDialog {
 public:
  VCL_CLASS_NAME(TColorDialog)
  explicit TColorDialog(TComponent *owner) : TCommonDialog(owner) {}
  TColor Color = clBlack;
  bool Execute() override;
};

class TFontDialog : public TCommonDialog {
 public:
  VCL_CLASS_NAME(TFontDialog)
  explicit TFontDialog(TComponent *owner) : TCommonDialog(owner) {}
  // The font shown at the start and the one chosen (name, height, style
  // and colour).
  TFont *Font() { return &font_; }
  bool Execute() override;

 private:
  TFont font_;
};
