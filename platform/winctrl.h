// Messages, styles and records of the standard controls (buttons, edits,
// statics) and of owner drawing. Numbers are the ones the system's code uses.
#pragma once

#include "platform/winuser.h"

enum : UINT {
  WM_CUT = 0x0300,
  WM_COPY = 0x0301,
  WM_PASTE = 0x0302,
  WM_CLEAR = 0x0303,
  WM_UNDO = 0x0304,
};

// ---- buttons -------------------------------------------------------------------
enum : DWORD {
  BS_PUSHBUTTON = 0x0,
  BS_DEFPUSHBUTTON = 0x1,
  BS_CHECKBOX = 0x2,
  BS_AUTOCHECKBOX = 0x3,
  BS_RADIOBUTTON = 0x4,
  BS_3STATE = 0x5,
  BS_AUTO3STATE = 0x6,
  BS_GROUPBOX = 0x7,
  BS_AUTORADIOBUTTON = 0x9,
  BS_OWNERDRAW = 0xB,
  BS_TYPEMASK = 0xF,
  BS_LEFTTEXT = 0x20,
  BS_MULTILINE = 0x2000,
  BS_FLAT = 0x8000,
};
enum : UINT {
  BM_GETCHECK = 0x00F0,
  BM_SETCHECK = 0x00F1,
  BM_GETSTATE = 0x00F2,
  BM_SETSTATE = 0x00F3,
  BM_SETSTYLE = 0x00F4,
  BM_CLICK = 0x00F5,
};
enum : WPARAM { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2, BST_PUSHED = 4, BST_FOCUS = 8 };
enum : WORD { BN_CLICKED = 0, BN_DOUBLECLICKED = 5 };

// ---- edits ---------------------------------------------------------------------
enum : DWORD {
  ES_LEFT = 0x0000,
  ES_CENTER = 0x0001,
  ES_RIGHT = 0x0002,
  ES_MULTILINE = 0x0004,
  ES_UPPERCASE = 0x0008,
  ES_LOWERCASE = 0x0010,
  ES_PASSWORD = 0x0020,
  ES_AUTOVSCROLL = 0x0040,
  ES_AUTOHSCROLL = 0x0080,
  ES_NOHIDESEL = 0x0100,
  ES_READONLY = 0x0800,
  ES_WANTRETURN = 0x1000,
  ES_NUMBER = 0x2000,
};
enum : UINT {
  EM_GETSEL = 0x00B0,
  EM_SETSEL = 0x00B1,
  EM_SCROLLCARET = 0x00B7,
  EM_GETMODIFY = 0x00B8,
  EM_SETMODIFY = 0x00B9,
  EM_GETLINECOUNT = 0x00BA,
  EM_REPLACESEL = 0x00C2,
  EM_GETLINE = 0x00C4,
  EM_LIMITTEXT = 0x00C5,
  EM_SETLIMITTEXT = 0x00C5,
  EM_CANUNDO = 0x00C6,
  EM_UNDO = 0x00C7,
  EM_SETPASSWORDCHAR = 0x00CC,
  EM_SETREADONLY = 0x00CF,
  EM_GETLIMITTEXT = 0x00D5,
};
enum : WORD { EN_SETFOCUS = 0x0100, EN_KILLFOCUS = 0x0200, EN_CHANGE = 0x0300, EN_UPDATE = 0x0400, EN_MAXTEXT = 0x0501 };

// ---- statics -------------------------------------------------------------------
enum : DWORD { SS_LEFT = 0x0, SS_CENTER = 0x1, SS_RIGHT = 0x2, SS_OWNERDRAW = 0xD, SS_NOPREFIX = 0x80, SS_NOTIFY = 0x100 };

// ---- dialog codes ----------------------------------------------------------------
enum : LRESULT {
  DLGC_WANTARROWS = 0x0001,
  DLGC_WANTTAB = 0x0002,
  DLGC_WANTALLKEYS = 0x0004,
  DLGC_WANTMESSAGE = 0x0004,
  DLGC_HASSETSEL = 0x0008,
  DLGC_DEFPUSHBUTTON = 0x0010,
  DLGC_UNDEFPUSHBUTTON = 0x0020,
  DLGC_RADIOBUTTON = 0x0040,
  DLGC_WANTCHARS = 0x0080,
  DLGC_STATIC = 0x0100,
  DLGC_BUTTON = 0x2000,
};

// ---- owner drawing -------------------------------------------------------------
enum : UINT { ODT_MENU = 1, ODT_LISTBOX = 2, ODT_COMBOBOX = 3, ODT_BUTTON = 4, ODT_STATIC = 5 };
enum : UINT { ODA_DRAWENTIRE = 1, ODA_SELECT = 2, ODA_FOCUS = 4 };
enum : UINT {
  ODS_SELECTED = 0x0001,
  ODS_GRAYED = 0x0002,
  ODS_DISABLED = 0x0004,
  ODS_CHECKED = 0x0008,
  ODS_FOCUS = 0x0010,
  ODS_DEFAULT = 0x0020,
  ODS_HOTLIGHT = 0x0040,
  ODS_INACTIVE = 0x0080,
  ODS_NOACCEL = 0x0100,
  ODS_NOFOCUSRECT = 0x0200,
  ODS_COMBOBOXEDIT = 0x1000,
};
struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  HWND hwndItem;
  HDC hDC;
  RECT rcItem;
  ULONG_PTR itemData;
};
struct MEASUREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemWidth;
  UINT itemHeight;
  ULONG_PTR itemData;
};
typedef DRAWITEMSTRUCT *LPDRAWITEMSTRUCT;
// The head of every WM_NOTIFY record.
struct NMHDR {
  HWND hwndFrom;
  UINT_PTR idFrom;
  UINT code;
};
typedef MEASUREITEMSTRUCT *LPMEASUREITEMSTRUCT;

// The classes of the standard controls that code may create by name. They
// are registered on first use; RegisterStandardControls registers them all.
namespace platform {
void RegisterStandardControls();
}
