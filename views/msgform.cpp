#include "views/msgform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "market/reqbuild.h"
#include "market/rights.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/messages.h"
#include "classlib/printer.h"
#include "platform/profile.h"
#include "market/utildata.h"
#include "views/mvmain.h"
#include "views/viewdisplay.h"

// ---- Headline lines ------------------------------------------------------------------------

std::string HeadlineText(const NEWSREC &record) {
  char title[sizeof record.title + 1] = {};
  std::memcpy(title, record.title, sizeof record.title);
  std::string line = StampedLine(LocalStampOf(record.dateTime), title);
  if (NewsIsRead(record)) line = kReadMark + line.substr(2);
  return line;
}

TNewsListCore::TNewsListCore() : buffer_(new NEWSREC[kMaxRecords]) {}

namespace {

bool TitleHas(const NEWSREC &r, const char *text) {
  char title[sizeof r.title + 1] = {};
  std::memcpy(title, r.title, sizeof r.title);
  return std::strstr(title, text) != nullptr;
}

}  // namespace

void TNewsListCore::Fill(const TNewsIndex *index, uint32_t type, const NEWSBRANCH *branch, const char *search,
                         bool moreLine, bool applyRights) {
  lines.clear();
  if (!index) return;
  if (index->IsListLoading()) {
    lines.push_back({kNewsBusyText, kNewsLineMore});
    return;
  }
  const int32_t n = index->GetLatest(type, buffer_.get(), kMaxRecords);
  int lastDay = -1;
  for (int32_t i = n - 1; i >= 0; --i) {
    const NEWSREC &r = buffer_[i];
    if (applyRights && !HasFeatureRight(int(NewsTypeOf(r)))) continue;
    if (branch) {
      bool hit = false;
      for (int k = 0; k < kMaxBranchKeywords && branch->keywords[k][0] && !hit; ++k) {
        char keyword[17] = {};
        std::memcpy(keyword, branch->keywords[k], 16);
        hit = TitleHas(r, keyword);
      }
      if (!hit) continue;
    }
    if (search && !TitleHas(r, search)) continue;
    const ServerStamp stamp = LocalStampOf(r.dateTime);
    if (lastDay >= 0 && stamp.day != lastDay) {
      char separator[64];
      std::snprintf(separator, sizeof separator, "               --- %d/%d ---", stamp.month, stamp.day);
      lines.push_back({separator, kNewsLineSeparator});
    }
    lastDay = stamp.day;
    lines.push_back({HeadlineText(r), int64_t(r.id)});
  }
  if (moreLine) lines.push_back({kNewsMoreText, kNewsLineMore});
}

int TNewsListCore::LineOf(uint32_t id) const {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].value == int64_t(id)) return int(i);
  return -1;
}

void TNewsListCore::MarkLineRead(int line) {
  if (line < 0 || line >= int(lines.size()) || lines[size_t(line)].value < 0) return;
  std::string &text = lines[size_t(line)].text;
  if (text.compare(0, 2, kReadMark) != 0 && text.size() >= 2) text = kReadMark + text.substr(2);
}

// ---- The view ------------------------------------------------------------------------------

namespace {

// The news views that take part in the application message hook, and the
// hook that was there before the first of them.
struct HookChain {
  std::vector<TMsgForm *> views;
  TMessageEvent previous;
};
HookChain &Hooks() {
  static HookChain chain;
  return chain;
}

bool Inside(HWND window, HWND parent) {
  for (HWND w = window; w; w = GetParent(w))
    if (w == parent) return true;
  return false;
}

}  // namespace

uint32_t &TMsgForm::CurrentType() {
  static uint32_t type = 0;
  return type;
}

const NEWSBRANCH *&TMsgForm::CurrentBranch() {
  static const NEWSBRANCH *branch = nullptr;
  return branch;
}

