#include "trading/tradingwindow.h"

#include <cstring>

#include "core/xpdraw.h"
#include "platform/gdi.h"
#include "platform/messages.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "platform/winuser.h"
#include "trading/automationpages.h"
#include "trading/bankform.h"
#include "trading/conditionpage.h"
#include "trading/deskdata.h"
#include "trading/dispatcher.h"
#include "trading/listcommands.h"
#include "trading/listforms.h"
#include "trading/optionform.h"
#include "trading/orderforms.h"
#include "trading/queryform.h"
#include "trading/tongjidlg.h"
#include "trading/tradingoptions.h"
#include "trading/tradingwindowkeys.h"

namespace {

constexpr TColor kPageColour = 0xF7EFE8;

void Fill(HDC dc, const RECT &r, COLORREF colour) { XPFill(dc, r, colour); }

void Frame(HDC dc, RECT &r, COLORREF colour) {
  HBRUSH brush = CreateSolidBrush(colour);
  FrameRect(dc, &r, brush);
  DeleteObject(brush);
  InflateRect(&r, -1, -1);
}

void Text(HDC dc, int x, int y, const char *text, const char *face, int height, int weight, COLORREF colour,
          int escapement = 0) {
  HFONT font = CreateFontA(height, 0, escapement, 0, weight, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0x20, face);
  HGDIOBJ old = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  TextOutA(dc, x, y, text, int(strlen(text)));
  SelectObject(dc, old);
  DeleteObject(font);
}

bool OpenAddress(const char *address) {
  if (!address[0]) return false;
  if (intptr_t(ShellExecuteA(nullptr, "open", "IEXPLORE.EXE", address, nullptr, SW_SHOWNORMAL)) > 32) return true;
  return intptr_t(ShellExecuteA(nullptr, "open", address, nullptr, nullptr, SW_SHOWNORMAL)) > 32;
}

}  // namespace

TTradingWindow::TTradingWindow(TOwnerDrawPanel *panel, TTradingDesk &desk) : panel_(panel), desk_(desk) {
  sizes.splitterMin = desk.splitterMin;
  Build();
  desk_.SetUi(*this);
  panelProc_ = panel_->WindowProc;
  panel_->WindowProc = [this](TMessage &m) { PanelProc(m); };
  panel_->OnResize = [this](TObject *s) { Panel7Resize(s); };
  panel_->OnDraw = [this](TObject *, HDC dc, RECT *r) { Panel7Draw(dc, *r); };
  panel_->OnGetMinMaxInfo = [this](TObject *, MINMAXINFO *info) { Panel7GetMinMaxInfo(info); };
}

TTradingWindow::~TTradingWindow() {
  // The page forms hold their models, which end with the window; the
  // password controls go back to their own place first.
  if (queryForm) {
    for (TControl *control : std::initializer_list<TControl *>{XPComboBox2, XPEdit8, XPEdit9, XPEdit10, XPButton25})
      control->SetParent(XPTabControl2);
    delete queryForm;
  }
  delete bankForm;
  // The automation pages show models that end with the window.
  delete checkListPanel;
  delete conditionPagePanel;
  if (listArea) {
    Panel4->OnResize = nullptr;
    delete listArea;
  }
  if (dragHit_ && GetCapture() == panel_->Handle()) ReleaseCapture();
  panel_->WindowProc = panelProc_;
  panel_->OnResize = nullptr;
  panel_->OnDraw = nullptr;
  panel_->OnGetMinMaxInfo = nullptr;
}

TControl *TTradingWindow::Control(const std::string &name) const {
  const auto it = names_.find(name);
  return it == names_.end() ? nullptr : it->second;
}

// ---- building ----

TOwnerDrawPanel *TTradingWindow::MakePanel(TWinControl *parent, const std::string &name, TColor color) {
  auto *p = new TOwnerDrawPanel(panel_);
  p->SetParent(parent);
  p->SetColor(color);
  p->SetVisible(false);
  Name(name, p);
  return p;
}

TPanel *TTradingWindow::MakePage(TWinControl *parent, const std::string &name) {
  auto *p = new TPanel(panel_);
  p->SetParent(parent);
  p->SetColor(kPageColour);
  p->SetBevelOuter(bvNone);
  p->SetVisible(false);
  Name(name, p);
  return p;
}

TXPButton *TTradingWindow::MakeButton(TWinControl *parent, const std::string &name, const char *caption) {
  auto *b = new TXPButton(panel_);
  b->SetParent(parent);
  b->SetCaption(caption);
  Name(name, b);
  return b;
}

TLabel *TTradingWindow::MakeLabel(TWinControl *parent, const std::string &name, const char *caption) {
  auto *l = new TLabel(panel_);
  l->SetParent(parent);
  l->Transparent = true;
  l->SetCaption(caption);
  Name(name, l);
  return l;
}

TXPEdit *TTradingWindow::MakeEdit(TWinControl *parent, const std::string &name, int maxLength) {
  auto *e = new TXPEdit(panel_);
  e->SetParent(parent);
  e->SetMaxLength(maxLength);
  Name(name, e);
  return e;
}

