// Decoding of compressed quote bodies: the request client decodes every
// compressed answer frame into its 16384-byte buffer. Beside every decode
// the same body is inflated with zlib's one-shot uncompress, the library a
// user would pick, so the decoder's speed is known against it: the reported
// time is the LZW decode's, "inflate_us" zlib's, "time_vs_inflate" the
// ratio of the two (below 1: LZW is faster), "ratio" and "zlib_ratio" the
// compressed sizes over the plain size.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "core/lzw.h"
#include "testing/lzw_encoder.h"

namespace {

constexpr size_t kBody = 16000;

// Fixed-size records with slowly changing fields, as the quote answers carry.
std::string QuoteRecords() {
  std::mt19937 rng(3);
  std::string s;
  uint32_t price = 35000;
  for (uint32_t i = 0; s.size() < kBody; ++i) {
    price = price + uint32_t(rng() % 7) - 3;
    uint32_t rec[10] = {20240115, 930 + i, price, price + 2, price - 2, price + 1,
                        100 + uint32_t(rng() % 50), 2000000 + i * 17, 0, 0};
    s.append(reinterpret_cast<const char *>(rec), sizeof rec);
  }
  s.resize(kBody);
  return s;
}

std::string Text() {
  const char *words[] = {"news ", "rb2410 ", "\xb2\xe2\xca\xd4 ", "price ", "up ", "down ", "2024-01-15 "};
  std::mt19937 rng(5);
  std::string s;
  while (s.size() < kBody) s += words[rng() % 7];
  s.resize(kBody);
  return s;
}

std::string Noise() {
  std::mt19937 rng(7);
  std::string s(kBody, '\0');
  for (char &c : s) c = char(rng());
  return s;
}

void Decode(benchmark::State &state, const std::string &plain) {
  using Clock = std::chrono::steady_clock;
  std::vector<uint8_t> stream = LzwEncode(plain);
  uLongf zlibSize = compressBound(uLong(plain.size()));
  std::vector<uint8_t> zlibStream(zlibSize);
  if (compress2(zlibStream.data(), &zlibSize, reinterpret_cast<const Bytef *>(plain.data()), uLong(plain.size()),
                Z_DEFAULT_COMPRESSION) != Z_OK) {
    state.SkipWithError("zlib could not compress");
    return;
  }
  zlibStream.resize(zlibSize);
  auto decoder = std::make_unique<LCompressLite>();
  std::vector<uint8_t> out(16384), inflated(16384);
  int32_t length = 0;
  uLongf inflatedLength = 0;
  double lzwSeconds = 0, inflateSeconds = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    int32_t status = decoder->Decode(stream.data(), int32_t(stream.size()), out.data(), int32_t(out.size()), &length);
    benchmark::DoNotOptimize(status);
    benchmark::ClobberMemory();
    const auto t1 = Clock::now();
    inflatedLength = uLongf(inflated.size());
    int z = uncompress(inflated.data(), &inflatedLength, zlibStream.data(), uLong(zlibStream.size()));
    benchmark::DoNotOptimize(z);
    benchmark::ClobberMemory();
    const auto t2 = Clock::now();
    const double lzw = std::chrono::duration<double>(t1 - t0).count();
    lzwSeconds += lzw;
    inflateSeconds += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(lzw);
  }
  if (length != int32_t(plain.size()) || std::string(out.begin(), out.begin() + length) != plain)
    state.SkipWithError("wrong output");
  if (inflatedLength != plain.size() || std::string(inflated.begin(), inflated.begin() + long(inflatedLength)) != plain)
    state.SkipWithError("wrong output from zlib");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(plain.size()));
  state.counters["ratio"] = double(stream.size()) / double(plain.size());
  state.counters["zlib_ratio"] = double(zlibStream.size()) / double(plain.size());
  if (state.iterations() > 0 && inflateSeconds > 0) {
    state.counters["inflate_us"] = inflateSeconds / double(state.iterations()) * 1e6;
    state.counters["time_vs_inflate"] = lzwSeconds / inflateSeconds;
  }
}

void BM_LzwDecodeQuoteRecords16K(benchmark::State &state) { Decode(state, QuoteRecords()); }
void BM_LzwDecodeText16K(benchmark::State &state) { Decode(state, Text()); }
void BM_LzwDecodeNoise16K(benchmark::State &state) { Decode(state, Noise()); }

BENCHMARK(BM_LzwDecodeQuoteRecords16K)->UseManualTime();
BENCHMARK(BM_LzwDecodeText16K)->UseManualTime();
BENCHMARK(BM_LzwDecodeNoise16K)->UseManualTime();

}  // namespace
