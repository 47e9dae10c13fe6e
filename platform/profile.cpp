#include "platform/profile.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/fileapi.h"
#include "platform/gbk.h"
#include "platform/path.h"

namespace {

using platform::EqualNoCase;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return TrimRight(s);
}

std::string_view Unquote(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
    return s.substr(1, s.size() - 2);
  return s;
}

// The last ']' that is a character of its own (a GBK trail byte may be 0x5D).
size_t CloseBracket(std::string_view s) {
  size_t found = std::string_view::npos;
  for (size_t i = 0; i < s.size(); ++i) {
    auto c = static_cast<unsigned char>(s[i]);
    if (platform::IsGbkPair(s, i)) {
      ++i;
    } else if (c == ']') {
      found = i;
    }
  }
  return found;
}

struct NoCaseHash {
  size_t operator()(std::string_view s) const { return platform::HashNoCase(s); }
};
struct NoCaseEqual {
  bool operator()(std::string_view a, std::string_view b) const { return EqualNoCase(a, b); }
};
using NameIndex = std::unordered_map<std::string_view, size_t, NoCaseHash, NoCaseEqual>;

enum class Kind : uint8_t { Blank, Comment, Section, Key, Other };

struct Line {
  size_t begin = 0;  // first byte of the line
  size_t next = 0;   // first byte of the next line (after the line end)
  Kind kind = Kind::Other;
  std::string_view content;  // the line trimmed of blanks
  std::string_view name;     // section or key name
  std::string_view raw;      // key: the value as written, trimmed
  std::string_view value;    // key: the value without its quotes
};

struct Section {
  std::string_view name;
  size_t header = 0;  // line of "[name]"
  size_t end = 0;     // one past the section's last line
  NameIndex keys;     // first line of each key name
};

// One file as read. The views point into `text`, which never moves: a
// Parsed lives on the heap from Parse() on and is never copied.
struct Parsed {
  std::string text;
  std::vector<Line> lines;
  std::vector<Section> sections;
  NameIndex sectionIndex;  // first section of each name
  std::string eol = "\r\n";

  const Section *FindSection(std::string_view name) const {
    auto it = sectionIndex.find(name);
    return it == sectionIndex.end() ? nullptr : &sections[it->second];
  }
  const Line *FindKey(const Section &section, std::string_view key) const {
    auto it = section.keys.find(key);
    return it == section.keys.end() ? nullptr : &lines[it->second];
  }
};

