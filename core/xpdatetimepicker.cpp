#include "core/xpdatetimepicker.h"

namespace {

constexpr int kEditId = 1001;
// Every hosted edit is of the platform's edit class, so all share the
// procedure they had before.
WNDPROC g_previousEditProc = nullptr;

}  // namespace

TXPDateTimePicker::TXPDateTimePicker(TComponent *owner) : TCustomControl(owner) { TabStop = false; }

TXPDateTimePicker::~TXPDateTimePicker() {
  // The window goes with the base class; the edit and font with this one.
  DestroyEdit();
}

void TXPDateTimePicker::CreateParams(TCreateParams &params) {
  TCustomControl::CreateParams(params);
  params.Style = (params.Style & ~DWORD(WS_BORDER)) | WS_TABSTOP;
  params.ExStyle &= ~DWORD(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE);
  params.ExStyle |= WS_EX_STATICEDGE;
}

LRESULT TXPDateTimePicker::EditProcNew(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CHAR) {
    BYTE c = BYTE(wParam);
    if (c == ',' || c == '-' || c == '.' || c == '/' || c == '\\') {
      wParam = '-';
    } else if (c != 8 && (c < '0' || c > '9')) {
      return 0;  // refused: the edit never sees it
    }
  }
  return g_previousEditProc ? CallWindowProcA(g_previousEditProc, hwnd, message, wParam, lParam)
                            : DefWindowProcA(hwnd, message, wParam, lParam);
}

void TXPDateTimePicker::CreateEdit() {
  HWND self = Handle();
  edit_ = CreateWindowExA(0, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP, 2, 2, Width() - 12, Height() - 4, self,
                          reinterpret_cast<HMENU>(intptr_t(kEditId)), nullptr, nullptr);
  if (!edit_) return;
  g_previousEditProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(edit_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TXPDateTimePicker::EditProcNew)));
  TFont *font = Font();
  TFontStyles style = font->Style();
  font_ = CreateFontA(font->Height(), 0, 0, 0, (style & fsBold) ? 700 : 400, (style & fsItalic) ? 1 : 0,
                      (style & fsUnderline) ? 1 : 0, (style & fsStrikeOut) ? 1 : 0, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x20, font->Name().c_str());
  SendMessageA(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
}

void TXPDateTimePicker::DestroyEdit() {
  if (edit_ && IsWindow(edit_)) DestroyWindow(edit_);
  edit_ = nullptr;
  if (font_) DeleteObject(font_);
  font_ = nullptr;
}

void TXPDateTimePicker::WndProc(TMessage &m) {
  if (m.Msg == WM_KEYDOWN || m.Msg == WM_KEYUP) {
    m.Result = edit_ ? SendMessageA(edit_, m.Msg, m.WParam, m.LParam) : 0;
    return;
  }
  TCustomControl::WndProc(m);
  switch (m.Msg) {
    case WM_CREATE: CreateEdit(); break;
    case WM_DESTROY: DestroyEdit(); break;
    case WM_SETFOCUS:
      if (edit_) {
        SendMessageA(edit_, EM_SETSEL, 0, -1);
        ::SetFocus(edit_);
      }
      break;
    case WM_NCPAINT:
      if (HandleAllocated()) XPPaintFlatFrame(Handle());
      break;
    default: break;
  }
}

namespace xpdatetimepicker {
void Register() { RegisterComponent(kXPPalettePage, "TXPDateTimePicker"); }
}  // namespace xpdatetimepicker