void TTradingWindow::Build() {
  Name("Panel7", panel_);
  panel_->SetColor(kPageColour);
  Splitter2 = new TSplitter(panel_);
  Splitter2->SetParent(panel_->Parent());
  Splitter2->SetAlign(alBottom);
  Splitter2->SetHeight(10);
  Splitter2->MinSize = desk_.splitterMin;
  Name("Splitter2", Splitter2);

  BuildLoginPage();

  Panel13 = MakePanel(panel_, "Panel13", kPageColour);
  XPRichEdit1 = new TXPRichEdit(panel_);
  XPRichEdit1->SetParent(Panel13);
  XPRichEdit1->SetReadOnly(true);
  Name("XPRichEdit1", XPRichEdit1);
  XPButton19 = MakeButton(Panel13, "XPButton19", "确认");
  XPButton18 = MakeButton(Panel13, "XPButton18", "退出");
  XPButton19->OnClick = [this](TObject *) { desk_.XPButton19Click(); };
  XPButton18->OnClick = [this](TObject *) { desk_.OnTradeCloseClick(TCloseSender::TextExit); };
  Panel13->OnResize = [this](TObject *) { Panel13Resize(); };

  Panel21 = MakePanel(panel_, "Panel21", kPageColour);
  BuildNavigation();
  BuildStrip();

  XPButton48 = MakeButton(panel_, "XPButton48", "");
  XPButton48->OnClick = [this](TObject *) { desk_.XPButton48Click(); };
  XPButton48->OnDrawCaption = [this](TObject *, HDC dc, RECT &r) { DrawCollapse(dc, r); };
  XPButton48->SetVisible(false);

  // The order panels and the lists: later parts fill them.
  Panel1012 = MakePanel(panel_, "Panel1012", clWhite);
  Panel12 = MakePanel(panel_, "Panel12", clWhite);
  PanelF22 = MakePanel(panel_, "PanelF22", OrderAreaColour(0));
  Panel4 = MakePanel(panel_, "Panel4", clWhite);
  Panel14 = MakePanel(Panel4, "Panel14", clWhite);
  XPTabControl4 = new TXPTabControl(panel_);
  XPTabControl4->SetParent(Panel4);
  XPTabControl4->SetVisible(false);
  Name("XPTabControl4", XPTabControl4);

  auto tabs = [this](const std::string &name, std::initializer_list<const char *> captions) {
    auto *t = new TXPTabControl(panel_);
    t->SetParent(panel_);
    for (const char *c : captions) t->Tabs()->Add(c);
    t->SetVisible(false);
    Name(name, t);
    return t;
  };
  XPTabControl2 = tabs("XPTabControl2", {"资金", "成交统计", "结算单", "密码"});
  XPComboBox2 = new TXPComboBox(panel_);
  XPComboBox2->SetParent(XPTabControl2);
  XPComboBox2->Items()->Add("交易密码");
  XPComboBox2->Items()->Add("资金密码");
  XPComboBox2->SetItemIndex(0);
  XPComboBox2->SetBounds(90, 40, 120, 21);
  Name("XPComboBox2", XPComboBox2);
  XPEdit8 = MakeEdit(XPTabControl2, "XPEdit8", 40);
  XPEdit9 = MakeEdit(XPTabControl2, "XPEdit9", 40);
  XPEdit10 = MakeEdit(XPTabControl2, "XPEdit10", 40);
  int row = 70;
  for (TXPEdit *e : {XPEdit8, XPEdit9, XPEdit10}) {
    e->SetPasswordChar('*');
    e->SetBounds(90, row, 120, 21);
    row += 28;
  }
  XPButton25 = MakeButton(XPTabControl2, "XPButton25", "修改");
  XPButton25->SetBounds(90, row, 75, 24);
  XPButton25->OnClick = [this](TObject *) { desk_.XPButton25Click(); };

  XPTabControl3 = tabs("XPTabControl3", {"银行转期货", "期货转银行", "查询余额", "转帐明细"});
  Label18 = MakeLabel(XPTabControl3, "Label18", "");
  Label18->SetBounds(16, 40, 400, 16);

  Panel25 = MakePage(panel_, "Panel25");
  Label38 = MakeLabel(Panel25, "Label38", "");
  Label38->SetBounds(20, 20, 300, 16);
  Label38->OnClick = [this](TObject *) { Label38Click(); };
  Label41 = MakeLabel(Panel25, "Label41", "在线帮助");
  Label41->SetBounds(20, 44, 300, 16);
  Label41->OnClick = [this](TObject *) { Label41Click(); };
  char web[256] = {};
  GetPrivateProfileStringA("UserInfo", "UserWeb", "", web, sizeof web, "..\\cfg\\usersetting.ini");
  Label38->SetCaption(web);

  // The event-log page's place; its form is shown there by the page that
  // opens it.
  logPage = MakePanel(panel_, "XPTabControl5", kPageColour);
}

