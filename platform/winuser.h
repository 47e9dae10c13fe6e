// Windows, window classes, messages, the message loop, timers and hooks.
// Message numbers and flag values are the ones the system's code and the
// programs it talks to rely on.
#pragma once

#include <functional>

#include "platform/windef.h"

// ---- messages --------------------------------------------------------------
enum : UINT {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,
  WM_ACTIVATE = 0x0006,
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_ENABLE = 0x000A,
  WM_SETREDRAW = 0x000B,
  WM_SETTEXT = 0x000C,
  WM_GETTEXT = 0x000D,
  WM_GETTEXTLENGTH = 0x000E,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,
  WM_QUIT = 0x0012,
  WM_ERASEBKGND = 0x0014,
  WM_SHOWWINDOW = 0x0018,
  WM_ACTIVATEAPP = 0x001C,
  WM_CANCELMODE = 0x001F,
  WM_SETCURSOR = 0x0020,
  WM_MOUSEACTIVATE = 0x0021,
  WM_GETMINMAXINFO = 0x0024,
  WM_DRAWITEM = 0x002B,
  WM_MEASUREITEM = 0x002C,
  WM_SETFONT = 0x0030,
  WM_GETFONT = 0x0031,
  WM_WINDOWPOSCHANGING = 0x0046,
  WM_WINDOWPOSCHANGED = 0x0047,
  WM_NOTIFY = 0x004E,
  WM_CONTEXTMENU = 0x007B,
  WM_NCCREATE = 0x0081,
  WM_NCDESTROY = 0x0082,
  WM_NCCALCSIZE = 0x0083,
  WM_NCHITTEST = 0x0084,
  WM_NCPAINT = 0x0085,
  WM_NCACTIVATE = 0x0086,
  WM_GETDLGCODE = 0x0087,
  WM_NCMOUSEMOVE = 0x00A0,
  WM_NCLBUTTONDOWN = 0x00A1,
  WM_NCLBUTTONUP = 0x00A2,
  WM_NCLBUTTONDBLCLK = 0x00A3,
  WM_NCRBUTTONDOWN = 0x00A4,
  WM_NCRBUTTONUP = 0x00A5,
  WM_NCRBUTTONDBLCLK = 0x00A6,
  WM_NCMBUTTONDOWN = 0x00A7,
  WM_NCMBUTTONUP = 0x00A8,
  WM_NCMBUTTONDBLCLK = 0x00A9,
  WM_KEYFIRST = 0x0100,
  WM_KEYDOWN = 0x0100,
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,
  WM_DEADCHAR = 0x0103,
  WM_SYSKEYDOWN = 0x0104,
  WM_SYSKEYUP = 0x0105,
  WM_SYSCHAR = 0x0106,
  WM_KEYLAST = 0x0109,
  WM_INITDIALOG = 0x0110,
  WM_COMMAND = 0x0111,
  WM_SYSCOMMAND = 0x0112,
  WM_TIMER = 0x0113,
  WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115,
  WM_INITMENU = 0x0116,
  WM_INITMENUPOPUP = 0x0117,
  WM_MENUSELECT = 0x011F,
  WM_ENTERIDLE = 0x0121,
  WM_CTLCOLOREDIT = 0x0133,
  WM_CTLCOLORLISTBOX = 0x0134,
  WM_CTLCOLORBTN = 0x0135,
  WM_CTLCOLORDLG = 0x0136,
  WM_CTLCOLORSCROLLBAR = 0x0137,
  WM_CTLCOLORSTATIC = 0x0138,
  WM_MOUSEFIRST = 0x0200,
  WM_MOUSEMOVE = 0x0200,
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_RBUTTONDBLCLK = 0x0206,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_MBUTTONDBLCLK = 0x0209,
  WM_MOUSEWHEEL = 0x020A,
  WM_MOUSELAST = 0x020A,
  WM_PARENTNOTIFY = 0x0210,
  WM_ENTERMENULOOP = 0x0211,
  WM_EXITMENULOOP = 0x0212,
  WM_CAPTURECHANGED = 0x0215,
  WM_MDIACTIVATE = 0x0222,
  WM_IME_CHAR = 0x0286,
  WM_MOUSEHOVER = 0x02A1,
  WM_MOUSELEAVE = 0x02A3,
  WM_PRINT = 0x0317,
  WM_PRINTCLIENT = 0x0318,
  WM_USER = 0x0400,
  WM_APP = 0x8000,
};

