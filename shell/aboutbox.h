// The small boxes of the help menu and the page: the user-information box
// TAboutBox ("用户信息"), the about box Trighrbox ("关于") and the news-address
// dialog TTSetNewsUrlForm ("设置新闻地址").
#pragma once

#include <cstdint>
#include <string>

#include "classlib/forms.h"
#include "classlib/image.h"
#include "classlib/stdctrls.h"
#include "core/xpbutton.h"
#include "core/xpedit.h"

// The program's own texts and addresses.
extern const char kProductName[];
extern const char kProductCompany[];
extern const char kProductTelephone[];
extern const char kProductWebAddress[];
// The release notes; the version's anchor "#v<version>" is appended.
extern const char kReleaseNotesAddress[];

class TAboutBox : public TForm {
 public:
  explicit TAboutBox(TComponent *owner);

  // Set by the opener before ShowUserInfo.
  int connected = 0;
  char userName[16] = {};
  uint32_t expiryDate = 0;  // yymmdd

  TLabel *Label1, *Label3, *Label5, *Label7, *Label8, *Label9;
  TButton *OKButton;

  void ShowUserInfo();
  // The white title band with its line and the title in Label1's font.
  void FormPaint(HDC dc);
};

// The expiry date as the box shows it: "20yy年mm月dd日" of yymmdd.
std::string ExpiryDateText(uint32_t yymmdd);
// yyyymmdd as yymmdd.
inline uint32_t ShortExpiryDate(uint32_t yyyymmdd) { return yyyymmdd % 1000000; }

class Trighrbox : public TForm {
 public:
  explicit Trighrbox(TComponent *owner);

  TImage *Image1;
  TLabel *Label10;  // the version, a link to its release notes
  TLabel *Label8;   // the web address, a link
  TButton *Button1;

  void FormCreate();
  void Label8Click(TObject *sender);
  void Label10Click(TObject *sender);
};

// "%u.%u.%u" of a program version major x 10000000 + minor x 10000 + release.
std::string VersionText(uint32_t version);
// Opens an address through "IEXPLORE.EXE", else by itself; "无法启动浏览器。  "
// when both fail.
void OpenAddressInBrowser(HWND owner, const char *address);

class TTSetNewsUrlForm : public TForm {
 public:
  explicit TTSetNewsUrlForm(TComponent *owner);

  TLabel *Label1;
  TXPEdit *XPEdit1;
  TXPButton *XPButton1;
  char address[128] = {};

  // The edit's text, at most 127 bytes (never half a character), into the
  // address; closes with OK.
  void XPButton1Click(TObject *sender);
};
