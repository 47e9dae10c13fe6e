// The network settings, the server form and the password change.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "market/logindlg.h"
#include "platform/msgbox.h"
#include "platform/profile.h"

namespace {

template <class T>
T *Make(TWinControl *parent, int x, int y, int w, int h, const char *caption = nullptr) {
  T *c = new T(parent);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  if (caption) c->SetCaption(caption);
  return c;
}

TXPButton *Button(TWinControl *parent, const char *caption, int x, int y, int result = 0) {
  TXPButton *b = Make<TXPButton>(parent, x, y, 75, 25, caption);
  b->ModalResult = result;
  return b;
}

std::string ReadUser(const char *key, const char *fallback) {
  char value[64] = {};
  GetPrivateProfileStringA("ProxyServer", key, fallback, value, sizeof value, UserServerIniPath().c_str());
  return value;
}

void WriteUser(const char *key, const std::string &value) {
  WritePrivateProfileStringA("ProxyServer", key, value.c_str(), UserServerIniPath().c_str());
}

void Fill(QuoteServerEntry &e, const char *name, const char *address, const char *portText, bool telecom) {
  std::snprintf(e.name, sizeof e.name, "%.31s", name);
  std::snprintf(e.address, sizeof e.address, "%.63s", address);
  e.port = PortFromText(portText);
  e.network = telecom ? 1 : 2;
}

}  // namespace

uint16_t PortFromText(const char *text) {
  const long value = text ? std::strtol(text, nullptr, 10) : 0;
  return value > 0 && value <= 65535 ? uint16_t(value) : 0;
}

void TQuoteNetworkCore::Load() {
  count = ReadQuoteServerList(servers);
  hasRelay = false;
  for (int i = 0; i < count; ++i) hasRelay = hasRelay || servers[i].relayHost[0] != '\0';
}

bool TQuoteNetworkCore::Add(int position, const char *name, const char *address, const char *portText, bool telecom) {
  if (count >= kMaxQuoteServers) return false;
  if (position < 0 || position > count) position = 0;
  std::memmove(&servers[position + 1], &servers[position],
               sizeof(QuoteServerEntry) * size_t(kMaxQuoteServers - 1 - position));
  // A new server has no login server or relay of its own yet: it never
  // takes over those of the entry that moved on.
  servers[position] = QuoteServerEntry{};
  Fill(servers[position], name, address, portText, telecom);
  ++count;
  return true;
}

void TQuoteNetworkCore::Change(int index, const char *name, const char *address, const char *portText,
                               bool telecom) {
  if (index >= 0 && index < count) Fill(servers[index], name, address, portText, telecom);
}

int TQuoteNetworkCore::Remove(int index) {
  if (index < 0 || index >= count) return -1;
  std::memmove(&servers[index], &servers[index + 1], sizeof(QuoteServerEntry) * size_t(kMaxQuoteServers - 1 - index));
  servers[kMaxQuoteServers - 1] = QuoteServerEntry{};
  --count;
  if (count == 0) return -1;
  return index < count ? index : 0;
}

// ---- the server form ----

TForm_AddSrv::TForm_AddSrv(TComponent *owner) : TForm(owner) {
  SetCaption("新增服务器");
  Position = poOwnerFormCenter;
  SetBorderStyle(bsDialog);
  SetClientSize(300, 200);
  Make<TLabel>(this, 10, 10, 250, 16, "服务器名称 ( 如: 电信主站 ):");
  Edit_Co = Make<TXPEdit>(this, 10, 28, 280, 21);
  Edit_Co->SetMaxLength(31);
  LabelKind = Make<TLabel>(this, 10, 56, 80, 16, "网络类型:");
  RadioButton1 = Make<TXPRadioButton>(this, 100, 56, 60, 18, "电信");
  RadioButton1->SetChecked(true);
  RadioButton2 = Make<TXPRadioButton>(this, 170, 56, 60, 18, "网通");
  Make<TLabel>(this, 10, 80, 120, 16, "服务器地址:");
  Edit_IP = Make<TXPEdit>(this, 10, 98, 280, 21);
  Edit_IP->SetMaxLength(63);
  LabelPort = Make<TLabel>(this, 10, 126, 120, 16, "服务器端口:");
  Edit1 = Make<TXPEdit>(this, 130, 124, 80, 21);
  Edit1->SetMaxLength(5);
  Edit1->SetText("13130");
  Button1 = Button(this, "确定", 130, 165);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = Button(this, "取消", 215, 165, mrCancel);
  Button2->Cancel = true;
  if (GetPrivateProfileIntA("Server", "NOJH", 0, ".\\server.ini") != 0) {
    for (TControl *c : std::initializer_list<TControl *>{LabelKind, RadioButton1, RadioButton2, LabelPort, Edit1})
      c->Hide();
  }
  DoCreate();
}

