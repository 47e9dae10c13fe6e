#include "shell/alarmfile.h"

#include <cstring>
#include <string>

#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/handles.h"

namespace {

std::string kept;

std::string AlarmPath() { return std::string(UserDataPath) + "ALARM.SET"; }

}  // namespace

void KeepAlarmFile() {
  kept.clear();
  HANDLE in = CreateFileA(AlarmPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (in == INVALID_HANDLE_VALUE) return;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(in, buffer, sizeof buffer, &got, nullptr) && got > 0) kept.append(buffer, got);
  CloseHandle(in);
  // Only a file in one of the engine's own forms is kept.
  if (kept.size() < 10 || (kept.compare(0, 6, "KVAS04") != 0 && kept.compare(0, 6, "KVAS03") != 0)) kept.clear();
}

void WriteKeptAlarmFile() {
  std::string bytes = kept;
  if (bytes.empty()) {
    bytes.assign("KVAS04", 6);
    const uint32_t flags = 3;  // sound on, pop-up on
    bytes.append(reinterpret_cast<const char *>(&flags), sizeof flags);
  }
  const std::string path = AlarmPath();
  const std::string staging = path + ".tmp";
  HANDLE out = CreateFileA(staging.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  const bool ok = WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(out);
  if (ok) MoveFileExA(staging.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  else DeleteFileA(staging.c_str());
}