// ---- styles ----------------------------------------------------------------
enum : DWORD {
  WS_OVERLAPPED = 0x00000000,
  WS_POPUP = 0x80000000,
  WS_CHILD = 0x40000000,
  WS_MINIMIZE = 0x20000000,
  WS_VISIBLE = 0x10000000,
  WS_DISABLED = 0x08000000,
  WS_CLIPSIBLINGS = 0x04000000,
  WS_CLIPCHILDREN = 0x02000000,
  WS_MAXIMIZE = 0x01000000,
  WS_CAPTION = 0x00C00000,
  WS_BORDER = 0x00800000,
  WS_DLGFRAME = 0x00400000,
  WS_VSCROLL = 0x00200000,
  WS_HSCROLL = 0x00100000,
  WS_SYSMENU = 0x00080000,
  WS_THICKFRAME = 0x00040000,
  WS_GROUP = 0x00020000,
  WS_TABSTOP = 0x00010000,
  WS_MINIMIZEBOX = 0x00020000,
  WS_MAXIMIZEBOX = 0x00010000,
  WS_OVERLAPPEDWINDOW = 0x00CF0000,
  WS_POPUPWINDOW = 0x80880000,
};
enum : DWORD {
  WS_EX_DLGMODALFRAME = 0x00000001,
  WS_EX_TOPMOST = 0x00000008,
  WS_EX_TRANSPARENT = 0x00000020,
  WS_EX_TOOLWINDOW = 0x00000080,
  WS_EX_WINDOWEDGE = 0x00000100,
  WS_EX_CLIENTEDGE = 0x00000200,
  WS_EX_STATICEDGE = 0x00020000,
  WS_EX_LAYERED = 0x00080000,
  WS_EX_NOACTIVATE = 0x08000000,
};
enum : UINT {
  CS_VREDRAW = 0x0001,
  CS_HREDRAW = 0x0002,
  CS_DBLCLKS = 0x0008,
  CS_OWNDC = 0x0020,
  CS_SAVEBITS = 0x0800,
  CS_DROPSHADOW = 0x00020000,
};
constexpr int CW_USEDEFAULT = int(0x80000000u);

enum : int {
  SW_HIDE = 0,
  SW_SHOWNORMAL = 1,
  SW_SHOWMINIMIZED = 2,
  SW_SHOWMAXIMIZED = 3,
  SW_MAXIMIZE = 3,
  SW_SHOWNOACTIVATE = 4,
  SW_SHOW = 5,
  SW_MINIMIZE = 6,
  SW_SHOWMINNOACTIVE = 7,
  SW_SHOWNA = 8,
  SW_RESTORE = 9,
  SW_SHOWDEFAULT = 10,
};
enum : UINT {
  SWP_NOSIZE = 0x0001,
  SWP_NOMOVE = 0x0002,
  SWP_NOZORDER = 0x0004,
  SWP_NOREDRAW = 0x0008,
  SWP_NOACTIVATE = 0x0010,
  SWP_FRAMECHANGED = 0x0020,
  SWP_SHOWWINDOW = 0x0040,
  SWP_HIDEWINDOW = 0x0080,
  SWP_NOCOPYBITS = 0x0100,
  SWP_NOOWNERZORDER = 0x0200,
  SWP_NOSENDCHANGING = 0x0400,
};
#define HWND_TOP ((HWND)0)
#define HWND_BOTTOM ((HWND)1)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define HWND_NOTOPMOST ((HWND)(intptr_t)-2)