void TForm_AddSrv::Button1Click(TObject *) {
  if (Edit_Co->Text().empty()) {
    MessageBoxA(Handle(), "服务器名称不能为空。  ", "错误", MB_OK | MB_ICONERROR);
    return;
  }
  if (Edit_IP->Text().empty()) {
    MessageBoxA(Handle(), "服务器地址不能为空。  ", "错误", MB_OK | MB_ICONERROR);
    return;
  }
  SetModalResult(mrOk);
}

// ---- the network settings ----

TQuoteNetworkDlg::TQuoteNetworkDlg(TComponent *owner) : TForm(owner) {
  SetCaption("网络设置");
  Position = poOwnerFormCenter;
  SetBorderStyle(bsDialog);
  SetClientSize(460, 280);
  Make<TLabel>(this, 10, 8, 120, 16, " 行情服务器 ");
  ListBox1 = Make<TXPListBox>(this, 10, 26, 200, 180);
  Button5 = Button(this, "添加", 10, 212);
  XPButton1 = Button(this, "修改", 90, 212);
  Button7 = Button(this, "删除", 170, 212);
  Make<TLabel>(this, 230, 8, 120, 16, " 代理服务器 ");
  CheckBox3 = Make<TXPCheckBox>(this, 230, 26, 200, 18, "使用代理服务器");
  XPRadioButton2 = Make<TXPRadioButton>(this, 230, 48, 60, 18, "HTTP");
  XPRadioButton3 = Make<TXPRadioButton>(this, 295, 48, 70, 18, "SOCKS 5");
  XPRadioButton4 = Make<TXPRadioButton>(this, 370, 48, 70, 18, "SOCKS 4");
  Edit_proxy_add = Make<TXPEdit>(this, 230, 72, 140, 21);
  Edit_proxy_add->SetMaxLength(15);
  Edit_proxy_port = Make<TXPEdit>(this, 380, 72, 60, 21);
  Edit_proxy_port->SetMaxLength(5);
  Edit_proxy_port->SetText("1080");
  CheckBox2 = Make<TXPCheckBox>(this, 230, 100, 200, 18, "代理需要身份验证");
  Edit_Proxy_user = Make<TXPEdit>(this, 230, 124, 100, 21);
  Edit_Proxy_user->SetMaxLength(32);
  Edit_Proxy_Pass = Make<TXPEdit>(this, 340, 124, 100, 21);
  Edit_Proxy_Pass->SetMaxLength(32);
  Edit_Proxy_Pass->SetPasswordChar('*');
  XPCheckBox1 = Make<TXPCheckBox>(this, 230, 156, 200, 18, "使用绿色通道");
  XPButton2 = Button(this, "确定", 290, 245);
  XPButton2->SetDefault(true);
  XPButton3 = Button(this, "取消", 375, 245, mrCancel);
  XPButton3->Cancel = true;

  Button5->OnClick = [this](TObject *s) { N2Click(s); };
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  Button7->OnClick = [this](TObject *s) { N3Click(s); };
  XPButton2->OnClick = [this](TObject *s) { XPButton2Click(s); };
  CheckBox3->OnClick = [this](TObject *s) { CheckBox3Click(s); };
  CheckBox2->OnClick = [this](TObject *s) { CheckBox2Click(s); };
  for (TXPRadioButton *r : {XPRadioButton2, XPRadioButton3, XPRadioButton4})
    r->OnClick = [this](TObject *s) { XPRadioButton4Click(s); };

  // Opening.
  core_.Load();
  for (int i = 0; i < core_.count; ++i) ListBox1->Items()->Add(core_.servers[i].name);
  XPCheckBox1->SetVisible(core_.hasRelay);
  CheckBox3->SetChecked(false);
  Edit_proxy_add->SetText(ReadUser("Address", ""));
  Edit_Proxy_user->SetText(ReadUser("UserName", ""));
  Edit_Proxy_Pass->SetText(ReadUser("Password", ""));
  Edit_proxy_port->SetText(std::to_string(std::atoi(ReadUser("Port", "1080").c_str())));
  CheckBox2->SetChecked(std::atoi(ReadUser("CertUser", "1").c_str()) != 0);
  for (TControl *c : std::initializer_list<TControl *>{CheckBox2, Edit_proxy_add, Edit_proxy_port, Edit_Proxy_user,
                                                       Edit_Proxy_Pass})
    c->SetEnabled(false);
  const int useProxy = std::atoi(ReadUser("UseProxy", "0").c_str());
  if (useProxy != 0) CheckBox3->SetChecked(true);
  CheckBox3Click(nullptr);
  if (useProxy != 0) {
    (useProxy == 1 ? XPRadioButton3 : useProxy == 2 ? XPRadioButton4 : XPRadioButton2)->SetChecked(true);
    XPRadioButton4Click(nullptr);
  }
  XPCheckBox1->SetChecked(std::atoi(ReadUser("GreenWay", "0").c_str()) != 0);
  DoCreate();
}

