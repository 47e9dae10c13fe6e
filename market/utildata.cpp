#include "market/utildata.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/efile.h"
#include "core/emem.h"
#include "market/calendar.h"
#include "market/ntpclock.h"
#include "platform/clock.h"
#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/kernel.h"
#include "platform/module.h"
#include "platform/msgbox.h"
#include "platform/path.h"
#include "platform/profile.h"
#include "platform/winsock.h"

char UserDataPath[MAX_PATH];
PackedDateTime CurrentUtcTime;
int32_t CurrentTheme;
int32_t MaxDataRecords = kDefaultMaxDataRecords;
int32_t F10Mode;
int32_t OnlineSrvMode;
int32_t GrapPriceMode;

namespace {

void *g_sharedBars = nullptr;

constexpr char kUserPathFile[] = "..\\CFG\\UserPath.INI";
constexpr char kSharedSettings[] = "..\\CFG\\SETTING.INI";
constexpr char kSystemPage[] = "..\\cfg\\kvpage0.ppg";
constexpr DWORD kLastPageSize = 260;

// The base of the per-user folder when the user's data folder can't be had.
constexpr char kFallbackFolder[] = "..\\cfg\\user";

// The position of the last backslash that separates folders; a backslash
// that is the second byte of a GBK character is none. npos when there is
// no separator.
size_t LastSeparator(const std::string &path) {
  size_t last = std::string::npos;
  for (size_t i = 0; i < path.size();) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (platform::IsGbkPair(path, i)) {
      i += 2;
      continue;
    }
    if (c == '\\') last = i;
    ++i;
  }
  return last;
}

bool EndsWithSeparator(const std::string &path) { return !path.empty() && LastSeparator(path) == path.size() - 1; }

