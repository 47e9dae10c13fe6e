#include "shell/entry.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <exception>

#include "core/datetime.h"
#include "core/skinmenu.h"
#include "market/utildata.h"
#include "platform/clock.h"
#include "platform/debugout.h"
#include "platform/fileapi.h"
#include "platform/module.h"
#include "platform/msgbox.h"
#include "platform/profile.h"
#include "platform/handles.h"
#include "platform/shell.h"
#include "classlib/forms.h"
#include "platform/winsock.h"
#include "views/dragdrop.h"

uint32_t ProgramVersion = 0;

namespace {

// The version this build of the program carries in place of a version resource.
constexpr uint16_t kVersionMajor = 3, kVersionMinor = 1, kVersionRelease = 49, kVersionBuild = 0;

void StopBox(const char *text) { MessageBoxA(nullptr, text, "错误", MB_OK | MB_ICONERROR | MB_TOPMOST); }

bool DefaultModuleFileName(std::string &path) {
  char buffer[1024];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return false;
  path.assign(buffer, length);
  return true;
}

bool DefaultFreeSpace(const char *folder, uint64_t &freeBytes) {
  ULARGE_INTEGER available{}, total{}, free{};
  if (GetDiskFreeSpaceExA(folder, &available, &total, &free)) {
    freeBytes = available.QuadPart;
    return true;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (!GetDiskFreeSpaceA(folder, &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters)) return false;
  freeBytes = uint64_t(freeClusters) * sectorsPerCluster * bytesPerSector;
  return true;
}

bool DefaultVersionInfo(const char *programFile, FileVersionWords &version) {
  if (!programFile || !*programFile) return false;
  version = BuiltInFileVersion();
  return true;
}

SYSTEMTIME DefaultLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now;
}

// The date of a log name "KSInterB2C<digits>.klg" (any case): true only for
// exactly eight digits that form a valid calendar date.
bool BrokerLogDate(const char *name, int &year, int &month, int &day) {
  char upper[MAX_PATH];
  size_t n = 0;
  for (; name[n] && n + 1 < sizeof upper; ++n) upper[n] = char(std::toupper(static_cast<unsigned char>(name[n])));
  upper[n] = '\0';
  const char *start = std::strstr(upper, "KSINTERB2C");
  if (!start) return false;
  start += 10;
  const char *end = std::strstr(start, ".KLG");
  if (!end || end - start != 8) return false;
  int value = 0;
  for (const char *p = start; p < end; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
  }
  year = value / 10000;
  month = value % 10000 / 100;
  day = value % 100;
  if (year < 1601 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

}  // namespace

uint32_t ComposeProgramVersion(const FileVersionWords &version) {
  return (version.ms >> 16) * 10000000u + (version.ms & 0xFFFF) * 10000u + (version.ls >> 16);
}

FileVersionWords BuiltInFileVersion() {
  return {uint32_t(kVersionMajor) << 16 | kVersionMinor, uint32_t(kVersionRelease) << 16 | kVersionBuild};
}

TEntryServices DefaultEntryServices() {
  TEntryServices services;
  services.moduleFileName = DefaultModuleFileName;
  services.freeSpace = DefaultFreeSpace;
  services.versionInfo = DefaultVersionInfo;
  services.localTime = DefaultLocalTime;
  return services;
}

bool EnterProgramFolder(const TEntryServices &services, std::string &programPath) {
  if (!services.moduleFileName(programPath) || programPath.empty()) {
    StopBox("kivo安装路径太深，无法正常运行。  ");
    return false;
  }
  const size_t slash = programPath.find_last_of('\\');
  if (slash != std::string::npos) SetCurrentDirectoryA(programPath.substr(0, slash).c_str());
  return true;
}

bool CheckWriteAccess() {
  HANDLE file = CreateFileA(".\\___wt___.dat", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    StopBox(
        "由于以下原因，kivo无法正常运行:\n\n    * 您没有写入kivo安装目录的权限。\n\n解决问题的方法:\n\n"
        "    * 重新安装kivo，并将安装路径设置为“C:\\”、“D:\\”等根目录。\n");
    return false;
  }
  CloseHandle(file);
  DeleteFileA(".\\___wt___.dat");
  return true;
}

bool HandOffToUpdater(const std::string &programPath) {
  if (GetPrivateProfileIntA("Update", "Result", 0, ".\\update\\update.ini") != 1) return false;
  if (GetFileAttributesA(".\\instcopy.exe") == INVALID_FILE_ATTRIBUTES) return false;
  const size_t slash = programPath.find_last_of('\\');
  const std::string name = slash == std::string::npos ? programPath : programPath.substr(slash + 1);
  std::string commandLine = ".\\instcopy.exe -start:" + name;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  return true;
}

bool WarnLowDiskSpace(const TEntryServices &services, const char *folder) {
  uint64_t freeBytes = 0;
  if (!folder || !services.freeSpace(folder, freeBytes) || freeBytes >= kLowDiskSpace) return false;
  char text[128];
  std::snprintf(text, sizeof text, "%.2s盘剩余空间小于50M，kivo可能无法正常运行。  ", folder);
  MessageBoxA(nullptr, text, "警告", MB_OK | MB_ICONEXCLAMATION | MB_TOPMOST);
  return true;
}

int PurgeBrokerLogs(const SYSTEMTIME &today) {
  SYSTEMTIME midnight = today;
  midnight.wHour = midnight.wMinute = midnight.wSecond = midnight.wMilliseconds = 0;
  CTime64 limit;
  SetCTime64(limit, midnight);
  int deleted = 0;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("KSInterB2C*.klg", &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    int year = 0, month = 0, day = 0;
    if (!BrokerLogDate(found.cFileName, year, month, day)) continue;
    CTime64 kept{uint16_t(year), uint8_t(month), uint8_t(day)};
    for (int i = 0; i < 30; ++i) kept.NextDay();
    if (kept < limit && DeleteFileA(found.cFileName)) ++deleted;
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return deleted;
}

int ReadProgramVersion(const TEntryServices &services) {
  std::string file;
  if (!services.moduleFileName(file)) return 0;
  FileVersionWords version{};
  if (!services.versionInfo(file.c_str(), version)) return 0;
  ProgramVersion = ComposeProgramVersion(version);
  return 1;
}

int RunProgramEntry(const TEntryServices &services, const std::function<void()> &runMainWindow) {
  std::string programPath;
  if (!EnterProgramFolder(services, programPath)) return 0;
  if (!CheckWriteAccess()) return 0;
  if (HandOffToUpdater(programPath)) return 0;
  WSADATA data;
  if (ws::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
    StopBox("网络初始化失败，kivo无法运行。  ");
    return 0;
  }
  char current[MAX_PATH] = {};
  GetCurrentDirectoryA(sizeof current, current);
  WarnLowDiskSpace(services, current);
  WarnLowDiskSpace(services, UserDataPath);
  PurgeBrokerLogs(services.localTime());
  if (!ReadProgramVersion(services)) {
    StopBox("文件版本信息获取失败，kivo无法运行 ");
    return 0;
  }
  // OLE needs no start here; the one drag source of every view's drag.
  if (!GlobalDropSource()) GlobalDropSource() = new CReportViewDropSource;
  try {
    Application()->Title = "kivo";
    InstallMenuSkinHook();
    runMainWindow();
  } catch (const std::exception &error) {
    MessageBoxA(nullptr, error.what(), Application()->Title.c_str(), MB_OK | MB_ICONERROR);
  }
  if (GlobalDropSource()) {
    GlobalDropSource()->Release();
    GlobalDropSource() = nullptr;
  }
  return 0;
}