void TTradingWindow::BuildLoginPage() {
  Panel11 = MakePage(panel_, "Panel11");
  Panel11->OnResize = [this](TObject *) { Panel11Resize(); };
  Label26 = MakeLabel(Panel11, "Label26", "交易站点:");
  XPListBox1 = new TXPListBox(panel_);
  XPListBox1->SetParent(Panel11);
  Name("XPListBox1", XPListBox1);
  Label7 = MakeLabel(Panel11, "Label7", "客 户 号:");
  Label8 = MakeLabel(Panel11, "Label8", "交易密码:");
  LabelSK1 = MakeLabel(Panel11, "LabelSK1", "安全方式:");
  XPEdit4 = MakeEdit(Panel11, "XPEdit4", 15);
  XPEdit5 = MakeEdit(Panel11, "XPEdit5", 31);
  XPEdit5->SetPasswordChar('*');
  XPEdit5->OnExit = [this](TObject *) {
    if (HWND main = GetParent(panel_->Handle()))
      SendMessageA(main, WM_TRADE_FOCUS, 0, LPARAM(XPEdit5->Handle()));
  };
  XPEditSK1 = MakeEdit(Panel11, "XPEditSK1", 31);
  XPComboBoxSecurityType = new TXPComboBox(panel_);
  XPComboBoxSecurityType->SetParent(Panel11);
  XPComboBoxSecurityType->OnChange = [this](TObject *) {
    desk_.login.securityIndex = XPComboBoxSecurityType->ItemIndex();
    desk_.XPComboBoxSecurityTypeChange();
    LoginPageChanged();
  };
  Name("XPComboBoxSecurityType", XPComboBoxSecurityType);
  XPCheckBox1 = new TXPCheckBox(panel_);
  XPCheckBox1->SetParent(Panel11);
  XPCheckBox1->SetCaption("保存客户号");
  Name("XPCheckBox1", XPCheckBox1);
  XPButton5 = MakeButton(Panel11, "XPButton5", "登录");
  XPButton5->OnClick = [this](TObject *) { desk_.XPButton5Click(); };
  XPButton6 = MakeButton(Panel11, "XPButton6", "退出");
  XPButton6->OnClick = [this](TObject *) { desk_.OnTradeCloseClick(TCloseSender::LoginExit); };
  Label10 = MakeLabel(Panel11, "Label10", "");
  Label10->AutoSize = false;
  Label27 = MakeLabel(Panel11, "Label27", "");
  Label27->Alignment = taRightJustify;
  Label27->AutoSize = false;
  Label27->OnClick = [](TObject *) {};
  PanelVerify = MakePanel(Panel11, "PanelVerify", clWhite);
  PanelVerify->SetVisible(true);
  PanelVerify->OnDraw = [this](TObject *, HDC dc, RECT *r) { DrawVerifyCode(dc, *r); };
  PanelVerify->OnLButtonUp = [this](TObject *, int32_t, int32_t) { desk_.PanelVerifyClick(); };
  ImageSoftKey = MakePanel(Panel11, "ImageSoftKey", kPageColour);
  ImageSoftKey->SetVisible(true);
  ImageSoftKey->OnDraw = [this](TObject *, HDC dc, RECT *r) { DrawKeypadIcon(dc, *r); };
  ImageSoftKey->OnLButtonUp = [this](TObject *, int32_t, int32_t) {
    desk_.ImageSoftKeyClick();
    XPEdit5->SetFocus();
  };
  PanelSoftKey = MakePanel(Panel11, "PanelSoftKey", 0xE0D0C0);
  for (int i = 0; i < 11; ++i) {
    const std::string name = "XPButton" + std::to_string(7 + i);
    keypad[i] = MakeButton(PanelSoftKey, name, i == 10 ? "←退格" : "");
    keypad[i]->SetBounds(i < 10 ? 4 + (i % 5) * 39 : 4, i < 10 ? 4 + (i / 5) * 28 : 60, i < 10 ? 36 : 192, 24);
    keypad[i]->OnClick = [this, i](TObject *) { desk_.XPButton7Click(keypad[i]->Caption().c_str()); };
  }
  for (int i = 0; i < 4; ++i) {
    static const char *const kCaptions[4] = {"普通", "键盘下单", "快单手", "套利"};
    XPRadioButtonUI[i] = new TXPRadioButton(panel_);
    XPRadioButtonUI[i]->SetParent(Panel11);
    XPRadioButtonUI[i]->SetCaption(kCaptions[i]);
    XPRadioButtonUI[i]->SetVisible(false);
    Name("XPRadioButtonUI" + std::to_string(i + 1), XPRadioButtonUI[i]);
  }
}

void TTradingWindow::BuildNavigation() {
  XPTreeView1 = new TXPTreeView(panel_);
  XPTreeView1->SetParent(panel_);
  XPTreeView1->SetVisible(false);
  for (const char *text : {"交易", "当日委托", "当日成交", "持仓", "条件单", "查询", "参数设置", "帮助及说明", "银期转帐",
                           "交易统计"})
    XPTreeView1->Items()->Add(nullptr, text);
  XPTreeView1->OnChanging = [this](TObject *, TTreeNode *node, bool &allow) {
    if (navigating_ || !node || node->Parent()) return;
    allow = desk_.CheckTradingPageChange(node->Index());
  };
  XPTreeView1->OnChange = [this](TObject *, TTreeNode *node) {
    if (!navigating_ && node && !node->Parent()) desk_.ShowTradingPage(node->Index());
  };
  Name("XPTreeView1", XPTreeView1);
  XPTabControl1 = new TXPTabControl(panel_);
  XPTabControl1->SetParent(panel_);
  XPTabControl1->SetVisible(false);
  for (const char *text : {"F1 交易", "F2 当日委托", "F3 当日成交", "F4 持仓", "F5 条件单", "F6 查询", "F8 参数设置",
                           "F9 帮助及说明", "￥ 银期转帐"})
    XPTabControl1->Tabs()->Add(text);
  // The target of a change is known only after it: it is checked there and
  // a refused change shows the page's tab again.
  XPTabControl1->OnChange = [this](TObject *) {
    if (navigating_) return;
    const int entry = XPTabControl1->TabIndex();
    if (!desk_.CheckTradingPageChange(entry)) {
      RedrawNavigation();
      return;
    }
    desk_.ShowTradingPage(entry);
  };
  Name("XPTabControl1", XPTabControl1);
}

