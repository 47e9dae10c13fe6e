// Cached private-profile reads: the settings the terminal reads over and
// over (display switches, column schemes, hot keys) come from the cache.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/profile.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

namespace {

// A settings file of 40 sections of 25 keys in <tmp>/cfg, read from
// <tmp>/bin by the relative name the program uses. Made once per process.
struct SettingsFolder {
  std::string root;
  std::string absoluteFile;
  SettingsFolder() {
    root = testing_support::MakeTempFolder("kivo-bench");
    fs::create_directories(root + "/cfg");
    fs::create_directories(root + "/bin");
    absoluteFile = root + "/cfg/Setting.ini";
    std::ofstream out(absoluteFile, std::ios::binary);
    for (int s = 0; s < 40; ++s) {
      out << "[Section" << s << "]\r\n";
      for (int k = 0; k < 25; ++k) out << "Key" << k << " = " << (s * 100 + k) << "\r\n";
      out << "\r\n";
    }
  }
  ~SettingsFolder() { fs::remove_all(root); }
};

SettingsFolder &Folder() {
  static SettingsFolder folder;
  return folder;
}

// Runs the body with the program folder as the current one.
class InBin {
 public:
  InBin() : old_(fs::current_path()) { fs::current_path(Folder().root + "/bin"); }
  ~InBin() { fs::current_path(old_); }

 private:
  fs::path old_;
};

void BM_CachedGetPrivateProfileString(benchmark::State &state) {
  InBin here;
  char buffer[64];
  for (auto _ : state) {
    DWORD n = GetPrivateProfileStringA("section17", "KEY12", "", buffer, sizeof buffer, "..\\CFG\\SETTING.INI");
    benchmark::DoNotOptimize(n);
  }
  if (std::string(buffer) != "1712") state.SkipWithError("wrong value read");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedGetPrivateProfileString);

void BM_CachedGetPrivateProfileInt(benchmark::State &state) {
  InBin here;
  UINT value = 0;
  for (auto _ : state) {
    value = GetPrivateProfileIntA("Section3", "Key7", -1, "..\\cfg\\setting.ini");
    benchmark::DoNotOptimize(value);
  }
  if (value != 307) state.SkipWithError("wrong value read");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedGetPrivateProfileInt);

void BM_CachedGetPrivateProfileStringAbsolute(benchmark::State &state) {
  const std::string &file = Folder().absoluteFile;
  char buffer[64];
  for (auto _ : state) {
    DWORD n = GetPrivateProfileStringA("Section39", "Key24", "", buffer, sizeof buffer, file.c_str());
    benchmark::DoNotOptimize(n);
  }
  if (std::string(buffer) != "3924") state.SkipWithError("wrong value read");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedGetPrivateProfileStringAbsolute);

// Four threads reading at once share the one lock.
void BM_CachedGetPrivateProfileIntThreads(benchmark::State &state) {
  const std::string &file = Folder().absoluteFile;
  UINT value = 0;
  for (auto _ : state) {
    value = GetPrivateProfileIntA("Section20", "Key1", -1, file.c_str());
    benchmark::DoNotOptimize(value);
  }
  if (value != 2001) state.SkipWithError("wrong value read");
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CachedGetPrivateProfileIntThreads)->Threads(4)->UseRealTime();

}  // namespace
