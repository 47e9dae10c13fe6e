#include "views/sysmsg.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "market/newsindex.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/messages.h"
#include "platform/profile.h"
#include "views/mvmain.h"
#include "views/textviewtools.h"
#include "views/viewhost.h"

MessageText ParseMessageText(const std::string &file, bool newsLine) {
  MessageText m;
  const size_t end = file.find_first_of("\r\n");
  const std::string first = file.substr(0, end);
  size_t rest = end == std::string::npos ? file.size() : end;
  if (rest < file.size() && file[rest] == '\r') ++rest;
  if (rest < file.size() && file[rest] == '\n') ++rest;
  if (first.size() > 3 && first.compare(0, 4, "URL:") == 0) {
    m.link = first.substr(4, kMaxLinkLength);
    m.text = file.substr(rest);
  } else if (newsLine && first.size() > 4 && first.compare(0, 5, "NEWS:") == 0) {
    m.text = file.substr(rest);
  } else {
    m.text = file;
  }
  return m;
}

const char *MessageFileOf(char kind) {
  switch (kind) {
    case 'a': return ".\\sysmsg.txt";
    case 'b': return ".\\rtmsg.txt";
    case 'u': return ".\\update.txt";
    case 'd': return ".\\tradead.txt";
    default: return ".\\notice.txt";
  }
}

int32_t TodayNumber() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return int32_t(now.wYear) * 10000 + now.wMonth * 100 + now.wDay;
}

// ---- The system message dialog ------------------------------------------------------------------

TSysMsgDlg::TSysMsgDlg(TComponent *owner, char kind) : TForm(owner) {
  SetBorderStyle(bsDialog);
  SetBorderIcons(biSystemMenu);
  SetFormStyle(fsStayOnTop);
  Position = poScreenCenter;
  SetClientSize(512, 356);
  XPRichEdit1 = new TRichEdit(this);
  XPRichEdit1->SetParent(this);
  XPRichEdit1->SetBounds(8, 8, 496, 300);
  XPRichEdit1->SetReadOnly(true);
  XPRichEdit1->ScrollBars = ssVertical;
  Button1 = new TButton(this);
  Button1->SetParent(this);
  Button1->SetCaption("关闭");
  Button1->SetBounds(420, 320, 80, 26);
  Button1->SetDefault(true);
  Button1->Cancel = true;
  Button1->ModalResult = 1;
  Button1->OnClick = [this](TObject *) { Button1Click(); };
  XPButton2 = new TButton(this);
  XPButton2->SetParent(this);
  XPButton2->SetCaption("查看");
  XPButton2->SetBounds(330, 320, 80, 26);
  XPButton2->Hide();
  XPButton2->OnClick = [this](TObject *) { XPButton2Click(); };
  OnCloseQuery = [this](TObject *, bool &canClose) {
    if (kind_ != 'u') return;
    canClose = false;
    kind_ = 'a';
    link_[0] = '\0';
    XPButton2->Hide();
    SetCaption("系统消息");
    LoadFile(MessageFileOf('a'));
  };

  kind_ = kind;
  EnableLinks(XPRichEdit1);
  const bool notice = kind != 'a' && kind != 'b' && kind != 'u' && kind != 'd';
  if (notice) {
    SetBorderIcons(0);
    Button1->Cancel = false;
    Button1->SetCaption("确定");
    std::string text;
    if (ReadWholeFile(MessageFileOf(kind), &text)) XPRichEdit1->Lines()->SetText(text);
  } else {
    LoadFile(MessageFileOf(kind));
  }
  DoCreate();
  Show();
}

void TSysMsgDlg::LoadFile(const char *path) {
  std::string file;
  if (!ReadWholeFile(path, &file)) return;
  const MessageText m = ParseMessageText(file, false);
  std::snprintf(link_, sizeof link_, "%s", m.link.c_str());
  XPRichEdit1->Lines()->SetText(m.text);
  XPButton2->SetVisible(link_[0] != '\0');
}

void TSysMsgDlg::Button1Click() { Close(); }

void TSysMsgDlg::XPButton2Click() {
  if (link_[0]) OpenLinkExternally(Handle(), link_);
}

void TSysMsgDlg::WndProc(TMessage &m) {
  if (m.Msg == WM_NOTIFY && HandleLinkNotify(m.LParam, XPRichEdit1, Handle())) {
    m.Result = 0;
    return;
  }
  TForm::WndProc(m);
}

// ---- The real-time pop-up ------------------------------------------------------------------------

// The hit-test code of a caption: a press there drags the window.
constexpr LRESULT kHitCaption = 2;

PopupSpot PopupSpotAt(int x, int y) {
  auto in = [x, y](int l, int t, int r, int b) { return x >= l && x <= r && y >= t && y <= b; };
  if (in(369, 0, 390, 19)) return PopupSpot::kClose;
  if (x <= 366 && y <= 21 && x >= 0 && y >= 0) return PopupSpot::kTitle;
  if (in(312, 258, 382, 277)) return PopupSpot::kLink;
  if (in(7, 261, 94, 273)) return PopupSpot::kBox;
  return PopupSpot::kNone;
}

