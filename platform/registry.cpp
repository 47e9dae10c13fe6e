#include "platform/registry.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/path.h"

namespace platform {

std::string RegistryFilePath() {
  const char *file = getenv("KIVO_REGISTRY_FILE");
  if (file && *file) return file;
  const char *config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/kivo/registry.ini";
  const char *home = getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.config/kivo/registry.ini";
}

}  // namespace platform

namespace {

using platform::CompareNoCase;
using platform::EqualNoCase;

struct NoCaseLess {
  bool operator()(const std::string &a, const std::string &b) const { return CompareNoCase(a, b) < 0; }
};

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;  // the bytes as stored; a string includes its NUL
};

struct Key {
  std::string path;  // as first spelled
  std::vector<Value> values;

  Value *Find(std::string_view name) {
    for (Value &value : values)
      if (EqualNoCase(value.name, name)) return &value;
    return nullptr;
  }
};

struct OpenKey {
  std::string path;
  REGSAM access = 0;
};

const char *const kRoots[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
const char kTimeZones[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Time Zones";

// Splits a key path at backslashes that are characters of their own (a GBK
// trail byte may be 0x5C); empty parts are dropped.
std::vector<std::string> SplitPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (size_t i = 0; i < path.size(); ++i) {
    auto c = static_cast<unsigned char>(path[i]);
    if (platform::IsGbkPair(path, i)) {
      part += path[i];
      part += path[++i];
    } else if (c == '\\') {
      if (!part.empty()) parts.push_back(std::move(part));
      part.clear();
    } else {
      part += path[i];
    }
  }
  if (!part.empty()) parts.push_back(std::move(part));
  return parts;
}

// ---------------------------------------------------------------------------
// The store's text form.

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"')
      out += '\\', out += c;
    else if (c == '\n')
      out += "\\n";
    else if (c == '\r')
      out += "\\r";
    else
      out += c;
  }
  return out + "\"";
}

// Reads a quoted text at s[i] (s[i] == '"'); i ends past the closing quote.
bool Unquote(std::string_view s, size_t &i, std::string &out) {
  out.clear();
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      ++i;
      return true;
    }
    if (c == '\\' && i + 1 < s.size()) {
      c = s[++i];
      out += c == 'n' ? '\n' : c == 'r' ? '\r' : c;
    } else {
      out += c;
    }
  }
  return false;
}

std::string Hex(std::string_view bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) out += ',';
    auto b = static_cast<unsigned char>(bytes[i]);
    out += digits[b >> 4];
    out += digits[b & 15];
  }
  return out;
}

bool ParseHex(std::string_view s, std::string &out) {
  out.clear();
  int high = -1;
  for (char c : s) {
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    if (v < 0) {
      if (c == ',' || c == ' ' || c == '\t' || c == '\\') {
        if (high >= 0) out += char(high), high = -1;
        continue;
      }
      return false;
    }
    high = high < 0 ? v : high * 16 + v;
    if (high > 0xFF) return false;
  }
  if (high >= 0) out += char(high);
  return true;
}

std::string FormatData(const Value &value) {
  if (value.type == REG_SZ) {
    std::string_view text(value.data);
    if (!text.empty() && text.back() == '\0') text.remove_suffix(1);
    return Quote(text);
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t v;
    memcpy(&v, value.data.data(), 4);
    char buffer[16];
    snprintf(buffer, sizeof buffer, "dword:%08x", v);
    return buffer;
  }
  if (value.type == REG_BINARY) return "hex:" + Hex(value.data);
  return "hex(" + std::to_string(value.type) + "):" + Hex(value.data);
}

bool ParseData(std::string_view s, Value &value) {
  if (!s.empty() && s[0] == '"') {
    size_t i = 0;
    if (!Unquote(s, i, value.data)) return false;
    value.data.push_back('\0');
    value.type = REG_SZ;
    return true;
  }
  if (s.substr(0, 6) == "dword:") {
    std::string digits(s.substr(6));
    char *end;
    unsigned long v = strtoul(digits.c_str(), &end, 16);
    if (digits.empty() || *end || v > 0xFFFFFFFFul) return false;
    uint32_t v32 = uint32_t(v);
    value.data.assign(reinterpret_cast<const char *>(&v32), 4);
    value.type = REG_DWORD;
    return true;
  }
  if (s.substr(0, 4) == "hex:") {
    value.type = REG_BINARY;
    return ParseHex(s.substr(4), value.data);
  }
  if (s.substr(0, 4) == "hex(") {
    size_t close = s.find("):");
    if (close == std::string_view::npos) return false;
    std::string number(s.substr(4, close - 4));
    char *end;
    unsigned long type = strtoul(number.c_str(), &end, 16);
    if (number.empty() || *end) return false;
    value.type = DWORD(type);
    return ParseHex(s.substr(close + 2), value.data);
  }
  return false;
}