bool FileExists(const std::string &path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Whether a file can be created in the folder: the way to find out that a
// configured folder is read-only or lies on a drive that is not there.
bool FolderIsWritable(const std::string &folder) {
  const std::string probe = folder + "___wt___.dat";
  HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  DeleteFileA(probe.c_str());
  return true;
}

// The base of the per-user folder when none is configured or the
// configured one can't be written: "<data folder>\kivo", else the fallback.
std::string DefaultUserBase() {
  char appData[MAX_PATH];
  if (!GetAppDataFolder(appData)) return kFallbackFolder;
  return std::string(appData) + "\\kivo";
}

// A folder name that leaves room for its closing NUL in UserDataPath.
bool Fits(const std::string &folder) { return folder.size() < MAX_PATH; }

void MakeWorkingFolder(const char *programFile) {
  char name[MAX_PATH];
  if (programFile) {
    if (!*programFile || std::strlen(programFile) >= MAX_PATH) return;
    std::strcpy(name, programFile);
  } else {
    const DWORD length = GetModuleFileNameA(nullptr, name, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;  // none, or cut short
  }
  std::string folder(name);
  const size_t separator = LastSeparator(folder);
  if (separator == std::string::npos) return;
  // A program at the root keeps its backslash, so that the folder is the
  // root and not the empty name.
  folder.resize(separator == 0 || folder[separator - 1] == ':' ? separator + 1 : separator);
  SetCurrentDirectoryA(folder.c_str());
}

void StartClockCheck() {
  HANDLE thread = CreateThread(nullptr, 0, CheckClockAndZone, nullptr, 0, nullptr);
  if (thread) CloseHandle(thread);
}

struct ColumnScheme {
  const char *section, *name, *ver, *count, *ids, *widths, *fixed;
};

const ColumnScheme kDefaultSchemes[] = {
    {"TableDef1", "期货栏目", "1", "19", "1,6,24,25,26,28,29,7,10,8,30,27,3,4,5,2,11,9,0",
     "9,7,5,7,7,5,5,8,6,7,6,7,7,7,7,7,5,8,4", "0"},
    {"TableDef10", "中金所", "1", "19", "1,6,24,25,26,28,29,7,10,8,30,27,3,4,5,2,11,9,0",
     "9,7,5,7,7,5,5,9,6,9,6,7,7,7,7,7,5,8,4", "0"},
    {"TableDef11", "沪深300", "1", "18", "0,9,1,58,57,6,11,45,7,3,4,5,10,22,23,47,51,56",
     "4,7,9,6,6,7,6,7,9,7,7,7,6,8,8,8,8,8", "0"},
};

void CopyWhenMissing(const char *from, const std::string &to) {
  if (GetFileAttributesA(to.c_str()) == INVALID_FILE_ATTRIBUTES) CopyFileA(from, to.c_str(), TRUE);
}

void SeedFirstRunSettings(const std::string &folder) {
  const std::string settings = folder + "SETTING.INI";
  CopyWhenMissing(kSharedSettings, settings);
  if (GetPrivateProfileIntA("TableDef10", "ver", 0, settings.c_str()) == 0) {
    for (const ColumnScheme &scheme : kDefaultSchemes) {
      const char *keys[][2] = {{"Name", scheme.name}, {"ver", scheme.ver},         {"Count", scheme.count},
                               {"Id", scheme.ids},    {"ColWidth", scheme.widths}, {"FixedCol", scheme.fixed}};
      for (const auto &key : keys) WritePrivateProfileStringA(scheme.section, key[0], key[1], settings.c_str());
    }
  }

  CopyWhenMissing("..\\CFG\\clrfont.ini", folder + "clrfont.ini");
  CopyWhenMissing("..\\CFG\\defui.ini", folder + "defui.ini");

  // The user-block file starts with its header and the one empty block.
  static const char kBlocks[] = "[FileInfo]\r\nVersion=1\r\n\r\n[我的板块]\r\n";
  static_assert(sizeof kBlocks - 1 == 37);
  const std::string blocks = folder + "blocks.ini";
  HANDLE file = CreateFileA(blocks.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, kBlocks, sizeof kBlocks - 1, &written, nullptr);
    CloseHandle(file);
  }
}

// The last-page pointer must name a page that exists; otherwise it is set
// back to the system's first page.
void RepairLastPage(const std::string &folder) {
  const std::string lastPage = folder + "LP3.DAT";
  char stored[kLastPageSize + 1] = {};
  const int32_t file = FileOpen(lastPage.c_str(), "rb");
  if (file > 0) {
    // A file shorter than the record counts as empty.
    if (FileRead(file, stored, kLastPageSize, 1) != int32_t(kLastPageSize)) stored[0] = 0;
    FileClose(file);
  }
  if (stored[0] && FileExists(stored)) return;

  std::string record(kSystemPage);
  record.resize(kLastPageSize, '\0');
  const std::string posix = platform::ResolvePath(lastPage.c_str());
  if (!posix.empty()) platform::WriteFileReplacing(posix, record);
  if (!FileExists(kSystemPage))
    MessageBoxA(nullptr, "文件 Kvpage0.ppg 不存在，页面无法正常显示。  ", "错误", MB_OK | MB_ICONERROR | MB_TOPMOST);
}

int32_t ReadMaxDataRecords() {
  const int32_t configured =
      int32_t(GetPrivateProfileIntA("Parameter", "MaxDataRecords", kDefaultMaxDataRecords, kSharedSettings));
  if (configured < 1) return kDefaultMaxDataRecords;
  return configured > kMaxDataRecordsLimit ? kMaxDataRecordsLimit : configured;
}

}  // namespace

void *GetSharedBarBuffer() {
  if (!g_sharedBars) g_sharedBars = Malloc(MaxDataRecords * int32_t(40) + 100);
  return g_sharedBars;
}

void UpdateCurrentUtcTime() {
  SYSTEMTIME utc;
  GetSystemTime(&utc);
  CurrentUtcTime = MakePackedDateTime(utc.wYear, utc.wMonth, utc.wDay, utc.wHour, utc.wMinute);
}