void RegisterNewsView() {
  RegisterViewClass(VIEW_TYPE_NEWS,
                    [](TMultiViewMain *page, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                       EArray<VIEW_ATTR_13> *history, PaneNode *node, int newsFlag) -> TMultiViewChild * {
                      return new TMsgForm(page, newsFlag, record, viewData, history, node);
                    });
}

TMsgForm::TMsgForm(TMultiViewMain *page, int listMode, const VIEW_ATTR_13 *record, MVCDATA_12 *viewData,
                   EArray<VIEW_ATTR_13> *history, PaneNode *node)
    : TChildView(page, viewData, history, node) {
  if (record)
    m_attr = *record;
  else
    InitViewAttr(VIEW_TYPE_NEWS, &m_attr);
  m_attr.viewType = VIEW_TYPE_NEWS;
  LoadNewsTypeTable();
  BuildControls();

  const char *settings = "..\\CFG\\Setting.ini";
  bool webNews = GetPrivateProfileIntA("News", "WebNews", 1, settings) == 1;
  char url[512] = {};
  if (webNews) {
    char base[256] = {}, oem[32] = {};
    GetPrivateProfileStringA("News", "URL", "", base, sizeof base, settings);
    GetPrivateProfileStringA("News", "OEM", "", oem, sizeof oem, settings);
    if (!base[0])
      webNews = false;
    else if (oem[0])
      std::snprintf(url, sizeof url, "%s/Index/%sIndex.html", base, oem);
    else
      std::snprintf(url, sizeof url, "%s", base);
  }
  char address[kWebAddressSize + 1] = {};
  std::memcpy(address, m_attr.webAddress, kWebAddressSize);
  if (listMode == 0 && !address[0]) listMode = 1;
  ApplyFonts();
  webMode_ = webNews || listMode == 0;
  if (webMode_) {
    WebNewsBrowser->Navigate(listMode == 0 ? address : url);
    NewsBrowserPanel->Show();
    Panel1->Hide();
    NewsList->Hide();
    HINT->SetCaption("正在获取新闻，请稍候...");
  } else {
    FillTypeTabs();
    LoadSearchHistory();
    UpdateMenuCaptions();
  }
  InstallHook();
}

TMsgForm::~TMsgForm() { RemoveHook(); }

