// Files, folders and searches with Win32's calls and results, over POSIX.
//
// Paths are Windows-form and are looked up without regard to case (see
// platform/path.h). File handles come from the shared kernel handle table,
// so CloseHandle closes them. Sharing modes are accepted but not enforced:
// every opener may read and write at once, as the system's own file layer
// asks for anyway.
#pragma once

#include <time.h>

#include <string>
#include <string_view>

#include "platform/handles.h"
#include "platform/windef.h"

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD GENERIC_EXECUTE = 0x20000000u;
constexpr DWORD GENERIC_ALL = 0x10000000u;

constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;

constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x2;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x4;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_ATTRIBUTE_TEMPORARY = 0x100;

constexpr DWORD FILE_FLAG_WRITE_THROUGH = 0x80000000u;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000u;
constexpr DWORD FILE_FLAG_NO_BUFFERING = 0x20000000u;
constexpr DWORD FILE_FLAG_RANDOM_ACCESS = 0x10000000u;
constexpr DWORD FILE_FLAG_SEQUENTIAL_SCAN = 0x08000000u;
constexpr DWORD FILE_FLAG_DELETE_ON_CLOSE = 0x04000000u;
constexpr DWORD FILE_FLAG_BACKUP_SEMANTICS = 0x02000000u;

constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_SIZE = 0xFFFFFFFFu;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD MOVEFILE_REPLACE_EXISTING = 0x1;
constexpr DWORD MOVEFILE_COPY_ALLOWED = 0x2;
constexpr DWORD MOVEFILE_WRITE_THROUGH = 0x8;

struct WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
};
typedef WIN32_FIND_DATAA *LPWIN32_FIND_DATAA;

struct WIN32_FILE_ATTRIBUTE_DATA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
};
enum GET_FILEEX_INFO_LEVELS { GetFileExInfoStandard = 0 };

// Opening. The last error after a successful CREATE_ALWAYS or OPEN_ALWAYS
// is ERROR_ALREADY_EXISTS when the file was there, else 0. A directory
// opens only with FILE_FLAG_BACKUP_SEMANTICS. A file without write
// permission refuses write access (ERROR_ACCESS_DENIED) even to root, as a
// read-only file does on Windows.
HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// Synchronous only: overlapped must be null (else ERROR_INVALID_PARAMETER).
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, void *overlapped);
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, void *overlapped);

// Without distanceHigh the distance is a signed 32-bit value and a position
// beyond 32 bits fails. On failure INVALID_SET_FILE_POINTER with the last
// error set; a success that returns the same value clears the last error.
DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod);
BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD moveMethod);
BOOL SetEndOfFile(HANDLE file);
DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh);
BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize);
BOOL FlushFileBuffers(HANDLE file);
// Creation time is the birth time where the file system keeps one, else
// the last write time; setting it is accepted and has no effect. A null
// pointer or a zero FILETIME leaves that time alone.
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite);
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess, const FILETIME *lastWrite);

// Searches take a folder and a last component with '*' and '?' matched
// without regard to case ("*.*" matches every name). Names come sorted the
// way an NTFS folder lists them ("." and ".." first, then by upper-cased
// name). No match: ERROR_FILE_NOT_FOUND; missing folder:
// ERROR_PATH_NOT_FOUND; FindNextFileA at the end: ERROR_NO_MORE_FILES.
HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData);
BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA findData);
BOOL FindClose(HANDLE find);

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);
BOOL MoveFileA(LPCSTR existingFile, LPCSTR newFile);
BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags);
BOOL DeleteFileA(LPCSTR fileName);
BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES security);
BOOL RemoveDirectoryA(LPCSTR pathName);

// Files report ARCHIVE, folders DIRECTORY; READONLY stands for "no write
// permission bits". Setting READONLY clears the write bits, clearing it
// gives the owner write permission; other attributes are accepted.
DWORD GetFileAttributesA(LPCSTR fileName);
BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes);
BOOL GetFileAttributesExA(LPCSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID information);

// Any path on the volume will do; null means the current folder.
BOOL GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeBytesAvailableToCaller,
                         PULARGE_INTEGER totalBytes, PULARGE_INTEGER totalFreeBytes);
// 512-byte sectors; cluster counts are capped at 0xFFFFFFFF.
BOOL GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                       LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters);

// Paths handed back are in backslash form ("\home\u\kivo"). A buffer too
// small gets an empty string and the result is the size needed, NUL
// included; otherwise the length without the NUL.
DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
BOOL SetCurrentDirectoryA(LPCSTR pathName);
// $TMPDIR or /tmp, ending in a backslash.
DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer);

namespace platform {

FILETIME FileTimeFromTimespec(const timespec &ts);
timespec TimespecFromFileTime(const FILETIME &ft);

// Replaces the file at a resolved POSIX path by writing a new file beside
// it and renaming it over the old, so a failure leaves the old one whole.
// The new file keeps the old one's permissions. A read-only file is
// refused. Returns 0 or the last-error code; tempName (if given) receives
// the name of the scratch file used in the folder.
DWORD WriteFileReplacing(const std::string &posixPath, std::string_view contents,
                         std::string *tempName = nullptr);

}  // namespace platform
