// The quote-server list of ".\SERVER.INI" [RIGHT], the per-user account and
// proxy keys, and the logic of the login dialog that needs no window: the
// one-time move of the account keys into the user's folder, the speed-test
// lines and the choice of the fastest server, the order of the automatic
// attempts and the progress strip's arithmetic.
#pragma once

#include <cstdint>
#include <string>

constexpr int kMaxQuoteServers = 32;

// One listed server; copied bytewise.
struct QuoteServerEntry {
  uint8_t network;  // 1 "电信", 2 "网通"
  uint16_t port;
  char address[64];
  char name[32];
  char loginHost[64];
  uint16_t loginPort;
  char relayHost[64];
  uint16_t relayPort;
};

// The shared list file and the user's own "SERVER.INI".
extern const char kServerListIni[];
std::string UserServerIniPath();

// Reads [RIGHT] from index 0 upward; the list ends at the first entry
// without an address or a name. Returns the count (at most 32). The login
// and relay keys are written back as read.
int ReadQuoteServerList(QuoteServerEntry (&servers)[kMaxQuoteServers]);
// Replaces the whole [RIGHT] section (lastindex goes with it) by the
// entries up to the first one without an address or a name.
void WriteQuoteServerList(const QuoteServerEntry *servers, int count);
// The selected entry into ".\SERVER.INI" [Server], as the request client reads it.
void WriteSelectedServer(const QuoteServerEntry &entry);

// Moves the account keys ([Server] UserName, Password, SavePass) and the
// proxy keys ([ProxyServer] ...) from the shared file into the user's,
// each group when the user's Version is 0 or below the shared one, and
// then sets the user's Version to the shared one (at least 1). Moving never
// replaces a value the user already has with an empty shared one.
void MigrateAccountKeys();

// The speed-test line of a server: its name and, right-aligned in the
// column (27 wide, 25 with more than 5 servers), "正在测试" while testing
// (average < 0), else the average's verdict.
std::string SpeedTestLine(const char *name, int serverCount, int average);

// The dialog's state that needs no window.
class TClientRightCore {
 public:
  QuoteServerEntry servers[kMaxQuoteServers] = {};
  int count = 0;
  uint8_t savePassword = 1;
  char user[32] = {};
  char password[32] = {};
  int startIndex = 0;
  int bestIndex = 0;
  int bestMs = 2000;
  int testsRunning = 0;
  bool libraryLoaded = false;  // the outside account library is there

  // Creation steps 3 to 8: migration, the user's keys, the list; returns
  // the index to select.
  int Load();
  // Reloads the list only; returns the index to select again.
  int Reload(int previous);
  bool ValidIndex(int index) const { return index >= 0 && index < count && index < kMaxQuoteServers; }

  // The speed test starts (false while one runs): every server is testing.
  bool StartSpeedTests(int selection);
  // One result; the index to select when it was the last one (-1 else).
  int SpeedTestResult(int index, int average);

  // The next server of the failure ladder, wrapping round.
  int NextIndex(int selection) const { return count > 0 ? (selection + 1) % count : 0; }
  // Writes what an attempt writes: lastindex, the user's keys, [Server].
  void RecordAttempt(int selection, const char *typedUser, const char *typedPassword);
};

// The progress strip: a bar of the panel's width that slides in from the
// left, a pixel per tick, towards three quarters of the way to its target.
struct ProgressStrip {
  int width = 0;
  int left = 0;  // its left edge, relative to the panel
  int target = 0;
  int limit = 0;
  bool animating = false;

  void Reset(int panelWidth);
  void Step(int done, int total);
  // One tick: true when it moved.
  bool Tick();
};