void TMsgForm::BuildControls() {
  auto panel = [](TWinControl *parent, TAlign align, int size) {
    auto *p = new TPanel(parent);
    p->SetParent(parent);
    p->SetBevelOuter(bvNone);
    p->SetAlign(align);
    if (align == alTop || align == alBottom)
      p->SetHeight(size);
    else if (size)
      p->SetWidth(size);
    return p;
  };
  Panel1 = panel(this, alTop, 44);
  Panel3 = panel(Panel1, alClient, 0);
  Panel2 = panel(Panel1, alRight, 200);
  SearchPageTab = new TKVPageTab(Panel3);
  SearchPageTab->SetParent(Panel3);
  SearchPageTab->SetAlign(alTop);
  SearchPageTab->SetHeight(22);
  SearchPageTab->OnTitleChange = [this](TObject *, int32_t index) { SearchPageTabChange(index); };
  BranchPageTab = new TKVPageTab(Panel3);
  BranchPageTab->SetParent(Panel3);
  BranchPageTab->SetAlign(alClient);
  BranchPageTab->OnTitleChange = [this](TObject *, int32_t index) { BranchPageTabTitleChange(index); };
  PopupMenu3 = new TPopupMenu(this);
  TMenuItem *types = AddMenuItem(PopupMenu3, "新闻类型(&T)", [this] { NSelTypesClick(); });
  types->ShortCut = WORD(scCtrl | 'A');
  SearchPageTab->PopupMenu = PopupMenu3;

  ComboBox1 = new TComboBox(Panel2);
  ComboBox1->SetParent(Panel2);
  ComboBox1->SetBounds(4, 10, 130, 22);
  ComboBox1->OnEnter = [](TObject *) { ViewPauseKeyHook(true); };
  ComboBox1->OnExit = [](TObject *) { ViewPauseKeyHook(false); };
  ComboBox1->OnClick = [this](TObject *) {
    Activate();
    ViewPauseKeyHook(true);
  };
  ComboBox1->OnKeyDown = [this](TObject *, WORD &key, TShiftState) {
    if (key == VK_RETURN) XPButton1Click();
  };
  XPButton1 = new TButton(Panel2);
  XPButton1->SetParent(Panel2);
  XPButton1->SetCaption("查找");
  XPButton1->SetBounds(140, 10, 50, 22);
  XPButton1->OnClick = [this](TObject *) { XPButton1Click(); };

  NewsList = MakeLinePane(
      this,
      [this](int index) -> std::optional<std::string> {
        if (index < 0 || index >= int(core_.lines.size())) return std::nullopt;
        return core_.lines[size_t(index)].text;
      },
      [this](int index) { OpenLine(index); }, "后退        ESC", [this] { Print(); }, &PopupMenu1);
  RichEdit1 = MakeTextPane(
      this, [this] { N8Click(); }, [this] { RichEdit1MouseDown(); }, [this] { Print(); }, &PopupMenu2, &SaveDialog1);

  NewsBrowserPanel = new TPanel(this);
  NewsBrowserPanel->SetParent(this);
  NewsBrowserPanel->SetBevelOuter(bvNone);
  NewsBrowserPanel->SetAlign(alClient);
  NewsBrowserPanel->Hide();
  HINT = new TLabel(NewsBrowserPanel);
  HINT->SetParent(NewsBrowserPanel);
  HINT->SetBounds(10, 10, 240, 20);
  WebNewsBrowser = new TWebBrowser(NewsBrowserPanel);
  WebNewsBrowser->SetParent(NewsBrowserPanel);
  WebNewsBrowser->SetAlign(alClient);
  WebBrowserMenu = new TPopupMenu(this);
  AddMenuItem(WebBrowserMenu, "后退", [this] { BackClick(); });
  AddMenuItem(WebBrowserMenu, "前进", [this] { ForwardClick(); });
  WebNewsBrowser->PopupMenu = WebBrowserMenu;
}

void TMsgForm::InstallHook() {
  HookChain &chain = Hooks();
  if (chain.views.empty()) {
    chain.previous = Application()->OnMessage();
    Application()->SetOnMessage([](MSG &msg, bool &handled) {
      HookChain &c = Hooks();
      for (TMsgForm *view : std::vector<TMsgForm *>(c.views))
        if (view->BrowserMessage(msg)) {
          handled = true;
          return;
        }
      if (c.previous) c.previous(msg, handled);
    });
  }
  chain.views.push_back(this);
}

void TMsgForm::RemoveHook() {
  HookChain &chain = Hooks();
  chain.views.erase(std::remove(chain.views.begin(), chain.views.end(), this), chain.views.end());
  if (chain.views.empty()) {
    Application()->SetOnMessage(chain.previous);
    chain.previous = nullptr;
  }
}

bool TMsgForm::BrowserMessage(MSG &msg) {
  if (!NewsBrowserPanel->HandleAllocated() || !Inside(msg.hwnd, NewsBrowserPanel->Handle())) return false;
  switch (msg.message) {
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      ::SetFocus(msg.hwnd);
      Activate();
      ViewPauseKeyHook(true);
      return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      ::SetFocus(msg.hwnd);
      Activate();
      ViewPauseKeyHook(true);
      return false;
    case WM_KEYDOWN:
      if (msg.wParam == VK_ESCAPE) {
        PostToPage(WM_MVM_BACK);
        return true;
      }
      return false;
    default: return false;
  }
}

void TMsgForm::InitView() {
  EnableLinks(RichEdit1);
  if (webMode_) return;
  if (NewsList->HandleAllocated() && NewsList->Visible()) NewsList->SetFocus();
  SearchPageTabChange(0);
}