void TTradingWindow::BuildStrip() {
  PanelCmdBtn = MakePanel(panel_, "PanelCmdBtn", clWhite);
  PanelCmdBtn->OnDraw = [this](TObject *, HDC dc, RECT *r) { PanelCmdBtnDraw(dc, *r); };
  struct Button {
    const char *name, *caption;
    TXPButton **field;
    std::function<void()> action;
  } buttons[] = {
      {"XPButtonCmdClose", "关闭", &XPButtonCmdClose, [this] { desk_.OnTradeCloseClick(TCloseSender::CmdClose); }},
      {"XPButtonCmdFloat", "浮动", &XPButtonCmdFloat, [this] { desk_.OnTradeFloatClick(true); }},
      {"XPButtonCmdMinimize", "隐藏", &XPButtonCmdMinimize, [this] { desk_.OnTradeHideClick(); }},
      {"XPButtonCmdLock", "锁定", &XPButtonCmdLock, [this] { desk_.OnTradeLockClick(); }},
  };
  int top = 2;
  for (Button &b : buttons) {
    TXPButton *button = MakeButton(PanelCmdBtn, b.name, b.caption);
    button->Hint = b.caption;
    button->SetBounds(1, top, 19, 36);
    top += 38;
    // The two characters of the caption, one above the other.
    button->OnDrawCaption = [button](TObject *, HDC dc, RECT &r) {
      const std::string c = button->Caption();
      for (size_t i = 0; i + 1 < c.size() && i < 4; i += 2)
        Text(dc, r.left - 2, r.top + int(i) * 7 - 1, c.substr(i, 2).c_str(), "宋体", 12, 400, 0x404040);
    };
    button->OnClick = [action = b.action](TObject *) { action(); };
    *b.field = button;
  }
}

// ---- the login page and the text page ----

void TTradingWindow::Panel11Resize() {
  const TLoginPlaces p = CentreLoginBlock(TLoginColumns{}, Panel11->Width());
  const int top = std::max(0, (Panel11->Height() - 210) / 2);
  Label26->SetBounds(p.x, top, 80, 16);
  XPListBox1->SetBounds(p.x, top + 18, 150, 110);
  Label7->SetBounds(p.labels, top + 22, 60, 16);
  Label8->SetBounds(p.labels, top + 50, 60, 16);
  LabelSK1->SetBounds(p.labels, top + 78, 60, 16);
  XPEdit4->SetBounds(p.edits, top + 18, 140, 21);
  XPEdit5->SetBounds(p.edits, top + 46, 140, 21);
  XPComboBoxSecurityType->SetBounds(p.edits, top + 74, 80, 21);
  XPEditSK1->SetBounds(p.codeEdit, top + 74, 54, 21);
  XPCheckBox1->SetBounds(p.checkBox, top + 18, 90, 20);
  ImageSoftKey->SetBounds(p.keypad, top + 46, 24, 21);
  PanelVerify->SetBounds(p.keypad, top + 73, 84, 24);
  PanelSoftKey->SetBounds(p.keypad, top + 70, 200, 90);
  XPButton5->SetBounds(p.button5, top + 104, 70, 24);
  XPButton6->SetBounds(p.button6, top + 104, 70, 24);
  Label10->SetBounds(p.x, top + 140, p.width, 20);
  Label27->SetBounds(p.edits + 140 - 300, top + 166, 300, 16);
}

void TTradingWindow::Panel13Resize() {
  const TTextPagePlaces p = TextPageLayout(Panel13->Width(), Panel13->Height(), desk_.pageState);
  auto place = [](TControl *c, const RECT &r) { c->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top); };
  place(XPRichEdit1, p.viewer);
  place(XPButton19, p.confirm);
  place(XPButton18, p.exit);
  XPButton19->SetVisible(p.showConfirm);
  XPButton18->SetVisible(p.showExit);
}

void TTradingWindow::ReadLoginPage(TLoginPageModel &page) {
  page.serverIndex = XPListBox1->ItemIndex();
  page.account = XPEdit4->Text();
  page.password = XPEdit5->Text();
  page.code = XPEditSK1->Text();
  page.securityIndex = XPComboBoxSecurityType->ItemIndex();
  page.saveAccount = XPCheckBox1->Checked();
  page.layoutRadio = 0;
  for (int i = 1; i < 4; ++i)
    if (XPRadioButtonUI[i]->Checked()) page.layoutRadio = i;
}

void TTradingWindow::LoginPageChanged() {
  const TLoginPageModel &m = desk_.login;
  XPListBox1->Items()->Clear();
  for (const std::string &s : m.servers) XPListBox1->Items()->Add(s);
  XPListBox1->SetItemIndex(m.serverIndex);
  XPListBox1->SetEnabled(m.serversEnabled);
  auto edit = [](TXPEdit *e, const std::string &text, bool enabled) {
    if (e->Text() != text) e->SetText(text);
    e->SetEnabled(enabled);
  };
  edit(XPEdit4, m.account, m.accountEnabled);
  edit(XPEdit5, m.password, m.passwordEnabled);
  edit(XPEditSK1, m.code, m.codeEnabled);
  XPComboBoxSecurityType->Items()->Clear();
  for (const std::string &s : m.securityItems) XPComboBoxSecurityType->Items()->Add(s);
  XPComboBoxSecurityType->SetItemIndex(m.securityIndex);
  XPComboBoxSecurityType->SetEnabled(m.securityEnabled);
  LabelSK1->SetVisible(m.securityShown);
  XPComboBoxSecurityType->SetVisible(m.securityShown);
  XPEditSK1->SetVisible(m.securityShown);
  PanelVerify->SetVisible(m.verifyShown);
  XPCheckBox1->SetChecked(m.saveAccount);
  XPCheckBox1->SetEnabled(m.saveAccountEnabled);
  XPButton5->SetCaption(m.loginCaption);
  XPButton5->SetEnabled(m.loginEnabled);
  for (int i = 0; i < 4; ++i) {
    XPRadioButtonUI[i]->SetChecked(m.layoutRadio == i);
    XPRadioButtonUI[i]->SetEnabled(m.radiosEnabled);
  }
  Label10->SetCaption(m.message);
  Label10->Font()->SetColor(TColor(m.messageColour));
  Label10->Font()->SetSize(m.messageSize);
  if (!m.disclaimer.empty()) Label27->SetCaption(m.disclaimer);
  for (int i = 0; i < 10; ++i) keypad[i]->SetCaption(m.keypad[i]);
  PanelSoftKey->SetVisible(m.keypadShown);
  if (m.keypadShown) PanelSoftKey->BringToFront();
  Label18->SetCaption(m.bankNote);
}

