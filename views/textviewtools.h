// What the text views share: the news, notes and information-text views and
// the message dialogs all show server texts in a read-only rich edit whose
// web links open in the browser, copy, save and print its lines, read byte
// ranges of the cache's text files, and list items stamped with the
// server's date-time word.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "classlib/dialogs.h"
#include "classlib/graphics.h"
#include "classlib/listbox.h"
#include "classlib/menus.h"
#include "market/marketrecords.h"
#include "classlib/richview.h"
#include "views/pagefile.h"  // ReadWholeFile

class TMultiViewChild;

constexpr char kLinkTooLongText[] = "链接地址太长。  ";
constexpr char kNoBrowserText[] = "无法启动浏览器。  ";
// The longest link that opens, in bytes.
constexpr int kMaxLinkLength = 511;

// The main window holds a request client (the terminal is online).
bool ViewOnline();
// The main window's key-hook pause flag.
void ViewPauseKeyHook(bool paused);
// "%s%d.tmp" of a ranking answer in the system temporary folder the main
// window keeps.
void TempAnswerPath(int number, char *path, size_t size);

// "联动(&S)" of a view's popup menu: checked from the view's link flag when
// the menu pops up, toggling it when chosen (the main window's own item
// loses its check mark when the flag goes off).
TMenuItem *AddLinkMenuItem(TPopupMenu *menu, TMultiViewChild *view, bool visible = true);
// A plain item of a popup menu.
TMenuItem *AddMenuItem(TPopupMenu *menu, const char *caption, std::function<void()> click);
// Paints one line of the headline and note lists: the list colours
// (COLOR27 back, COLOR28 text), swapped when selected; text may be null.
void PaintListLine(TCanvas *canvas, const TRect &rect, bool selected, const char *text);

// The list and text panes the news and notes views build alike, both
// filling the view (the text hidden until an item opens).
// The list: owner-drawn lines (lineText gives none past the end), Enter or a double
// click opens the selected index, ESC and the menu's back item (caption
// back) go back a page, a press activates the view; the popup menu holds a
// hidden "联动(&S)", back and "打印(&P)".
TListBox *MakeLinePane(TMultiViewChild *view, std::function<std::optional<std::string>(int index)> lineText,
                       std::function<void(int index)> open, const char *back, std::function<void()> print,
                       TPopupMenu **menu);
// The text: a read-only rich edit, ESC or Enter closes it, a left press is
// handed to leftPress; the popup menu holds "后退        ESC", "复制(&C)",
// "另存为(&A)" (through the save dialog made here), "打印(&P)" and a hidden
// "联动(&S)".
TRichEdit *MakeTextPane(TMultiViewChild *view, std::function<void()> close, std::function<void()> leftPress,
                        std::function<void()> print, TPopupMenu **menu, TSaveDialog **saveDialog);

// URL detection and link notifications on.
void EnableLinks(TRichEdit *edit);
// Starts "IEXPLORE.EXE" with the link, else opens it with the shell; shows
// "无法启动浏览器。  " when both fail. A link that names a program on this
// machine is never run.
void OpenLinkExternally(HWND owner, const char *link);
// A WM_NOTIFY of the rich edit: a left-button press on a link opens it
// (a link over 511 bytes shows "链接地址太长。  " instead). True when the
// message was the edit's link notification.
bool HandleLinkNotify(LPARAM lParam, TRichEdit *edit, HWND owner);

// Copies the selection, or the whole text when nothing is selected; with
// black the text is copied in black.
void CopyRichText(TRichEdit *edit, bool black);
// The save dialog; the chosen name gets ".txt" when its last component has
// no dot, and every line of the edit is written with CR LF.
void SaveRichText(TRichEdit *edit, TSaveDialog *dialog);
// The name a save writes to.
std::string SaveName(const std::string &chosen);

// Prints lines on as many pages as needed: a header line with the year and
// a rule first, then each line; a line that reaches the bottom margin
// starts a new page (a line taller than a page is printed on its own page,
// so printing always ends). Returns the pages printed.
int PrintTextLines(const std::vector<std::string> &lines);
// Prints lines on one page, stopping at the first one that does not fit.
int PrintListLines(const std::vector<std::string> &lines);
// Every line of a rich edit.
std::vector<std::string> RichLines(TRichEdit *edit);

// The bytes [offset, offset + length) of a text file (offset 0xFFFFFFFF:
// the whole file), copied through the scratch file "..\Data\temp.txt" as
// the views do. Returns false when the file cannot be opened; *text holds
// what was copied.
bool ReadTextRange(const char *path, uint32_t offset, uint32_t length, std::string *text);
// A range counts as downloaded when it has bytes and its first is not NUL.
inline bool TextRangePresent(const std::string &text) { return !text.empty() && text[0] != '\0'; }

// The server's date-time word (bits 0-19 a decimal date ending in MMDD,
// bits 20-31 the decimal time HHMM of market 0) moved to local time.
struct ServerStamp {
  int month, day, hour, minute;
};
ServerStamp LocalStampOf(uint32_t word);
// "  %2d/%02d %2d:%02d %s".
std::string StampedLine(const ServerStamp &stamp, const char *title);

// The second left click within 300 ms of the first.
class TDoubleClickTimer {
 public:
  // Records a click at the tick count; true when it is the second quick one.
  bool Click(uint32_t now);

 private:
  uint32_t last_ = 0;
  bool armed_ = false;
};

// One 256-byte entry of an instrument's information index.
struct InfoIndexEntry {
  uint32_t date = 0;  // decimal YYYYMMDD
  uint32_t time = 0;  // decimal HHMMSS
  char title[65] = {};
  char fileName[81] = {};
  uint32_t offset = 0;  // 0xFFFFFFFF: the whole text file
  uint32_t length = 0;
};
constexpr int kInfoEntrySize = 256;
InfoIndexEntry ParseInfoEntry(const uint8_t *entry);
// The index and text files of an instrument's information of a kind
// ("base\<code><kind>.idx" and ".txt"); false for an unknown instrument.
bool InfoFilePaths(STKPTR stock, int kind, char *indexPath, char *textPath, int size);
