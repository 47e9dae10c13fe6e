// Version resources. A module declares its version strings with
// KIVO_VERSION_STRING; the strings land in a section of their own in the
// module's file, so a caller reads them from the file without loading it,
// the way Windows reads a version resource.
//
//   KIVO_VERSION_STRING("\\StringFileInfo\\080404b0\\FileVersion", "1, 6, 2011, 725")
//
// GetFileVersionInfoA copies the module's version block; VerQueryValueA
// finds one string in it by its path (compared without regard to case).
#pragma once

#include "platform/windef.h"

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;

#define KIVO_VERSION_JOIN2(a, b) a##b
#define KIVO_VERSION_JOIN(a, b) KIVO_VERSION_JOIN2(a, b)
// One "path NUL value NUL" entry in the module's version section.
#define KIVO_VERSION_STRING(path, value)                                                   \
  extern "C" __attribute__((used, section("kivo_version"), visibility("hidden")))        \
  const char KIVO_VERSION_JOIN(kivo_version_entry_, __COUNTER__)[] = path "\0" value

// A library name ("x.dll") is looked up as LoadLibraryA looks it up; a name
// with folders is a path. The size of the module's version block, 0 with
// ERROR_RESOURCE_DATA_NOT_FOUND (1812) when the file has none or is not a
// module, ERROR_FILE_NOT_FOUND when there is no such file. *handle is set
// to 0.
DWORD GetFileVersionInfoSizeA(LPCSTR file, DWORD *handle);
// Copies the version block (at most size bytes); FALSE when there is none or
// the buffer is smaller than the block.
BOOL GetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data);
// Points *value at the NUL-terminated string stored under path in a block
// from GetFileVersionInfoA, *length its characters with the NUL. FALSE
// (and *value null, *length 0) when the block has no such string.
BOOL VerQueryValueA(LPCVOID block, LPCSTR path, LPVOID *value, UINT *length);