void TTradingWindow::VerifyCodeChanged() { PanelVerify->Invalidate(); }

void TTradingWindow::DrawVerifyCode(HDC dc, const RECT &rect) {
  Fill(dc, rect, 0xFFFFFF);
  const TLoginPageModel &m = desk_.login;
  for (int i = 0; i < 4 && m.verifyCode[i]; ++i) {
    const char c[2] = {m.verifyCode[i], 0};
    Text(dc, 20 * i, 0, c, "Tahoma", -22, 400, m.verifyColours[i], m.verifyAngles[i]);
  }
}

void TTradingWindow::DrawKeypadIcon(HDC dc, const RECT &rect) {
  Fill(dc, rect, 0xF7EFE8);
  RECT body{rect.left + 2, rect.top + 4, rect.right - 2, rect.bottom - 3};
  Frame(dc, body, 0x804000);
  for (int row = 0; row < 2; ++row)
    for (int col = 0; col < 4; ++col) {
      RECT key{body.left + 1 + col * 5, body.top + 1 + row * 5, body.left + 4 + col * 5, body.top + 4 + row * 5};
      Fill(dc, key, 0x804000);
    }
}

void TTradingWindow::FocusPasswordEdit() {
  // The effect of the click the login makes at the password edit's corner.
  if (XPEdit5->Showing()) XPEdit5->SetFocus();
}

void TTradingWindow::ClearViewer() { XPRichEdit1->Clear(); }

bool TTradingWindow::LoadViewer(const char *path) {
  XPRichEdit1->Lines()->LoadFromFile(platform::ResolvePath(path));
  return !XPRichEdit1->Text().empty();
}

void TTradingWindow::FocusViewer() {
  if (XPRichEdit1->Showing()) XPRichEdit1->SetFocus();
}

void TTradingWindow::ViewerPlain() {
  XPRichEdit1->SetWordWrap(false);
  XPRichEdit1->SetAlignment(taLeftJustify);
  XPRichEdit1->Font()->SetSize(viewerFontSize_);
}

void TTradingWindow::ShowNotice(const char *text) {
  XPRichEdit1->SetWordWrap(true);
  XPRichEdit1->SetAlignment(taCenter);
  SendMessageA(XPRichEdit1->Handle(), EM_AUTOURLDETECT, TRUE, 0);
  SendMessageA(XPRichEdit1->Handle(), EM_SETEVENTMASK, 0, LPARAM(ENM_LINK));
  XPRichEdit1->SetText(text ? text : "");
}

void TTradingWindow::ShowQuickKeys() {
  // The quick order panel's direction and offset start at their first item.
  for (const char *name : {"XPComboBoxF9", "XPComboBoxF10"})
    if (auto *box = dynamic_cast<TCustomComboBox *>(Control(name))) box->SetItemIndex(0);
}

void TTradingWindow::ViewerFontSize(int size) {
  viewerFontSize_ = size;
  XPRichEdit1->Font()->SetSize(size);
}

void TTradingWindow::TaskProgress(const std::string &text) { XPRichEdit1->SetText(text); }

void TTradingWindow::TextButtons(const char *confirm, const char *exit) {
  XPButton19->SetCaption(confirm);
  XPButton18->SetCaption(exit);
}

// ---- the frame ----

bool TTradingWindow::Docked() { return panel_->Align() == alBottom; }

RECT TTradingWindow::PanelBounds() {
  return RECT{panel_->Left(), panel_->Top(), panel_->Left() + panel_->Width(), panel_->Top() + panel_->Height()};
}

bool TTradingWindow::PanelVisible() { return panel_->Visible(); }

SIZE TTradingWindow::MainClientSize() {
  TWinControl *main = panel_->Parent();
  return main ? SIZE{main->ClientWidth(), main->ClientHeight()} : SIZE{1024, 768};
}

void TTradingWindow::Dock(int height) {
  panel_->SetAlign(alBottom);
  panel_->SetHeight(height);
  Splitter2->SetVisible(panel_->Visible());
  Splitter2->SetAlign(alBottom);
}