// ---------------------------------------------------------------------------
// The seeded time-zone table.

struct Rule {
  WORD month, dayOfWeek, week, hour;
};

std::string Tzi(LONG bias, LONG standardBias, LONG daylightBias, Rule standard, Rule daylight) {
  std::string out;
  auto put32 = [&](LONG v) {
    for (int i = 0; i < 4; ++i) out += char((uint32_t(v) >> (8 * i)) & 0xFF);
  };
  auto putDate = [&](const Rule &r) {
    WORD fields[8] = {0, r.month, r.dayOfWeek, r.week, r.hour, 0, 0, 0};
    for (WORD f : fields) out += char(f & 0xFF), out += char(f >> 8);
  };
  put32(bias);
  put32(standardBias);
  put32(daylightBias);
  putDate(standard);
  putDate(daylight);
  return out;  // 44 bytes: the registry's REG_TZI_FORMAT
}

struct Zone {
  const char *key, *display, *standard, *daylight;
  LONG bias, daylightBias;
  Rule standardDate, daylightDate;
};

const Zone kZones[] = {
    {"China Standard Time", "(UTC+08:00) 北京，重庆，香港特别行政区，乌鲁木齐", "中国标准时间", "中国夏令时", -480, -60, {}, {}},
    {"Tokyo Standard Time", "(UTC+09:00) Osaka, Sapporo, Tokyo", "Tokyo Standard Time", "Tokyo Daylight Time", -540, -60, {}, {}},
    {"UTC", "(UTC) Coordinated Universal Time", "Coordinated Universal Time", "Coordinated Universal Time", 0, 0, {}, {}},
    // US zones: back on the first Sunday of November, forward on the second
    // Sunday of March, both at 02:00.
    {"Eastern Standard Time", "(UTC-05:00) Eastern Time (US & Canada)", "Eastern Standard Time",
     "Eastern Daylight Time", 300, -60, {11, 0, 1, 2}, {3, 0, 2, 2}},
    {"Pacific Standard Time", "(UTC-08:00) Pacific Time (US & Canada)", "Pacific Standard Time",
     "Pacific Daylight Time", 480, -60, {11, 0, 1, 2}, {3, 0, 2, 2}},
    // London: back on the last Sunday of October at 02:00, forward on the
    // last Sunday of March at 01:00.
    {"GMT Standard Time", "(UTC+00:00) Dublin, Edinburgh, Lisbon, London", "GMT Standard Time", "GMT Daylight Time",
     0, -60, {10, 0, 5, 2}, {3, 0, 5, 1}},
};

// ---------------------------------------------------------------------------

class Registry {
 public:
  std::mutex lock;

  // Brings the store in line with its file; the caller holds `lock`.
  void Refresh() {
    std::string path = platform::RegistryFilePath();
    struct stat st;
    bool exists = stat(path.c_str(), &st) == 0;
    if (loaded_ && path == path_ && exists == exists_ &&
        (!exists || (st.st_ino == stat_.st_ino && st.st_size == stat_.st_size &&
                     st.st_mtim.tv_sec == stat_.st_mtim.tv_sec && st.st_mtim.tv_nsec == stat_.st_mtim.tv_nsec)))
      return;
    path_ = path;
    exists_ = exists;
    if (exists) stat_ = st;
    keys_.clear();
    for (const char *root : kRoots) keys_[root].path = root;
    std::string text;
    if (exists) Read(path, text);
    Parse(text);
    Seed();
    loaded_ = true;
  }

  Key *Find(const std::string &path) {
    auto it = keys_.find(path);
    return it == keys_.end() ? nullptr : &it->second;
  }

  // Creates the key and every missing key above it; true when it was new.
  bool Create(const std::string &path) {
    auto parts = SplitPath(path);
    std::string at;
    bool created = false;
    for (const std::string &part : parts) {
      at = at.empty() ? part : at + "\\" + part;
      auto [it, added] = keys_.try_emplace(at);
      if (added) it->second.path = at;
      created = added;
    }
    return created;
  }

