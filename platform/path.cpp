#include "platform/gbk.h"
#include "platform/path.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform {
namespace {

// Length of the character at s[i]: 2 for a GBK pair, else 1.
size_t CharLength(std::string_view s, size_t i) { return IsGbkPair(s, i) ? 2 : 1; }

unsigned char Lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; }
unsigned char Upper(unsigned char c) { return c >= 'a' && c <= 'z' ? c - 32 : c; }

std::string CurrentFolder() {
  std::string buffer(256, '\0');
  for (;;) {
    if (getcwd(buffer.data(), buffer.size())) {
      buffer.resize(strlen(buffer.c_str()));
      return buffer;
    }
    if (errno != ERANGE) return {};
    buffer.resize(buffer.size() * 2);
  }
}

bool Exists(const std::string &path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

// The entry of `folder` that matches `name` without regard to case; of
// several case variants the first in folded order wins, so the answer
// doesn't depend on the order the folder lists them.
bool FindNoCase(const std::string &folder, std::string_view name, std::string &found) {
  DIR *dir = opendir(folder.empty() ? "/" : folder.c_str());
  if (!dir) return false;
  bool any = false;
  while (dirent *entry = readdir(dir)) {
    std::string_view candidate(entry->d_name);
    if (!EqualNoCase(candidate, name)) continue;
    if (!any || candidate < std::string_view(found)) found.assign(candidate);
    any = true;
  }
  closedir(dir);
  return any;
}

}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size();) {
    size_t n = CharLength(a, i);
    if (n == 2) {
      // Equal lead bytes put both names inside the same GBK character.
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (Lower(static_cast<unsigned char>(a[i])) != Lower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
    i += n;
  }
  return true;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  size_t i = 0;
  for (; i < a.size() && i < b.size();) {
    size_t n = CharLength(a, i);
    size_t m = CharLength(b, i);
    unsigned char ca = static_cast<unsigned char>(a[i]);
    unsigned char cb = static_cast<unsigned char>(b[i]);
    if (n == 1) ca = Upper(ca);
    if (m == 1) cb = Upper(cb);
    if (ca != cb) return ca < cb ? -1 : 1;
    if (n == 2 && m == 2) {
      unsigned char ta = static_cast<unsigned char>(a[i + 1]);
      unsigned char tb = static_cast<unsigned char>(b[i + 1]);
      if (ta != tb) return ta < tb ? -1 : 1;
    }
    i += std::min(n, m);
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

size_t HashNoCase(std::string_view s) {
  uint64_t h = 1469598103934665603ULL;
  for (size_t i = 0; i < s.size();) {
    size_t n = CharLength(s, i);
    for (size_t k = 0; k < n; ++k) {
      unsigned char c = static_cast<unsigned char>(s[i + k]);
      if (n == 1) c = Lower(c);
      h = (h ^ c) * 1099511628211ULL;
    }
    i += n;
  }
  return static_cast<size_t>(h);
}

std::string ParentOf(const std::string &posixPath) {
  size_t slash = posixPath.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return posixPath.substr(0, slash);
}

std::string_view LastComponent(std::string_view posixPath) {
  size_t slash = posixPath.find_last_of('/');
  return slash == std::string_view::npos ? posixPath : posixPath.substr(slash + 1);
}

std::string ResolvePath(const char *windowsPath) {
  if (!windowsPath || !*windowsPath) return {};
  std::string_view in(windowsPath);

  // Backslashes to slashes, stepping over GBK pairs: a trail byte may be
  // 0x5C and is part of a character, not a separator.
  std::string text;
  text.reserve(in.size());
  for (size_t i = 0; i < in.size();) {
    size_t n = CharLength(in, i);
    if (n == 1 && in[i] == '\\')
      text.push_back('/');
    else
      text.append(in.substr(i, n));
    i += n;
  }

  // There is one drive: "X:\..." is the root; "X:name" is relative.
  if (text.size() >= 2 && text[1] == ':' &&
      ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')))
    text.erase(0, 2);

  // Relative paths start at the current folder; when that is gone, they
  // stay relative.
  std::string base;
  bool absolute = true;
  if (text.empty() || text[0] != '/') {
    base = CurrentFolder();
    absolute = !base.empty();
  }

  // Split and apply "." and ".." to the text, as Windows does. Above the
  // root ".." stays at the root; without a known current folder a leading
  // ".." is left for the kernel.
  std::vector<std::string_view> parts;
  auto add = [&parts, absolute](std::string_view s) {
    size_t i = 0;
    while (i <= s.size()) {
      size_t j = s.find('/', i);
      if (j == std::string_view::npos) j = s.size();
      std::string_view part = s.substr(i, j - i);
      if (part == "..") {
        if (!parts.empty() && parts.back() != "..")
          parts.pop_back();
        else if (!absolute)
          parts.push_back(part);
      } else if (!part.empty() && part != ".") {
        parts.push_back(part);
      }
      i = j + 1;
    }
  };
  if (absolute) add(base);
  add(text);

  std::string exact = absolute ? "" : ".";
  for (auto part : parts) {
    exact += '/';
    exact += part;
  }
  if (exact.empty()) return "/";
  if (Exists(exact)) return exact;

  // Some component differs in case (or is missing): walk the path.
  std::string resolved = absolute ? "" : ".";
  bool missing = false;
  std::string candidate, match;
  for (auto part : parts) {
    std::string folder = resolved.empty() ? "/" : resolved;
    candidate = resolved + "/";
    candidate += part;
    if (!missing && part != ".." && !Exists(candidate)) {
      if (FindNoCase(folder, part, match)) {
        candidate = resolved + "/" + match;
      } else {
        missing = true;
      }
    }
    resolved = std::move(candidate);
  }
  return resolved.empty() ? "/" : resolved;
}

std::string ToWindowsPath(const std::string &posix) {
  std::string out(posix);
  for (char &c : out)
    if (c == '/') c = '\\';
  return out;
}

DWORD ErrorFromErrno(int err, const std::string &posixPath) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT: {
      struct stat st;
      std::string folder = ParentOf(posixPath);
      return stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? ERROR_FILE_NOT_FOUND
                                                                   : ERROR_PATH_NOT_FOUND;
    }
    case ENOTDIR:
    case ELOOP:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EXDEV:
      return ERROR_NOT_SAME_DEVICE;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EBUSY:
      return ERROR_SHARING_VIOLATION;
    default:
      return ERROR_GEN_FAILURE;
  }
}

}  // namespace platform
