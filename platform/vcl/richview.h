// Rich text: TRichEdit shows our text (with colours and styles per range
// and detected web addresses) and reports a mouse action on an address to
// its parent as the rich edit's link notification (WM_NOTIFY, EN_LINK);
// TWebBrowser shows local HTML pages, follows their local links itself and
// hands other addresses to the system web browser. Both are Qt text
// browsers inside their windows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/vcl/controls.h"
#include "platform/vcl/forms.h"
#include "platform/vcl/stdctrls.h"

class QTextBrowser;

// ---- the rich edit's messages and records ------------------------------------------------------
enum : UINT {
  EM_EXGETSEL = WM_USER + 52,
  EM_EXSETSEL = WM_USER + 55,
  EM_GETEVENTMASK = WM_USER + 59,
  EM_SETEVENTMASK = WM_USER + 69,
  EM_GETTEXTRANGE = WM_USER + 75,
  EM_AUTOURLDETECT = WM_USER + 91,
};
constexpr DWORD ENM_LINK = 0x04000000;
constexpr UINT EN_LINK = 0x070B;
struct CHARRANGE {
  LONG cpMin;
  LONG cpMax;
};
struct TEXTRANGEA {
  CHARRANGE chrg;
  LPSTR lpstrText;  // room for the range's text and a NUL
};
struct ENLINK {
  NMHDR nmhdr;
  UINT msg;  // the mouse message over the link
  WPARAM wParam;
  LPARAM lParam;
  CHARRANGE chrg;  // the link's characters
};

class TRichEdit;

// The look of the selected text (or of text typed next).
class TTextAttributes {
 public:
  explicit TTextAttributes(TRichEdit *edit) : edit_(edit) {}
  TColor Color() const;
  void SetColor(TColor color);
  TFontStyles Style() const;
  void SetStyle(TFontStyles style);
  int Height() const;
  void SetHeight(int height);
  std::string Name() const;
  void SetName(const std::string &name);

 private:
  TRichEdit *edit_;
};

class TRichEdit : public TWinControl {
 public:
  VCL_CLASS_NAME(TRichEdit)
  explicit TRichEdit(TComponent *owner);
  ~TRichEdit() override;

  // The text as lines; reading and writing go to the control.
  TStrings *Lines();
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool value);
  bool WordWrap = true;
  TBorderStyle BorderStyle = bsSingle;
  TScrollStyle ScrollBars = ssBoth;

  // Character positions (not bytes) in the shown text.
  int SelStart();
  void SetSelStart(int start);
  int SelLength();
  void SetSelLength(int length);
  std::string SelText();
  void SelectAll();
  void CopyToClipboard();
  void Clear() { SetText(std::string()); }
  TTextAttributes *SelAttributes() { return &selAttributes_; }

  // The addresses found in the text, as character ranges.
  std::vector<CHARRANGE> Links();

  void WndProc(TMessage &message) override;

  QTextBrowser *Browser();  // null before the window exists

 protected:
  void CreateHandle() override;
  void DestroyHandle() override;
  std::string GetText() const override;
  void FontChanged() override;
  void ColorChanged() override;

 private:
  friend class TTextAttributes;
  class LinesAdapter;
  void ApplyText(const std::string &gbk);
  void DetectLinks();
  // Sends EN_LINK to the parent when the mouse message lies on a link.
  bool NotifyLink(UINT msg, WPARAM wParam, LPARAM lParam);
  int PositionAt(int x, int y);

  std::string pending_;  // the text while no window exists
  bool readOnly_ = false;
  bool autoUrl_ = false;
  DWORD eventMask_ = 0;
  TTextAttributes selAttributes_;
  std::unique_ptr<LinesAdapter> lines_;
};

// Local HTML pages (and plain text files) in a window of their own.
class TWebBrowser : public TWinControl {
 public:
  VCL_CLASS_NAME(TWebBrowser)
  explicit TWebBrowser(TComponent *owner);
  ~TWebBrowser() override;

  // A local file (Windows form or a file: address) is shown; any other
  // address goes to the system web browser. False when the file is missing.
  bool Navigate(const std::string &address);
  void GoBack();
  void GoForward();
  std::string LocationURL() const { return location_; }
  // The shown page as plain text, for those that read it back.
  std::string DocumentText();

 protected:
  void CreateHandle() override;

 private:
  void Show(const std::string &posixPath);
  void LinkClicked(const std::string &address);
  std::string location_;
  std::vector<std::string> history_;
  size_t historyAt_ = 0;
};
