// The formula library: the one CKvIndexManager of the program, its named
// groups of formulas and the two library files it reads at start-up and
// writes back after every change.
//
// Library files: the system library "..\cfg\KvIndexS.dat" (formulas with the
// system flag) and the user's "%skvindexu.dat" in the per-user data folder
// (the others). Both are CDesEnc containers under one fixed key around a
// plain form that is staged through ".\pit.dat" while it is read or written
// (integers little-endian 32-bit):
//
//   "KvIndex" (7 bytes), version 1, then groups until the end of the file;
//   a group: 32-byte name, formula records each after a marker byte that is
//   not 0 (written as 1), and a 0 byte;
//   a record: 16-byte name, 32-byte password, description length and bytes,
//   parameter count and 72-byte parameter records, text length and text,
//   notes length and notes, flags.
//
// Every group name is written to both files, so each file lists all groups
// in library order, some of them empty.
//
// The library's lock guards its content: the GUI thread makes every change
// while it holds it, and the save thread holds it for the whole save. Loading
// holds it too, since the staging file has one name; lookups run on the GUI
// thread without it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "formula/kvindex.h"
#include "platform/kernel.h"

// One named group of the library: a chain of formulas through their `next`.
class CKvIndexGroup {
 public:
  CKvIndexGroup();
  explicit CKvIndexGroup(const char *groupName);
  // Deletes the chain; the next group is the manager's.
  ~CKvIndexGroup();
  CKvIndexGroup(const CKvIndexGroup &) = delete;
  CKvIndexGroup &operator=(const CKvIndexGroup &) = delete;

  // Appends a formula (taking it over) at the end of the chain and counts it.
  void Add(CKvIndex *formula);
  // Makes the chain the group's content (taking it over) and recounts it.
  // The chain held before is the caller's.
  void SetChain(CKvIndex *chain);

  char name[32];
  CKvIndex *first = nullptr;  // owned chain
  uint32_t count = 0;
  CKvIndexGroup *next = nullptr;
  // Records read from a library file whose formula no longer compiles, kept
  // byte for byte (from after the marker to the flags) so that the next save
  // writes them back unchanged instead of dropping them.
  std::vector<std::string> kept;
};

// How far a library file was read at start-up.
enum class IndexFileState : uint8_t {
  kNotRead,     // Load has not looked at it yet
  kLoaded,      // read (up to its end or up to a damaged record)
  kMissing,     // there was no such file
  kUnreadable,  // it could not be deciphered or opened, or its magic or version is unknown
};

class CKvIndexManager {
 public:
  // Empty, the lock made; seeds the runtime's random generator with the time.
  CKvIndexManager();
  // Waits for a save still running, then deletes every group with its
  // formulas and the lock. The library is not saved.
  ~CKvIndexManager();
  CKvIndexManager(const CKvIndexManager &) = delete;
  CKvIndexManager &operator=(const CKvIndexManager &) = delete;

  // Reads the system file, then the user file (also when the system file
  // could not be read), with the messages of each. A formula that does not
  // compile is kept aside in its group and written back by the next save;
  // a record whose lengths run past the end of the file is refused and ends
  // the reading of that file, the groups and formulas before it stay.
  // Either is reported once, after the user file was read.
  void Load();
  // Writes both files: true when both were written. A file that was there
  // but could not be read at start-up is never written over; when the
  // library holds formulas for it the save fails with the open message.
  bool Save();
  // Runs Save on a worker thread under the lock; false when the thread
  // could not start.
  bool SaveInBackground();
  // Waits until every save started by SaveInBackground has ended.
  void WaitForBackgroundSaves();

  // Writes one library file at the target: every group, with its formulas
  // (and kept records) whose system flag equals `systemFormulas`. Staged
  // through the staging file; the target is replaced only when the whole
  // file was written. Shows the save messages and returns false on failure.
  bool SaveLibraryFile(bool systemFormulas, const char *target);

  // The first formula, group after group and chain by chain, whose name is
  // the text without regard to case; null when none.
  CKvIndex *FindIndex(const char *name) const;
  // AssignAndCompile of the formula FindIndex finds into the target: 1;
  // without one the target's error becomes "指标未定义" and 0 is returned.
  int CopyIndex(const char *name, CKvIndex *target) const;
  // The n-th formula counting through the groups in order; null past the
  // end or when a chain is shorter than its count.
  CKvIndex *GetIndexAt(uint32_t n) const;
  CKvIndexGroup *FindGroup(const char *name) const;
  // Appends a group (taking it over) at the end.
  void AddGroup(CKvIndexGroup *group);
  // Deletes every group with its formulas.
  void Clear();

  // The files: the system file as it is read and as it is written, the user
  // file (empty: "%skvindexu.dat" of the per-user folder at the time of use)
  // and the staging file.
  void SetFiles(const char *systemRead, const char *systemWrite, const char *user,
                const char *staging);
  std::string UserFile() const;
  const std::string &StagingFile() const { return staging_; }
  IndexFileState SystemFileState() const { return systemState_; }
  IndexFileState UserFileState() const { return userState_; }
  // Formulas not taken into the library by the last Load.
  uint32_t SkippedAtLoad() const { return skipped_; }

  CKvIndexGroup *groups = nullptr;  // owned list
  CRITICAL_SECTION lock;

  static constexpr const char *kKey = "H3ZN8QWV5TL2RJ6C";

 private:
  enum class ReadResult { kRead, kNoFile, kNotDeciphered, kNotOpened, kWrongMagic };
  ReadResult ReadFile(const char *path, bool system);
  static unsigned SaveThread(void *manager);

  std::string systemRead_ = "..\\cfg\\KvIndexS.dat";
  std::string systemWrite_ = "..\\cfg\\kvindexs.dat";
  std::string user_;
  std::string staging_ = ".\\pit.dat";
  IndexFileState systemState_ = IndexFileState::kNotRead;
  IndexFileState userState_ = IndexFileState::kNotRead;
  uint32_t skipped_ = 0;

  std::mutex savesLock_;
  std::condition_variable savesDone_;
  int savesRunning_ = 0;
};

// The program's one library, made on first use and kept until the process
// ends.
CKvIndexManager &KvIndexManager();