bool GetAppDataFolder(char (&folder)[MAX_PATH]) {
  folder[0] = 0;
  std::string posix;
  // The data folder must be absolute; a relative one is ignored, as the
  // desktop's rules say.
  const char *dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome && dataHome[0] == '/') {
    posix = dataHome;
  } else {
    const char *home = std::getenv("HOME");
    if (!home || home[0] != '/') return false;
    posix = std::string(home) + "/.local/share";
  }
  while (posix.size() > 1 && posix.back() == '/') posix.pop_back();
  const std::string windows = platform::ToWindowsPath(posix);
  if (!Fits(windows) || !MakeDirChain(windows.c_str())) return false;
  std::strcpy(folder, windows.c_str());
  return true;
}

void SettleUserDataPath(char (&result)[MAX_PATH]) {
  char configured[MAX_PATH];
  GetPrivateProfileStringA("Path", "UserPath", "", configured, sizeof configured, kUserPathFile);
  std::string folder(configured);

  if (folder.empty()) {
    folder = DefaultUserBase() + "\\";
    if (!Fits(folder)) folder = std::string(kFallbackFolder) + "\\";
    MakeDirChain(folder.c_str());
  } else {
    if (!EndsWithSeparator(folder)) folder += '\\';
    // A folder too long to hold with its backslash counts as one that
    // can't be written.
    if (Fits(folder) && MakeDirChain(folder.c_str()) && FolderIsWritable(folder)) {
      std::strcpy(result, folder.c_str());
      return;
    }
    // Keep the configured folder's last name under the default base.
    while (EndsWithSeparator(folder)) folder.pop_back();
    const size_t separator = LastSeparator(folder);
    const std::string last = separator == std::string::npos ? std::string() : folder.substr(separator);
    const std::string base = DefaultUserBase();
    folder = base + last + "\\";
    if (!Fits(folder)) folder = base + "\\";
    if (!Fits(folder)) folder = std::string(kFallbackFolder) + "\\";
    MakeDirChain(folder.c_str());
    WritePrivateProfileStringA("Path", "UserPath", folder.c_str(), kUserPathFile);
  }
  std::strcpy(result, folder.c_str());
}

TUtilData::TUtilData(const TUtilDataSetup &setup) {
  MakeWorkingFolder(setup.programFile);

  WSADATA sockets;
  ws::WSAStartup(MAKEWORD(2, 2), &sockets);

  if (setup.startClockCheck) StartClockCheck();

  SettleUserDataPath(UserDataPath);
  const std::string folder(UserDataPath);
  SeedFirstRunSettings(folder);
  RepairLastPage(folder);

  UpdateCurrentUtcTime();

  CurrentTheme = int32_t(GetPrivateProfileIntA("Parameter", "LastTheme", 0, (folder + "setting.ini").c_str()));
  MaxDataRecords = ReadMaxDataRecords();
  if (setup.loadDisplaySettings) setup.loadDisplaySettings(CurrentTheme);

  LoadHolidayLists();

  F10Mode = int32_t(GetPrivateProfileIntA("Parameter", "F10Mode", 0, "..\\cfg\\Setting.ini"));
  OnlineSrvMode = int32_t(GetPrivateProfileIntA("Parameter", "OnlineSrvMode", 0, "..\\cfg\\Setting.ini"));
  GrapPriceMode = int32_t(GetPrivateProfileIntA("Option", "GrapPriceMode", 0, "..\\cfg\\Trading.ini"));
}

TUtilData::~TUtilData() {
  Free(g_sharedBars);
  g_sharedBars = nullptr;
}

TUtilData &StartUtilData(void (*loadDisplaySettings)(int theme)) {
  TUtilDataSetup setup;
  setup.startClockCheck = true;
  setup.loadDisplaySettings = loadDisplaySettings;
  static TUtilData startUp(setup);
  return startUp;
}