std::shared_ptr<Parsed> Parse(std::string text) {
  auto parsed = std::make_shared<Parsed>();
  parsed->text = std::move(text);
  std::string_view all(parsed->text);
  bool eolKnown = false;
  for (size_t pos = 0; pos < all.size();) {
    size_t newline = all.find('\n', pos);
    size_t next = newline == std::string_view::npos ? all.size() : newline + 1;
    if (!eolKnown && newline != std::string_view::npos) {
      parsed->eol = newline > pos && all[newline - 1] == '\r' ? "\r\n" : "\n";
      eolKnown = true;
    }
    Line line;
    line.begin = pos;
    line.next = next;
    line.content = Trim(all.substr(pos, (newline == std::string_view::npos ? all.size() : newline) - pos));
    std::string_view c = line.content;
    if (c.empty()) {
      line.kind = Kind::Blank;
    } else if (c.front() == '[') {
      line.kind = Kind::Section;
      size_t close = CloseBracket(c);
      line.name = Trim(c.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
      if (!parsed->sections.empty()) parsed->sections.back().end = parsed->lines.size();
      Section section;
      section.name = line.name;
      section.header = parsed->lines.size();
      parsed->sectionIndex.emplace(line.name, parsed->sections.size());
      parsed->sections.push_back(std::move(section));
    } else if (c.front() == ';') {
      line.kind = Kind::Comment;
    } else if (size_t eq = c.find('='); eq != std::string_view::npos && !parsed->sections.empty()) {
      line.kind = Kind::Key;
      line.name = Trim(c.substr(0, eq));
      line.raw = Trim(c.substr(eq + 1));
      line.value = Unquote(line.raw);
      parsed->sections.back().keys.emplace(line.name, parsed->lines.size());
    }
    parsed->lines.push_back(line);
    pos = next;
  }
  if (!parsed->sections.empty()) parsed->sections.back().end = parsed->lines.size();
  return parsed;
}

// ---------------------------------------------------------------------------
// Edits work on the file's lines as text, each with its own line end, so
// every line that isn't touched is written back byte for byte.

class Editor {
 public:
  explicit Editor(const Parsed &parsed) : parsed_(parsed) {
    for (const Line &line : parsed.lines)
      texts_.emplace_back(parsed.text, line.begin, line.next - line.begin);
    keep_.assign(texts_.size(), true);
    after_.resize(texts_.size() + 1);
  }

  // Replaces line i by `text` keeping its line end.
  void Replace(size_t i, const std::string &text) {
    const std::string &old = texts_[i];
    std::string_view ending;
    if (!old.empty() && old.back() == '\n') ending = old.size() >= 2 && old[old.size() - 2] == '\r' ? "\r\n" : "\n";
    texts_[i] = text + std::string(ending);
    changed_ = true;
  }
  void Remove(size_t i) {
    keep_[i] = false;
    changed_ = true;
  }
  // Adds a line at a slot: slot i + 1 is right after line i, slot 0 the
  // start of the file, slot size() its end.
  void InsertAt(size_t slot, const std::string &text) {
    after_[slot].push_back(text);
    changed_ = true;
  }

  bool changed() const { return changed_; }
  size_t size() const { return texts_.size(); }

  std::string Text() const {
    std::string out;
    const std::string &eol = parsed_.eol;
    bool open = false;  // the text so far ends inside a line
    auto add = [&](const std::string &line, bool isNew) {
      if (open) out += eol;
      out += line;
      if (isNew) out += eol;
      open = !out.empty() && out.back() != '\n';
    };
    for (const std::string &line : after_[0]) add(line, true);
    for (size_t i = 0; i < texts_.size(); ++i) {
      if (keep_[i]) add(texts_[i], false);
      for (const std::string &line : after_[i + 1]) add(line, true);
    }
    return out;
  }

 private:
  const Parsed &parsed_;
  std::vector<std::string> texts_;
  std::vector<bool> keep_;
  std::vector<std::vector<std::string>> after_;  // after_[i + 1]: lines added after line i
  bool changed_ = false;
};

// The insertion slot after the section's last non-blank line, so new keys
// go before the blank lines that separate it from the next section.
size_t SlotAfterContent(const Parsed &parsed, const Section &section) {
  size_t last = section.header;
  for (size_t i = section.header + 1; i < section.end; ++i)
    if (parsed.lines[i].kind != Kind::Blank) last = i;
  return last + 1;
}

// ---------------------------------------------------------------------------
// The cache of parsed files.

struct Signature {
  bool exists = false;
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{}, ctime{};

  static Signature Of(const std::string &path) {
    Signature s;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) s = Of(st);
    return s;
  }
  static Signature Of(const struct stat &st) {
    Signature s;
    s.exists = true;
    s.dev = st.st_dev;
    s.ino = st.st_ino;
    s.size = st.st_size;
    s.mtime = st.st_mtim;
    s.ctime = st.st_ctim;
    return s;
  }
  bool operator==(const Signature &o) const {
    return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
           mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec &&
           ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

struct Entry {
  std::string path, folder, name;
  std::shared_ptr<Parsed> parsed;  // null: no file
  DWORD loadError = 0;             // the file is there but can't be read
  Signature signature;
  int watch = -1;  // inotify watch of the folder; -1: checked by stat instead
  bool valid = false;
};

struct OwnWrite {
  Entry *entry;
  std::string tempName;
};

constexpr uint32_t kWatchMask =
    IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_CREATE | IN_DELETE | IN_ATTRIB | IN_ONLYDIR;
constexpr size_t kMaxEntries = 1024;
constexpr size_t kMaxNames = 8192;

class Store {
 public:
  std::mutex lock;

  // The current state of a file; the caller holds `lock`. `key` is the
  // file's KeyOf(), or null when the name can't be cached.
  Entry &Get(const char *fileName, const std::string *key) {
    Drain(nullptr);
    if (entries_.size() > kMaxEntries || names_.size() > kMaxNames) Clear();

    Entry *entry = nullptr;
    if (key) {
      auto it = names_.find(*key);
      if (it != names_.end()) entry = it->second;
    }
    // A missing file in a folder that isn't watched is looked up again
    // each time, as it may appear under another spelling.
    if (!entry || Stale(*entry) || (entry->watch < 0 && !entry->signature.exists)) {
      std::string path = platform::ResolvePath(fileName);
      auto &slot = entries_[path];
      if (!slot) {
        slot = std::make_unique<Entry>();
        slot->path = path;
        slot->folder = platform::ParentOf(path);
        slot->name = std::string(platform::LastComponent(path));
      }
      entry = slot.get();
      if (key) names_[*key] = entry;
      if (Stale(*entry)) Load(*entry);
    }
    return *entry;
  }

  // Replaces the file's text and the cached copy with it.
  DWORD Write(Entry &entry, std::string text) {
    if (entry.loadError) return entry.loadError;
    std::string tempName;
    DWORD error = platform::WriteFileReplacing(entry.path, text, &tempName);
    if (error) {
      entry.valid = false;
      return error;
    }
    Watch(entry);
    entry.parsed = Parse(std::move(text));
    entry.signature = Signature::Of(entry.path);
    entry.valid = true;
    OwnWrite own{&entry, tempName};
    Drain(&own);
    return ERROR_SUCCESS;
  }

  void Forget(const char *fileName) {
    auto it = entries_.find(platform::ResolvePath(fileName));
    if (it != entries_.end()) it->second->valid = false;
  }

 private:
  // Without a watch on its folder an entry is checked with stat; marks it
  // invalid when the file changed, and tells whether it is invalid.
  static bool Stale(Entry &entry) {
    if (entry.valid && entry.watch < 0 && !(Signature::Of(entry.path) == entry.signature)) entry.valid = false;
    return !entry.valid;
  }

  void Load(Entry &entry) {
    Watch(entry);  // before reading, so that no later change goes unseen
    entry.parsed.reset();
    entry.loadError = 0;
    entry.signature = Signature();
    int fd = open(entry.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno != ENOENT && errno != ENOTDIR) entry.loadError = platform::ErrorFromErrno(errno, entry.path);
    } else {
      struct stat st;
      if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        entry.loadError = ERROR_ACCESS_DENIED;
      } else {
        std::string text;
        text.resize(size_t(st.st_size));
        size_t done = 0;
        for (;;) {
          if (done == text.size()) text.resize(text.size() + 4096);
          ssize_t got = read(fd, text.data() + done, text.size() - done);
          if (got < 0 && errno == EINTR) continue;
          if (got <= 0) break;
          done += size_t(got);
        }
        text.resize(done);
        entry.parsed = Parse(std::move(text));
        entry.signature = Signature::Of(st);
      }
      close(fd);
    }
    entry.valid = true;
  }

  void Watch(Entry &entry) {
    if (entry.watch >= 0) return;
    if (inotify_ == -2) inotify_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotify_ < 0) return;
    int wd;
    auto it = folders_.find(entry.folder);
    if (it != folders_.end()) {
      wd = it->second;
    } else {
      wd = inotify_add_watch(inotify_, entry.folder.c_str(), kWatchMask);
      if (wd < 0) return;  // no folder or no watches left: stat decides
      folders_[entry.folder] = wd;
    }
    entry.watch = wd;
    watchers_[wd].push_back(&entry);
  }

  // Takes in the changes the kernel has queued. Events of our own write
  // (its scratch file, and the file itself while it is as we left it) are
  // passed over so that the copy we just stored stays valid.
  void Drain(const OwnWrite *own) {
    if (inotify_ < 0) return;
    alignas(inotify_event) char buffer[16384];
    bool ownUnchanged = own && Signature::Of(own->entry->path) == own->entry->signature;
    for (;;) {
      ssize_t got = read(inotify_, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
        at += ssize_t(sizeof(inotify_event) + event->len);
        if (event->mask & IN_Q_OVERFLOW) {
          for (auto &[path, entry] : entries_) entry->valid = false;
          continue;
        }
        auto watcher = watchers_.find(event->wd);
        if (watcher == watchers_.end()) continue;
        if (event->mask & IN_IGNORED) {  // the folder went away
          for (Entry *entry : watcher->second) {
            entry->valid = false;
            entry->watch = -1;
          }
          std::erase_if(folders_, [&](const auto &folder) { return folder.second == event->wd; });
          watchers_.erase(watcher);
          continue;
        }
        std::string_view name = event->len ? std::string_view(event->name) : std::string_view();
        if (own && name == own->tempName) continue;
        for (Entry *entry : watcher->second) {
          if (!name.empty() && !EqualNoCase(name, entry->name)) continue;
          if (own && entry == own->entry && ownUnchanged && !name.empty()) continue;
          entry->valid = false;
        }
      }
    }
  }

  void Clear() {
    for (auto &[folder, wd] : folders_) inotify_rm_watch(inotify_, wd);
    Drain(nullptr);
    folders_.clear();
    watchers_.clear();
    names_.clear();
    entries_.clear();
  }

  int inotify_ = -2;  // -2: not yet opened; -1: not available
  std::unordered_map<std::string, std::unique_ptr<Entry>> entries_;  // by resolved path
  std::unordered_map<std::string, Entry *> names_;                    // by name as given
  std::unordered_map<std::string, int> folders_;
  std::unordered_map<int, std::vector<Entry *>> watchers_;
};