void TMsgForm::SetTextFont(TWinControl *control, int zoom) {
  const VIEWFONTDEF &f = ViewFont(2);
  TFont *font = control->Font();
  font->SetName(std::string(f.face, strnlen(f.face, sizeof f.face)));
  font->SetStyle(TFontStyles(f.style & 0xF));
  font->SetHeight(-(f.size + zoom - 1));
}

void TMsgForm::ApplyFonts() {
  const TColor back = TColor(ViewColor(27));
  RichEdit1->SetColor(back);
  NewsList->SetColor(back);
  SetTextFont(RichEdit1, zoom_);
  SetTextFont(NewsList, zoom_);
  RichEdit1->Font()->SetColor(TColor(ViewColor(46)));
  NewsList->Font()->SetColor(TColor(ViewColor(28)));
  NewsList->Canvas()->Font()->Assign(NewsList->Font());
  NewsList->SetItemHeight(std::max(int(NewsList->Canvas()->TextHeight("啊") * 1.8), 1));
  Panel2->SetColor(back);
  SearchPageTab->SetColor(back);
  SearchPageTab->SetActiveButtonColor(TColor(ViewColor(57)));
  SearchPageTab->SetActiveFontColor(TColor(ViewColor(58)));
  SearchPageTab->SetArrowColor(TColor(ViewColor(57)));
  SearchPageTab->SetButtonColor(TColor(ViewColor(58)));
  SearchPageTab->SetFontColor(TColor(ViewColor(57)));
  BranchPageTab->SetColor(back);
  BranchPageTab->SetActiveButtonColor(back);
  BranchPageTab->SetBorderColor(back);
  BranchPageTab->SetButtonColor(back);
  BranchPageTab->SetActiveFontColor(TColor(ViewColor(59)));
  BranchPageTab->SetArrowColor(TColor(ViewColor(60)));
  BranchPageTab->SetFontColor(TColor(ViewColor(60)));
  if (m_cmdBox) {
    m_cmdBox->UpdateColors();
    m_cmdBox->m_background = 0xFFFFFF;
    m_cmdBox->Refresh();
  }
}

void TMsgForm::ApplyZoom(int step) {
  zoom_ += step;
  SetTextFont(RichEdit1, zoom_);
  SetTextFont(NewsList, zoom_);
  NewsList->Canvas()->Font()->Assign(NewsList->Font());
  NewsList->SetItemHeight(NewsList->Canvas()->TextHeight("证") + 12);
}

int TMsgForm::Notify(int code, uint32_t, intptr_t firstExtra, intptr_t) {
  if (code == 8 && firstExtra == 0 && RichEdit1->Visible() && RichEdit1->HandleAllocated()) {
    PostMessageA(RichEdit1->Handle(), WM_KEYDOWN, VK_NEXT, 0);
    PostMessageA(RichEdit1->Handle(), WM_KEYUP, VK_NEXT, 0);
  }
  if (code == 15) {
    if (firstExtra > 0 && zoom_ <= 9) ApplyZoom(1);
    if (firstExtra < 0 && zoom_ >= 1) ApplyZoom(-1);
  }
  return 0;
}

// ---- Tabs ----------------------------------------------------------------------------------

void TMsgForm::FillTypeTabs() {
  SearchPageTab->ClearTitle();
  SearchPageTab->AddTitle("所有类型");
  typeIds_[0] = 0;
  typeTabCount_ = 1;
  for (const NewsTypeName &n : NewsTypeNames(true)) {
    if (typeTabCount_ >= kMaxTypeTabs) break;
    SearchPageTab->AddTitle(n.name.c_str());
    typeIds_[typeTabCount_++] = uint8_t(n.id);
  }
}

void TMsgForm::FillBranchTabs() {
  BranchPageTab->ClearTitle();
  BranchPageTab->AddTitle(" 全部 ");
  branches_.assign(1, nullptr);
  if (const cls_msg_search *type = FindNewsType(currentType_))
    for (const NEWSBRANCH &b : type->branches) {
      if (!b.name[0]) break;
      char name[sizeof b.name + 1] = {};
      std::memcpy(name, b.name, sizeof b.name);
      BranchPageTab->AddTitle(name);
      branches_.push_back(&b);
    }
}

