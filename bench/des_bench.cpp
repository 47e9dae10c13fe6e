// The file cipher: whole files through the container, and the block cipher
// alone.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/desenc.h"
#include "testing/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kFileSize = 1 << 20;

// A 1 MB plain file and its containers under both kinds of key, made once.
struct CipherFolder {
  std::string root;
  CipherFolder() {
    root = testing_support::MakeTempFolder("kivo-des-bench");
    std::string plain(kFileSize, '\0');
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = char(i * 131 + (i >> 9));
    std::ofstream(root + "/plain.dat", std::ios::binary).write(plain.data(), std::streamsize(plain.size()));
  }
  ~CipherFolder() { fs::remove_all(root); }
  std::string Path(const char *name) const { return root + "/" + name; }
};

CipherFolder &Folder() {
  static CipherFolder folder;
  return folder;
}

const char *KeyOf(int64_t twoKey) { return twoKey ? "M8kP2rT6vX1zN5bH" : "Q4-wide!"; }

void BM_DesEncryptFile(benchmark::State &state) {
  CDesEnc des(KeyOf(state.range(0)));
  std::string in = Folder().Path("plain.dat"), out = Folder().Path("box.dat");
  for (auto _ : state)
    if (!des.EncryptFile(in.c_str(), out.c_str())) state.SkipWithError("encipher failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

void BM_DesDecryptFile(benchmark::State &state) {
  CDesEnc des(KeyOf(state.range(0)));
  std::string plain = Folder().Path("plain.dat"), box = Folder().Path("box2.dat"), out = Folder().Path("back.dat");
  if (!des.EncryptFile(plain.c_str(), box.c_str())) state.SkipWithError("encipher failed");
  for (auto _ : state)
    if (!des.DecryptFile(box.c_str(), out.c_str())) state.SkipWithError("decipher failed");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}

void BM_DesEncryptBlocks(benchmark::State &state) {
  CDesEnc des(KeyOf(state.range(0)));
  std::vector<uint8_t> buffer(CDesEnc::kChunkSize, 0x5A);
  for (auto _ : state) {
    des.EncryptBlocks(buffer.data(), uint32_t(buffer.size()));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(buffer.size()));
}

// Argument: 0 single DES, 1 two-key triple DES.
BENCHMARK(BM_DesEncryptFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DesDecryptFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DesEncryptBlocks)->Arg(0)->Arg(1);

}  // namespace
