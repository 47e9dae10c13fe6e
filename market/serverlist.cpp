#include "market/serverlist.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "market/utildata.h"
#include "platform/debugout.h"
#include "platform/profile.h"

const char kServerListIni[] = ".\\SERVER.INI";

namespace {

int ReadInt(const char *section, const char *key, int fallback, const char *file) {
  return int(GetPrivateProfileIntA(section, key, fallback, file));
}

std::string ReadText(const char *section, const char *key, const char *fallback, const char *file, size_t size) {
  std::string value(size, '\0');
  const DWORD n = GetPrivateProfileStringA(section, key, fallback, value.data(), DWORD(size), file);
  value.resize(n);
  return value;
}

void WriteInt(const char *section, const char *key, int value, const char *file) {
  WritePrivateProfileStringA(section, key, std::to_string(value).c_str(), file);
}

void Key(char (&out)[24], const char *name, int index) { std::snprintf(out, sizeof out, "%s%d", name, index); }

// A port of the server list; one no port can have is taken as the default
// and said in the debug output, never cut to 16 bits.
uint16_t ReadPort(const char *key, int fallback) {
  const int value = ReadInt("RIGHT", key, fallback, kServerListIni);
  if (value >= 0 && value <= 65535) return uint16_t(value);
  char line[96];
  std::snprintf(line, sizeof line, "SERVER.INI: %s=%d is no port; %d is used", key, value, fallback);
  OutputDebugStringA(line);
  return uint16_t(fallback);
}

void CopyText(char *to, size_t size, const std::string &from) { std::snprintf(to, size, "%s", from.c_str()); }

// One group of keys moves from the shared file into the user's.
struct Migration {
  const char *section;
  const char *const *keys;
  const char *const *defaults;
  int count;
};

const char *const kAccountKeys[] = {"UserName", "Password", "SavePass"};
const char *const kAccountDefaults[] = {"", "", "1"};
const char *const kProxyKeys[] = {"UseProxy", "Address", "Port", "CertUser", "UserName", "Password", "GreenWay"};
const char *const kProxyDefaults[] = {"0", "", "0", "0", "", "0", "0"};

void Migrate(const Migration &m, const std::string &userIni) {
  const int shared = ReadInt(m.section, "Version", 0, kServerListIni);
  const int mine = ReadInt(m.section, "Version", 0, userIni.c_str());
  if (mine != 0 && mine >= shared) return;
  // The user's version follows the shared one, so that the move runs once
  // for each version of the shared file, not at every start.
  WriteInt(m.section, "Version", std::max(shared, 1), userIni.c_str());
  for (int i = 0; i < m.count; ++i) {
    const std::string value = ReadText(m.section, m.keys[i], "", kServerListIni, 64);
    const bool userHasIt = ReadText(m.section, m.keys[i], "\x01", userIni.c_str(), 64) != "\x01";
    // An emptied shared value never overwrites what the user has.
    if (!value.empty())
      WritePrivateProfileStringA(m.section, m.keys[i], value.c_str(), userIni.c_str());
    else if (!userHasIt)
      WritePrivateProfileStringA(m.section, m.keys[i], m.defaults[i], userIni.c_str());
    WritePrivateProfileStringA(m.section, m.keys[i], "", kServerListIni);
  }
}

}  // namespace

std::string UserServerIniPath() {
  return std::string(UserDataPath, strnlen(UserDataPath, sizeof UserDataPath)) + "SERVER.INI";
}

int ReadQuoteServerList(QuoteServerEntry (&servers)[kMaxQuoteServers]) {
  std::memset(servers, 0, sizeof servers);
  int count = 0;
  for (; count < kMaxQuoteServers; ++count) {
    QuoteServerEntry &e = servers[count];
    char key[24];
    Key(key, "svraddr", count);
    CopyText(e.address, sizeof e.address, ReadText("RIGHT", key, "", kServerListIni, 64));
    Key(key, "company", count);
    CopyText(e.name, sizeof e.name, ReadText("RIGHT", key, "", kServerListIni, 32));
    if (!e.address[0] || !e.name[0]) {
      e = QuoteServerEntry{};
      break;
    }
    Key(key, "Network", count);
    e.network = uint8_t(ReadInt("RIGHT", key, 1, kServerListIni));
    Key(key, "svrport", count);
    e.port = ReadPort(key, 13130);
    Key(key, "login", count);
    CopyText(e.loginHost, sizeof e.loginHost, ReadText("RIGHT", key, "", kServerListIni, 64));
    WritePrivateProfileStringA("RIGHT", key, e.loginHost, kServerListIni);
    Key(key, "loginport", count);
    e.loginPort = ReadPort(key, 0);
    WriteInt("RIGHT", key, e.loginPort, kServerListIni);
    Key(key, "GC", count);
    CopyText(e.relayHost, sizeof e.relayHost, ReadText("RIGHT", key, "", kServerListIni, 64));
    WritePrivateProfileStringA("RIGHT", key, e.relayHost, kServerListIni);
    Key(key, "GCPort", count);
    e.relayPort = ReadPort(key, 0);
    WriteInt("RIGHT", key, e.relayPort, kServerListIni);
  }
  return count;
}

