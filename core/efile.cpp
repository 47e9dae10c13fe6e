#include "core/efile.h"

#include <climits>
#include <cstring>

#include "platform/fileapi.h"
#include "platform/gbk.h"

namespace {

HANDLE AsHandle(int32_t handle) { return reinterpret_cast<HANDLE>(intptr_t(handle)); }

// size x count as a byte count, or -1 when it is negative or beyond 32 bits.
int32_t ByteCount(int32_t size, int32_t count) {
  if (size < 0 || count < 0) return -1;
  int64_t bytes = int64_t(size) * count;
  return bytes > INT32_MAX ? -1 : int32_t(bytes);
}

// Positions and lengths must fit the signed 32-bit results.
int32_t AsResult(DWORD value) {
  return value > DWORD(INT32_MAX) ? -1 : int32_t(value);
}

bool IsFolder(const char *path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

void ParseOpenMode(const char *mode, uint8_t *flags) {
  uint8_t result = kOpenRead | kOpenText;
  if (mode && mode[0]) {
    switch (mode[0]) {
      case 'a':
      case 'A':
        result = kOpenWrite | kOpenText | kOpenAppend;
        break;
      case 'w':
      case 'W':
        result = kOpenWrite | kOpenText;
        break;
      default:
        break;
    }
    if (mode[1]) {
      if (mode[1] == 'b' || mode[1] == 'B') result &= uint8_t(~kOpenText);
      if (mode[1] == '+') result = uint8_t((result & ~kOpenAccessMask) | kOpenReadWrite);
      if (mode[2] == 'b' || mode[2] == 'B') result &= uint8_t(~kOpenText);
    }
  }
  if (flags) *flags = result;
}

int32_t FileOpen(const char *path, const char *mode, int) {
  if (!path || !*path || !mode) return kNoFile;
  uint8_t flags;
  ParseOpenMode(mode, &flags);
  DWORD access = GENERIC_READ;
  DWORD disposition = OPEN_EXISTING;
  switch (flags & kOpenAccessMask) {
    case kOpenWrite:
      access = GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
    case kOpenReadWrite:
      access = GENERIC_READ | GENERIC_WRITE;
      disposition = OPEN_ALWAYS;
      break;
    default:
      break;
  }
  HANDLE file = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  intptr_t value = reinterpret_cast<intptr_t>(file);
  if (value <= 0 || value > INT32_MAX) {
    // The callers keep handles in 32 bits; one that doesn't fit is useless.
    CloseHandle(file);
    return kNoFile;
  }
  if (flags & kOpenAppend) SetFilePointer(file, 0, nullptr, FILE_END);
  return int32_t(value);
}

void FileClose(int32_t handle) {
  if (handle > 0) CloseHandle(AsHandle(handle));
}

int32_t FileSeek(int32_t handle, int32_t offset, int origin) {
  if (handle <= 0 || origin < 0 || origin > 2) return -1;
  return AsResult(SetFilePointer(AsHandle(handle), offset, nullptr, DWORD(origin)));
}

int32_t FileRead(int32_t handle, void *buffer, int32_t size, int32_t count) {
  int32_t bytes = ByteCount(size, count);
  if (handle <= 0 || !buffer || bytes < 0) return 0;
  DWORD done = 0;
  if (!ReadFile(AsHandle(handle), buffer, DWORD(bytes), &done, nullptr)) return 0;
  return int32_t(done);
}

int32_t FileWrite(int32_t handle, const void *buffer, int32_t size, int32_t count) {
  int32_t bytes = ByteCount(size, count);
  if (handle <= 0 || !buffer || bytes < 0) return 0;
  DWORD done = 0;
  if (!WriteFile(AsHandle(handle), buffer, DWORD(bytes), &done, nullptr)) return 0;
  return int32_t(done);
}

int32_t FileSize(int32_t handle) {
  if (handle <= 0) return -1;
  DWORD high = 0;
  DWORD low = GetFileSize(AsHandle(handle), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != ERROR_SUCCESS) return -1;
  if (high != 0) return -1;
  return AsResult(low);
}

int32_t FileTruncate(int32_t handle, int32_t offset) {
  int32_t position = FileSeek(handle, offset, 0);
  if (position < 0) return -1;
  if (!SetEndOfFile(AsHandle(handle))) return -1;
  return position;
}

bool MakeDirChain(const char *path) {
  if (!path || !*path) return false;
  if (IsFolder(path)) return true;
  size_t length = strlen(path);
  if (length >= 1020) return false;

  char buffer[1024];
  memcpy(buffer, path, length);
  // Every component ends at a separator, the last one included.
  if (buffer[length - 1] != '\\' && buffer[length - 1] != '/') buffer[length++] = '\\';
  buffer[length] = '\0';

  for (size_t i = 0; i < length; ++i) {
    auto c = static_cast<unsigned char>(buffer[i]);
    if (platform::IsGbkPair(std::string_view(buffer, length), i)) {
      ++i;  // a GBK pair; its trail byte may be 0x5C and is no separator
      continue;
    }
    if (c != '\\' && c != '/') continue;
    if (i == 0) continue;  // the root itself
    char separator = buffer[i];
    buffer[i] = '\0';
    if (!IsFolder(buffer)) CreateDirectoryA(buffer, nullptr);
    buffer[i] = separator;
  }
  return IsFolder(path);
}
