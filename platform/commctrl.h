// Messages, styles and records of the list and common controls: list and
// combo boxes, list views and their headers, tab controls, scroll bars and
// up-down controls. Numbers are the ones the system's code uses.
#pragma once

#include "platform/winctrl.h"
#include "platform/winuser.h"

// ---- scroll bars ----------------------------------------------------------------
enum : WORD {
  SB_LINEUP = 0,
  SB_LINELEFT = 0,
  SB_LINEDOWN = 1,
  SB_LINERIGHT = 1,
  SB_PAGEUP = 2,
  SB_PAGELEFT = 2,
  SB_PAGEDOWN = 3,
  SB_PAGERIGHT = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_TOP = 6,
  SB_LEFT = 6,
  SB_BOTTOM = 7,
  SB_RIGHT = 7,
  SB_ENDSCROLL = 8,
};
enum : int { SB_HORZ = 0, SB_VERT = 1, SB_CTL = 2 };
enum : DWORD { SBS_HORZ = 0x0, SBS_VERT = 0x1 };
enum : UINT {
  SBM_SETPOS = 0x00E0,
  SBM_GETPOS = 0x00E1,
  SBM_SETRANGE = 0x00E2,
  SBM_GETRANGE = 0x00E3,
};

// ---- list boxes -------------------------------------------------------------------
enum : DWORD {
  LBS_NOTIFY = 0x0001,
  LBS_SORT = 0x0002,
  LBS_OWNERDRAWFIXED = 0x0010,
  LBS_OWNERDRAWVARIABLE = 0x0020,
  LBS_HASSTRINGS = 0x0040,
  LBS_NOINTEGRALHEIGHT = 0x0100,
};
enum : UINT {
  LB_ADDSTRING = 0x0180,
  LB_INSERTSTRING = 0x0181,
  LB_DELETESTRING = 0x0182,
  LB_RESETCONTENT = 0x0184,
  LB_SETCURSEL = 0x0186,
  LB_GETCURSEL = 0x0188,
  LB_GETTEXT = 0x0189,
  LB_GETTEXTLEN = 0x018A,
  LB_GETCOUNT = 0x018B,
  LB_GETTOPINDEX = 0x018E,
  LB_SETTOPINDEX = 0x0197,
  LB_GETITEMRECT = 0x0198,
  LB_GETITEMDATA = 0x0199,
  LB_SETITEMDATA = 0x019A,
  LB_SETITEMHEIGHT = 0x01A0,
  LB_GETITEMHEIGHT = 0x01A1,
  LB_ITEMFROMPOINT = 0x01A9,
};
constexpr LRESULT LB_ERR = -1;
enum : WORD { LBN_SELCHANGE = 1, LBN_DBLCLK = 2 };