void TQuoteNetworkDlg::CheckBox3Click(TObject *) {
  const bool on = CheckBox3->Checked();
  for (TControl *c : std::initializer_list<TControl *>{CheckBox2, Edit_proxy_add, Edit_proxy_port, XPRadioButton2,
                                                       XPRadioButton3, XPRadioButton4})
    c->SetEnabled(on);
  Edit_Proxy_user->SetEnabled(CheckBox2->Checked());
  Edit_Proxy_Pass->SetEnabled(CheckBox2->Checked());
  if (on && !XPRadioButton2->Checked() && !XPRadioButton3->Checked() && !XPRadioButton4->Checked())
    XPRadioButton2->SetChecked(true);
  XPRadioButton4Click(nullptr);
}

void TQuoteNetworkDlg::XPRadioButton4Click(TObject *) {
  if (XPRadioButton4->Checked()) CheckBox2->SetChecked(false);
  const bool certOk = CheckBox3->Checked() && !XPRadioButton4->Checked();
  CheckBox2->SetEnabled(certOk);
  Edit_Proxy_user->SetEnabled(certOk && CheckBox2->Checked());
  Edit_Proxy_Pass->SetEnabled(certOk && CheckBox2->Checked());
}

void TQuoteNetworkDlg::CheckBox2Click(TObject *) {
  Edit_Proxy_user->SetEnabled(CheckBox2->Checked());
  Edit_Proxy_Pass->SetEnabled(CheckBox2->Checked());
}

bool TQuoteNetworkDlg::RunServerForm(TForm_AddSrv &form) {
  if (OnServerForm) {
    OnServerForm(form);
    return form.ModalResult() == mrOk;
  }
  return form.ShowModal() == mrOk;
}

void TQuoteNetworkDlg::N2Click(TObject *) {
  if (core_.count >= kMaxQuoteServers) return;
  const int position = ListBox1->ItemIndex() >= 0 ? ListBox1->ItemIndex() : 0;
  TForm_AddSrv form(this);
  if (!RunServerForm(form)) return;
  core_.Add(position, form.Edit_Co->Text().c_str(), form.Edit_IP->Text().c_str(), form.Edit1->Text().c_str(),
            form.RadioButton1->Checked());
  ListBox1->Items()->Insert(position, core_.servers[position].name);
  ListBox1->SetItemIndex(position);
}

void TQuoteNetworkDlg::XPButton1Click(TObject *) {
  const int index = ListBox1->ItemIndex();
  if (index < 0 || index >= core_.count) return;
  TForm_AddSrv form(this);
  form.SetCaption("修改服务器");
  const QuoteServerEntry &e = core_.servers[index];
  form.Edit_Co->SetText(e.name);
  form.Edit_IP->SetText(e.address);
  form.Edit1->SetText(std::to_string(e.port));
  if (e.network == 2) form.RadioButton2->SetChecked(true);
  if (!RunServerForm(form)) return;
  core_.Change(index, form.Edit_Co->Text().c_str(), form.Edit_IP->Text().c_str(), form.Edit1->Text().c_str(),
               form.RadioButton1->Checked());
  ListBox1->Items()->Put(index, core_.servers[index].name);
}

