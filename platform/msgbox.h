// Message boxes. Every call goes through one process-wide handler when one
// is installed (tests install a recorder); otherwise a Qt message box is
// shown on the GUI thread, also when the call comes from another thread.
#pragma once

#include <functional>
#include <string>

#include "platform/windef.h"

// Buttons.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
// Icons.
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
// Default button.
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
// Modality and placement.
constexpr UINT MB_APPLMODAL = 0x00000000;
constexpr UINT MB_SYSTEMMODAL = 0x00001000;
constexpr UINT MB_TASKMODAL = 0x00002000;
constexpr UINT MB_MODEMASK = 0x00003000;
constexpr UINT MB_SETFOREGROUND = 0x00010000;
constexpr UINT MB_TOPMOST = 0x00040000;

// Results.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

namespace platform {

struct MessageBoxCall {
  HWND owner;
  std::string text, caption;  // GBK, as the caller passed them
  UINT type;
};
using MessageBoxHandler = std::function<int(const MessageBoxCall &)>;

// Installs a handler (an empty one puts the Qt message box back) and returns
// the one installed before. The handler runs on the calling thread.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform

// Text and caption are GBK; a null caption reads "错误". Returns the ID of the
// button chosen. Escape and the close button choose Cancel where there is
// one and OK when OK is the only button; otherwise they do nothing. Returns 0
// for an unknown button set or when no Qt application exists to show it.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