void TMsgForm::SearchPageTabChange(int tab) {
  Activate();
  core_.lines.clear();
  NewsList->Clear();
  ShowList();
  if (tab < 0 || tab >= typeTabCount_) tab = 0;
  currentType_ = typeIds_[tab];
  CurrentType() = currentType_;
  CurrentBranch() = nullptr;
  FillBranchTabs();
  BranchPageTabTitleChange(0);
}

void TMsgForm::BranchPageTabTitleChange(int tab) {
  CurrentBranch() = tab > 0 && tab < int(branches_.size()) ? branches_[size_t(tab)] : nullptr;
  FillHeadlines();
}

// ---- Headlines -------------------------------------------------------------------------------

void TMsgForm::ShowList() {
  RichEdit1->Hide();
  NewsList->Show();
}

void TMsgForm::ShowText() {
  NewsList->Hide();
  RichEdit1->Show();
}

void TMsgForm::FillList(int keepLine) {
  NewsList->Items()->BeginUpdate();
  NewsList->Clear();
  for (const NewsLine &l : core_.lines) NewsList->Items()->Add(l.text);
  NewsList->Items()->EndUpdate();
  if (keepLine >= 0) NewsList->SetItemIndex(keepLine < NewsList->Count() ? keepLine : 0);
}

void TMsgForm::FillHeadlines() {
  Activate();
  ShowList();
  core_.Fill(NewsIndex, CurrentType(), CurrentBranch(), nullptr, true, ViewOnline());
  FillList(-1);
  if (NewsList->HandleAllocated() && NewsList->Visible()) NewsList->SetFocus();
}

void TMsgForm::ReloadHeadlines() {
  if (webMode_) return;
  const int line = NewsList->ItemIndex();
  core_.Fill(NewsIndex, CurrentType(), CurrentBranch(), nullptr, true, ViewOnline());
  FillList(std::max(line, 0));
}

void TMsgForm::InsertHeadline(const char *text, uint32_t newsId) {
  if (!text) return;
  core_.lines.insert(core_.lines.begin(), NewsLine{text, int64_t(newsId)});
  NewsList->Items()->Insert(0, text);
}

void TMsgForm::OpenLine(int line) {
  if (!NewsIndex || NewsIndex->IsListLoading() || line < 0 || line >= int(core_.lines.size())) return;
  const int64_t value = core_.lines[size_t(line)].value;
  if (value == kNewsLineSeparator) return;
  if (value == kNewsLineMore) {
    if (ViewOnline() && NewsIndex->Count() <= TNewsListCore::kMaxRecords - 1) RequestNewsList(true, CurrentType());
    return;
  }
  core_.MarkLineRead(line);
  if (line < NewsList->Count()) NewsList->Items()->Put(line, core_.lines[size_t(line)].text);
  NEWSREC record{};
  if (!NewsIndex->MarkRead(uint32_t(value), &record)) {
    RichEdit1->Lines()->SetText(kNoSuchItemText);
    ShowText();
    return;
  }
  char path[kNewsTextPathSize];
  NewsTextPath(record.id, path);
  if (GetFileAttributesA(path) == INVALID_FILE_ATTRIBUTES && ViewOnline())
    RequestNewsBody(record.typeAndRead, record.id);
  std::snprintf(itemFile_, sizeof itemFile_, "%08u.txt", record.id);
  ShowNewsFile();
}

void TMsgForm::ShowNewsFile() {
  RichEdit1->Clear();
  ShowText();
  std::snprintf(itemPath_, sizeof itemPath_, "..\\data\\info\\%s", itemFile_);
  std::string text;
  if (ReadWholeFile(itemPath_, &text)) RichEdit1->Lines()->SetText(text);
  if (RichEdit1->HandleAllocated()) RichEdit1->SetFocus();
}

