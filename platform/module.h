// Loading libraries at run time by their Windows names. "name.dll" (any case
// of the extension, or no extension) stands for "libname.so"; a name with
// folders ("..\x\y.dll") is looked up in that folder only, relative to the
// current folder. A bare name is looked up, in order, in the program's
// folder, the folders added with AddLibrarySearchDir, the folders of
// KIVO_LIBRARY_PATH (colon-separated), and last by the system's own search.
// In a folder the file name is matched without regard to case when there is
// no exact match.
#pragma once

#include <string>

#include "platform/windef.h"

// Callers cast the result to the entry point's real type; a pointer to a
// function taking and returning nothing converts to any of them without a
// cast-function-type warning.
typedef void (*FARPROC)();

namespace platform {

void AddLibrarySearchDir(const std::string &dir);
// The file name a library name stands for: "..\x\Y.DLL" gives "../x/libY.so".
std::string LibraryFileName(const std::string &name);
// The file LoadLibraryA would load for the name (the first candidate that
// exists), or "" when there is none.
std::string FindLibraryFile(const std::string &name);

}  // namespace platform

// Null with ERROR_MOD_NOT_FOUND when the library cannot be found or loaded.
HMODULE LoadLibraryA(LPCSTR name);
// Null with ERROR_PROC_NOT_FOUND unless the module itself exports the name
// (an export of a library it depends on does not count).
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// A library already loaded in the process, without loading it; null names
// the program itself.
HMODULE GetModuleHandleA(LPCSTR name);
// The module's full path in Windows form (backslashes); null names the
// program. A path longer than the buffer is cut to size - 1 characters and
// a NUL, and the call returns size with ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size);