  std::vector<std::string> Children(const std::string &path) {
    std::vector<std::string> names;
    size_t depth = SplitPath(path).size();
    for (auto &[name, key] : keys_) {
      auto parts = SplitPath(key.path);
      if (parts.size() != depth + 1) continue;
      std::string parent;
      for (size_t i = 0; i < depth; ++i) parent += (i ? "\\" : "") + parts[i];
      if (EqualNoCase(parent, path)) names.push_back(parts.back());
    }
    std::sort(names.begin(), names.end(), [](const std::string &a, const std::string &b) { return CompareNoCase(a, b) < 0; });
    return names;
  }

  LSTATUS Save() {
    std::string text;
    for (auto &[name, key] : keys_) {
      if (key.values.empty() && SplitPath(key.path).size() == 1) continue;  // a root
      text += "[" + key.path + "]\n";
      for (const Value &value : key.values)
        text += (value.name.empty() ? std::string("@") : Quote(value.name)) + "=" + FormatData(value) + "\n";
      text += "\n";
    }
    MakeFolders(platform::ParentOf(path_));
    DWORD error = platform::WriteFileReplacing(path_, text);
    loaded_ = false;  // read back on the next call: the file is the truth
    return LSTATUS(error);
  }

  OpenKey *Handle(HKEY key) {
    auto value = reinterpret_cast<uintptr_t>(key);
    for (int i = 0; i < 4; ++i) {
      if (value == uintptr_t(intptr_t(LONG(0x80000000u + i)))) {
        predefined_.path = kRoots[i];
        predefined_.access = KEY_ALL_ACCESS;
        return &predefined_;
      }
    }
    auto it = open_.find(value);
    return it == open_.end() ? nullptr : &it->second;
  }

  HKEY Insert(const std::string &path, REGSAM access) {
    uintptr_t value = next_;
    next_ += 4;
    open_[value] = OpenKey{path, access};
    return reinterpret_cast<HKEY>(value);
  }

  bool Close(HKEY key) { return open_.erase(reinterpret_cast<uintptr_t>(key)) > 0; }

  const struct stat *FileStat() const { return exists_ ? &stat_ : nullptr; }

 private:
  static void Read(const std::string &path, std::string &text) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char buffer[8192];
    for (;;) {
      ssize_t got = read(fd, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      text.append(buffer, size_t(got));
    }
    close(fd);
  }

  static void MakeFolders(const std::string &folder) {
    for (size_t at = 1; at <= folder.size(); ++at)
      if (at == folder.size() || folder[at] == '/') mkdir(folder.substr(0, at).c_str(), 0777);
  }

  // Lines that make no sense are passed over.
  void Parse(std::string_view text) {
    Key *current = nullptr;
    while (!text.empty()) {
      size_t end = text.find('\n');
      std::string_view line = text.substr(0, end);
      text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
      while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
      if (line.empty() || line[0] == ';') continue;
      if (line[0] == '[' && line.back() == ']') {
        std::string path;
        for (const std::string &part : SplitPath(line.substr(1, line.size() - 2)))
          path += (path.empty() ? "" : "\\") + part;
        current = nullptr;
        if (path.empty()) continue;
        Create(path);
        current = Find(path);
        continue;
      }
      if (!current) continue;
      Value value;
      size_t i = 0;
      if (line[0] == '@') {
        i = 1;
      } else if (line[0] != '"' || !Unquote(line, i, value.name) || value.name.empty()) {
        continue;
      }
      if (i >= line.size() || line[i] != '=' || !ParseData(line.substr(i + 1), value)) continue;
      if (Value *old = current->Find(value.name))
        *old = std::move(value);
      else
        current->values.push_back(std::move(value));
    }
  }

  void Seed() {
    if (Find(kTimeZones)) return;
    Create(kTimeZones);
    for (const Zone &zone : kZones) {
      // Appended piece by piece: GCC 12 warns falsely about a temporary
      // string concatenated with literals here.
      std::string path = kTimeZones;
      path += '\\';
      path += zone.key;
      Create(path);
      Key &key = *Find(path);
      auto text = [](const char *s) { return std::string(s, strlen(s) + 1); };
      key.values.push_back({"Display", REG_SZ, text(zone.display)});
      key.values.push_back({"Std", REG_SZ, text(zone.standard)});
      key.values.push_back({"Dlt", REG_SZ, text(zone.daylight)});
      key.values.push_back(
          {"TZI", REG_BINARY, Tzi(zone.bias, 0, zone.daylightBias, zone.standardDate, zone.daylightDate)});
    }
  }

  std::map<std::string, Key, NoCaseLess> keys_;
  std::unordered_map<uintptr_t, OpenKey> open_;
  uintptr_t next_ = 0x1000;
  OpenKey predefined_;
  std::string path_;
  bool loaded_ = false, exists_ = false;
  struct stat stat_ {};
};

