// The program entry of the terminal and its start-up checks: the install
// path, write access to the program folder, the hand-off to a waiting
// update, the socket library, free disk space, the purge of the broker
// library's old logs and the program's own version number. Each check is a
// function of its own, so that tests run it against a fixture folder; the
// entry runs them in order and then creates the main window.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/windef.h"

// major x 10,000,000 + minor x 10,000 + release; 0 until ReadProgramVersion
// has read it.
extern uint32_t ProgramVersion;

// The fixed part of a version resource: the file version's two double words.
struct FileVersionWords {
  uint32_t ms;  // major << 16 | minor
  uint32_t ls;  // release << 16 | build
};
// The build word is not used.
uint32_t ComposeProgramVersion(const FileVersionWords &version);
// The program's own file version, as built in.
FileVersionWords BuiltInFileVersion();

// What the entry reads of the machine; tests replace each piece.
struct TEntryServices {
  // The program's full file name (Windows form); false when it can't be read.
  std::function<bool(std::string &path)> moduleFileName;
  // Bytes free to the caller on the folder's drive; false when the query failed.
  std::function<bool(const char *folder, uint64_t &freeBytes)> freeSpace;
  // The version resource of the program file; false when it can't be read.
  std::function<bool(const char *programFile, FileVersionWords &version)> versionInfo;
  // Today's local date.
  std::function<SYSTEMTIME()> localTime;
};
// The real machine's: GetModuleFileNameA, GetDiskFreeSpaceExA (else
// GetDiskFreeSpaceA), the built-in version, GetLocalTime.
TEntryServices DefaultEntryServices();

// Less than this on a drive gives the warning.
constexpr uint64_t kLowDiskSpace = 52428800;

// Step 1 and 2: the program's full path into path and its folder made the
// current folder. False (after the message) when the path can't be read.
bool EnterProgramFolder(const TEntryServices &services, std::string &programPath);
// Step 3: ".\___wt___.dat" created and deleted; false after the message.
bool CheckWriteAccess();
// Step 4: true when an update waits and ".\instcopy.exe" was started with
// "-start:" and the program's file name; the entry then ends.
bool HandOffToUpdater(const std::string &programPath);
// Step 6 for one folder: the warning box when a query works and shows less
// than 50 MB. True when it warned.
bool WarnLowDiskSpace(const TEntryServices &services, const char *folder);
// Step 7: deletes the files "KSInterB2C<yyyymmdd>.klg" of the current
// folder whose date, moved on by 30 days, lies before today. A name whose
// middle is not exactly eight digits of a valid date is left alone, and so
// is a directory. Returns how many were deleted.
int PurgeBrokerLogs(const SYSTEMTIME &today);
// Step 8: 1 with ProgramVersion set, 0 with it unchanged.
int ReadProgramVersion(const TEntryServices &services);

// The entry: the checks in order, then OLE, the drag source, the
// application object, the menu skin hook, and the main window made by
// makeMainWindow and run until it closes. Returns 0 in every case.
int RunProgramEntry(const TEntryServices &services, const std::function<void()> &runMainWindow);
