// Decoding of compressed quote bodies: the request client decodes every
// compressed answer frame into its 16384-byte buffer.
#include <benchmark/benchmark.h>

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
  std::vector<uint8_t> stream = LzwEncode(plain);
  auto decoder = std::make_unique<LCompressLite>();
  std::vector<uint8_t> out(16384);
  int32_t length = 0;
  for (auto _ : state) {
    int32_t status = decoder->Decode(stream.data(), int32_t(stream.size()), out.data(), int32_t(out.size()), &length);
    benchmark::DoNotOptimize(status);
    benchmark::ClobberMemory();
  }
  if (length != int32_t(plain.size()) || std::string(out.begin(), out.begin() + length) != plain)
    state.SkipWithError("wrong output");
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(plain.size()));
  state.counters["ratio"] = double(stream.size()) / double(plain.size());
}

void BM_LzwDecodeQuoteRecords16K(benchmark::State &state) { Decode(state, QuoteRecords()); }
void BM_LzwDecodeText16K(benchmark::State &state) { Decode(state, Text()); }
void BM_LzwDecodeNoise16K(benchmark::State &state) { Decode(state, Noise()); }

BENCHMARK(BM_LzwDecodeQuoteRecords16K);
BENCHMARK(BM_LzwDecodeText16K);
BENCHMARK(BM_LzwDecodeNoise16K);

}  // namespace