Store &TheStore() {
  static Store *store = new Store;  // lives past static destruction
  return *store;
}

// Names are cached as given, after the current folder for a relative
// one, so a cached read needs no path lookup at all. The key is made
// before the store's lock is taken, as reading the current folder is a
// system call. Null when the name can't be cached.
const std::string *KeyOf(LPCSTR fileName) {
  thread_local std::string key;
  if (!fileName || !*fileName) return nullptr;
  key.clear();
  bool absolute = fileName[0] == '\\' || fileName[0] == '/' ||
                  (fileName[1] == ':' && (fileName[2] == '\\' || fileName[2] == '/'));
  if (!absolute) {
    char cwd[PATH_MAX];
    if (!getcwd(cwd, sizeof cwd)) return nullptr;
    key.append(cwd);
    key.push_back('\0');
  }
  key.append(fileName);
  return &key;
}

const Parsed &NoFile() {
  static const std::shared_ptr<Parsed> empty = Parse({});
  return *empty;
}

// The file as cached, or an empty one when there is no file. The caller
// holds the store's lock.
const Parsed &Contents(LPCSTR fileName, const std::string *key) {
  if (!fileName || !*fileName) return NoFile();
  Entry &entry = TheStore().Get(fileName, key);
  return entry.parsed ? *entry.parsed : NoFile();
}

