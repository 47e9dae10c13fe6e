#include "shell/aboutbox.h"

#include <cstdio>
#include <cstring>

#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/gdi.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/shell.h"
#include "shell/dialogparts.h"
#include "shell/entry.h"

const char kProductName[] = "kivo 期货分析交易终端";
const char kProductCompany[] = "kivo 开发组";
const char kProductTelephone[] = "电话：(010) 0000-0000";
const char kProductWebAddress[] = "http://www.kivo.example/";
const char kReleaseNotesAddress[] = "http://www.kivo.example/update/log.htm";

namespace {

template <class T>
T *Place(TForm *form, int x, int y, int w, int h, const char *caption = nullptr) {
  return PlaceControl<T>(form, form, x, y, w, h, caption);
}

TLabel *Link(TForm *form, int x, int y, int w, const char *caption) {
  auto *label = Place<TLabel>(form, x, y, w, 16, caption);
  label->Font()->SetColor(clBlue);
  label->Font()->SetStyle(fsUnderline);
  label->Cursor = LoadCursorA(nullptr, IDC_HAND);
  return label;
}

}  // namespace

std::string ExpiryDateText(uint32_t date) {
  char text[48];
  std::snprintf(text, sizeof text, "20%02u年%02u月%02u日", unsigned(date / 10000 % 100), unsigned(date % 10000 / 100),
                unsigned(date % 100));
  return text;
}

std::string VersionText(uint32_t v) {
  char text[40];
  std::snprintf(text, sizeof text, "%u.%u.%u", unsigned(v / 10000000), unsigned(v % 10000000 / 10000),
                unsigned(v % 10000));
  return text;
}