void TQuoteNetworkDlg::N3Click(TObject *) {
  const int index = ListBox1->ItemIndex();
  if (index < 0 || index >= core_.count) return;
  if (MessageBoxA(Handle(), "删除选中的服务器？  ", "提示", MB_YESNO | MB_ICONQUESTION | MB_TOPMOST) != IDYES)
    return;
  const int next = core_.Remove(index);
  ListBox1->Items()->Delete(index);
  if (next >= 0) ListBox1->SetItemIndex(next);
}

void TQuoteNetworkDlg::XPButton2Click(TObject *) {
  WriteQuoteServerList(core_.servers, std::min(core_.count, ListBox1->Items()->Count()));
  WriteUser("GreenWay", XPCheckBox1->Checked() ? "1" : "0");
  if (!CheckBox3->Checked()) {
    WriteUser("UseProxy", "0");
  } else {
    WriteUser("UseProxy", XPRadioButton3->Checked() ? "1" : XPRadioButton4->Checked() ? "2" : "3");
    WriteUser("Address", Edit_proxy_add->Text());
    WriteUser("UserName", Edit_Proxy_user->Text());
    WriteUser("Password", Edit_Proxy_Pass->Text());
    WriteUser("Port", std::to_string(PortFromText(Edit_proxy_port->Text().c_str())));
    WriteUser("CertUser", CheckBox2->Checked() ? "1" : "0");
  }
  SetModalResult(mrOk);
}

// ---- the password change ----

int CheckNewPassword(bool libraryLoaded, const char *stored, const char *current, const char *fresh,
                     const char *confirm) {
  if (!libraryLoaded && std::strcmp(stored, current) != 0) return 1;
  if (std::strcmp(fresh, confirm) != 0) return 2;
  const size_t length = std::strlen(fresh);
  if (length <= 5) return 3;
  if (length >= 12) return 4;
  return 0;
}

TChangeDiag::TChangeDiag(TComponent *owner, bool libraryLoaded) : TForm(owner), libraryLoaded_(libraryLoaded) {
  SetCaption("更改登录密码");
  Position = poOwnerFormCenter;
  SetBorderStyle(bsDialog);
  SetClientSize(300, 190);
  const char *labels[] = {"用户名:", "当前密码:", "新密码（不少于6位）:", "新密码确认:"};
  TXPEdit **edits[] = {&Edit1, &Edit2, &Edit3, &Edit4};
  for (int i = 0; i < 4; ++i) {
    Make<TLabel>(this, 10, 12 + i * 32, 150, 16, labels[i]);
    *edits[i] = Make<TXPEdit>(this, 160, 10 + i * 32, 130, 21);
    if (i > 0) (*edits[i])->SetPasswordChar('*');
    if (i > 1) (*edits[i])->SetMaxLength(11);
  }
  Edit1->SetReadOnly(true);
  Edit1->SetEnabled(false);
  Edit1->TabStop = false;
  Button1 = Button(this, "确定", 130, 155);
  Button1->SetDefault(true);
  Button1->OnClick = [this](TObject *s) { Button1Click(s); };
  Button2 = Button(this, "取消", 215, 155, mrCancel);
  Button2->Cancel = true;
  OnShow = [this](TObject *s) { FormShow(s); };
  DoCreate();
}

void TChangeDiag::FormShow(TObject *) { Edit1->SetText(std::string(account, strnlen(account, 32))); }

void TChangeDiag::Button1Click(TObject *) {
  static const char *const kTexts[] = {nullptr, "输入的“当前密码”不正确，请重新输入。  ",
                                       "两次输入的“新密码”不相同，请重新输入。  ",
                                       "输入的“新密码”太短，请重新输入。  ", "输入的“新密码”太长，请重新输入。  "};
  char stored[33] = {};
  std::memcpy(stored, account + 32, 32);
  const int failed = CheckNewPassword(libraryLoaded_, stored, Edit2->Text().c_str(), Edit3->Text().c_str(),
                                      Edit4->Text().c_str());
  if (failed == 0) {
    SetModalResult(mrOk);
    return;
  }
  MessageBoxA(Handle(), kTexts[failed], "提示", MB_OK | MB_ICONWARNING | MB_TOPMOST);
  if (failed == 1) {
    Edit2->Clear();
    Edit2->SetFocus();
  } else {
    Edit3->Clear();
    Edit4->Clear();
    Edit3->SetFocus();
  }
}
