#include "platform/fileapi.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gbk.h"
#include "platform/path.h"

namespace platform {

FILETIME FileTimeFromTimespec(const timespec &ts) {
  int64_t ticks = kFileTimeUnixEpoch + int64_t(ts.tv_sec) * 10000000 + ts.tv_nsec / 100;
  if (ticks < 0) ticks = 0;
  FILETIME ft;
  ft.dwLowDateTime = DWORD(uint64_t(ticks));
  ft.dwHighDateTime = DWORD(uint64_t(ticks) >> 32);
  return ft;
}

timespec TimespecFromFileTime(const FILETIME &ft) {
  int64_t ticks = int64_t((uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime) - kFileTimeUnixEpoch;
  timespec ts;
  int64_t seconds = ticks / 10000000;
  int64_t rest = ticks % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  ts.tv_sec = time_t(seconds);
  ts.tv_nsec = long(rest * 100);
  return ts;
}

DWORD WriteFileReplacing(const std::string &posixPath, std::string_view contents, std::string *tempName) {
  static std::atomic<unsigned> counter{0};
  struct stat old;
  bool existed = stat(posixPath.c_str(), &old) == 0;
  if (existed && (S_ISDIR(old.st_mode) || (old.st_mode & 0222) == 0)) return ERROR_ACCESS_DENIED;
  std::string name(1, '.');
  name.append(LastComponent(posixPath));
  name.append(".kivo-").append(std::to_string(getpid())).append("-").append(std::to_string(counter.fetch_add(1)));
  std::string folder = ParentOf(posixPath);
  std::string temp = folder == "/" ? "/" + name : folder + "/" + name;
  // A new file gets the usual permissions under the umask; a replacement
  // keeps the old file's.
  int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? 0600 : 0666);
  if (fd < 0) return ErrorFromErrno(errno, temp);
  DWORD error = ERROR_SUCCESS;
  for (size_t done = 0; done < contents.size() && !error;) {
    ssize_t put = write(fd, contents.data() + done, contents.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0)
      error = ErrorFromErrno(errno, temp);
    else
      done += size_t(put);
  }
  if (!error && existed && fchmod(fd, old.st_mode & 07777) != 0) error = ErrorFromErrno(errno, temp);
  if (close(fd) != 0 && !error) error = ErrorFromErrno(errno, temp);
  if (!error && rename(temp.c_str(), posixPath.c_str()) != 0) error = ErrorFromErrno(errno, posixPath);
  if (error) unlink(temp.c_str());
  if (tempName) *tempName = name;
  return error;
}

}  // namespace platform

using namespace platform;