void TTradingWindow::Float(const RECT &r) {
  Splitter2->SetVisible(false);
  panel_->SetAlign(alNone);
  panel_->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
  // Over the page, but only the window goes on top: the order of the main
  // window's controls decides where the window docks again, below its
  // splitter.
  SetWindowPos(panel_->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  panel_->SetVisible(true);
}

void TTradingWindow::RepaintFrame() { panel_->Invalidate(); }

void TTradingWindow::ConnectionBand(int height) {
  Splitter2->SetHeight(height);
  Splitter2->Invalidate();
}

void TTradingWindow::SelectNavigation(int item) {
  navigating_ = true;
  if (item >= 0) {
    if (TTreeNode *node = XPTreeView1->Items()->Item(item)) XPTreeView1->SetSelected(node);
    if (item < XPTabControl1->Tabs()->Count()) XPTabControl1->SetTabIndex(item);
  }
  navigating_ = false;
}

void TTradingWindow::Panel7Resize(TObject *) {
  ++layoutCount;
  const bool docked = Docked();
  const TTradingLayout l = ComputeTradingLayout(panel_->Width(), panel_->Height(), docked, desk_.Data().options.Layout,
                                                desk_.collapsed, desk_.pageState, sizes, desk_.orderTag);
  XPButton48->Hint = l.collapseHint;
  if (!l.changed) return;
  TControl *parts[kPartCount] = {Panel11,   Panel13,  Panel21,       XPTreeView1,   XPTabControl1, PanelCmdBtn,
                                 XPButton48, Panel1012, Panel12,     PanelF22,      Panel4,        XPTabControl2,
                                 XPTabControl3, Panel25, logPage,    Panel14,       XPTabControl4};
  const auto resize = Panel4->OnResize;
  Panel4->OnResize = nullptr;
  for (int i = 0; i < kPartCount; ++i) {
    const TPartPlacement &p = l.parts[i];
    if (p.place) parts[i]->SetBounds(p.left, p.top, p.width, p.height);
    if (p.show >= 0) parts[i]->SetVisible(p.show == 1);
  }
  if (l.cancellableFilter >= 0) cancellableFilter = l.cancellableFilter == 1;
  if (l.listAreaLayout && resize) resize(Panel4);
  Panel4->OnResize = resize;
  SelectNavigation(l.navItem);
  // The text page's buttons depend on the page, not only on its size.
  Panel13Resize();
  PanelCmdBtn->Invalidate();
  panel_->Invalidate();
}

int TTradingWindow::Panel7NcHittest(int screenX, int screenY) {
  const TPoint at = panel_->ScreenToClient(TPoint{screenX, screenY});
  return TradingHitTest(Docked(), at.x, at.y, panel_->Width(), panel_->Height());
}

bool TTradingWindow::Panel7SetCursor(int hit) {
  const LPCSTR cursor = Docked() ? nullptr : TradingHitCursor(hit);
  if (!cursor) return false;
  SetCursor(LoadCursorA(nullptr, cursor));
  return true;
}

void TTradingWindow::Panel7GetMinMaxInfo(MINMAXINFO *info) {
  if (!info || Docked()) return;
  info->ptMinTrackSize.x = kFloatMinWidth;
  info->ptMinTrackSize.y = kFloatMinHeight;
}

void TTradingWindow::PanelProc(TMessage &m) {
  switch (m.Msg) {
    case WM_NCHITTEST:
      m.Result = Panel7NcHittest(GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam));
      return;
    case WM_NCMOUSEMOVE:
      Panel7SetCursor(int(m.WParam));
      m.Result = 0;
      return;
    case WM_NCLBUTTONDOWN: {
      const int hit = int(m.WParam);
      if (Docked() || !TradingHitCursor(hit)) break;
      dragHit_ = hit;
      dragFrom_ = POINT{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)};
      dragStart_ = PanelBounds();
      SetCapture(panel_->Handle());
      m.Result = 0;
      return;
    }
    case WM_MOUSEMOVE:
      if (dragHit_) {
        const TPoint at = panel_->ClientToScreen(TPoint{GET_X_LPARAM(m.LParam), GET_Y_LPARAM(m.LParam)});
        const RECT r = TradingDragRect(dragHit_, dragStart_, at.x - dragFrom_.x, at.y - dragFrom_.y);
        SetWindowPos(panel_->Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOACTIVATE | SWP_NOZORDER);
        m.Result = 0;
        return;
      }
      break;
    case WM_LBUTTONUP:
    case WM_CAPTURECHANGED:
      if (dragHit_) {
        dragHit_ = 0;
        if (m.Msg == WM_LBUTTONUP) ReleaseCapture();
        m.Result = 0;
        return;
      }
      break;
    default: break;
  }
  panelProc_(m);
}

void TTradingWindow::Panel7Draw(HDC dc, const RECT &rect) {
  if (Docked()) {
    Fill(dc, rect, ColorToRGB(panel_->Color()));
    return;
  }
  RECT r = rect;
  Frame(dc, r, RGB(0, 19, 140));
  Frame(dc, r, RGB(0, 30, 160));
  Frame(dc, r, RGB(0, 72, 241));
  const RECT band{r.left, r.top, r.right, r.top + 21};
  Fill(dc, band, RGB(0, 72, 241));
  Fill(dc, RECT{r.left, band.bottom, r.right, r.bottom}, ColorToRGB(panel_->Color()));
  const int state = desk_.connectionState;
  char title[64];
  if (state < 0) {
    strncopy(title, state == -1 ? "交易服务器已断开。正在自动重连，请等待..." : state == -2 ? "您已被交易服务器断开。"
                                                                                           : "重新登录时出现错误。",
             63);
  } else {
    strncopy(title, Application()->Title.c_str(), 63);
  }
  Text(dc, band.left + 4, band.top + 5, title, "宋体", 12, 700, state < 0 ? RGB(255, 0, 0) : RGB(255, 255, 255));
}

void TTradingWindow::PanelCmdBtnDraw(HDC dc, const RECT &rect) {
  Fill(dc, rect, 0xFFFFFF);
  TStripChar chars[16];
  const int n = StripNameChars(desk_.holderName.c_str(), rect.bottom, desk_.Data().options.Left, chars);
  for (int i = 0; i < n; ++i) Text(dc, 4, chars[i].y, chars[i].text, "Tahoma", 14, 700, RGB(64, 64, 64));
}

