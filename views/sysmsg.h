// The two message windows the main window keeps one of each: the system
// message dialog (system message, update notice, disclaimer, trading
// notice; a "查看" button for a link) and the borderless real-time message
// pop-up in the bottom right corner of the main window (a close spot, a
// link spot, a box for "not again today" and, in news mode, a click on the
// text that opens the news item in a news view). Both show texts the quote
// server leaves as files in the program folder.
#pragma once

#include <cstdint>
#include <string>

#include "classlib/forms.h"
#include "classlib/richview.h"
#include "classlib/stdctrls.h"

class TMultiViewMain;

// A message file's text with its link line taken off: a first line longer
// than 3 characters that begins with "URL:" gives the link (at most 511
// bytes); with newsLine a first line longer than 4 characters that begins
// with "NEWS:" is taken off too.
struct MessageText {
  std::string text;
  std::string link;
};
MessageText ParseMessageText(const std::string &file, bool newsLine);
// The file of a kind letter: 'a' ".\sysmsg.txt", 'b' ".\rtmsg.txt",
// 'u' ".\update.txt", 'd' ".\tradead.txt", any other ".\notice.txt".
const char *MessageFileOf(char kind);

class TSysMsgDlg : public TForm {
 public:
  TSysMsgDlg(TComponent *owner, char kind);

  void Button1Click();
  void XPButton2Click();
  char Kind() const { return kind_; }
  const char *Link() const { return link_; }

  TRichEdit *XPRichEdit1 = nullptr;
  TButton *Button1 = nullptr;
  TButton *XPButton2 = nullptr;

  void WndProc(TMessage &message) override;

 private:
  void LoadFile(const char *path);
  char link_[512] = {};
  char kind_ = 'a';
};

// The spots of the pop-up's picture (client pixels, bounds inclusive).
enum class PopupSpot { kNone, kTitle, kClose, kLink, kBox };
PopupSpot PopupSpotAt(int x, int y);

class TQQMsgDlg : public TForm {
 public:
  static constexpr int kWidth = 391, kHeight = 282;
  static constexpr COLORREF kBlank = 0xF8F3E7;
  static constexpr COLORREF kCheckColor = 0x21A121;

  explicit TQQMsgDlg(TComponent *owner);
  ~TQQMsgDlg() override;

  void SetMode(int mode);
  void FormCreate();
  void Image1Click(int x, int y);
  void XPRichEdit1MouseDown();
  void WndProc(TMessage &message) override;

  int Mode() const { return mode_; }
  bool NotAgainToday() const { return notAgain_; }
  int32_t BlockedUntil() const { return blockedUntil_; }
  const char *Link() const { return link_; }
  // The pop-up's picture as it is now.
  HBITMAP Picture() const { return picture_; }

  TRichEdit *XPRichEdit1 = nullptr;
  // The page whose news view opens a news item (news mode).
  TMultiViewMain *page = nullptr;

 protected:
  void Paint() override;
  void DoClose(TCloseAction &action) override;

 private:
  void DrawPicture();
  void FillArea(int left, int top, int right, int bottom, COLORREF color);

  int mode_ = 0;
  bool notAgain_ = false;
  int32_t blockedUntil_ = 0;
  char link_[512] = {};
  HBITMAP picture_ = nullptr;
};

// Today's local date as decimal YYYYMMDD.
int32_t TodayNumber();
// Opens a news item by its title in the page's news view (made in the
// current pane when there is none) and asks the view to show it.
void OpenNewsFromPopup(TMultiViewMain *page, const char *title);