namespace {

struct FileObject : KernelObject {
  int fd = -1;
  std::string path;
  bool deleteOnClose = false;
  ~FileObject() override {
    if (deleteOnClose) unlink(path.c_str());
    if (fd >= 0) close(fd);
  }
};

struct FindObject : KernelObject {
  std::string folder;
  std::vector<std::string> names;
  size_t next = 0;
};

bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

bool FailErrno(const std::string &path) { return Fail(ErrorFromErrno(errno, path)); }

// On a valid handle a refused descriptor means the handle lacks that access.
DWORD HandleError(int err) { return err == EBADF ? ERROR_ACCESS_DENIED : err == EFAULT ? ERROR_NOACCESS : ErrorFromErrno(err, {}); }

bool ReadOnly(const struct stat &st) { return !S_ISDIR(st.st_mode) && (st.st_mode & 0222) == 0; }

DWORD AttributesOf(const struct stat &st) {
  DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if ((st.st_mode & 0222) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

void FillAttributeData(const struct stat &st, WIN32_FILE_ATTRIBUTE_DATA &data) {
  data.dwFileAttributes = AttributesOf(st);
  // stat has no birth time; the last write time stands in for it.
  data.ftCreationTime = FileTimeFromTimespec(st.st_mtim);
  data.ftLastAccessTime = FileTimeFromTimespec(st.st_atim);
  data.ftLastWriteTime = FileTimeFromTimespec(st.st_mtim);
  data.nFileSizeHigh = DWORD(uint64_t(st.st_size) >> 32);
  data.nFileSizeLow = DWORD(uint64_t(st.st_size));
}

// Resolves a caller's path; an empty or null one fails as Windows does.
bool Resolve(LPCSTR name, std::string &path) {
  if (!name) return Fail(ERROR_INVALID_PARAMETER);
  if (!*name) return Fail(ERROR_PATH_NOT_FOUND);
  path = ResolvePath(name);
  return true;
}

// Index just past the last separator of a Windows-form path (GBK-aware:
// a trail byte 0x5C is no separator), or 0 when there is none.
size_t LastSeparatorEnd(std::string_view s) {
  size_t end = 0;
  for (size_t i = 0; i < s.size();) {
    auto c = static_cast<unsigned char>(s[i]);
    if (IsGbkPair(s, i)) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/') end = i + 1;
    ++i;
  }
  return end;
}

size_t CharLength(std::string_view s, size_t i) { return IsGbkPair(s, i) ? 2 : 1; }

// '*' matches any run of characters, '?' one character (a GBK pair is one
// character); letters match without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  size_t p = 0, n = 0;
  size_t starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = ++p;
      starN = n;
      continue;
    }
    if (p < pattern.size()) {
      size_t pl = CharLength(pattern, p), nl = CharLength(name, n);
      if (pl == 1 && pattern[p] == '?') {
        p += 1;
        n += nl;
        continue;
      }
      if (pl == nl && EqualNoCase(pattern.substr(p, pl), name.substr(n, nl))) {
        p += pl;
        n += nl;
        continue;
      }
    }
    if (starP == std::string_view::npos) return false;
    starN += CharLength(name, starN);
    n = starN;
    p = starP;
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool NextFound(FindObject &find, WIN32_FIND_DATAA *data) {
  while (find.next < find.names.size()) {
    const std::string &name = find.names[find.next++];
    std::string full = find.folder == "/" ? "/" + name : find.folder + "/" + name;
    struct stat st;
    if (stat(full.c_str(), &st) != 0 && lstat(full.c_str(), &st) != 0) continue;  // gone meanwhile
    if (name.size() >= sizeof data->cFileName) continue;
    WIN32_FILE_ATTRIBUTE_DATA info;
    FillAttributeData(st, info);
    memset(data, 0, sizeof *data);
    data->dwFileAttributes = info.dwFileAttributes;
    data->ftCreationTime = info.ftCreationTime;
    data->ftLastAccessTime = info.ftLastAccessTime;
    data->ftLastWriteTime = info.ftLastWriteTime;
    data->nFileSizeHigh = info.nFileSizeHigh;
    data->nFileSizeLow = info.nFileSizeLow;
    memcpy(data->cFileName, name.data(), name.size());
    return true;
  }
  return false;
}

// Copies an open file's bytes, permissions and write time to `to`.
bool CopyContents(int in, const struct stat &from, const std::string &to, bool failIfExists) {
  int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0), 0666);
  if (out < 0) {
    if (errno == EEXIST) return Fail(ERROR_FILE_EXISTS);
    return FailErrno(to);
  }
  std::vector<char> buffer(1 << 16);
  for (;;) {
    ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      if (got == 0) break;
      int err = errno;
      close(out);
      unlink(to.c_str());
      return Fail(HandleError(err));
    }
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(out, buffer.data() + done, size_t(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put < 0) {
        int err = errno;
        close(out);
        unlink(to.c_str());
        return Fail(ErrorFromErrno(err, to));
      }
      done += put;
    }
  }
  fchmod(out, from.st_mode & 07777);
  timespec times[2] = {from.st_atim, from.st_mtim};
  futimens(out, times);
  if (close(out) != 0) return FailErrno(to);
  return true;
}