void WriteQuoteServerList(const QuoteServerEntry *servers, int count) {
  WritePrivateProfileStringA("RIGHT", nullptr, nullptr, kServerListIni);
  for (int i = 0; i < count && i < kMaxQuoteServers && servers[i].address[0] && servers[i].name[0]; ++i) {
    const QuoteServerEntry &e = servers[i];
    char key[24];
    Key(key, "svraddr", i);
    WritePrivateProfileStringA("RIGHT", key, e.address, kServerListIni);
    Key(key, "company", i);
    WritePrivateProfileStringA("RIGHT", key, e.name, kServerListIni);
    Key(key, "Network", i);
    WriteInt("RIGHT", key, e.network, kServerListIni);
    Key(key, "svrport", i);
    WriteInt("RIGHT", key, e.port, kServerListIni);
    Key(key, "login", i);
    WritePrivateProfileStringA("RIGHT", key, e.loginHost, kServerListIni);
    Key(key, "loginport", i);
    WriteInt("RIGHT", key, e.loginPort, kServerListIni);
    Key(key, "GC", i);
    WritePrivateProfileStringA("RIGHT", key, e.relayHost, kServerListIni);
    Key(key, "GCPort", i);
    WriteInt("RIGHT", key, e.relayPort, kServerListIni);
  }
}

void WriteSelectedServer(const QuoteServerEntry &e) {
  WritePrivateProfileStringA("Server", "Address", e.address, kServerListIni);
  WriteInt("Server", "Network", e.network, kServerListIni);
  WriteInt("Server", "Port", e.port, kServerListIni);
  WritePrivateProfileStringA("Server", "LoginServer", e.loginHost, kServerListIni);
  WriteInt("Server", "LoginPort", e.loginPort, kServerListIni);
  WritePrivateProfileStringA("Server", "GC", e.relayHost, kServerListIni);
  WriteInt("Server", "GCPort", e.relayPort, kServerListIni);
}

void MigrateAccountKeys() {
  const std::string userIni = UserServerIniPath();
  Migrate({"Server", kAccountKeys, kAccountDefaults, 3}, userIni);
  Migrate({"ProxyServer", kProxyKeys, kProxyDefaults, 7}, userIni);
}

std::string SpeedTestLine(const char *name, int serverCount, int average) {
  const int width = serverCount > 5 ? 25 : 27;
  const size_t pad = size_t(std::max(0, width - int(std::strlen(name))));
  std::string line(name);
  if (average < 0 || average >= 2000) return line + std::string(pad, ' ') + (average < 0 ? "正在测试" : "测试失败");
  // The average, right-aligned in the column.
  const std::string ms = std::to_string(average);
  line += std::string(pad > ms.size() ? pad - ms.size() : 0, ' ') + ms + "ms  ";
  return line + (average >= 100 ? "较慢" : average >= 50 ? "一般" : "很快");
}

int TClientRightCore::Load() {
  MigrateAccountKeys();
  const std::string userIni = UserServerIniPath();
  CopyText(user, sizeof user, ReadText("Server", "UserName", "", userIni.c_str(), 32));
  if (!libraryLoaded) CopyText(password, sizeof password, ReadText("Server", "Password", "", userIni.c_str(), 32));
  savePassword = ReadInt("Server", "SavePass", 1, userIni.c_str()) != 0 ? 1 : 0;
  return Reload(ReadInt("RIGHT", "lastindex", 0, kServerListIni));
}

int TClientRightCore::Reload(int previous) {
  count = ReadQuoteServerList(servers);
  return previous >= 0 && previous < count ? previous : 0;
}

bool TClientRightCore::StartSpeedTests(int selection) {
  if (testsRunning > 0) return false;
  bestMs = 2000;
  bestIndex = selection;
  testsRunning = count;
  return true;
}

int TClientRightCore::SpeedTestResult(int index, int average) {
  if (testsRunning <= 0 || !ValidIndex(index)) return -1;
  if (average < bestMs) {
    bestMs = average;
    bestIndex = index;
  }
  return --testsRunning == 0 ? bestIndex : -1;
}

void TClientRightCore::RecordAttempt(int selection, const char *typedUser, const char *typedPassword) {
  WriteInt("RIGHT", "lastindex", selection, kServerListIni);
  const std::string userIni = UserServerIniPath();
  WritePrivateProfileStringA("Server", "SavePass", savePassword ? "1" : "0", userIni.c_str());
  std::snprintf(user, sizeof user, "%.31s", typedUser ? typedUser : "");
  std::snprintf(password, sizeof password, "%.31s", typedPassword ? typedPassword : "");
  WritePrivateProfileStringA("Server", "UserName", user, userIni.c_str());
  WritePrivateProfileStringA("Server", "Password", libraryLoaded ? "" : password, userIni.c_str());
  if (ValidIndex(selection)) WriteSelectedServer(servers[selection]);
}

void ProgressStrip::Reset(int panelWidth) {
  animating = false;
  target = limit = 0;
  width = panelWidth;
  left = -panelWidth;
}

void ProgressStrip::Step(int done, int total) {
  animating = true;
  left = target - width;
  const int next = total > 0 ? width * done / total : width;
  limit = target + (next - target) * 3 / 4;
  target = next;
}

bool ProgressStrip::Tick() {
  if (!animating || left + width >= limit) return false;
  ++left;
  return true;
}
