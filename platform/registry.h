// A small file-backed stand-in for the registry: the few keys the system
// reads (the user's Internet proxy settings, the time-zone table) and
// whatever it writes itself.
//
// The store is one text file, $KIVO_REGISTRY_FILE when that is set, else
// $XDG_CONFIG_HOME/kivo/registry.ini (XDG_CONFIG_HOME defaults to
// ~/.config). Each key is a section named by its full path
// ("[HKEY_CURRENT_USER\Software\...]"); each value a line
// "name"=data in the form .reg files use: a string in quotes ("..." with
// \\ and \" escaped), dword:0000002a, hex:01,02 for binary data,
// hex(N):... for another type N; the unnamed value is written @=...
// Names compare without regard to case. Strings are GBK bytes.
//
// When the store has no time-zone table, a small one is supplied (China,
// Tokyo, UTC, US Eastern, US Pacific, London); it is written to the file
// with the next change.
#pragma once

#include <string>

#include "platform/windef.h"

typedef LONG LSTATUS;
typedef HKEY *PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

// Results are ERROR_SUCCESS, ERROR_FILE_NOT_FOUND (no such key or value),
// ERROR_MORE_DATA (buffer too small: the size needed is stored),
// ERROR_NO_MORE_ITEMS (enumeration at its end), ERROR_INVALID_HANDLE,
// ERROR_ACCESS_DENIED (the key was opened without the right needed) or
// ERROR_INVALID_PARAMETER.
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result);
LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM desired,
                        void *security, PHKEY result, LPDWORD disposition);
// A string's size counts its closing NUL. With a null data pointer only the
// type and size are returned.
LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);
// A REG_SZ value is kept up to its first NUL.
LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data, DWORD size);
// Subkeys in order of their upper-cased names. nameSize is in characters,
// the NUL included on the way in and left out on the way out.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                      LPDWORD classSize, LPFILETIME lastWriteTime);
LSTATUS RegCloseKey(HKEY key);

namespace platform {

// Where the store lives now (the environment is read on every call).
std::string RegistryFilePath();

}  // namespace platform