void OpenAddressInBrowser(HWND owner, const char *address) {
  if (intptr_t(ShellExecuteA(owner, "open", "IEXPLORE.EXE", address, nullptr, SW_SHOWNORMAL)) > 32) return;
  if (intptr_t(ShellExecuteA(owner, "open", address, nullptr, nullptr, SW_SHOWNORMAL)) > 32) return;
  MessageBoxA(owner, "无法启动浏览器。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

// ---- TAboutBox ----

TAboutBox::TAboutBox(TComponent *owner) : TForm(owner) {
  SetCaption("用户信息");
  SetBorderStyle(bsDialog);
  SetClientSize(330, 200);
  Position = poOwnerFormCenter;
  Font()->SetName("宋体");
  Font()->SetHeight(-12);
  Label1 = Place<TLabel>(this, 16, 16, 300, 22);
  Label1->Font()->SetName("楷体_GB2312");
  Label1->Font()->SetHeight(-17);
  Label1->Font()->SetStyle(fsBold);
  Label1->Font()->SetColor(clBlue);
  Label1->SetVisible(false);
  Label3 = Place<TLabel>(this, 16, 62, 300, 16);
  Label5 = Place<TLabel>(this, 16, 82, 300, 16);
  Place<TLabel>(this, 16, 108, 60, 16, "用户名:");
  Label7 = Place<TLabel>(this, 80, 108, 230, 16);
  Place<TLabel>(this, 16, 128, 60, 16, "到期日:");
  Label8 = Place<TLabel>(this, 80, 128, 230, 16);
  Place<TLabel>(this, 16, 148, 60, 16, "登录至:");
  Label9 = Place<TLabel>(this, 80, 148, 230, 16);
  OKButton = Place<TButton>(this, 240, 168, 75, 25, "确定");
  OKButton->ModalResult = mrOk;
  OKButton->SetDefault(true);
  OnPaint = [this](TObject *) { FormPaint(Canvas()->Handle()); };
  DoCreate();
}

void TAboutBox::ShowUserInfo() {
  const char *file = "..\\CFG\\USERSETTING.INI";
  char text[512];
  GetPrivateProfileStringA("UserInfo", "name", kProductName, text, sizeof text, file);
  Label1->SetCaption(text);
  GetPrivateProfileStringA("UserInfo", "company", kProductCompany, text, sizeof text, file);
  Label3->SetCaption(text);
  GetPrivateProfileStringA("UserInfo", "telephone", kProductTelephone, text, sizeof text, file);
  Label5->SetCaption(text);
  const bool on = connected != 0;
  for (TLabel *label : {Label7, Label8, Label9}) label->SetEnabled(on);
  if (!on) {
    Label7->SetCaption("－");
    Label8->SetCaption("－");
    Label9->SetCaption("未登录");
    return;
  }
  Label7->SetCaption(std::string(userName, strnlen(userName, sizeof userName)));
  char server[64] = {};
  GetPrivateProfileStringA("Server", "dsActual", "", server, sizeof server, ".\\server.ini");
  Label9->SetCaption(server);
  Label8->SetCaption(ExpiryDateText(expiryDate));
}

void TAboutBox::FormPaint(HDC dc) {
  if (!dc) return;
  RECT band{0, 0, ClientWidth(), 54};
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  FillRect(dc, &band, white);
  DeleteObject(white);
  HPEN pen = CreatePen(PS_SOLID, 1, 0x99A8AC);
  HGDIOBJ oldPen = SelectObject(dc, pen);
  MoveToEx(dc, 0, 52, nullptr);
  LineTo(dc, ClientWidth(), 52);
  SelectObject(dc, oldPen);
  DeleteObject(pen);
  const std::string title = Label1->Caption();
  if (title.empty()) return;
  TFont *f = Label1->Font();
  const TFontStyles style = f->Style();
  HFONT font = CreateFontA(f->Height(), 0, 0, 0, (style & fsBold) ? 700 : 400, (style & fsItalic) != 0,
                           (style & fsUnderline) != 0, (style & fsStrikeOut) != 0, DEFAULT_CHARSET, 0, 0, 0,
                           DWORD(DEFAULT_PITCH) | DWORD(FF_SWISS), f->Name().c_str());
  HGDIOBJ oldFont = SelectObject(dc, font);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, COLORREF(f->Color()));
  TextOutA(dc, Label1->Left(), Label1->Top(), title.c_str(), int(title.size()));
  SelectObject(dc, oldFont);
  DeleteObject(font);
}

// ---- Trighrbox ----

Trighrbox::Trighrbox(TComponent *owner) : TForm(owner) {
  SetCaption("关于");
  SetBorderStyle(bsDialog);
  SetClientSize(380, 250);
  Position = poOwnerFormCenter;
  Image1 = Place<TImage>(this, 12, 12, 100, 100);
  Place<TLabel>(this, 124, 14, 250, 16, kProductName);
  Place<TLabel>(this, 124, 36, 250, 16, kProductCompany);
  Place<TLabel>(this, 124, 58, 250, 16, "kivo");
  Place<TLabel>(this, 124, 80, 250, 16, "软件登记号：kivo-0001");
  Place<TLabel>(this, 124, 102, 250, 16, "版权所有 (C) kivo 开发组");
  Place<TLabel>(this, 124, 130, 44, 16, "版本: ");
  Label10 = Link(this, 170, 130, 120, "");
  Label10->OnClick = [this](TObject *s) { Label10Click(s); };
  Place<TLabel>(this, 124, 152, 44, 16, "网址:");
  Label8 = Link(this, 170, 152, 200, kProductWebAddress);
  Label8->OnClick = [this](TObject *s) { Label8Click(s); };
  Place<TLabel>(this, 124, 174, 100, 16, "（交易）");
  Button1 = Place<TButton>(this, 290, 212, 75, 25, "确定");
  Button1->ModalResult = mrOk;
  Button1->SetDefault(true);
  FormCreate();
  DoCreate();
}

void Trighrbox::FormCreate() {
  if (GetFileAttributesA(".\\about.bmp") != INVALID_FILE_ATTRIBUTES) Image1->Picture()->LoadFromFile(".\\about.bmp");
  Label10->SetCaption(VersionText(ProgramVersion));
}

void Trighrbox::Label8Click(TObject *) {
  OpenAddressInBrowser(HandleAllocated() ? Handle() : nullptr, Label8->Caption().c_str());
}

void Trighrbox::Label10Click(TObject *) {
  char address[256];
  std::snprintf(address, sizeof address, "%s#v%u", kReleaseNotesAddress, unsigned(ProgramVersion));
  OpenAddressInBrowser(HandleAllocated() ? Handle() : nullptr, address);
}

// ---- TTSetNewsUrlForm ----

TTSetNewsUrlForm::TTSetNewsUrlForm(TComponent *owner) : TForm(owner) {
  SetCaption("设置新闻地址");
  SetBorderStyle(bsDialog);
  SetClientSize(400, 80);
  Position = poOwnerFormCenter;
  Label1 = Place<TLabel>(this, 10, 14, 100, 16, "新闻窗口地址：");
  XPEdit1 = Place<TXPEdit>(this, 110, 10, 280, 21);
  XPEdit1->SetText("http://");
  XPButton1 = Place<TXPButton>(this, 315, 45, 75, 25, "确定");
  XPButton1->SetDefault(true);
  XPButton1->OnClick = [this](TObject *s) { XPButton1Click(s); };
  DoCreate();
}

void TTSetNewsUrlForm::XPButton1Click(TObject *) {
  const std::string text = XPEdit1->Text();
  std::memset(address, 0, sizeof address);
  const size_t n = platform::GbkCutLength(text, sizeof address - 1);
  std::memcpy(address, text.data(), n);
  SetModalResult(mrOk);
}