// ---- combo boxes --------------------------------------------------------------------
enum : DWORD {
  CBS_SIMPLE = 0x0001,
  CBS_DROPDOWN = 0x0002,
  CBS_DROPDOWNLIST = 0x0003,
  CBS_OWNERDRAWFIXED = 0x0010,
  CBS_OWNERDRAWVARIABLE = 0x0020,
  CBS_AUTOHSCROLL = 0x0040,
  CBS_SORT = 0x0100,
  CBS_HASSTRINGS = 0x0200,
};
enum : UINT {
  CB_GETEDITSEL = 0x0140,
  CB_LIMITTEXT = 0x0141,
  CB_SETEDITSEL = 0x0142,
  CB_ADDSTRING = 0x0143,
  CB_DELETESTRING = 0x0144,
  CB_GETCOUNT = 0x0146,
  CB_GETCURSEL = 0x0147,
  CB_GETLBTEXT = 0x0148,
  CB_GETLBTEXTLEN = 0x0149,
  CB_INSERTSTRING = 0x014A,
  CB_RESETCONTENT = 0x014B,
  CB_FINDSTRING = 0x014C,
  CB_SELECTSTRING = 0x014D,
  CB_SETCURSEL = 0x014E,
  CB_SHOWDROPDOWN = 0x014F,
  CB_GETITEMDATA = 0x0150,
  CB_SETITEMDATA = 0x0151,
  CB_GETDROPPEDCONTROLRECT = 0x0152,
  CB_SETITEMHEIGHT = 0x0153,
  CB_GETITEMHEIGHT = 0x0154,
  CB_FINDSTRINGEXACT = 0x0158,
  CB_GETDROPPEDSTATE = 0x0157,
  CB_GETCOMBOBOXINFO = 0x0164,
};
constexpr LRESULT CB_ERR = -1;
enum : WORD {
  CBN_SELCHANGE = 1,
  CBN_DBLCLK = 2,
  CBN_SETFOCUS = 3,
  CBN_KILLFOCUS = 4,
  CBN_EDITCHANGE = 5,
  CBN_EDITUPDATE = 6,
  CBN_DROPDOWN = 7,
  CBN_CLOSEUP = 8,
  CBN_SELENDOK = 9,
  CBN_SELENDCANCEL = 10,
};
// What CB_GETCOMBOBOXINFO reports: the text area, the drop button, the edit
// window (or the combo box itself without one) and the drop-down list.
struct COMBOBOXINFO {
  DWORD cbSize;
  RECT rcItem;
  RECT rcButton;
  DWORD stateButton;
  HWND hwndCombo;
  HWND hwndItem;
  HWND hwndList;
};
constexpr DWORD STATE_SYSTEM_PRESSED = 0x00000008;
constexpr DWORD STATE_SYSTEM_INVISIBLE = 0x00008000;

// ---- notification records ---------------------------------------------------------------
// WM_NOTIFY codes are negative numbers in the unsigned code field.
enum : UINT {
  NM_CLICK = UINT(-2),
  NM_DBLCLK = UINT(-3),
  NM_RCLICK = UINT(-5),
  NM_CUSTOMDRAW = UINT(-12),
};

// ---- headers --------------------------------------------------------------------------
enum : UINT {
  HDM_FIRST = 0x1200,
  HDM_GETITEMCOUNT = HDM_FIRST + 0,
  HDM_INSERTITEMA = HDM_FIRST + 1,
  HDM_DELETEITEM = HDM_FIRST + 2,
  HDM_GETITEMA = HDM_FIRST + 3,
  HDM_SETITEMA = HDM_FIRST + 4,
  HDM_LAYOUT = HDM_FIRST + 5,
  HDM_HITTEST = HDM_FIRST + 6,
  HDM_GETITEMRECT = HDM_FIRST + 7,
  HDM_ORDERTOINDEX = HDM_FIRST + 15,
  HDM_GETORDERARRAY = HDM_FIRST + 17,
};
#define HDM_GETITEM HDM_GETITEMA
#define HDM_SETITEM HDM_SETITEMA
#define HDM_INSERTITEM HDM_INSERTITEMA
enum : UINT {
  HDI_WIDTH = 0x0001,
  HDI_HEIGHT = HDI_WIDTH,
  HDI_TEXT = 0x0002,
  HDI_FORMAT = 0x0004,
  HDI_LPARAM = 0x0008,
  HDI_ORDER = 0x0080,
};
enum : int {
  HDF_LEFT = 0x0000,
  HDF_RIGHT = 0x0001,
  HDF_CENTER = 0x0002,
  HDF_JUSTIFYMASK = 0x0003,
  HDF_OWNERDRAW = 0x8000,
  HDF_STRING = 0x4000,
};
struct HDITEMA {
  UINT mask;
  int cxy;
  LPSTR pszText;  // HDM_GETITEM copies at most cchTextMax bytes, the NUL included
  HBITMAP hbm;
  int cchTextMax;
  int fmt;
  LPARAM lParam;
  int iImage;
  int iOrder;
};
typedef HDITEMA HDITEM;
enum : UINT { HDN_FIRST = UINT(-300), HDN_ITEMCLICKA = HDN_FIRST - 2, HDN_ENDTRACKA = HDN_FIRST - 1 };
struct NMHEADERA {
  NMHDR hdr;
  int iItem;
  int iButton;
  HDITEMA *pitem;
};

