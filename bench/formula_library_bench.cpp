// Loading the formula library: a system file of 500 formulas (the shipped
// formulas again and again under new names) is deciphered, parsed and
// compiled formula by formula, the way the main window loads it at
// start-up.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formula/kvindexlib.h"
#include "testing/system_library.h"
#include "testing/temp_folder.h"

namespace {

constexpr uint32_t kFormulas = 500;

// A temporary folder, removed when the program ends.
struct Folder {
  ~Folder() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  std::string path;
};

// The folder with the library file, made once.
const std::string &LibraryFolder() {
  static Folder made;
  std::string &folder = made.path;
  if (!folder.empty()) return folder;
  folder = testing_support::MakeTempFolder("kivo-bench-library");
  CKvIndexManager big;
  std::string error;
  if (!testing_support::BuildCopiesOfShippedFormulas(big, kFormulas, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return folder;
  }
  const std::string staging = folder + "/pit.dat";
  big.SetFiles("", "", "", staging.c_str());
  big.SaveLibraryFile(true, (folder + "/KvIndexS.dat").c_str());
  return folder;
}

void BM_LoadLibraryOf500Formulas(benchmark::State &state) {
  const std::string folder = LibraryFolder();
  const std::string system = folder + "/KvIndexS.dat", user = folder + "/none.dat",
                    staging = folder + "/pit.dat";
  uint32_t loaded = 0;
  for (auto _ : state) {
    CKvIndexManager library;
    library.SetFiles(system.c_str(), system.c_str(), user.c_str(), staging.c_str());
    library.Load();
    loaded = 0;
    while (library.GetIndexAt(loaded)) ++loaded;
  }
  if (loaded != kFormulas) state.SkipWithError("the library did not load whole");
  state.counters["formulas"] = loaded;
  state.counters["bytes"] = double(std::filesystem::file_size(system));
}
BENCHMARK(BM_LoadLibraryOf500Formulas)->Unit(benchmark::kMillisecond);

}  // namespace
