// The common dialogs: open and save a file, choose a colour, choose a font.
// Every dialog goes through one process-wide answerer; tests install one
// that records the question and gives a prepared answer, the program runs
// Qt's own dialogs. Texts and paths are GBK; a chosen path comes back in
// Windows form (backslashes), which the file calls resolve again.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/windef.h"

// ---- the Win32 file dialogs ----------------------------------------------
enum : DWORD {
  OFN_READONLY = 0x00000001,
  OFN_OVERWRITEPROMPT = 0x00000002,
  OFN_HIDEREADONLY = 0x00000004,
  OFN_NOCHANGEDIR = 0x00000008,
  OFN_ENABLEHOOK = 0x00000020,
  OFN_NOVALIDATE = 0x00000100,
  OFN_ALLOWMULTISELECT = 0x00000200,
  OFN_EXTENSIONDIFFERENT = 0x00000400,
  OFN_PATHMUSTEXIST = 0x00000800,
  OFN_FILEMUSTEXIST = 0x00001000,
  OFN_CREATEPROMPT = 0x00002000,
  OFN_NOREADONLYRETURN = 0x00008000,
  OFN_EXPLORER = 0x00080000,
  OFN_ENABLESIZING = 0x00800000,
};

struct OPENFILENAMEA {
  DWORD lStructSize;
  HWND hwndOwner;
  HINSTANCE hInstance;
  LPCSTR lpstrFilter;  // pairs of "description\0pattern\0", ending in "\0\0"
  LPSTR lpstrCustomFilter;
  DWORD nMaxCustFilter;
  DWORD nFilterIndex;  // 1-based; 0 takes the first filter
  LPSTR lpstrFile;     // in: the name to start from; out: the chosen path
  DWORD nMaxFile;      // size of lpstrFile in bytes, the NUL included
  LPSTR lpstrFileTitle;
  DWORD nMaxFileTitle;
  LPCSTR lpstrInitialDir;
  LPCSTR lpstrTitle;
  DWORD Flags;
  WORD nFileOffset;
  WORD nFileExtension;
  LPCSTR lpstrDefExt;
  LPARAM lCustData;
  void *lpfnHook;
  LPCSTR lpTemplateName;
  void *pvReserved;
  DWORD dwReserved;
  DWORD FlagsEx;
};
typedef OPENFILENAMEA *LPOPENFILENAMEA;

// Both return FALSE when the user cancels or the request is malformed;
// CommDlgExtendedError tells which (0 for a cancel).
BOOL GetOpenFileNameA(OPENFILENAMEA *request);
BOOL GetSaveFileNameA(OPENFILENAMEA *request);

// ---- the Win32 colour dialog ------------------------------------------------
enum : DWORD { CC_RGBINIT = 0x00000001, CC_FULLOPEN = 0x00000002, CC_ANYCOLOR = 0x00000100 };
struct CHOOSECOLORA {
  DWORD lStructSize;
  HWND hwndOwner;
  HWND hInstance;
  COLORREF rgbResult;  // in with CC_RGBINIT: the colour to start from
  COLORREF *lpCustColors;
  DWORD Flags;
  LPARAM lCustData;
  void *lpfnHook;
  LPCSTR lpTemplateName;
};
BOOL ChooseColorA(CHOOSECOLORA *request);

enum : DWORD {
  CDERR_STRUCTSIZE = 0x0001,
  CDERR_INITIALIZATION = 0x0002,
  FNERR_BUFFERTOOSMALL = 0x3003,
};
DWORD CommDlgExtendedError();

namespace platform {

// ---- what a dialog is asked and what it answers -------------------------------
enum class FileDialogKind { Open, Save };

struct FileFilter {
  std::string description;  // "声音波形文件(*.wav)"
  std::string patterns;     // "*.wav", several separated by ';'
};

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::Open;
  HWND owner = nullptr;
  std::string title;
  std::string initialDir;  // Windows form, as the caller gave it
  std::string fileName;    // the name to start from
  std::string defaultExt;  // without the dot
  std::vector<FileFilter> filters;
  int filterIndex = 1;     // 1-based
  DWORD flags = 0;         // OFN_ values
};
struct FileDialogAnswer {
  bool accepted = false;
  std::string fileName;  // Windows form
  int filterIndex = 1;
};

struct ColorDialogRequest {
  HWND owner = nullptr;
  COLORREF color = 0;
};
struct ColorDialogAnswer {
  bool accepted = false;
  COLORREF color = 0;
};

// A font as the font dialog shows and returns it: the height follows the
// font-creation rule (negative = character height, positive = cell height).
struct FontChoice {
  std::string face;
  int height = 0;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  COLORREF color = 0;
};
struct FontDialogRequest {
  HWND owner = nullptr;
  FontChoice font;
};
struct FontDialogAnswer {
  bool accepted = false;
  FontChoice font;
};

// Whoever answers the dialogs. The calls come on the GUI thread.
class CommonDialogs {
 public:
  virtual ~CommonDialogs() = default;
  virtual FileDialogAnswer AskFile(const FileDialogRequest &request) = 0;
  virtual ColorDialogAnswer AskColor(const ColorDialogRequest &request) = 0;
  virtual FontDialogAnswer AskFont(const FontDialogRequest &request) = 0;
};

// Installs an answerer (null puts Qt's dialogs back) and returns the one
// installed before; the caller keeps ownership.
CommonDialogs *SetCommonDialogs(CommonDialogs *dialogs);
CommonDialogs &CurrentCommonDialogs();

// "desc\0pattern\0...\0\0" as the Win32 dialogs take it; a missing final
// pattern ends the list. The class library's "desc|pattern|desc|pattern"
// form is read by ParseFilterBar.
std::vector<FileFilter> ParseFilterPairs(const char *pairs);
std::vector<FileFilter> ParseFilterBar(const std::string &bar);

// The name the user typed, with the default extension added the way the
// Win32 dialogs add it: only when the last component has no extension.
std::string WithDefaultExtension(const std::string &name, const std::string &defaultExt);

}  // namespace platform