Registry &TheRegistry() {
  static Registry *registry = new Registry;  // lives past static destruction
  return *registry;
}

// Generic rights stand for the key rights they imply.
REGSAM KeyRights(REGSAM desired) {
  REGSAM rights = desired & 0xFFFF;
  if (desired & 0x80000000u) rights |= KEY_READ;        // GENERIC_READ
  if (desired & 0x40000000u) rights |= KEY_WRITE;       // GENERIC_WRITE
  if (desired & 0x12000000u) rights |= KEY_ALL_ACCESS;  // GENERIC_ALL, MAXIMUM_ALLOWED
  return rights;
}

std::string Join(const std::string &base, LPCSTR subKey) {
  std::string path = base;
  if (subKey)
    for (const std::string &part : SplitPath(subKey)) path += "\\" + part;
  return path;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry &registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.Refresh();
  OpenKey *base = registry.Handle(key);
  if (!base) return ERROR_INVALID_HANDLE;
  Key *found = registry.Find(Join(base->path, subKey));
  if (!found) return ERROR_FILE_NOT_FOUND;
  *result = registry.Insert(found->path, KeyRights(desired));
  return ERROR_SUCCESS;
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR keyClass, DWORD options, REGSAM desired,
                        void *security, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  Registry &registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.Refresh();
  OpenKey *base = registry.Handle(key);
  if (!base) return ERROR_INVALID_HANDLE;
  std::string path = Join(base->path, subKey);
  bool created = registry.Create(path);
  std::string spelled = registry.Find(path)->path;
  if (created) {
    if (LSTATUS error = registry.Save()) return error;
  }
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  *result = registry.Insert(spelled, KeyRights(desired));
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size) {
  if (data && !size) return ERROR_INVALID_PARAMETER;
  Registry &registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.Refresh();
  OpenKey *open = registry.Handle(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!(open->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  Key *found = registry.Find(open->path);
  Value *value = found ? found->Find(valueName ? valueName : "") : nullptr;
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  DWORD needed = DWORD(value->data.size());
  if (!data) {
    if (size) *size = needed;
    return ERROR_SUCCESS;
  }
  if (*size < needed) {
    *size = needed;
    return ERROR_MORE_DATA;
  }
  memcpy(data, value->data.data(), needed);
  *size = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD reserved, DWORD type, const BYTE *data, DWORD size) {
  if (!data && size) return ERROR_INVALID_PARAMETER;
  Registry &registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.Refresh();
  OpenKey *open = registry.Handle(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!(open->access & KEY_SET_VALUE)) return ERROR_ACCESS_DENIED;
  Key *found = registry.Find(open->path);
  if (!found) return ERROR_FILE_NOT_FOUND;  // the key was removed from the file meanwhile
  Value value{valueName ? valueName : "", type, std::string(reinterpret_cast<const char *>(data), size)};
  if (type == REG_SZ) {
    value.data.resize(strnlen(value.data.c_str(), value.data.size()));
    value.data.push_back('\0');
  }
  if (Value *old = found->Find(value.name))
    old->type = value.type, old->data = std::move(value.data);
  else
    found->values.push_back(std::move(value));
  return registry.Save();
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameSize, LPDWORD reserved, LPSTR keyClass,
                      LPDWORD classSize, LPFILETIME lastWriteTime) {
  if (!name || !nameSize) return ERROR_INVALID_PARAMETER;
  Registry &registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  registry.Refresh();
  OpenKey *open = registry.Handle(key);
  if (!open) return ERROR_INVALID_HANDLE;
  if (!(open->access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  auto children = registry.Children(open->path);
  if (index >= children.size()) return ERROR_NO_MORE_ITEMS;
  const std::string &child = children[index];
  if (*nameSize <= child.size()) return ERROR_MORE_DATA;
  memcpy(name, child.c_str(), child.size() + 1);
  *nameSize = DWORD(child.size());
  if (keyClass && classSize && *classSize > 0) keyClass[0] = '\0';
  if (classSize) *classSize = 0;
  if (lastWriteTime) {
    const struct stat *st = registry.FileStat();
    *lastWriteTime = st ? platform::FileTimeFromTimespec(st->st_mtim) : FILETIME{0, 0};
  }
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  Registry &registry = TheRegistry();
  std::lock_guard guard(registry.lock);
  if (registry.Close(key)) return ERROR_SUCCESS;
  return registry.Handle(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;  // a predefined key stays open
}
