// Rich text: TRichEdit shows our text (with colours and styles per range
// and detected web addresses) and reports a mouse action on an address to
// its parent as the rich edit's link notification (WM_NOTIFY, EN_LINK);
// TWebBrowser is the embedded web browser: a real web engine shows local
// pages and web sites alike where the engine is there and allowed; else a
// Qt text browser shows local pages and other addresses as a link to the
// system web browser. TRichEdit is a Qt text browser inside its window.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "classlib/controls.h"
#include "classlib/forms.h"
#include "classlib/stdctrls.h"

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
  // Both also change a shown control.
  void SetWordWrap(bool wrap);
  // The paragraphs' alignment, kept for every text put in later.
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment alignment);
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
  void ApplyAlignment();
  void DetectLinks();
  // Sends EN_LINK to the parent when the mouse message lies on a link.
  bool NotifyLink(UINT msg, WPARAM wParam, LPARAM lParam);
  int PositionAt(int x, int y);

  std::string pending_;  // the text while no window exists
  bool readOnly_ = false;
  bool autoUrl_ = false;
  TAlignment alignment_ = taLeftJustify;
  DWORD eventMask_ = 0;
  TTextAttributes selAttributes_;
  std::unique_ptr<LinesAdapter> lines_;
};

namespace platform {
class WebView;
// Whether browser controls may start the web engine (on by default). The
// test binaries turn it off, so that only the tests of the browser itself
// start one; without it a browser shows pages as a text browser does.
void AllowWebEngine(bool allow);
// Settings the web engine needs before the Qt application is made: call it
// before constructing the QApplication.
void PrepareWebEngine();
}  // namespace platform

// The embedded web browser, in a window of its own.
class TWebBrowser : public TWinControl {
 public:
  VCL_CLASS_NAME(TWebBrowser)
  explicit TWebBrowser(TComponent *owner);
  ~TWebBrowser() override;

  // Opens an address: a local file (Windows form or a file: address) or a
  // web address. False when a local file is missing. Without the engine a
  // web address is only kept (shown as a link to the system browser).
  bool Navigate(const std::string &address);
  void GoBack();
  void GoForward();
  // The address of the page shown (as the engine reports it once it has
  // gone there).
  std::string LocationURL() const { return location_; }
  std::string LocationName() const { return title_; }
  // True while the engine shows the pages.
  bool UsesEngine() const { return view_ != nullptr; }
  // The shown page as plain text, for those that read it back (the text
  // browser only; empty with the engine).
  std::string DocumentText();

  // Raised when a page has loaded, with its address.
  std::function<void(TObject *sender, const std::string &url)> OnDocumentComplete;
  // Raised when the page's title changes.
  std::function<void(TObject *sender, const std::string &text)> OnTitleChange;

 protected:
  void CreateHandle() override;
  void DestroyHandle() override;
  void WndProc(TMessage &message) override;

 private:
  void Show(const std::string &entry);
  void LinkClicked(const std::string &address);
  void Complete();
  std::string location_;
  std::string title_;
  // Without the engine: the history of posix paths and web addresses.
  std::vector<std::string> history_;
  size_t historyAt_ = 0;
  platform::WebView *view_ = nullptr;  // owned by the window's widget
  // Shared with the engine's events, which find the control gone once it is.
  std::shared_ptr<TWebBrowser *> alive_;
};
