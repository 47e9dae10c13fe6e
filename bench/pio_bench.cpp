// Indicator export files: 500 formulas (the same copies of the shipped
// formulas that BM_LoadLibraryOf500Formulas loads) written to a ".pio" file
// and read back into an empty library.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "formula/kvindexlib.h"
#include "formula/piofile.h"
#include "testing/msgbox_recorder.h"
#include "testing/system_library.h"
#include "testing/temp_folder.h"

namespace {

constexpr uint32_t kFormulas = 500;

struct ExportWorld {
  ExportWorld() {
    folder = testing_support::MakeTempFolder("kivo-bench-pio");
    staging = folder + "/pit.dat";
    library.SetFiles("", "", "", staging.c_str());
    std::string error;
    if (!testing_support::BuildCopiesOfShippedFormulas(library, kFormulas, &error))
      std::fprintf(stderr, "%s\n", error.c_str());
  }
  ~ExportWorld() {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  uint32_t Write(const std::string &target) {
    IndexExportFile out;
    uint32_t written = 0;
    if (!ExportFileCreate(out, library)) return 0;
    for (const CKvIndexGroup *g = library.groups; g; g = g->next) {
      if (!ExportFileWriteGroup(out, g->name)) return 0;
      for (const CKvIndex *f = g->first; f; f = f->next, ++written)
        if (!ExportFileWriteFormula(out, *f)) return 0;
    }
    return ExportFileFinish(out, target.c_str()) ? written : 0;
  }
  std::string folder, staging;
  CKvIndexManager library;
};

ExportWorld &World() {
  static ExportWorld world;
  return world;
}

void BM_ExportOf500Formulas(benchmark::State &state) {
  ExportWorld &world = World();
  MessageBoxRecorder boxes;
  const std::string target = world.folder + "/out.pio";
  uint32_t written = 0;
  for (auto _ : state) written = world.Write(target);
  if (written != kFormulas) state.SkipWithError("the export was not written whole");
  state.counters["formulas"] = written;
  state.counters["bytes"] = double(std::filesystem::file_size(target));
}
BENCHMARK(BM_ExportOf500Formulas)->Unit(benchmark::kMillisecond);

void BM_ImportOf500Formulas(benchmark::State &state) {
  ExportWorld &world = World();
  MessageBoxRecorder boxes;
  const std::string source = world.folder + "/in.pio";
  world.Write(source);
  int imported = 0;
  for (auto _ : state) {
    CKvIndexManager library;
    library.SetFiles("", "", "", world.staging.c_str());
    imported = ImportIndexFile(source.c_str(), library);
  }
  if (imported != int(kFormulas)) state.SkipWithError("the import did not read every formula");
  state.counters["formulas"] = imported;
}
BENCHMARK(BM_ImportOf500Formulas)->Unit(benchmark::kMillisecond);

}  // namespace