void TTradingWindow::DrawCollapse(HDC dc, RECT &r) {
  // The chevron points to where the order panel goes.
  const bool right = desk_.Data().options.Layout == kLayoutKeyboard;
  const bool pointLeft = desk_.collapsed ? right : !right;
  const int cx = (r.left + r.right) / 2, cy = (r.top + r.bottom) / 2;
  for (int i = 0; i < 4; ++i) {
    const int x = pointLeft ? cx - 2 + i : cx + 1 - i;
    XPLine(dc, x, cy - 3 + i, x, cy + 4 - i, 0x404040);
  }
}

void TTradingWindow::TradeFocus(LPARAM control) {
  if (control != LPARAM(XPEdit5->Handle())) return;  // only compared, never used
  const HWND focus = GetFocus();
  if (focus == XPEdit5->Handle()) return;
  for (TXPButton *key : keypad)
    if (focus == key->Handle()) return;
  desk_.login.keypadShown = false;
  PanelSoftKey->SetVisible(false);
}

// ---- focus-back and mirroring ----

void TTradingWindow::RefocusOrderPanel() {
  const int layout = desk_.Data().options.Layout;
  if (desk_.collapsed || layout > kLayoutKeyboard) return;
  TOwnerDrawPanel *target = layout == kLayoutNormal ? Panel1012 : Panel12;
  if (target->Showing()) target->SetFocus();
}

void TTradingWindow::ClearOrderStatusLine() {
  if (dispatcher_) dispatcher_->panel.label1005.clear();
}

void TTradingWindow::ShowQuickDeal(bool show) {
  quickDealShown = show;
  // The bar follows at once: docking hides it, floating shows it again.
  if (orderForms) orderForms->PanelQuickDeal->SetVisible(show);
}

void TTradingWindow::PutCursor(POINT screen) { SetCursorPos(screen.x, screen.y); }

void TTradingWindow::RefocusOrderArea() {
  const int layout = desk_.Data().options.Layout;
  if (desk_.pageState >= 12 && desk_.pageState <= 15 && !desk_.collapsed && layout <= kLayoutKeyboard) {
    RefocusOrderPanel();
    return;
  }
  TWinControl *nav = Docked() ? static_cast<TWinControl *>(XPTreeView1) : XPTabControl1;
  if (nav->Showing()) nav->SetFocus();
}

void TTradingWindow::MirrorPanelToQuickDeal(bool contract, bool volume, bool price) {
  const int layout = desk_.Data().options.Layout;
  if (layout > kLayoutKeyboard) return;
  if (contract) quickDeal.contract = orderPanel.contract;
  if (volume) {
    quickDeal.volume = orderPanel.volume;
    quickDeal.stepper = atoi(orderPanel.volume.c_str());
  }
  if (price) {
    quickDeal.price = orderPanel.price;
    quickDeal.priceEnabled = orderPanel.priceEnabled;
  }
}

void TTradingWindow::MirrorQuickDealToPanel(bool contract, bool volume, bool price) {
  const int layout = desk_.Data().options.Layout;
  if (layout > kLayoutKeyboard) return;
  if (contract) orderPanel.contract = quickDeal.contract;
  if (volume) {
    orderPanel.volume = quickDeal.volume;
    orderPanel.stepper = atoi(quickDeal.volume.c_str()) & 0xFFFF;
  }
  if (price) {
    orderPanel.priceKind = quickDeal.priceEnabled ? "1.限价" : "3.市价";
    orderPanel.price = quickDeal.price;
    orderPanel.priceEnabled = quickDeal.priceEnabled;
  }
}

void TTradingWindow::Label38Click() {
  if (OpenAddress(Label38->Caption().c_str())) return;
  MessageBoxA(GetParent(panel_->Handle()), "无法启动浏览器。  ", "错误", MB_ICONERROR | MB_TOPMOST);
  RefocusOrderArea();
}

void TTradingWindow::Label41Click() {
  char help[256] = {};
  GetPrivateProfileStringA("UserInfo", "HelpWeb", "", help, sizeof help, "..\\cfg\\usersetting.ini");
  if (OpenAddress(help)) return;
  MessageBoxA(GetParent(panel_->Handle()), "无法启动浏览器。  ", "错误", MB_ICONERROR | MB_TOPMOST);
  RefocusOrderArea();
}

void TTradingWindow::OrderFilter(bool cancellable, bool allShown) {
  cancellableFilter = cancellable;
  allFilterShown = allShown;
}

int TTradingWindow::NavigationItem() const {
  switch (desk_.pageState) {
    case kPageTrading: return 0;
    case kPageOrders: return 1;
    case kPageTrades: return 2;
    case kPagePositions: return 3;
    case kPageConditions: return 4;
    case kPageQuery: return 5;
    case kPageAbout: return 7;
    case kPageBank: return 8;
    default: return -1;
  }
}

void TTradingWindow::RedrawNavigation() {
  SelectNavigation(NavigationItem());
  XPTabControl1->Invalidate();
}

TTradeKeyTargets &TTradingWindow::Keys() {
  if (!keys_) keys_ = std::make_unique<TTradingWindowKeys>(*this, desk_);
  return *keys_;
}

void TTradingWindow::ReadPasswordPage(TPasswordPageModel &page) {
  page.kind = XPComboBox2->ItemIndex();
  page.current = XPEdit8->Text();
  page.fresh = XPEdit9->Text();
  page.repeat = XPEdit10->Text();
}

void TTradingWindow::PasswordPageChanged(const TPasswordPageModel &page) {
  XPEdit8->SetText(page.current);
  XPEdit9->SetText(page.fresh);
  XPEdit10->SetText(page.repeat);
}

void TTradingWindow::FocusCurrentPassword() {
  if (XPEdit8->Showing()) XPEdit8->SetFocus();
}

