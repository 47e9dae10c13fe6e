// The start-up object and the process-wide values it settles before the
// main window exists: the working folder, the per-user data folder and its
// first-run settings files, the shared UTC clock, the bar capacity and its
// shared buffer, the colour theme in use and three program-wide switches.
//
// Everything later in the program relies on the working folder being the
// program's folder and on UserDataPath being settled, so the program entry
// calls StartUtilData before anything else that touches files.
#pragma once

#include <cstdint>

#include "core/datetime.h"
#include "platform/windef.h"

// The per-user data folder, ending in a backslash; every per-user file name
// is this folder followed by the name ("%sSETTING.INI").
extern char UserDataPath[MAX_PATH];
// The shared clock in UTC (year to minute); advanced later by the push
// client, each market adds its own offset.
extern PackedDateTime CurrentUtcTime;
// The colour and font theme in use: "%ssetting.ini" [Parameter] "LastTheme".
extern int32_t CurrentTheme;
// The most bars a series keeps: "..\CFG\SETTING.INI" [Parameter]
// "MaxDataRecords", 15000 by default. A value below 1 takes the default and
// one above kMaxDataRecordsLimit is cut to it, so that every buffer size
// derived from it (bars x 40 plus a little) stays within 32 bits.
extern int32_t MaxDataRecords;
constexpr int32_t kDefaultMaxDataRecords = 15000;
constexpr int32_t kMaxDataRecordsLimit = 1000000;
// Read once at start-up, default 0: "..\cfg\Setting.ini" [Parameter]
// "F10Mode" and "OnlineSrvMode", "..\cfg\Trading.ini" [Option]
// "GrapPriceMode". Their meaning belongs to their readers.
extern int32_t F10Mode;
extern int32_t OnlineSrvMode;
extern int32_t GrapPriceMode;

// The shared scratch buffer of bar loading: MaxDataRecords 40-byte bars and
// 100 bytes more, allocated on the first call; null when memory is short,
// and the next call tries again. Freed when the start-up object goes.
void *GetSharedBarBuffer();
// Sets CurrentUtcTime from the system clock.
void UpdateCurrentUtcTime();

// What the program entry hands to the start-up object.
struct TUtilDataSetup {
  // The program's file name in Windows form; its folder becomes the working
  // folder. Null asks the platform for the running program's name.
  const char *programFile = nullptr;
  // Start the clock and time-zone check on a thread of its own.
  bool startClockCheck = false;
  // Loads the display settings of a theme: colours, fonts, period cycle
  // and hot keys, in this order. They live with the main window's code,
  // above this folder, so the entry passes them in; null loads none.
  void (*loadDisplaySettings)(int theme) = nullptr;
};

// Constructing it does the start-up work, in order: the working folder, the
// socket library, the clock check, the per-user folder, the first-run
// settings files, the last-page pointer, the UTC clock, the display
// settings, the holiday lists and the three switches. No step stops the
// start-up; the only message is the one for a missing system page.
// Destroying it frees the shared bar buffer.
class TUtilData {
 public:
  explicit TUtilData(const TUtilDataSetup &setup = {});
  ~TUtilData();
  TUtilData(const TUtilData &) = delete;
  TUtilData &operator=(const TUtilData &) = delete;
};

// The program's one start-up object: built on the first call (with the
// program's own folder and the clock check started) and kept until the
// process ends; later calls return it unchanged. Call it first thing in the
// entry, once the Qt application exists, so that the clock check can ask
// its questions.
TUtilData &StartUtilData(void (*loadDisplaySettings)(int theme));

// The per-user folder rule on its own: "..\CFG\UserPath.INI" [Path]
// "UserPath" when that folder can be written, else a folder under the
// user's data folder (written back to UserPath.INI when one was
// configured). Returns the folder, ending in a backslash.
void SettleUserDataPath(char (&folder)[MAX_PATH]);

// The user's data folder in Windows form without a closing backslash
// ($XDG_DATA_HOME, else ~/.local/share), created when missing; false when
// there is none or it can't be created.
bool GetAppDataFolder(char (&folder)[MAX_PATH]);
