// The logger library: numbered records of a code and '|'-separated texts,
// one line each, appended to a log file.
//
// A line is "<number>|<hh:mm:ss.mmm>|<code>|<text>" (further texts follow
// with '|'), ended by CR LF. Records are numbered from 1 per file and per
// process; every module of the process that opens the same file shares its
// numbering. Each record reaches the file with one append, so records of
// several threads, modules or processes never mix inside a line; the
// records of one thread keep their order.
//
// Beside a daily file "<name>.phl" the library keeps its readable copies,
// in the same line format: "<name>traderec.txt" holds every record (it is
// a second name of the daily file itself, so it costs no write), and
// "<name>tradere0.txt", "<name>tradere1.txt" and "<name>tradere2.txt" the
// records of quick operations, of stop orders and of condition orders. A
// task record (3015) goes by its task kind (its second field); the stop
// records 3006 and 3009 go to "1", the condition-order records 3007 and
// 3010 to "2"; other records only to "traderec".
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <strings.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/clock.h"
#include "platform/path.h"

#ifndef KVLOGGER_VERSION
#define KVLOGGER_VERSION 1
#endif

#define KV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum : int {
  kOk = 0,
  kBadArgument = 1,
  kCannotOpen = 2,
  kBadHandle = 3,
  kWriteFailed = 4,
};

// The readable copies beside a ".phl" file: every record, then the three
// categories.
constexpr int kCopies = 4;

struct LogFile {
  int fd = -1;
  int copies[kCopies] = {-1, -1, -1, -1};
  uint32_t users = 0;
  std::mutex lock;
  uint64_t next = 1;
};

struct Registry {
  std::mutex lock;
  std::map<std::string, std::shared_ptr<LogFile>> files;  // by resolved path
  std::map<uint32_t, std::pair<std::string, std::shared_ptr<LogFile>>> handles;
  uint32_t nextHandle = 1;
};

Registry &TheRegistry() {
  static Registry *registry = new Registry;  // lives until the process ends
  return *registry;
}

std::shared_ptr<LogFile> FileOf(uint32_t handle) {
  Registry &r = TheRegistry();
  std::lock_guard hold(r.lock);
  auto it = r.handles.find(handle);
  return it == r.handles.end() ? nullptr : it->second.second;
}

// The category copy of a record (1 to 3), or 0 for "traderec" only.
int CategoryOf(int code, const char *const *texts, int count) {
  switch (code) {
    case 3006:
    case 3009: return 2;
    case 3007:
    case 3010: return 3;
    case 3015: {
      const char *text = count > 0 ? texts[0] : nullptr;
      const char *field = text ? strchr(text, '|') : nullptr;
      if (!field || field[1] < '0' || field[1] > '2' || field[2] != '|') return 0;
      return 1 + (field[1] - '0');
    }
    default: return 0;
  }
}

bool Append(int fd, const std::string &line) {
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += size_t(n);
  }
  return true;
}

void OpenCopies(LogFile &file, const std::string &path) {
  static const char *const kSuffixes[kCopies] = {"traderec.txt", "tradere0.txt", "tradere1.txt", "tradere2.txt"};
  if (path.size() < 4 || strcasecmp(path.c_str() + path.size() - 4, ".phl") != 0) return;
  const std::string stem = path.substr(0, path.size() - 4);
  // Every record: the daily file under a second name, unless that name
  // can't be made (then a copy of its own).
  const std::string all = stem + kSuffixes[0];
  struct stat daily, named;
  const bool same = ::stat(path.c_str(), &daily) == 0 && ::stat(all.c_str(), &named) == 0 &&
                    daily.st_ino == named.st_ino && daily.st_dev == named.st_dev;
  if (!same) {
    ::unlink(all.c_str());
    if (::link(path.c_str(), all.c_str()) != 0)
      file.copies[0] = ::open(all.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  }
  for (int i = 1; i < kCopies; ++i)
    file.copies[i] = ::open((stem + kSuffixes[i]).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
}

int Write(uint32_t handle, int code, const char *const *texts, int count) {
  if (count < 0 || (count > 0 && !texts)) return kBadArgument;
  std::shared_ptr<LogFile> file = FileOf(handle);
  if (!file) return kBadHandle;
  SYSTEMTIME now;
  GetLocalTime(&now);
  std::string line;
  line.reserve(128);
  char head[64];
  std::lock_guard hold(file->lock);
  if (file->fd < 0) return kBadHandle;
  std::snprintf(head, sizeof head, "%llu|%02u:%02u:%02u.%03u|%d", static_cast<unsigned long long>(file->next),
                now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, code);
  line += head;
  for (int i = 0; i < count; ++i) {
    line += '|';
    if (texts[i]) line += texts[i];
  }
  line += "\r\n";
  // O_APPEND makes the one write land whole at the end of the file.
  if (!Append(file->fd, line)) return kWriteFailed;
  if (file->copies[0] >= 0) Append(file->copies[0], line);
  const int category = CategoryOf(code, texts, count);
  if (category && file->copies[category] >= 0) Append(file->copies[category], line);
  ++file->next;
  return kOk;
}

}  // namespace

KV_EXPORT int GetDllVersion() { return KVLOGGER_VERSION; }

KV_EXPORT int Open(const char *path, int mode, uint32_t *handle) {
  if (!path || !*path || !handle) return kBadArgument;
  *handle = 0;
  const std::string resolved = platform::ResolvePath(path);
  Registry &r = TheRegistry();
  std::lock_guard hold(r.lock);
  std::shared_ptr<LogFile> &file = r.files[resolved];
  if (!file) {
    auto made = std::make_shared<LogFile>();
    made->fd = ::open(resolved.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (made->fd < 0) {
      r.files.erase(resolved);
      return kCannotOpen;
    }
    OpenCopies(*made, resolved);
    file = made;
  }
  ++file->users;
  const uint32_t h = r.nextHandle++;
  if (r.nextHandle == 0) r.nextHandle = 1;
  r.handles[h] = {resolved, file};
  *handle = h;
  return kOk;
}

KV_EXPORT int Close(uint32_t handle) {
  Registry &r = TheRegistry();
  std::lock_guard hold(r.lock);
  auto it = r.handles.find(handle);
  if (it == r.handles.end()) return kBadHandle;
  const std::string path = it->second.first;
  std::shared_ptr<LogFile> file = it->second.second;
  r.handles.erase(it);
  if (--file->users == 0) {
    r.files.erase(path);
    std::lock_guard writing(file->lock);
    ::close(file->fd);
    file->fd = -1;
    for (int &copy : file->copies) {
      if (copy >= 0) ::close(copy);
      copy = -1;
    }
  }
  return kOk;
}

KV_EXPORT const char *GetErrorMsg(int code) {
  switch (code) {
    case kOk: return "成功";
    case kBadArgument: return "参数错误";
    case kCannotOpen: return "无法打开日志文件";
    case kBadHandle: return "日志句柄无效";
    case kWriteFailed: return "写日志文件失败";
    default: return "未知错误";
  }
}

KV_EXPORT int Log(uint32_t handle, int code, const char *text, int, int) {
  const char *texts[1] = {text};
  return Write(handle, code, texts, 1);
}

KV_EXPORT int Logs(uint32_t handle, int code, const char *const *texts, int count, int, int) {
  return Write(handle, code, texts, count);
}