bool SameFile(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

DWORD ReturnPath(const std::string &path, DWORD length, LPSTR buffer) {
  if (buffer && length > path.size()) {
    memcpy(buffer, path.c_str(), path.size() + 1);
    return DWORD(path.size());
  }
  if (buffer && length > 0) buffer[0] = '\0';
  return DWORD(path.size() + 1);
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile) {
  std::string path;
  if (!Resolve(fileName, path)) return INVALID_HANDLE_VALUE;
  if (creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  bool wantWrite = desiredAccess & (GENERIC_WRITE | GENERIC_ALL);
  bool wantRead = desiredAccess & (GENERIC_READ | GENERIC_ALL);
  if (creationDisposition == TRUNCATE_EXISTING && !wantWrite) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  int flags = O_CLOEXEC | (wantWrite ? (wantRead ? O_RDWR : O_WRONLY) : O_RDONLY);
  mode_t mode = (flagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

  struct stat st;
  bool existed = stat(path.c_str(), &st) == 0;
  if (existed) {
    if (creationDisposition == CREATE_NEW) {
      SetLastError(ERROR_FILE_EXISTS);
      return INVALID_HANDLE_VALUE;
    }
    if (S_ISDIR(st.st_mode)) {
      bool opensExisting = creationDisposition == OPEN_EXISTING || creationDisposition == OPEN_ALWAYS;
      if (!(flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) || !opensExisting) {
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
      }
      flags = O_CLOEXEC | O_RDONLY | O_DIRECTORY;
    } else if (ReadOnly(st) && (wantWrite || creationDisposition == CREATE_ALWAYS)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE;
    }
  }
  switch (creationDisposition) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      flags |= O_TRUNC;
      break;
    default:
      break;
  }
  int fd = open(path.c_str(), flags, mode);
  if (fd < 0) {
    SetLastError(errno == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(errno, path));
    return INVALID_HANDLE_VALUE;
  }
  auto file = std::make_shared<FileObject>();
  file->fd = fd;
  file->path = path;
  file->deleteOnClose = flagsAndAttributes & FILE_FLAG_DELETE_ON_CLOSE;
  HANDLE handle = InsertHandle(std::move(file));
  if (!handle) return INVALID_HANDLE_VALUE;
  bool reportExisting =
      existed && (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS);
  SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, void *overlapped) {
  if (bytesRead) *bytesRead = 0;
  if (overlapped) return Fail(ERROR_INVALID_PARAMETER);
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (!buffer && bytesToRead) return Fail(ERROR_NOACCESS);
  size_t done = 0;
  while (done < bytesToRead) {
    ssize_t got = read(object->fd, static_cast<char *>(buffer) + done, bytesToRead - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      if (bytesRead) *bytesRead = DWORD(done);
      return Fail(HandleError(errno));
    }
    if (got == 0) break;
    done += size_t(got);
  }
  if (bytesRead) *bytesRead = DWORD(done);
  return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, void *overlapped) {
  if (bytesWritten) *bytesWritten = 0;
  if (overlapped) return Fail(ERROR_INVALID_PARAMETER);
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (!buffer && bytesToWrite) return Fail(ERROR_NOACCESS);
  size_t done = 0;
  while (done < bytesToWrite) {
    ssize_t put = write(object->fd, static_cast<const char *>(buffer) + done, bytesToWrite - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) {
      if (bytesWritten) *bytesWritten = DWORD(done);
      return Fail(HandleError(errno));
    }
    done += size_t(put);
  }
  if (bytesWritten) *bytesWritten = DWORD(done);
  return TRUE;
}

namespace {

bool Seek(HANDLE file, int64_t distance, DWORD method, bool limit32, int64_t &position) {
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  int64_t base;
  switch (method) {
    case FILE_BEGIN:
      base = 0;
      break;
    case FILE_CURRENT:
      base = lseek(object->fd, 0, SEEK_CUR);
      break;
    case FILE_END: {
      struct stat st;
      base = fstat(object->fd, &st) == 0 ? int64_t(st.st_size) : -1;
      break;
    }
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  if (base < 0) return Fail(HandleError(errno));
  int64_t target;
  if (__builtin_add_overflow(base, distance, &target)) return Fail(ERROR_INVALID_PARAMETER);
  if (target < 0) return Fail(ERROR_NEGATIVE_SEEK);
  if (limit32 && target > int64_t(0xFFFFFFFEu)) return Fail(ERROR_INVALID_PARAMETER);
  if (lseek(object->fd, off_t(target), SEEK_SET) < 0) return Fail(HandleError(errno));
  position = target;
  return true;
}

}  // namespace

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
  int64_t move = distanceHigh ? int64_t((uint64_t(uint32_t(*distanceHigh)) << 32) | uint32_t(distance))
                              : int64_t(distance);
  int64_t position;
  if (!Seek(file, move, moveMethod, !distanceHigh, position)) return INVALID_SET_FILE_POINTER;
  if (distanceHigh) *distanceHigh = LONG(position >> 32);
  DWORD low = DWORD(uint64_t(position));
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD moveMethod) {
  int64_t position;
  if (!Seek(file, distance.QuadPart, moveMethod, false, position)) return FALSE;
  if (newPosition) newPosition->QuadPart = position;
  return TRUE;
}

BOOL SetEndOfFile(HANDLE file) {
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  off_t position = lseek(object->fd, 0, SEEK_CUR);
  if (position < 0 || ftruncate(object->fd, position) != 0)
    return Fail(errno == EINVAL ? ERROR_ACCESS_DENIED : HandleError(errno));
  return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return INVALID_FILE_SIZE;
  if (fileSizeHigh) *fileSizeHigh = DWORD(uint64_t(size.QuadPart) >> 32);
  DWORD low = DWORD(uint64_t(size.QuadPart));
  if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return low;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize) {
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (!fileSize) return Fail(ERROR_INVALID_PARAMETER);
  struct stat st;
  if (fstat(object->fd, &st) != 0) return Fail(HandleError(errno));
  fileSize->QuadPart = st.st_size;
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (fsync(object->fd) != 0 && errno != EINVAL) return Fail(HandleError(errno));
  return TRUE;
}

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  struct statx sx;
  if (statx(object->fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return Fail(HandleError(errno));
  auto convert = [](const statx_timestamp &t) {
    timespec ts;
    ts.tv_sec = time_t(t.tv_sec);
    ts.tv_nsec = long(t.tv_nsec);
    return FileTimeFromTimespec(ts);
  };
  if (creation) *creation = convert((sx.stx_mask & STATX_BTIME) ? sx.stx_btime : sx.stx_mtime);
  if (lastAccess) *lastAccess = convert(sx.stx_atime);
  if (lastWrite) *lastWrite = convert(sx.stx_mtime);
  return TRUE;
}

BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess, const FILETIME *lastWrite) {
  auto object = ReferenceHandleAs<FileObject>(file);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  auto pick = [](const FILETIME *ft) {
    timespec ts{};
    bool leave = !ft || (ft->dwLowDateTime == 0 && ft->dwHighDateTime == 0) ||
                 (ft->dwLowDateTime == 0xFFFFFFFFu && ft->dwHighDateTime == 0xFFFFFFFFu);
    if (leave)
      ts.tv_nsec = UTIME_OMIT;
    else
      ts = TimespecFromFileTime(*ft);
    return ts;
  };
  timespec times[2] = {pick(lastAccess), pick(lastWrite)};
  if (futimens(object->fd, times) != 0) return Fail(HandleError(errno));
  return TRUE;
}

HANDLE FindFirstFileA(LPCSTR fileName, LPWIN32_FIND_DATAA findData) {
  if (!fileName || !findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  std::string_view text(fileName);
  size_t split = LastSeparatorEnd(text);
  std::string folderText(text.substr(0, split));
  std::string_view pattern = text.substr(split);
  if (split == 0 && text.size() >= 2 && text[1] == ':') {  // "X:*.txt"
    folderText = std::string(text.substr(0, 2));
    pattern = text.substr(2);
  }
  auto find = std::make_shared<FindObject>();
  find->folder = ResolvePath(folderText.empty() ? "." : folderText.c_str());
  DIR *dir = opendir(find->folder.c_str());
  if (!dir) {
    SetLastError(errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  while (dirent *entry = readdir(dir)) {
    if (WildcardMatch(pattern, entry->d_name)) find->names.emplace_back(entry->d_name);
  }
  closedir(dir);
  auto rank = [](const std::string &name) { return name == "." ? 0 : name == ".." ? 1 : 2; };
  std::sort(find->names.begin(), find->names.end(), [&](const std::string &a, const std::string &b) {
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    int order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
  });
  if (!NextFound(*find, findData)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = InsertHandle(std::move(find));
  return handle ? handle : INVALID_HANDLE_VALUE;
}

BOOL FindNextFileA(HANDLE find, LPWIN32_FIND_DATAA findData) {
  auto object = ReferenceHandleAs<FindObject>(find);
  if (!object) return Fail(ERROR_INVALID_HANDLE);
  if (!findData) return Fail(ERROR_INVALID_PARAMETER);
  if (!NextFound(*object, findData)) return Fail(ERROR_NO_MORE_FILES);
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!ReferenceHandleAs<FindObject>(find)) return Fail(ERROR_INVALID_HANDLE);
  return CloseHandle(find);
}

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
  std::string from, to;
  if (!Resolve(existingFile, from) || !Resolve(newFile, to)) return FALSE;
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno(from);
  struct stat source, target;
  bool ok = fstat(in, &source) == 0;
  if (!ok) {
    Fail(HandleError(errno));
  } else if (S_ISDIR(source.st_mode)) {
    ok = Fail(ERROR_ACCESS_DENIED);
  } else if (stat(to.c_str(), &target) == 0) {
    if (failIfExists)
      ok = Fail(ERROR_FILE_EXISTS);
    else if (SameFile(source, target))
      ok = Fail(ERROR_SHARING_VIOLATION);  // Windows refuses to copy a file onto itself
    else if (S_ISDIR(target.st_mode) || ReadOnly(target))
      ok = Fail(ERROR_ACCESS_DENIED);
  }
  if (ok) ok = CopyContents(in, source, to, failIfExists);
  close(in);
  return ok;
}

BOOL MoveFileA(LPCSTR existingFile, LPCSTR newFile) {
  return MoveFileExA(existingFile, newFile, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExA(LPCSTR existingFile, LPCSTR newFile, DWORD flags) {
  std::string from, to;
  if (!newFile) return Fail(ERROR_INVALID_PARAMETER);
  if (!Resolve(existingFile, from) || !Resolve(newFile, to)) return FALSE;
  struct stat source, target;
  if (lstat(from.c_str(), &source) != 0) return FailErrno(from);
  if (lstat(to.c_str(), &target) == 0) {
    if (SameFile(source, target) && ParentOf(from) == ParentOf(to) &&
        EqualNoCase(LastComponent(from), LastComponent(to))) {
      // The same file under another spelling: a change of case only.
      std::string_view given(newFile);
      std::string renamed = ParentOf(to) + "/" + std::string(given.substr(LastSeparatorEnd(given)));
      if (renamed == from || LastComponent(renamed).empty()) return TRUE;
      if (rename(from.c_str(), renamed.c_str()) != 0) return FailErrno(renamed);
      return TRUE;
    }
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return Fail(ERROR_ALREADY_EXISTS);
    if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode) || ReadOnly(target))
      return Fail(ERROR_ACCESS_DENIED);
    if (rename(from.c_str(), to.c_str()) == 0) return TRUE;
  } else {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return TRUE;
    if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
    if ((errno == EINVAL || errno == ENOSYS) && rename(from.c_str(), to.c_str()) == 0) return TRUE;
  }
  if (errno != EXDEV) return FailErrno(to);
  if (!(flags & MOVEFILE_COPY_ALLOWED) || !S_ISREG(source.st_mode)) return Fail(ERROR_NOT_SAME_DEVICE);
  // Another volume: copy, then remove the original.
  int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return FailErrno(from);
  bool ok = CopyContents(in, source, to, !(flags & MOVEFILE_REPLACE_EXISTING));
  close(in);
  if (ok && unlink(from.c_str()) != 0) return FailErrno(from);
  return ok;
}

BOOL DeleteFileA(LPCSTR fileName) {
  std::string path;
  if (!Resolve(fileName, path)) return FALSE;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return FailErrno(path);
  if (S_ISDIR(st.st_mode) || (S_ISREG(st.st_mode) && ReadOnly(st))) return Fail(ERROR_ACCESS_DENIED);
  if (unlink(path.c_str()) != 0) return FailErrno(path);
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES security) {
  std::string path;
  if (!Resolve(pathName, path)) return FALSE;
  if (mkdir(path.c_str(), 0777) == 0) return TRUE;
  if (errno == EEXIST) return Fail(ERROR_ALREADY_EXISTS);
  if (errno == ENOENT) return Fail(ERROR_PATH_NOT_FOUND);
  return FailErrno(path);
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
  std::string path;
  if (!Resolve(pathName, path)) return FALSE;
  if (rmdir(path.c_str()) == 0) return TRUE;
  if (errno == ENOTDIR) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return Fail(ERROR_DIRECTORY);
  }
  return FailErrno(path);
}

DWORD GetFileAttributesA(LPCSTR fileName) {
  std::string path;
  if (!Resolve(fileName, path)) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    FailErrno(path);
    return INVALID_FILE_ATTRIBUTES;
  }
  return AttributesOf(st);
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
  std::string path;
  if (!Resolve(fileName, path)) return FALSE;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FailErrno(path);
  mode_t mode = st.st_mode & 07777;
  if (attributes & FILE_ATTRIBUTE_READONLY)
    mode &= ~mode_t(0222);
  else if ((mode & 0222) == 0)
    mode |= S_IWUSR;
  if (mode != (st.st_mode & 07777) && chmod(path.c_str(), mode) != 0) return FailErrno(path);
  return TRUE;
}

BOOL GetFileAttributesExA(LPCSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID information) {
  if (level != GetFileExInfoStandard || !information) return Fail(ERROR_INVALID_PARAMETER);
  std::string path;
  if (!Resolve(fileName, path)) return FALSE;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return FailErrno(path);
  FillAttributeData(st, *static_cast<WIN32_FILE_ATTRIBUTE_DATA *>(information));
  return TRUE;
}

namespace {

bool VolumeOf(LPCSTR directory, struct statvfs &vfs) {
  std::string path = directory && *directory ? ResolvePath(directory) : std::string(".");
  if (statvfs(path.c_str(), &vfs) != 0) return FailErrno(path);
  return true;
}

}  // namespace

BOOL GetDiskFreeSpaceExA(LPCSTR directory, PULARGE_INTEGER freeBytesAvailableToCaller, PULARGE_INTEGER totalBytes,
                         PULARGE_INTEGER totalFreeBytes) {
  struct statvfs vfs;
  if (!VolumeOf(directory, vfs)) return FALSE;
  uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  if (freeBytesAvailableToCaller) freeBytesAvailableToCaller->QuadPart = uint64_t(vfs.f_bavail) * unit;
  if (totalBytes) totalBytes->QuadPart = uint64_t(vfs.f_blocks) * unit;
  if (totalFreeBytes) totalFreeBytes->QuadPart = uint64_t(vfs.f_bfree) * unit;
  return TRUE;
}

BOOL GetDiskFreeSpaceA(LPCSTR rootPath, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                       LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters) {
  struct statvfs vfs;
  if (!VolumeOf(rootPath, vfs)) return FALSE;
  uint64_t unit = vfs.f_frsize ? vfs.f_frsize : vfs.f_bsize;
  uint64_t sectors = std::max<uint64_t>(1, unit / 512);
  auto clusters = [&](uint64_t blocks) { return DWORD(std::min<uint64_t>(blocks * unit / (sectors * 512), 0xFFFFFFFFu)); };
  if (sectorsPerCluster) *sectorsPerCluster = DWORD(sectors);
  if (bytesPerSector) *bytesPerSector = 512;
  if (numberOfFreeClusters) *numberOfFreeClusters = clusters(vfs.f_bavail);
  if (totalNumberOfClusters) *totalNumberOfClusters = clusters(vfs.f_blocks);
  return TRUE;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
  std::string cwd(256, '\0');
  while (!getcwd(cwd.data(), cwd.size())) {
    if (errno != ERANGE) {
      SetLastError(ErrorFromErrno(errno, {}));
      return 0;
    }
    cwd.resize(cwd.size() * 2);
  }
  cwd.resize(strlen(cwd.c_str()));
  return ReturnPath(ToWindowsPath(cwd), bufferLength, buffer);
}

BOOL SetCurrentDirectoryA(LPCSTR pathName) {
  std::string path;
  if (!Resolve(pathName, path)) return FALSE;
  if (chdir(path.c_str()) == 0) return TRUE;
  if (errno == ENOTDIR) {
    struct stat st;
    if (stat(path.c_str(), &st) == 0) return Fail(ERROR_DIRECTORY);
  }
  return FailErrno(path);
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
  const char *env = getenv("TMPDIR");
  std::string path = env && env[0] == '/' ? env : "/tmp";
  path = ToWindowsPath(path);
  if (path.back() != '\\') path += '\\';
  return ReturnPath(path, bufferLength, buffer);
}
