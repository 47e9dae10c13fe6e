// Basic types, records and helpers in the shapes the system's code was
// written against. Integer widths follow the 32-bit originals except where a
// value carries a pointer (WPARAM, LPARAM, LRESULT and the *_PTR types), which
// are pointer-sized so that a pointer passed in a message survives the trip.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef uint32_t ULONG;
typedef unsigned int UINT;
typedef int INT;
typedef short SHORT;
typedef unsigned short USHORT;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef char CHAR;
typedef char16_t WCHAR;
typedef float FLOAT;
typedef uint16_t ATOM;

typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef uintptr_t UINT_PTR;
typedef intptr_t INT_PTR;
typedef intptr_t LONG_PTR;
typedef uintptr_t ULONG_PTR;
typedef uintptr_t DWORD_PTR;
typedef ULONG_PTR SIZE_T;

typedef void *HANDLE;
typedef void *LPVOID;
typedef const void *LPCVOID;
typedef char *LPSTR;
typedef const char *LPCSTR;
typedef DWORD *LPDWORD;
typedef LONG *PLONG;
typedef BYTE *LPBYTE;

#define KIVO_DECLARE_HANDLE(name) \
  struct name##__ {               \
    int unused;                   \
  };                              \
  typedef struct name##__ *name
KIVO_DECLARE_HANDLE(HWND);
KIVO_DECLARE_HANDLE(HINSTANCE);
KIVO_DECLARE_HANDLE(HHOOK);
KIVO_DECLARE_HANDLE(HMENU);
KIVO_DECLARE_HANDLE(HKEY);
KIVO_DECLARE_HANDLE(HDC);
KIVO_DECLARE_HANDLE(HICON);
#undef KIVO_DECLARE_HANDLE
typedef HINSTANCE HMODULE;
typedef HICON HCURSOR;
// GDI objects share one handle space, as SelectObject and DeleteObject take any of them.
typedef void *HGDIOBJ;
typedef HGDIOBJ HBITMAP;
typedef HGDIOBJ HFONT;
typedef HGDIOBJ HBRUSH;
typedef HGDIOBJ HPEN;
typedef HGDIOBJ HRGN;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

constexpr DWORD MAX_PATH = 260;
constexpr DWORD INFINITE = 0xFFFFFFFFu;
#define INVALID_HANDLE_VALUE ((HANDLE)(intptr_t)-1)

struct RECT {
  LONG left, top, right, bottom;
};
struct POINT {
  LONG x, y;
};
struct SIZE {
  LONG cx, cy;
};
typedef RECT *LPRECT;
typedef POINT *LPPOINT;
typedef SIZE *LPSIZE;

typedef DWORD COLORREF;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return COLORREF(r) | (COLORREF(g) << 8) | (COLORREF(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return BYTE(c); }
constexpr BYTE GetGValue(COLORREF c) { return BYTE(c >> 8); }
constexpr BYTE GetBValue(COLORREF c) { return BYTE(c >> 16); }

struct SYSTEMTIME {
  WORD wYear;
  WORD wMonth;
  WORD wDayOfWeek;
  WORD wDay;
  WORD wHour;
  WORD wMinute;
  WORD wSecond;
  WORD wMilliseconds;
};
typedef SYSTEMTIME *LPSYSTEMTIME;

// 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
  DWORD dwLowDateTime;
  DWORD dwHighDateTime;
};
typedef FILETIME *LPFILETIME;

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};
typedef MSG *LPMSG;

constexpr WORD LOWORD(uintptr_t v) { return WORD(v & 0xFFFF); }
constexpr WORD HIWORD(uintptr_t v) { return WORD((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(uintptr_t v) { return BYTE(v & 0xFF); }
constexpr BYTE HIBYTE(uintptr_t v) { return BYTE((v >> 8) & 0xFF); }
constexpr LONG MAKELONG(WORD lo, WORD hi) { return LONG(DWORD(lo) | (DWORD(hi) << 16)); }
constexpr WORD MAKEWORD(BYTE lo, BYTE hi) { return WORD(lo | (hi << 8)); }
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) { return WPARAM(DWORD(MAKELONG(lo, hi))); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) { return LPARAM(MAKELONG(lo, hi)); }
// Mouse coordinates travel as signed 16-bit halves.
constexpr int GET_X_LPARAM(LPARAM l) { return int(SHORT(LOWORD(uintptr_t(l)))); }
constexpr int GET_Y_LPARAM(LPARAM l) { return int(SHORT(HIWORD(uintptr_t(l)))); }
constexpr short GET_WHEEL_DELTA_WPARAM(WPARAM w) { return SHORT(HIWORD(w)); }

// Last-error codes the system tests.
enum : DWORD {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_PATH_NOT_FOUND = 3,
  ERROR_TOO_MANY_OPEN_FILES = 4,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_NOT_ENOUGH_MEMORY = 8,
  ERROR_INVALID_DATA = 13,
  ERROR_OUTOFMEMORY = 14,
  ERROR_NO_MORE_FILES = 18,
  ERROR_SHARING_VIOLATION = 32,
  ERROR_HANDLE_EOF = 38,
  ERROR_NOT_SUPPORTED = 50,
  ERROR_FILE_EXISTS = 80,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_DISK_FULL = 112,
  ERROR_INSUFFICIENT_BUFFER = 122,
  ERROR_INVALID_NAME = 123,
  ERROR_MOD_NOT_FOUND = 126,
  ERROR_PROC_NOT_FOUND = 127,
  ERROR_NEGATIVE_SEEK = 131,
  ERROR_DIR_NOT_EMPTY = 145,
  ERROR_BAD_PATHNAME = 161,
  ERROR_ALREADY_EXISTS = 183,
  ERROR_FILENAME_EXCED_RANGE = 206,
  ERROR_MORE_DATA = 234,
  ERROR_NO_MORE_ITEMS = 259,
  ERROR_INVALID_WINDOW_HANDLE = 1400,
  ERROR_INVALID_HOOK_HANDLE = 1404,
  ERROR_CLASS_ALREADY_EXISTS = 1410,
  ERROR_CLASS_DOES_NOT_EXIST = 1411,
  ERROR_TIMEOUT = 1460,
  ERROR_PRIVILEGE_NOT_HELD = 1314,
  ERROR_CANNOT_FIND_WND_CLASS = 1407,
  ERROR_WINDOW_OF_OTHER_THREAD = 1408,
  ERROR_NOT_SAME_DEVICE = 17,
  ERROR_GEN_FAILURE = 31,
  ERROR_DIRECTORY = 267,
  ERROR_NOACCESS = 998,
};

DWORD GetLastError();
void SetLastError(DWORD code);

// FILETIME of 1970-01-01 00:00:00 UTC.
constexpr int64_t kFileTimeUnixEpoch = 116444736000000000LL;

// 64-bit values passed as two 32-bit halves or as one number (file sizes,
// offsets, disk space, performance counters).
union LARGE_INTEGER {
  struct {
    DWORD LowPart;
    LONG HighPart;
  };
  struct {
    DWORD LowPart;
    LONG HighPart;
  } u;
  LONGLONG QuadPart;
};
typedef LARGE_INTEGER *PLARGE_INTEGER;
union ULARGE_INTEGER {
  struct {
    DWORD LowPart;
    DWORD HighPart;
  };
  struct {
    DWORD LowPart;
    DWORD HighPart;
  } u;
  ULONGLONG QuadPart;
};
typedef ULARGE_INTEGER *PULARGE_INTEGER;