DWORD CopyString(std::string_view s, LPSTR out, DWORD size) {
  size_t n = s.size() < size ? s.size() : size - 1;
  memcpy(out, s.data(), n);
  out[n] = '\0';
  return DWORD(n);
}

// A list of NUL-terminated items with one more NUL at the end.
DWORD CopyList(const std::string &items, LPSTR out, DWORD size) {
  if (size < 2) {
    out[0] = '\0';
    return 0;
  }
  if (items.size() + 1 <= size) {
    memcpy(out, items.data(), items.size());
    out[items.size()] = '\0';
    if (items.empty()) out[1] = '\0';
    return DWORD(items.size());
  }
  memcpy(out, items.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

void AddItem(std::string &items, std::string_view item) {
  if (item.empty()) return;  // an empty item would end the list
  items.append(item);
  items.push_back('\0');
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR defaultValue, LPSTR returnedString,
                               DWORD size, LPCSTR fileName) {
  if (!returnedString || size == 0) return 0;
  std::string_view fallback = TrimRight(defaultValue ? defaultValue : "");
  const std::string *cacheKey = KeyOf(fileName);
  std::lock_guard guard(TheStore().lock);
  const Parsed &file = Contents(fileName, cacheKey);
  if (!appName) {
    std::string items;
    for (const Section &section : file.sections) AddItem(items, section.name);
    return CopyList(items, returnedString, size);
  }
  const Section *section = file.FindSection(Trim(appName));
  if (!keyName) {
    std::string items;
    if (section)
      for (size_t i = section->header + 1; i < section->end; ++i)
        if (file.lines[i].kind == Kind::Key) AddItem(items, file.lines[i].name);
    if (!items.empty()) return CopyList(items, returnedString, size);
    return CopyString(fallback, returnedString, size);
  }
  std::string_view key = Trim(keyName);
  const Line *line = section && !key.empty() ? file.FindKey(*section, key) : nullptr;
  return CopyString(line ? line->value : fallback, returnedString, size);
}

UINT GetPrivateProfileIntA(LPCSTR appName, LPCSTR keyName, INT defaultValue, LPCSTR fileName) {
  if (!appName || !keyName) return UINT(defaultValue);
  const std::string *cacheKey = KeyOf(fileName);
  std::lock_guard guard(TheStore().lock);
  const Parsed &file = Contents(fileName, cacheKey);
  const Section *section = file.FindSection(Trim(appName));
  const Line *line = section ? file.FindKey(*section, Trim(keyName)) : nullptr;
  if (!line || line->value.empty()) return UINT(defaultValue);
  std::string_view v = line->value;
  size_t i = 0;
  bool negative = false;
  if (v[0] == '-' || v[0] == '+') {
    negative = v[0] == '-';
    ++i;
  }
  uint32_t result = 0;  // wraps on overflow, as the original does
  if (i + 1 < v.size() && v[i] == '0' && (v[i + 1] == 'x' || v[i + 1] == 'X')) {
    for (i += 2; i < v.size(); ++i) {
      char c = v[i];
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) break;
      result = result * 16 + uint32_t(digit);
    }
  } else {
    for (; i < v.size() && v[i] >= '0' && v[i] <= '9'; ++i) result = result * 10 + uint32_t(v[i] - '0');
  }
  return negative ? 0u - result : result;
}

DWORD GetPrivateProfileSectionA(LPCSTR appName, LPSTR returnedString, DWORD size, LPCSTR fileName) {
  if (!returnedString || size == 0) return 0;
  const std::string *cacheKey = KeyOf(fileName);
  std::lock_guard guard(TheStore().lock);
  const Parsed &file = Contents(fileName, cacheKey);
  const Section *section = appName ? file.FindSection(Trim(appName)) : nullptr;
  std::string items;
  if (section) {
    for (size_t i = section->header + 1; i < section->end; ++i) {
      const Line &line = file.lines[i];
      if (line.kind == Kind::Key) {
        std::string item(line.name);
        item += '=';
        item.append(line.raw);
        AddItem(items, item);
      } else if (line.kind == Kind::Other) {
        AddItem(items, line.content);
      }
    }
  }
  return CopyList(items, returnedString, size);
}

DWORD GetPrivateProfileSectionNamesA(LPSTR returnedBuffer, DWORD size, LPCSTR fileName) {
  return GetPrivateProfileStringA(nullptr, nullptr, nullptr, returnedBuffer, size, fileName);
}

namespace {

BOOL Finish(Entry &entry, const Editor &editor) {
  if (!editor.changed()) return TRUE;
  DWORD error = TheStore().Write(entry, editor.Text());
  if (error) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

std::string Join3(std::string_view a, std::string_view b, std::string_view c) {
  std::string out;
  out.reserve(a.size() + b.size() + c.size());
  out.append(a).append(b).append(c);
  return out;
}

void AppendSection(Editor &editor, std::string_view name, const std::vector<std::string> &lines) {
  editor.InsertAt(editor.size(), Join3("[", name, "]"));
  for (const std::string &line : lines) editor.InsertAt(editor.size(), line);
}

}  // namespace

BOOL WritePrivateProfileStringA(LPCSTR appName, LPCSTR keyName, LPCSTR string, LPCSTR fileName) {
  if (!appName && !keyName && !string) {
    if (fileName && *fileName) {
      std::lock_guard guard(TheStore().lock);
      TheStore().Forget(fileName);
    }
    return FALSE;
  }
  if (!appName || !fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::string *cacheKey = KeyOf(fileName);
  std::lock_guard guard(TheStore().lock);
  Entry &entry = TheStore().Get(fileName, cacheKey);
  const Parsed &file = entry.parsed ? *entry.parsed : NoFile();
  std::string_view sectionName = Trim(appName);
  Editor editor(file);

  if (!keyName) {  // delete the section, every copy of it
    for (const Section &section : file.sections)
      if (EqualNoCase(section.name, sectionName))
        for (size_t i = section.header; i < section.end; ++i) editor.Remove(i);
    return Finish(entry, editor);
  }
  std::string_view key = Trim(keyName);
  const Section *section = file.FindSection(sectionName);
  if (!string) {  // delete the key
    if (section)
      for (size_t i = section->header + 1; i < section->end; ++i)
        if (file.lines[i].kind == Kind::Key && EqualNoCase(file.lines[i].name, key)) editor.Remove(i);
    return Finish(entry, editor);
  }
  if (!section) {
    AppendSection(editor, sectionName, {Join3(key, "=", string)});
  } else if (const Line *line = file.FindKey(*section, key)) {
    // The key keeps the spelling it has in the file.
    editor.Replace(size_t(line - file.lines.data()), Join3(line->name, "=", string));
  } else {
    editor.InsertAt(SlotAfterContent(file, *section), Join3(key, "=", string));
  }
  return Finish(entry, editor);
}

BOOL WritePrivateProfileSectionA(LPCSTR appName, LPCSTR string, LPCSTR fileName) {
  if (!appName || !fileName || !*fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!string) return WritePrivateProfileStringA(appName, nullptr, nullptr, fileName);
  std::vector<std::string> lines;
  for (const char *item = string; *item; item += strlen(item) + 1) lines.emplace_back(item);

  const std::string *cacheKey = KeyOf(fileName);
  std::lock_guard guard(TheStore().lock);
  Entry &entry = TheStore().Get(fileName, cacheKey);
  const Parsed &file = entry.parsed ? *entry.parsed : NoFile();
  std::string_view sectionName = Trim(appName);
  Editor editor(file);
  const Section *section = file.FindSection(sectionName);
  if (!section) {
    AppendSection(editor, sectionName, lines);
  } else {
    size_t slot = SlotAfterContent(file, *section);
    for (size_t i = section->header + 1; i < slot; ++i) editor.Remove(i);
    for (const std::string &line : lines) editor.InsertAt(section->header + 1, line);
  }
  return Finish(entry, editor);
}
