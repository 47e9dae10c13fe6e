// Private-profile (INI) settings with Win32's results.
//
// Section and key names compare without regard to case (ASCII letters;
// GBK characters as they are). The files are GBK bytes and are never
// converted. A file name without a folder part names a file in the current
// folder (Windows would look in its own folder; the system always means
// the program's folder, which is the current one). Every call is safe
// from any thread; writes reach the file before the call returns, by
// writing a new file and renaming it over the old one.
//
// Reading a file: lines are split at LF (a CR before it is dropped); a
// line "[name]" opens a section (a missing ']' still does); inside a
// section a line with '=' is a key (name and value trimmed of blanks; one
// pair of matching quotes around the value is removed); a line starting
// with ';' is a comment; other lines are kept and listed by
// GetPrivateProfileSectionA but are not keys. Of two sections or keys of
// the same name the first counts.
//
// Parsed files are cached; a change made by anyone else (another process,
// or plain file calls) is noticed before the next read returns.
#pragma once

#include "platform/windef.h"

// A null default is ""; trailing blanks of the default are dropped. The
// result is the length copied without the NUL; a value cut to fit returns
// size - 1. With a null key the key names of the section are listed, with
// a null section the section names, each NUL-terminated with one more NUL
// at the end; a list cut to fit returns size - 2.
DWORD GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue, LPSTR returnedString,
                               DWORD size, LPCSTR fileName);
// A leading decimal number (optionally signed) or 0x hexadecimal; the
// default when the key is missing or empty; 0 for a value that is no number.
UINT GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName);
// The lines of a section ("key=value" as written, other lines as they are),
// as a NUL-separated list with a closing NUL; size - 2 when cut.
DWORD GetPrivateProfileSectionA(LPCSTR appName, LPSTR returnedString, DWORD size, LPCSTR fileName);
DWORD GetPrivateProfileSectionNamesA(LPSTR returnedBuffer, DWORD size, LPCSTR fileName);

// A null value deletes the key, a null key the whole section; a missing
// file and section are created (the folder must exist). Comments, blank
// lines and the order of other lines stay as they were. All three null
// drops the cached copy of the file and returns FALSE, as Windows does.
BOOL WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR string, LPCSTR fileName);
// Replaces the lines of a section with the NUL-separated list `string`
// (ended by an empty string); a null list deletes the section.
BOOL WritePrivateProfileSectionA(LPCSTR appName, LPCSTR string, LPCSTR fileName);