void TMsgForm::N8Click() {
  ShowList();
  if (NewsList->HandleAllocated()) NewsList->SetFocus();
}

void TMsgForm::RichEdit1MouseDown() {
  Activate();
  if (clicks_.Click(GetTickCount())) N8Click();
}

// ---- Search ----------------------------------------------------------------------------------

void TMsgForm::LoadSearchHistory() {
  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%sSETTING.INI", UserDataPath);
  ComboBox1->Clear();
  for (int i = 0; i < 5; ++i) {
    char key[32], value[64] = {};
    std::snprintf(key, sizeof key, "NewsSearch%d", i + 1);
    GetPrivateProfileStringA("MRU", key, "", value, sizeof value, path);
    history_[i] = value;
    if (value[0]) ComboBox1->Items()->Add(value);
  }
}

void TMsgForm::XPButton1Click() {
  std::string text = ComboBox1->Text();
  if (text.empty()) return;
  if (text.size() > 127) text.resize(127);
  Activate();
  ShowList();
  int at = 4;
  for (int i = 0; i < 5; ++i)
    if (history_[i] == text) {
      at = i;
      break;
    }
  for (int i = at; i > 0; --i) history_[i] = history_[i - 1];
  history_[0] = text;
  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%sSETTING.INI", UserDataPath);
  ComboBox1->Clear();
  for (int i = 0; i < 5; ++i) {
    char key[32];
    std::snprintf(key, sizeof key, "NewsSearch%d", i + 1);
    WritePrivateProfileStringA("MRU", key, history_[i].c_str(), path);
    if (!history_[i].empty()) ComboBox1->Items()->Add(history_[i]);
  }
  ComboBox1->SetItemIndex(0);
  CurrentBranch() = nullptr;
  SearchHeadlines(text.c_str());
}

void TMsgForm::SearchHeadlines(const char *text) {
  core_.Fill(NewsIndex, CurrentType(), nullptr, text, false, ViewOnline());
  FillList(-1);
}

// ---- Chooser, browser, printing, messages ----------------------------------------------------------

void TMsgForm::NSelTypesClick() {
  if (ChooseNewsTypes(this)) FillTypeTabs();
}

void TMsgForm::BackClick() { WebNewsBrowser->GoBack(); }
void TMsgForm::ForwardClick() { WebNewsBrowser->GoForward(); }

void TMsgForm::Print() {
  TPrintDialog dialog;
  if (!dialog.Execute()) return;
  if (RichEdit1->Visible()) {
    PrintTextLines(RichLines(RichEdit1));
    return;
  }
  std::vector<std::string> lines;
  for (int i = std::max(NewsList->TopIndex(), 0); i < int(core_.lines.size()); ++i) lines.push_back(core_.lines[size_t(i)].text);
  PrintListLines(lines);
}

void TMsgForm::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_NOTIFY:
      if (HandleLinkNotify(m.LParam, RichEdit1, Handle())) {
        m.Result = 0;
        return;
      }
      break;
    case WM_NEWS_SHOW_ITEM: {
      m.Result = 0;
      if (webMode_ || !NewsIndex || NewsIndex->IsListLoading()) return;
      int tab = 0;
      for (int i = 0; i < typeTabCount_; ++i)
        if (typeIds_[i] == m.WParam) {
          tab = i;
          break;
        }
      const auto change = SearchPageTab->OnTitleChange;
      SearchPageTab->OnTitleChange = nullptr;
      SearchPageTab->SetActiveTabItem(tab);
      SearchPageTab->OnTitleChange = change;
      SearchPageTabChange(tab);
      const int line = core_.LineOf(uint32_t(m.LParam));
      if (line >= 0) {
        NewsList->SetItemIndex(line);
        OpenLine(line);
      }
      return;
    }
    case WM_SIZE:
      TChildView::WndProc(m);
      if (HINT) HINT->SetBounds(ClientWidth() / 2 - 120, ClientHeight() / 2 - 12, 240, 20);
      return;
    default: break;
  }
  TChildView::WndProc(m);
}
