// The news view. In list mode it shows the headlines of the news index
// under a strip of news-type tabs and a strip of branch tabs, with a search
// box that remembers five searches and a read-only text of the opened item;
// bodies and older headlines are asked of the quote server on demand. In
// web mode it shows the configured news site or the web address of its
// attributes.
//
// TNewsListCore builds the headline lines from the index without a window;
// TMsgForm shows them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/kvpagetab.h"
#include "market/newsindex.h"
#include "classlib/combobox.h"
#include "classlib/extctrls.h"
#include "classlib/listbox.h"
#include "classlib/menus.h"
#include "classlib/richview.h"
#include "classlib/stdctrls.h"
#include "views/childview.h"
#include "views/newstypes.h"
#include "views/textviewtools.h"

// Item values of the lines that are no headline.
constexpr int64_t kNewsLineMore = -2;
constexpr int64_t kNewsLineSeparator = -3;
constexpr char kNewsMoreText[] = "◇ 查看更多新闻...";
constexpr char kNewsBusyText[] = "◇ 正在补全新闻，请稍候...";
constexpr char kReadMark[] = "★";
constexpr char kNoSuchItemText[] = "无此项资料";
constexpr int kMaxTypeTabs = 124;

struct NewsLine {
  std::string text;
  int64_t value;  // the news id, or one of the values above
};

class TNewsListCore {
 public:
  static constexpr int32_t kMaxRecords = 5000;
  TNewsListCore();

  // The newest (at most 5000) records of the type (0 = all), newest first:
  // without the right for their type when rights apply; with a branch only
  // titles holding one of its keywords; with a search text only titles
  // holding it. A day separator goes before each earlier day; the list ends
  // with the line for more headlines when asked. A busy index gives only
  // the busy line.
  void Fill(const TNewsIndex *index, uint32_t type, const NEWSBRANCH *branch, const char *search, bool moreLine,
            bool applyRights);
  // The line of a news id; -1 when not listed.
  int LineOf(uint32_t id) const;
  // Puts the read mark on a headline line (once).
  void MarkLineRead(int line);

  std::vector<NewsLine> lines;

 private:
  std::unique_ptr<NEWSREC[]> buffer_;
};

// A headline's line: "  %2d/%02d %2d:%02d %s" in local time, "★" in front
// when read.
std::string HeadlineText(const NEWSREC &record);

class TMsgForm : public TChildView {
 public:
  TMsgForm(TMultiViewMain *page, int listMode, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
           EArray<VIEW_ATTR_13> *history, PaneNode *node);
  ~TMsgForm() override;

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void Print() override;
  void InitView() override;
  void ApplyFonts() override;
  void WndProc(TMessage &message) override;

  // ---- what the main window calls ----
  void ReloadHeadlines();
  void ShowNewsFile();
  void N8Click();  // back from the text to the list
  // A pushed headline's line at the top of the list; the line opens that
  // news id as any listed headline does.
  void InsertHeadline(const char *text, uint32_t newsId);
  // The news type the view lists (0 = every type).
  uint32_t NewsType() const { return currentType_; }

  // ---- handlers ----
  void FillTypeTabs();
  void SearchPageTabChange(int tab);
  void BranchPageTabTitleChange(int tab);
  void FillHeadlines();
  void OpenLine(int line);
  void XPButton1Click();
  void SearchHeadlines(const char *text);
  void LoadSearchHistory();
  void RichEdit1MouseDown();
  void NSelTypesClick();
  void BackClick();
  void ForwardClick();

  // ---- what tests and the main window read ----
  bool WebMode() const { return webMode_; }
  bool TextShown() const { return RichEdit1->Visible(); }
  const char *CurrentItemFile() const { return itemFile_; }
  const std::vector<NewsLine> &Lines() const { return core_.lines; }
  int TypeTabCount() const { return typeTabCount_; }
  int TypeTabId(int i) const { return i >= 0 && i < typeTabCount_ ? typeIds_[i] : -1; }
  const std::vector<const NEWSBRANCH *> &Branches() const { return branches_; }
  const std::string &History(int i) const { return history_[i]; }
  int Zoom() const { return zoom_; }

  TPanel *Panel1 = nullptr;
  TPanel *Panel2 = nullptr;
  TPanel *Panel3 = nullptr;
  TKVPageTab *SearchPageTab = nullptr;
  TKVPageTab *BranchPageTab = nullptr;
  TComboBox *ComboBox1 = nullptr;
  TButton *XPButton1 = nullptr;
  TListBox *NewsList = nullptr;
  TRichEdit *RichEdit1 = nullptr;
  TPanel *NewsBrowserPanel = nullptr;
  TWebBrowser *WebNewsBrowser = nullptr;
  TLabel *HINT = nullptr;
  TPopupMenu *PopupMenu1 = nullptr;
  TPopupMenu *PopupMenu2 = nullptr;
  TPopupMenu *PopupMenu3 = nullptr;
  TPopupMenu *WebBrowserMenu = nullptr;
  TSaveDialog *SaveDialog1 = nullptr;

  // The filter the next headline fill applies, shared by all news views.
  static uint32_t &CurrentType();
  static const NEWSBRANCH *&CurrentBranch();

  // The application message hook of the news views: messages to the browser
  // panel or inside it. True when the message goes no further.
  bool BrowserMessage(MSG &msg);

 private:
  void BuildControls();
  void ShowList();
  void ShowText();
  void FillList(int keepLine);
  void FillBranchTabs();
  void SetTextFont(TWinControl *control, int zoom);
  void ApplyZoom(int step);
  void InstallHook();
  void RemoveHook();

  TNewsListCore core_;
  bool webMode_ = false;
  uint8_t currentType_ = 0;
  char itemFile_[32] = {};
  char itemPath_[260] = {};
  uint8_t typeIds_[kMaxTypeTabs] = {};
  int typeTabCount_ = 0;
  std::vector<const NEWSBRANCH *> branches_;
  std::string history_[5];
  int zoom_ = 0;
  TDoubleClickTimer clicks_;
};

void RegisterNewsView();