TQQMsgDlg::TQQMsgDlg(TComponent *owner) : TForm(owner) {
  SetBorderStyle(bsNone);
  SetBorderIcons(0);
  SetFormStyle(fsStayOnTop);
  SetClientSize(kWidth, kHeight);
  XPRichEdit1 = new TRichEdit(this);
  XPRichEdit1->SetParent(this);
  XPRichEdit1->SetBounds(11, 34, 369, 218);
  XPRichEdit1->SetReadOnly(true);
  XPRichEdit1->BorderStyle = bsNone;
  XPRichEdit1->ScrollBars = ssVertical;
  XPRichEdit1->OnMouseDown = [this](TObject *, TMouseButton button, TShiftState, int, int) {
    if (button == mbLeft) XPRichEdit1MouseDown();
  };
  DrawPicture();

  char path[MAX_PATH + 16];
  std::snprintf(path, sizeof path, "%sSETTING.INI", UserDataPath);
  blockedUntil_ = int32_t(GetPrivateProfileIntA("PARAMETER", "Networkblocked", 0, path));
  notAgain_ = blockedUntil_ >= TodayNumber();
  mode_ = 0;
  EnableLinks(XPRichEdit1);
  std::string file;
  if (ReadWholeFile(MessageFileOf('b'), &file)) {
    const MessageText m = ParseMessageText(file, true);
    std::snprintf(link_, sizeof link_, "%s", m.link.c_str());
    XPRichEdit1->Lines()->SetText(m.text);
  }
  if (!link_[0]) FillArea(312, 262, 383, 274, kBlank);
  OnCreate = [this](TObject *) { FormCreate(); };
  DoCreate();
}

TQQMsgDlg::~TQQMsgDlg() {
  if (picture_) DeleteObject(picture_);
}

void TQQMsgDlg::FillArea(int left, int top, int right, int bottom, COLORREF color) {
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, picture_);
  RECT r = {left, top, right, bottom};
  HBRUSH b = CreateSolidBrush(color);
  FillRect(mem, &r, b);
  DeleteObject(b);
  SelectObject(mem, old);
  DeleteDC(mem);
  if (HandleAllocated()) InvalidateRect(Handle(), &r, FALSE);
}