// ---- list views ------------------------------------------------------------------------
enum : DWORD {
  LVS_ICON = 0x0000,
  LVS_REPORT = 0x0001,
  LVS_SMALLICON = 0x0002,
  LVS_LIST = 0x0003,
  LVS_TYPEMASK = 0x0003,
  LVS_SINGLESEL = 0x0004,
  LVS_SHOWSELALWAYS = 0x0008,
  LVS_OWNERDRAWFIXED = 0x0400,
  LVS_NOCOLUMNHEADER = 0x4000,
};
enum : DWORD {
  LVS_EX_GRIDLINES = 0x00000001,
  LVS_EX_CHECKBOXES = 0x00000004,
  LVS_EX_TRACKSELECT = 0x00000008,
  LVS_EX_HEADERDRAGDROP = 0x00000010,
  LVS_EX_FULLROWSELECT = 0x00000020,
  LVS_EX_FLATSB = 0x00000100,
};
enum : UINT {
  LVM_FIRST = 0x1000,
  LVM_GETITEMCOUNT = LVM_FIRST + 4,
  LVM_DELETEALLITEMS = LVM_FIRST + 9,
  LVM_GETNEXTITEM = LVM_FIRST + 12,
  LVM_GETITEMRECT = LVM_FIRST + 14,
  LVM_GETITEMPOSITION = LVM_FIRST + 16,
  LVM_HITTEST = LVM_FIRST + 18,
  LVM_ENSUREVISIBLE = LVM_FIRST + 19,
  LVM_SCROLL = LVM_FIRST + 20,
  LVM_GETCOLUMNWIDTH = LVM_FIRST + 29,
  LVM_SETCOLUMNWIDTH = LVM_FIRST + 30,
  LVM_GETHEADER = LVM_FIRST + 31,
  LVM_GETTOPINDEX = LVM_FIRST + 39,
  LVM_GETCOUNTPERPAGE = LVM_FIRST + 40,
  LVM_SETITEMSTATE = LVM_FIRST + 43,
  LVM_GETITEMSTATE = LVM_FIRST + 44,
  LVM_GETSELECTEDCOUNT = LVM_FIRST + 50,
  LVM_SETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 54,
  LVM_GETEXTENDEDLISTVIEWSTYLE = LVM_FIRST + 55,
  LVM_GETSUBITEMRECT = LVM_FIRST + 56,
};
enum : UINT { LVNI_ALL = 0x0, LVNI_FOCUSED = 0x1, LVNI_SELECTED = 0x2 };
enum : UINT { LVIS_FOCUSED = 0x1, LVIS_SELECTED = 0x2 };
enum : int { LVIR_BOUNDS = 0, LVIR_ICON = 1, LVIR_LABEL = 2, LVIR_SELECTBOUNDS = 3 };
enum : UINT { LVHT_NOWHERE = 0x1, LVHT_ONITEMICON = 0x2, LVHT_ONITEMLABEL = 0x4, LVHT_ONITEM = 0x6 };
struct LVHITTESTINFO {
  POINT pt;
  UINT flags;
  int iItem;
  int iSubItem;
};

// ---- tab controls ---------------------------------------------------------------------------
enum : UINT {
  TCM_FIRST = 0x1300,
  TCM_GETITEMCOUNT = TCM_FIRST + 4,
  TCM_GETITEMRECT = TCM_FIRST + 10,
  TCM_GETCURSEL = TCM_FIRST + 11,
  TCM_SETCURSEL = TCM_FIRST + 12,
  TCM_HITTEST = TCM_FIRST + 13,
};
enum : UINT { TCN_FIRST = UINT(-550), TCN_SELCHANGE = TCN_FIRST - 1, TCN_SELCHANGING = TCN_FIRST - 2 };

// ---- up-down controls -------------------------------------------------------------------------
enum : UINT {
  UDM_SETRANGE = WM_USER + 101,
  UDM_GETRANGE = WM_USER + 102,
  UDM_SETPOS = WM_USER + 103,
  UDM_GETPOS = WM_USER + 104,
};
