// Messages as the class library hands them to its controls: the raw record
// that the window procedure of a control receives, the typed records of its
// message handlers, and the class library's own notification numbers.
#pragma once

#include "platform/winctrl.h"
#include "platform/winuser.h"

struct TMessage {
  UINT Msg = 0;
  WPARAM WParam = 0;
  LPARAM LParam = 0;
  LRESULT Result = 0;

  WORD WParamLo() const { return LOWORD(WParam); }
  WORD WParamHi() const { return HIWORD(WParam); }
  WORD LParamLo() const { return LOWORD(uintptr_t(LParam)); }
  WORD LParamHi() const { return HIWORD(uintptr_t(LParam)); }
};

// Notifications among the class library's controls. The three numbers that
// owner-drawn controls test for are fixed; the others only need to differ.
enum : UINT {
  CM_BASE = 0xB000,
  CM_ACTIVATE = CM_BASE + 0,
  CM_DEACTIVATE = CM_BASE + 1,
  CM_DIALOGKEY = CM_BASE + 5,
  CM_DIALOGCHAR = CM_BASE + 6,
  CM_FOCUSCHANGED = CM_BASE + 7,
  CM_PARENTFONTCHANGED = CM_BASE + 8,
  CM_PARENTCOLORCHANGED = CM_BASE + 9,
  CM_VISIBLECHANGED = CM_BASE + 11,
  CM_ENABLEDCHANGED = 0xB00C,
  CM_COLORCHANGED = CM_BASE + 13,
  CM_FONTCHANGED = CM_BASE + 14,
  CM_TEXTCHANGED = CM_BASE + 18,
  CM_MOUSEENTER = CM_BASE + 19,
  CM_MOUSELEAVE = CM_BASE + 20,
  CM_BUTTONPRESSED = CM_BASE + 24,
  CM_ENTER = CM_BASE + 26,
  CM_EXIT = CM_BASE + 27,
  CM_TABSTOPCHANGED = 0xB028,
  CM_RELEASE = CM_BASE + 33,
  CM_CHANGED = 0xB037,
};
// A control's own notifications, reflected back to it by its parent:
// CN_BASE + the notification message.
enum : UINT {
  CN_BASE = 0xBC00,
  CN_COMMAND = CN_BASE + WM_COMMAND,
  CN_NOTIFY = CN_BASE + WM_NOTIFY,
  CN_DRAWITEM = CN_BASE + WM_DRAWITEM,
  CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM,
  CN_HSCROLL = CN_BASE + WM_HSCROLL,
  CN_VSCROLL = CN_BASE + WM_VSCROLL,
  CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN,
  CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT,
  CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC,
  CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX,
  CN_KEYDOWN = CN_BASE + WM_KEYDOWN,
  CN_CHAR = CN_BASE + WM_CHAR,
};
static_assert(CN_DRAWITEM == 0xBC2B);

// ---- typed records of the message handlers ----------------------------------------
// Each carries the decoded fields and the result; Raw is the message it was
// made from, for handlers that pass it on unchanged.

struct TWMPaint {
  HDC DC;       // the context to paint on (from BeginPaint, or the one the message carried)
  RECT Rect;    // the area to paint, client coordinates
  LRESULT Result;
  TMessage *Raw;
};

struct TWMEraseBkgnd {
  HDC DC;
  LRESULT Result;  // non-zero: erased
  TMessage *Raw;
};

struct TWMMouse {
  UINT Msg;     // WM_MOUSEMOVE, WM_LBUTTONDOWN ... WM_MOUSELEAVE
  UINT Keys;    // MK_ flags
  POINT Pos;    // client coordinates, signed
  LRESULT Result;
  TMessage *Raw;
};

struct TWMMouseWheel {
  UINT Keys;
  short WheelDelta;
  POINT Pos;    // screen coordinates
  LRESULT Result;
  TMessage *Raw;
};

struct TWMKey {
  UINT Msg;        // WM_KEYDOWN, WM_KEYUP, WM_SYSKEYDOWN, WM_SYSKEYUP, WM_CHAR, WM_SYSCHAR
  WORD CharCode;   // virtual key, or the character byte; a handler that sets it to 0 eats it
  LPARAM KeyData;
  LRESULT Result;
  TMessage *Raw;
};
using TWMChar = TWMKey;

struct TWMTimer {
  UINT_PTR TimerID;
  TIMERPROC TimerProc;
  LRESULT Result;
  TMessage *Raw;
};

struct TWMSize {
  UINT SizeType;   // SIZE_RESTORED ...
  int Width;       // new client size
  int Height;
  LRESULT Result;
  TMessage *Raw;
};

struct TWMFocus {
  UINT Msg;          // WM_SETFOCUS or WM_KILLFOCUS
  HWND FocusedWnd;   // the window that lost (set) or gains (kill) the focus
  LRESULT Result;
  TMessage *Raw;
};

struct TWMCommand {
  WORD ItemID;
  WORD NotifyCode;
  HWND Ctl;
  LRESULT Result;
  TMessage *Raw;
};
