#include "plugin/login.h"

#include <cstdio>
#include <cstring>

#include "platform/msgbox.h"
#include "platform/profile.h"
#include "plugin/brokerlib.h"
#include "plugin/records.h"

namespace tb {

namespace {

constexpr const char *kServerSettings = "..\\CFG\\Consign.ini";

// The value of a [jsd] key with blanks removed at both ends.
void ReadTrimmed(const char *key, char *out, int size) {
  char value[256] = {};
  GetPrivateProfileStringA("jsd", key, "", value, sizeof value, kServerSettings);
  const char *start = value;
  while (*start == ' ' || *start == '\t') ++start;
  size_t length = strlen(start);
  while (length > 0 && (start[length - 1] == ' ' || start[length - 1] == '\t')) --length;
  if (size <= 0) return;
  if (length > size_t(size - 1)) length = size_t(size - 1);
  memcpy(out, start, length);
  out[length] = '\0';
}

}  // namespace

int ServerCount() {
  int count = 0;
  for (;; ++count) {
    char key[16];
    char name[256];
    snprintf(key, sizeof key, "s%d", count + 1);
    ReadTrimmed(key, name, sizeof name);
    if (!name[0]) return count;
  }
}

void ServerName(int index, char *out, int size) {
  if (!out || size <= 0) return;
  out[0] = '\0';
  if (index < 0) return;
  char key[16];
  snprintf(key, sizeof key, "s%d", index + 1);
  ReadTrimmed(key, out, size);
}

int Login(HWND window, UINT, int, const char *, const char *, const char *, const char *) {
  if (!CheckBrokerLibraryVersion()) {
    MessageBoxA(window, "文件 KSInterB2C.dll 版本不匹配。  ", "登录失败", MB_OK | MB_ICONERROR | MB_TOPMOST);
    return kNoSession;
  }
  // Connecting to the broker's servers comes with the login proper.
  return kLoginRefused;
}

}  // namespace tb