enum : int {
  GWLP_WNDPROC = -4,
  GWL_WNDPROC = -4,
  GWLP_HINSTANCE = -6,
  GWLP_HWNDPARENT = -8,
  GWLP_ID = -12,
  GWL_ID = -12,
  GWL_STYLE = -16,
  GWL_EXSTYLE = -20,
  GWLP_USERDATA = -21,
  GWL_USERDATA = -21,
};
enum : UINT { PM_NOREMOVE = 0, PM_REMOVE = 1, PM_NOYIELD = 2 };
enum : WPARAM { MK_LBUTTON = 0x01, MK_RBUTTON = 0x02, MK_SHIFT = 0x04, MK_CONTROL = 0x08, MK_MBUTTON = 0x10 };
enum : WPARAM { SIZE_RESTORED = 0, SIZE_MINIMIZED = 1, SIZE_MAXIMIZED = 2 };
enum : WPARAM { WA_INACTIVE = 0, WA_ACTIVE = 1, WA_CLICKACTIVE = 2 };
// WM_SYSCOMMAND's commands (wParam).
// SC_SIZE and SC_MOVE carry the edge (1 left .. 8 bottom right) or 2 in
// their low four bits, the window's own bits.
enum : WPARAM {
  SC_SIZE = 0xF000, SC_MOVE = 0xF010, SC_MINIMIZE = 0xF020, SC_MAXIMIZE = 0xF030, SC_CLOSE = 0xF060, SC_SCREENSAVE = 0xF140, SC_RESTORE = 0xF120
};
// WM_NCHITTEST's answers.
enum : int {
  HTERROR = -2, HTTRANSPARENT = -1, HTNOWHERE = 0, HTCLIENT = 1, HTCAPTION = 2,
  HTLEFT = 10, HTRIGHT = 11, HTTOP = 12, HTTOPLEFT = 13, HTTOPRIGHT = 14, HTBOTTOM = 15, HTBOTTOMLEFT = 16,
  HTBOTTOMRIGHT = 17
};
enum : UINT { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };
constexpr short WHEEL_DELTA = 120;

// ---- virtual keys ------------------------------------------------------------
enum : int {
  VK_LBUTTON = 0x01,
  VK_RBUTTON = 0x02,
  VK_CANCEL = 0x03,
  VK_MBUTTON = 0x04,
  VK_BACK = 0x08,
  VK_TAB = 0x09,
  VK_CLEAR = 0x0C,
  VK_RETURN = 0x0D,
  VK_SHIFT = 0x10,
  VK_CONTROL = 0x11,
  VK_MENU = 0x12,
  VK_PAUSE = 0x13,
  VK_CAPITAL = 0x14,
  VK_ESCAPE = 0x1B,
  VK_SPACE = 0x20,
  VK_PRIOR = 0x21,
  VK_NEXT = 0x22,
  VK_END = 0x23,
  VK_HOME = 0x24,
  VK_LEFT = 0x25,
  VK_UP = 0x26,
  VK_RIGHT = 0x27,
  VK_DOWN = 0x28,
  VK_SELECT = 0x29,
  VK_PRINT = 0x2A,
  VK_SNAPSHOT = 0x2C,
  VK_INSERT = 0x2D,
  VK_DELETE = 0x2E,
  VK_HELP = 0x2F,
  VK_LWIN = 0x5B,
  VK_RWIN = 0x5C,
  VK_APPS = 0x5D,
  VK_NUMPAD0 = 0x60,
  VK_NUMPAD9 = 0x69,
  VK_MULTIPLY = 0x6A,
  VK_ADD = 0x6B,
  VK_SEPARATOR = 0x6C,
  VK_SUBTRACT = 0x6D,
  VK_DECIMAL = 0x6E,
  VK_DIVIDE = 0x6F,
  VK_F1 = 0x70,
  VK_F2 = 0x71,
  VK_F3 = 0x72,
  VK_F4 = 0x73,
  VK_F5 = 0x74,
  VK_F6 = 0x75,
  VK_F7 = 0x76,
  VK_F8 = 0x77,
  VK_F9 = 0x78,
  VK_F10 = 0x79,
  VK_F11 = 0x7A,
  VK_F12 = 0x7B,
  VK_F24 = 0x87,
  VK_NUMLOCK = 0x90,
  VK_SCROLL = 0x91,
  VK_LSHIFT = 0xA0,
  VK_RSHIFT = 0xA1,
  VK_LCONTROL = 0xA2,
  VK_RCONTROL = 0xA3,
  VK_LMENU = 0xA4,
  VK_RMENU = 0xA5,
  VK_OEM_1 = 0xBA,
  VK_OEM_PLUS = 0xBB,
  VK_OEM_COMMA = 0xBC,
  VK_OEM_MINUS = 0xBD,
  VK_OEM_PERIOD = 0xBE,
  VK_OEM_2 = 0xBF,
  VK_OEM_3 = 0xC0,
  VK_OEM_4 = 0xDB,
  VK_OEM_5 = 0xDC,
  VK_OEM_6 = 0xDD,
  VK_OEM_7 = 0xDE,
  VK_PROCESSKEY = 0xE5,
};

