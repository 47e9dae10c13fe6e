// Windows-form paths on a POSIX file system.
//
// The system names its files the Windows way ("..\CFG\SETTING.INI",
// ".\SERVER.INI", "%sdata\" built from a folder that ends in a backslash,
// now and then "C:\..."). Here backslashes become slashes, a drive prefix
// "X:\" stands for the root, a relative path is taken from the current
// folder, and every component is matched without regard to case, the way
// the original file system matched it. Names are GBK bytes: ASCII letters
// fold, the two bytes of a GBK character never do.
#pragma once

#include <string>
#include <string_view>

#include "platform/windef.h"

namespace platform {

// The POSIX path (absolute) of a Windows-form path. Each existing component
// is matched without regard to case (exact spelling first, then a scan of
// the folder); a component that doesn't exist keeps the caller's spelling,
// so a file created through the result gets the name the caller gave.
// "." and ".." are applied to the text first, as Windows does, so
// "missing\..\x" is "x". Returns "" for a null or empty path.
std::string ResolvePath(const char *windowsPath);

// Slashes to backslashes, for the calls that hand paths back to callers.
std::string ToWindowsPath(const std::string &posix);

// Byte-wise comparison of two names with ASCII letters folded; the trail
// byte of a GBK character (lead 0x81-0xFE, trail 0x40-0xFE) compares as is.
bool EqualNoCase(std::string_view a, std::string_view b);
// Orders names the way EqualNoCase compares them (folded to upper case).
int CompareNoCase(std::string_view a, std::string_view b);
// A hash consistent with EqualNoCase.
size_t HashNoCase(std::string_view s);

// The last-error code for a failed POSIX call on a resolved path; ENOENT
// becomes ERROR_FILE_NOT_FOUND when the folder exists and
// ERROR_PATH_NOT_FOUND when it does not, as Windows reports them.
DWORD ErrorFromErrno(int err, const std::string &posixPath);

// The folder part of a POSIX path ("/" for "/x", "." for "x").
std::string ParentOf(const std::string &posixPath);
// The last component of a POSIX path.
std::string_view LastComponent(std::string_view posixPath);

}  // namespace platform