bool TTradingWindow::RunOptionsDialog() { return RunOptionForm(desk_.Data()); }

void TTradingWindow::OrderLayoutChanged(int from, int to) {
  // The keyboard panel starts without a price and with a limit order; the
  // bar shows the panel now in use.
  if (from == kLayoutNormal && to == kLayoutKeyboard) {
    orderPanel.price.clear();
    orderPanel.priceKind = "1.限价";
  }
  MirrorPanelToQuickDeal(true, true, true);
  if (orderForms) orderForms->OrderLayoutChanged(from, to);
}

void TTradingWindow::RunReportDialog() { ShowAccountReport(nullptr, desk_.Data().accountReport); }

void TTradingWindow::BankPageReset() {
  if (!bankForm) {
    Bank();
    bankForm = new TBankForm(panel_, *bankPage);
    bankForm->SetBorderStyle(bsNone);
    bankForm->SetParent(XPTabControl3);
    bankForm->SetAlign(alClient);
    bankForm->Label18->SetCaption(Label18->Caption());
    bankForm->Show();
  }
  queryGate.intervalMs = uint32_t(desk_.queryInterval);
  // The login chain filled the desk's bank list.
  if (bankPage->items.size() != size_t(desk_.Data().banks.GetCount())) bankPage->TakeBanks();
  if (dispatcher_) bankPage->withdrawMinimum = dispatcher_->withdrawMinimum;
  bankForm->XPTabControl3Change(bankForm->XPTabControl3);
}

void TTradingWindow::QueryTabChange() {
  if (!queryForm) {
    Query();
    queryForm = new TQueryForm(panel_, *queryPage);
    queryForm->SetBorderStyle(bsNone);
    for (TControl *control : std::initializer_list<TControl *>{XPComboBox2, XPEdit8, XPEdit9, XPEdit10, XPButton25})
      control->SetParent(queryForm->Panel15);
    queryForm->SetParent(XPTabControl2);
    queryForm->SetAlign(alClient);
    queryForm->Show();
  }
  queryGate.intervalMs = uint32_t(desk_.queryInterval);
  queryForm->XPTabControl2Change(queryForm->XPTabControl2);
}

// ---- the dispatcher's pages ----

TBankPage &TTradingWindow::Bank() {
  if (!bankPage) {
    bankPage = std::make_unique<TBankPage>(desk_.Data(), queryGate);
    bankPage->window = panel_->Handle();
  }
  return *bankPage;
}

TQueryPage &TTradingWindow::Query() {
  if (!queryPage) queryPage = std::make_unique<TQueryPage>(queryGate);
  return *queryPage;
}

void TTradingWindow::ConnectDispatcher(TTradeDispatcher &dispatcher) {
  dispatcher_ = &dispatcher;
  TDispatchHooks &h = dispatcher.hooks;
  h.showNotice = [this](const char *text) { ShowNotice(text); };
  h.bankPage = [this](WPARAM wParam, LPARAM block) {
    Bank().OnNotify(wParam, block);
    if (bankForm) bankForm->ShowPage();
  };
  h.bankFunds = [this](int32_t minimum, double withdrawable) {
    Bank().OnFuturesFunds(minimum, withdrawable);
    if (bankForm) bankForm->ShowPage();
  };
  h.queryPageFile = [this](const char *path) {
    Query().memo = ReadTextFile(path);
    if (queryForm) queryForm->ShowPage();
  };
  h.queryStatementShown = [this] {
    Query().StatementKindClick(Query().daily);
    if (queryForm) queryForm->ShowPage();
  };
  h.queryPageNotice = [this](const char *text, bool red) {
    Query().hint = text ? text : "";
    queryPage->hintColour = red ? TQueryPage::kRed : TQueryPage::kBlue;
    if (queryForm) queryForm->ShowPage();
  };
  TAccountReport &report = desk_.Data().accountReport;
  h.reportDialog = [&report]() -> HWND { return report.ActiveTongJiDlg ? report.window : nullptr; };
  h.onSettlementInfo = [&report](const char *block, bool) {
    // The plug-in's block is writable: the report marks a day without a
    // statement in it.
    if (block) report.OnSettlementInfo(const_cast<char *>(block));
  };
}

TListAreaForm *TTradingWindow::ShowListArea(TListCommands &commands) {
  if (listArea || !dispatcher_) return listArea;
  listArea = new TListAreaForm(panel_, desk_, *dispatcher_, commands);
  listArea->SetBorderStyle(bsNone);
  listArea->SetParent(Panel4);
  listArea->SetAlign(alClient);
  listArea->Show();
  const auto previous = Panel4->OnResize;
  Panel4->OnResize = [this, previous](TObject *sender) {
    if (previous) previous(sender);
    // The conditions page keeps its tab control; the lists cover the rest.
    const int page = desk_.pageState;
    listArea->SetVisible(page >= kPageTrading && page <= kPagePositions);
    listArea->Panel4Resize();
  };
  commands.mirrorPanelToQuickDeal = [this] { MirrorPanelToQuickDeal(true, true, true); };
  commands.quickDealVisible = [this] { return quickDealShown; };
  commands.preparePanel = [this](const TPanelPrepare &p) {
    if (p.layout != kLayoutNormal && p.layout != kLayoutKeyboard) return;
    orderPanel.contract = p.contract;
    if (p.contractOnly) return;
    if (p.volume > 0) orderPanel.volume = std::to_string(p.volume);
    orderPanel.price = p.price;
    orderPanel.priceKind = p.priceKind;
    if (p.focusPrice) RefocusOrderPanel();
  };
  listArea->ShowAll();
  return listArea;
}