// ---- records ---------------------------------------------------------------
typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef LRESULT (*HOOKPROC)(int code, WPARAM wParam, LPARAM lParam);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);

struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};
struct WNDCLASSEXA {
  UINT cbSize;
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
  HICON hIconSm;
};
struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};
struct CWPSTRUCT {
  LPARAM lParam;
  WPARAM wParam;
  UINT message;
  HWND hwnd;
};
struct WINDOWPOS {
  HWND hwnd;
  HWND hwndInsertAfter;
  int x;
  int y;
  int cx;
  int cy;
  UINT flags;
};
struct MINMAXINFO {
  POINT ptReserved;
  POINT ptMaxSize;
  POINT ptMaxPosition;
  POINT ptMinTrackSize;
  POINT ptMaxTrackSize;
};
struct NCCALCSIZE_PARAMS {
  RECT rgrc[3];
  WINDOWPOS *lppos;
};
struct TRACKMOUSEEVENT {
  DWORD cbSize;
  DWORD dwFlags;
  HWND hwndTrack;
  DWORD dwHoverTime;
};
enum : DWORD { TME_HOVER = 0x1, TME_LEAVE = 0x2, TME_QUERY = 0x40000000, TME_CANCEL = 0x80000000 };
constexpr DWORD HOVER_DEFAULT = 0xFFFFFFFFu;

enum : int { WH_KEYBOARD = 2, WH_GETMESSAGE = 3, WH_CALLWNDPROC = 4, WH_MOUSE = 7 };
constexpr int HC_ACTION = 0;

