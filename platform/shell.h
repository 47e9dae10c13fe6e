// What the desktop does for the program: clipboard text, opening a file or
// an address with the program the desktop chooses for it (the web browser
// for addresses, through xdg-open), and starting outside programs.
//
// Each of the three goes through one replaceable host, so tests put a
// recorder in its place and nothing leaves the process.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/windef.h"

struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

namespace platform {

struct ShellOpenCall {
  HWND owner = nullptr;
  std::string verb, file, parameters, directory;  // GBK, as passed; null became ""
  int show = 0;
};

struct ProcessStartCall {
  std::string application, commandLine, directory;  // GBK, as passed; null became ""
};

class ShellHost {
 public:
  virtual ~ShellHost() = default;
  virtual bool SetClipboardText(const std::string &gbk) = 0;
  // False when the clipboard holds no text.
  virtual bool GetClipboardText(std::string &gbk) = 0;
  // The result ShellExecuteA returns: above 32 when it worked.
  virtual INT_PTR Open(const ShellOpenCall &call) = 0;
  // False (and the last error set) when the program can't be started.
  virtual bool Start(const ProcessStartCall &call, DWORD &processId) = 0;
};

// Installs a host (null puts the desktop back) and returns the one before.
ShellHost *SetShellHost(ShellHost *host);

// Clipboard text in GBK. GUI thread only.
bool SetClipboardText(std::string_view gbk);
std::string GetClipboardText();
bool ClipboardHasText();

// Opens an address (or a local HTML file) in the system's web browser: the
// shell's "open" of it. True when that worked. Links come from server texts
// and pages, so a link that names an executable file is refused: it never
// starts a program.
bool OpenInWebBrowser(std::string_view address);

// How the desktop host carries out an open: the program to run with its
// arguments and folder, or the ShellExecuteA error code when there is none.
// Addresses ("scheme://...", "mailto:...", "www....") and documents go to
// xdg-open; an executable file runs itself. A file that doesn't exist gives
// SE_ERR_FNF, so "IEXPLORE.EXE" fails and callers fall back to opening the
// address, as they do where that browser is missing.
struct ShellLaunch {
  INT_PTR error = 0;  // 0 when there is something to run
  std::string program;
  std::vector<std::string> arguments;
  std::string directory;
};
ShellLaunch PlanShellOpen(const ShellOpenCall &call);

// A program file named the Windows way: ".\selfupd.exe" is found as given
// (matched without regard to case) or without its ".exe" (or ".dll")
// suffix; a bare name is looked up in the current folder, then on PATH.
// "" when there is no such executable file.
std::string FindProgram(const std::string &windowsName);

// A Windows command line split into its words by the usual rules: blanks
// separate, double quotes group, backslashes escape quotes only.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

}  // namespace platform

// ShellExecuteA's error results (32 and below mean failure).
constexpr INT_PTR SE_ERR_FNF = 2;
constexpr INT_PTR SE_ERR_PNF = 3;
constexpr INT_PTR SE_ERR_ACCESSDENIED = 5;
constexpr INT_PTR SE_ERR_NOASSOC = 31;

HINSTANCE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);

struct STARTUPINFOA {
  DWORD cb;
  LPSTR lpReserved;
  LPSTR lpDesktop;
  LPSTR lpTitle;
  DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute, dwFlags;
  WORD wShowWindow;
  WORD cbReserved2;
  LPBYTE lpReserved2;
  HANDLE hStdInput, hStdOutput, hStdError;
};
typedef STARTUPINFOA *LPSTARTUPINFOA;

struct PROCESS_INFORMATION {
  HANDLE hProcess;
  HANDLE hThread;
  DWORD dwProcessId;
  DWORD dwThreadId;
};
typedef PROCESS_INFORMATION *LPPROCESS_INFORMATION;

// Starts the program named by the application name or, without one, by the
// first word of the command line; the other words are its arguments. The
// child runs on its own (nothing waits for it); both returned handles only
// need closing.
BOOL CreateProcessA(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
                    LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
