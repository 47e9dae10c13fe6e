#include "platform/module.h"

#include <dirent.h>
#include <dlfcn.h>
#include <link.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "platform/gbk.h"
#include "platform/path.h"

namespace {

struct Loader {
  std::mutex lock;
  std::vector<std::string> dirs;
  // Every handle given out, with the references LoadLibraryA took on it; a
  // handle seen only through GetModuleHandleA holds none.
  std::map<void *, int> handles;
};

Loader &State() {
  static Loader *loader = new Loader;  // lives past static destruction
  return *loader;
}

std::string ProgramPath() {
  std::string path(4096, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(length > 0 ? size_t(length) : 0);
  return path;
}

void *ProgramHandle() {
  static void *program = dlopen(nullptr, RTLD_NOW);
  return program;
}

bool IsRegularFile(const std::string &path) {
  struct stat info{};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// The file in the folder, matched exactly or else without regard to case.
std::string FindInDir(const std::string &dir, const std::string &file) {
  const std::string folder = dir.empty() ? std::string(".") : dir;
  const std::string exact = folder + "/" + file;
  if (IsRegularFile(exact)) return exact;
  std::string found;
  if (DIR *listing = opendir(folder.c_str())) {
    while (dirent *entry = readdir(listing)) {
      if (strcasecmp(entry->d_name, file.c_str()) == 0 &&
          IsRegularFile(folder + "/" + entry->d_name)) {
        found = folder + "/" + entry->d_name;
        break;
      }
    }
    closedir(listing);
  }
  return found;
}

// Index just past the last folder separator, stepping over GBK pairs (whose
// trail byte may be a backslash); 0 when there is none.
size_t BaseStart(const std::string &name) {
  size_t base = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto byte = static_cast<unsigned char>(name[i]);
    if (platform::IsGbkPair(name, i)) {
      ++i;
    } else if (byte == '\\' || byte == '/') {
      base = i + 1;
    }
  }
  return base;
}

// The paths to try for a library name, best first.
std::vector<std::string> Candidates(const std::string &name) {
  const size_t baseStart = BaseStart(name);
  const std::string file = platform::LibraryFileName(name.substr(baseStart));
  std::vector<std::string> paths;
  if (baseStart > 0) {
    std::string found = platform::ResolvePath((name.substr(0, baseStart) + file).c_str());
    if (IsRegularFile(found)) paths.push_back(std::move(found));
    return paths;
  }
  std::vector<std::string> dirs;
  const std::string program = ProgramPath();
  const size_t programSlash = program.rfind('/');
  dirs.push_back(programSlash == std::string::npos ? std::string(".") : program.substr(0, programSlash));
  {
    auto &loader = State();
    std::lock_guard guard(loader.lock);
    dirs.insert(dirs.end(), loader.dirs.begin(), loader.dirs.end());
  }
  if (const char *extra = std::getenv("KIVO_LIBRARY_PATH")) {
    std::string list = extra;
    for (size_t start = 0; start <= list.size();) {
      size_t end = list.find(':', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) dirs.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  for (const auto &dir : dirs) {
    std::string found = FindInDir(dir, file);
    if (!found.empty()) paths.push_back(std::move(found));
  }
  paths.push_back(file);  // the system's own search
  return paths;
}

std::string LoadedPath(void *handle) {
  link_map *map = nullptr;
  if (handle == ProgramHandle() || dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map ||
      !map->l_name || !*map->l_name)
    return ProgramPath();
  return map->l_name;
}

bool IsKnown(void *handle) {
  if (handle == ProgramHandle()) return true;
  auto &loader = State();
  std::lock_guard guard(loader.lock);
  return loader.handles.count(handle) != 0;
}

void Remember(void *handle, int references) {
  auto &loader = State();
  std::lock_guard guard(loader.lock);
  loader.handles[handle] += references;
}

}  // namespace

namespace platform {

void AddLibrarySearchDir(const std::string &dir) {
  auto &loader = State();
  std::lock_guard guard(loader.lock);
  loader.dirs.push_back(dir);
}

std::string LibraryFileName(const std::string &name) {
  const size_t baseStart = BaseStart(name);
  std::string folder = name.substr(0, baseStart);
  for (size_t i = 0; i < folder.size(); ++i) {
    const auto byte = static_cast<unsigned char>(folder[i]);
    if (platform::IsGbkPair(folder, i)) {
      ++i;
    } else if (byte == '\\') {
      folder[i] = '/';
    }
  }
  std::string base = name.substr(baseStart);
  if (base.size() > 4 && strcasecmp(base.c_str() + base.size() - 4, ".dll") == 0) {
    base = "lib" + base.substr(0, base.size() - 4) + ".so";
  } else if (!base.empty() && base.find('.') == std::string::npos) {
    base = "lib" + base + ".so";
  }
  return folder + base;
}

std::string FindLibraryFile(const std::string &name) {
  if (name.empty()) return {};
  for (const auto &path : Candidates(name))
    if (IsRegularFile(path)) return path;
  return {};
}

}  // namespace platform

HMODULE LoadLibraryA(LPCSTR name) {
  if (name && *name) {
    // Loading runs the library's constructors, which may load libraries too,
    // so no lock is held here.
    for (const auto &path : Candidates(name)) {
      if (void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
        Remember(handle, 1);
        return static_cast<HMODULE>(handle);
      }
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

HMODULE GetModuleHandleA(LPCSTR name) {
  if (!name) return static_cast<HMODULE>(ProgramHandle());
  if (*name) {
    for (const auto &path : Candidates(name)) {
      if (void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD)) {
        dlclose(handle);  // the library stays: someone else holds it
        Remember(handle, 0);
        return static_cast<HMODULE>(handle);
      }
    }
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
  void *handle = module ? static_cast<void *>(module) : ProgramHandle();
  if (!IsKnown(handle)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  // Ordinals (values below 0x10000) are not supported.
  if (name && reinterpret_cast<uintptr_t>(name) >= 0x10000) {
    if (void *symbol = dlsym(handle, name)) {
      bool own = handle == ProgramHandle();
      link_map *moduleMap = nullptr, *symbolMap = nullptr;
      Dl_info info{};
      if (!own && dlinfo(handle, RTLD_DI_LINKMAP, &moduleMap) == 0 &&
          dladdr1(symbol, &info, reinterpret_cast<void **>(&symbolMap), RTLD_DL_LINKMAP) != 0)
        own = moduleMap == symbolMap;
      if (own) return reinterpret_cast<FARPROC>(symbol);
    }
  }
  SetLastError(ERROR_PROC_NOT_FOUND);
  return nullptr;
}

BOOL FreeLibrary(HMODULE module) {
  void *handle = module;
  if (handle && handle == ProgramHandle()) return TRUE;
  auto &loader = State();
  std::unique_lock guard(loader.lock);
  auto it = handle ? loader.handles.find(handle) : loader.handles.end();
  if (it == loader.handles.end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (it->second == 0) return TRUE;  // not loaded by us
  const int left = --it->second;
  guard.unlock();
  const std::string path = LoadedPath(handle);
  dlclose(handle);
  if (left == 0) {
    // Forget the handle unless the library is still loaded for someone else.
    void *still = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    if (still) dlclose(still);
    guard.lock();
    auto again = loader.handles.find(handle);
    if (!still && again != loader.handles.end() && again->second == 0) loader.handles.erase(again);
  }
  return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR path, DWORD size) {
  void *handle = module ? static_cast<void *>(module) : ProgramHandle();
  if (!IsKnown(handle)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (!path && size > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string full = LoadedPath(handle);
  for (char &c : full)
    if (c == '/') c = '\\';
  if (full.size() < size) {
    std::memcpy(path, full.c_str(), full.size() + 1);
    return DWORD(full.size());
  }
  if (size > 0) {
    std::memcpy(path, full.data(), size - 1);
    path[size - 1] = '\0';
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return size;
}