void TQQMsgDlg::DrawPicture() {
  HDC screen = GetDC(nullptr);
  picture_ = CreateCompatibleBitmap(screen, kWidth, kHeight);
  ReleaseDC(nullptr, screen);
  HDC mem = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(mem, picture_);
  auto fill = [mem](int l, int t, int r, int b, COLORREF c) {
    RECT rr = {l, t, r, b};
    HBRUSH br = CreateSolidBrush(c);
    FillRect(mem, &rr, br);
    DeleteObject(br);
  };
  auto frame = [mem](int l, int t, int r, int b, COLORREF c) {
    RECT rr = {l, t, r, b};
    HBRUSH br = CreateSolidBrush(c);
    FrameRect(mem, &rr, br);
    DeleteObject(br);
  };
  fill(0, 0, kWidth, kHeight, kBlank);
  frame(0, 0, kWidth, kHeight, 0x9C6B3A);
  fill(0, 0, kWidth, 22, 0xB4783C);  // title band with the close spot
  SetBkMode(mem, TRANSPARENT);
  SetTextColor(mem, 0xFFFFFF);
  RECT title = {8, 0, 360, 22};
  DrawTextA(mem, "即时消息", -1, &title, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  HPEN pen = CreatePen(PS_SOLID, 2, 0xFFFFFF);
  HGDIOBJ oldPen = SelectObject(mem, pen);
  MoveToEx(mem, 374, 5, nullptr);
  LineTo(mem, 385, 16);
  MoveToEx(mem, 385, 5, nullptr);
  LineTo(mem, 374, 16);
  SelectObject(mem, oldPen);
  DeleteObject(pen);
  HFONT small = CreateFontA(-11, 0, 0, 0, 400, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 32, "宋体");
  HGDIOBJ oldFont = SelectObject(mem, small);
  fill(312, 258, 383, 278, 0xE0C8A8);  // the link button
  frame(312, 258, 383, 278, 0x9C6B3A);
  SetTextColor(mem, 0x6B3A1C);
  RECT link = {312, 258, 383, 278};
  DrawTextA(mem, "查看详情", -1, &link, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  fill(8, 262, 20, 274, 0xFFFFFF);  // the check box
  frame(7, 261, 21, 275, 0x9C6B3A);
  RECT box = {23, 259, 95, 276};
  DrawTextA(mem, "今日不再提示", -1, &box, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(mem, oldFont);
  DeleteObject(small);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void TQQMsgDlg::Paint() {
  HDC dc = Canvas()->Handle();
  HDC mem = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(mem, picture_);
  BitBlt(dc, 0, 0, kWidth, kHeight, mem, 0, 0, SRCCOPY);
  SelectObject(mem, old);
  DeleteDC(mem);
}

void TQQMsgDlg::SetMode(int mode) {
  mode_ = mode;
  if (mode != 3) FillArea(7, 261, 95, 274, kBlank);
}

void TQQMsgDlg::FormCreate() {
  HWND main = MainFrameHost()->MainWindow();
  RECT r{};
  if (!main || !GetWindowRect(main, &r)) return;
  SetBounds(r.right - Width() - 1, r.bottom - Height() - 16, Width(), Height());
  if (HandleAllocated()) ShowWindow(Handle(), SW_SHOWNOACTIVATE);
}

void TQQMsgDlg::Image1Click(int x, int y) {
  switch (PopupSpotAt(x, y)) {
    case PopupSpot::kClose: Close(); return;
    case PopupSpot::kLink:
      if (link_[0]) OpenLinkExternally(HandleAllocated() ? Handle() : nullptr, link_);
      return;
    case PopupSpot::kBox:
      if (mode_ != 3) return;
      notAgain_ = !notAgain_;
      if (notAgain_) {
        FillArea(8, 262, 20, 274, 0xFFFFFF);
        HDC mem = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(mem, picture_);
        HPEN pen = CreatePen(PS_SOLID, 2, kCheckColor);
        HGDIOBJ oldPen = SelectObject(mem, pen);
        MoveToEx(mem, 9, 267, nullptr);
        LineTo(mem, 13, 271);
        LineTo(mem, 19, 263);
        SelectObject(mem, oldPen);
        DeleteObject(pen);
        SelectObject(mem, old);
        DeleteDC(mem);
      } else {
        FillArea(8, 262, 20, 274, 0xFFFFFF);
      }
      if (HandleAllocated()) {
        RECT cell = {8, 262, 20, 274};
        RedrawWindow(Handle(), &cell, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      }
      return;
    default: return;
  }
}

void TQQMsgDlg::XPRichEdit1MouseDown() {
  if (mode_ != -2 || !GetPrivateProfileIntA("OEMNEWS", "PopOem", 0, "..\\CFG\\NEWSTYPE.INI")) return;
  std::string title = XPRichEdit1->Text();
  if (title.size() > 255) title.resize(255);
  while (!title.empty() && (title.back() == '\n' || title.back() == '\r')) title.pop_back();
  OpenNewsFromPopup(page, title.c_str());
  Close();
}

void TQQMsgDlg::DoClose(TCloseAction &action) {
  TForm::DoClose(action);
  if (mode_ == 3 && notAgain_) {
    const int32_t today = TodayNumber();
    if (blockedUntil_ < today) {
      char path[MAX_PATH + 16], text[16];
      std::snprintf(path, sizeof path, "%sSETTING.INI", UserDataPath);
      std::snprintf(text, sizeof text, "%i", today);
      WritePrivateProfileStringA("PARAMETER", "Networkblocked", text, path);
      blockedUntil_ = today;
    }
  }
}

void TQQMsgDlg::WndProc(TMessage &m) {
  switch (m.Msg) {
    case WM_NOTIFY:
      if (HandleLinkNotify(m.LParam, XPRichEdit1, Handle())) {
        m.Result = 0;
        return;
      }
      break;
    case WM_NCHITTEST: {
      POINT p = {int(int16_t(LOWORD(uint32_t(m.LParam)))), int(int16_t(HIWORD(uint32_t(m.LParam))))};
      if (HandleAllocated()) ::ScreenToClient(Handle(), &p);
      m.Result = PopupSpotAt(p.x, p.y) == PopupSpot::kTitle ? kHitCaption : LRESULT(HTCLIENT);
      return;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      Image1Click(int(int16_t(LOWORD(uint32_t(m.LParam)))), int(int16_t(HIWORD(uint32_t(m.LParam)))));
      m.Result = 0;
      return;
    default: break;
  }
  TForm::WndProc(m);
}

// ---- Opening news from the pop-up -----------------------------------------------------------------

void OpenNewsFromPopup(TMultiViewMain *page, const char *title) {
  if (!page) return;
  TMultiViewChild *view = page->FindView(VIEW_TYPE_NEWS, 1);
  if (view) {
    view->Activate();
    if (page->m_active != view) view->PostToPage(WM_MVM_ACTIVATE_VIEW);
  } else {
    VIEW_ATTR_13 attr;
    std::memset(static_cast<void *>(&attr), 0, sizeof attr);
    InitViewAttr(VIEW_TYPE_NEWS, &attr);
    TMultiViewChild *current = page->m_active ? page->m_active : (page->PaneCount() ? page->PaneAt(0) : nullptr);
    if (current) view = page->CreateView(current->m_node, &attr, 1, 1);
  }
  NEWSREC record{};
  if (view && NewsIndex && NewsIndex->FindByTitle(0, title, &record))
    PostMessageA(view->Handle(), WM_NEWS_SHOW_ITEM, WPARAM(NewsTypeOf(record)), LPARAM(record.id));
}