// ---- classes and windows ---------------------------------------------------
ATOM RegisterClassA(const WNDCLASSA *wc);
ATOM RegisterClassExA(const WNDCLASSEXA *wc);
BOOL UnregisterClassA(LPCSTR className, HINSTANCE instance);
BOOL GetClassInfoA(HINSTANCE instance, LPCSTR className, WNDCLASSA *wc);
// A class may be named by text or by the atom in the low word of the pointer.
HWND CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
int GetClassNameA(HWND hwnd, LPSTR buffer, int size);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LONG_PTR GetWindowLongPtrA(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongA(HWND hwnd, int index);
LONG SetWindowLongA(HWND hwnd, int index, LONG value);
DWORD GetWindowThreadProcessId(HWND hwnd, DWORD *processId);

BOOL SetWindowTextA(HWND hwnd, LPCSTR text);
int GetWindowTextA(HWND hwnd, LPSTR buffer, int size);
int GetWindowTextLengthA(HWND hwnd);

BOOL ShowWindow(HWND hwnd, int command);
BOOL IsWindowVisible(HWND hwnd);
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
BOOL GetWindowRect(HWND hwnd, RECT *rect);
BOOL GetClientRect(HWND hwnd, RECT *rect);
BOOL ClientToScreen(HWND hwnd, POINT *point);
BOOL ScreenToClient(HWND hwnd, POINT *point);
HWND GetParent(HWND hwnd);
HWND SetParent(HWND child, HWND newParent);
HWND GetWindow(HWND hwnd, UINT relation);
BOOL IsChild(HWND parent, HWND hwnd);
HWND GetDesktopWindow();
// A top-level window of this process by class name and title (either may
// be null for any); the desktop's own windows are not among them.
HWND FindWindowA(LPCSTR className, LPCSTR windowName);

// ---- window states and placement ----------------------------------------------
// A top-level window is maximised (ShowWindow with SW_MAXIMIZE or
// SW_SHOWMAXIMIZED, WM_SYSCOMMAND SC_MAXIMIZE) into the work area of its
// screen at the place and size WM_GETMINMAXINFO gives, minimised, or
// restored to the place it had before; the state shows in WS_MAXIMIZE and
// WS_MINIMIZE and in WM_SIZE's kind. While a top-level window is sized,
// WM_GETMINMAXINFO's tracking sizes bound it (the default window procedure
// of WM_WINDOWPOSCHANGING), as they bound the user's sizing.
//
// A top-level window with a sizing frame but no caption (and not WS_POPUP)
// draws its own frame: three pixels on every side, painted by its
// WM_NCPAINT; its WM_NCHITTEST decides which parts size it. Such a window
// placed over the whole of a screen covers that screen (the desktop's bars
// included), as a full-screen window does.
BOOL IsZoomed(HWND hwnd);
BOOL IsIconic(HWND hwnd);
enum : UINT { WPF_RESTORETOMAXIMIZED = 2 };
struct WINDOWPLACEMENT {
  UINT length;
  UINT flags;
  UINT showCmd;  // SW_HIDE for a hidden window, else normal, maximised or minimised
  POINT ptMinPosition;
  POINT ptMaxPosition;
  RECT rcNormalPosition;  // the restored place
};
BOOL GetWindowPlacement(HWND hwnd, WINDOWPLACEMENT *placement);
// Sets the restored place (the window moves there when it is neither
// maximised nor minimised), then the state of showCmd; SW_HIDE changes
// neither the state nor the visibility.
BOOL SetWindowPlacement(HWND hwnd, const WINDOWPLACEMENT *placement);

// ---- screens ---------------------------------------------------------------------
struct HMONITOR__ {
  int unused;
};
typedef HMONITOR__ *HMONITOR;
enum : DWORD { MONITOR_DEFAULTTONULL = 0, MONITOR_DEFAULTTOPRIMARY = 1, MONITOR_DEFAULTTONEAREST = 2 };
enum : DWORD { MONITORINFOF_PRIMARY = 1 };
struct MONITORINFO {
  DWORD cbSize;
  RECT rcMonitor;
  RECT rcWork;  // without the desktop's bars
  DWORD dwFlags;
};
HMONITOR MonitorFromPoint(POINT point, DWORD flags);
HMONITOR MonitorFromRect(const RECT *rect, DWORD flags);
HMONITOR MonitorFromWindow(HWND hwnd, DWORD flags);
BOOL GetMonitorInfoA(HMONITOR monitor, MONITORINFO *info);
enum : UINT { SPI_GETWORKAREA = 0x0030 };
// SPI_GETWORKAREA only: the primary screen's work area into the RECT.
BOOL SystemParametersInfoA(UINT action, UINT param, void *value, UINT winIni);
enum : int { SM_CXSCREEN = 0, SM_CYSCREEN = 1 };
// The primary screen's width and height; 0 for other indices.
int GetSystemMetrics(int index);

HWND SetFocus(HWND hwnd);
HWND GetFocus();
HWND GetActiveWindow();
HWND SetActiveWindow(HWND hwnd);
BOOL SetForegroundWindow(HWND hwnd);
HWND GetForegroundWindow();
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL TrackMouseEvent(TRACKMOUSEEVENT *track);
BOOL GetCursorPos(POINT *point);
BOOL SetCursorPos(int x, int y);
// The innermost window of this thread shown at a point of the screen; null
// over none.
HWND WindowFromPoint(POINT screen);
enum : DWORD {
  MOUSEEVENTF_MOVE = 0x0001,
  MOUSEEVENTF_LEFTDOWN = 0x0002,
  MOUSEEVENTF_LEFTUP = 0x0004,
  MOUSEEVENTF_RIGHTDOWN = 0x0008,
  MOUSEEVENTF_RIGHTUP = 0x0010,
  MOUSEEVENTF_ABSOLUTE = 0x8000
};
// Synthesised button presses and releases at the cursor, queued as the
// user's would be (down before up when both are given). Moves are not
// synthesised: SetCursorPos places the cursor.
void mouse_event(DWORD flags, DWORD dx, DWORD dy, DWORD data, ULONG_PTR extraInfo);

// The standard cursors, for LoadCursorA with a null instance.
inline const LPCSTR IDC_ARROW = reinterpret_cast<LPCSTR>(uintptr_t{32512});
inline const LPCSTR IDC_IBEAM = reinterpret_cast<LPCSTR>(uintptr_t{32513});
inline const LPCSTR IDC_WAIT = reinterpret_cast<LPCSTR>(uintptr_t{32514});
inline const LPCSTR IDC_CROSS = reinterpret_cast<LPCSTR>(uintptr_t{32515});
inline const LPCSTR IDC_UPARROW = reinterpret_cast<LPCSTR>(uintptr_t{32516});
inline const LPCSTR IDC_SIZENWSE = reinterpret_cast<LPCSTR>(uintptr_t{32642});
inline const LPCSTR IDC_SIZENESW = reinterpret_cast<LPCSTR>(uintptr_t{32643});
inline const LPCSTR IDC_SIZEWE = reinterpret_cast<LPCSTR>(uintptr_t{32644});
inline const LPCSTR IDC_SIZENS = reinterpret_cast<LPCSTR>(uintptr_t{32645});
inline const LPCSTR IDC_SIZEALL = reinterpret_cast<LPCSTR>(uintptr_t{32646});
inline const LPCSTR IDC_NO = reinterpret_cast<LPCSTR>(uintptr_t{32648});
inline const LPCSTR IDC_HAND = reinterpret_cast<LPCSTR>(uintptr_t{32649});
inline const LPCSTR IDC_APPSTARTING = reinterpret_cast<LPCSTR>(uintptr_t{32650});
inline const LPCSTR IDC_ICON = reinterpret_cast<LPCSTR>(uintptr_t{32641});
// The standard cursors with a null instance; with the program's instance
// the program's own cursors by name ("IDC_CROSS", "IDC_HAND", "IDC_HAND2",
// "IDC_RUBBER", "IDC_DRAG"); null for anything else.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR name);
// The cursor shows over the window with the capture, else over the window
// the last mouse message went to (the one under the pointer); once the
// pointer is over another window, that one shows its own again. A null
// cursor hides it; an unknown handle changes nothing. Returns the cursor
// set before.
HCURSOR SetCursor(HCURSOR cursor);
HCURSOR GetCursor();
SHORT GetKeyState(int virtualKey);
SHORT GetAsyncKeyState(int virtualKey);

BOOL InvalidateRect(HWND hwnd, const RECT *rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT *rect);
BOOL GetUpdateRect(HWND hwnd, RECT *rect, BOOL erase);
BOOL UpdateWindow(HWND hwnd);
enum : UINT {
  RDW_INVALIDATE = 0x0001,
  RDW_INTERNALPAINT = 0x0002,
  RDW_ERASE = 0x0004,
  RDW_VALIDATE = 0x0008,
  RDW_NOINTERNALPAINT = 0x0010,
  RDW_NOERASE = 0x0020,
  RDW_NOCHILDREN = 0x0040,
  RDW_ALLCHILDREN = 0x0080,
  RDW_UPDATENOW = 0x0100,
  RDW_ERASENOW = 0x0200,
  RDW_FRAME = 0x0400,
  RDW_NOFRAME = 0x0800,
};
BOOL RedrawWindow(HWND hwnd, const RECT *rect, HRGN region, UINT flags);

// ---- messages and the loop ---------------------------------------------------
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
BOOL PostThreadMessageA(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
BOOL GetMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL PeekMessageA(MSG *msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
BOOL TranslateMessage(const MSG *msg);
LRESULT DispatchMessageA(const MSG *msg);
BOOL WaitMessage();
BOOL InSendMessage();
DWORD GetMessageTime();
DWORD GetMessagePos();

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc);
BOOL KillTimer(HWND hwnd, UINT_PTR id);

HHOOK SetWindowsHookExA(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId);
BOOL UnhookWindowsHookEx(HHOOK hook);
LRESULT CallNextHookEx(HHOOK hook, int code, WPARAM wParam, LPARAM lParam);

namespace platform {

// The application object's message hook: sees every message the GUI
// thread's loop takes from its queue (posted messages and input) before it is
// translated and dispatched; setting handled stops it there. Returns the hook
// it replaces so that a chain can be kept.
using AppMessageHook = std::function<void(MSG &msg, bool &handled)>;
AppMessageHook SetAppMessageHook(AppMessageHook hook);

// Makes the calling thread the GUI thread: its queue is served by the Qt
// event loop. Needs a QApplication on this thread; called on first use.
void InitGuiThread();
// Runs the Qt event loop, which serves the message queue, until
// PostQuitMessage; returns its exit code.
int RunMessageLoop();
// Serves everything that is due now: Qt events, posted, sent, timer and paint
// messages. Returns when nothing is left (tests and the class library's
// ProcessMessages).
void ProcessPendingMessages();
// Hands a message taken from the queue to the application hook, the
// translation and the window procedure, as the class library's loop does.
void RunTakenMessage(MSG &msg);

// Number of windows alive (tests check that nothing leaks).
size_t LiveWindowCount();

}  // namespace platform
