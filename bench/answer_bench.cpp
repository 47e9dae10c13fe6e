// A K-line chart that asks for a full history of day bars: the answer (15,000
// bars, the default MaxDataRecords, in 74 parts of 204 bars) goes through
// the answer dispatch part by part and is merged into a day file that
// already holds 15,000 bars, 14,000 of them replaced and 1,000 new. Measured
// per answer, from the first part to the merged file.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "core/emem.h"
#include "market/answer.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/reqqueue.h"
#include "market/utildata.h"
#include "testing/market_fixture_min.h"

namespace {

constexpr int kBars = 15000;
constexpr int kBarsPerPart = (kMaxFrameBody - 14) / int(sizeof(KLINEBAR));

std::vector<KLINEBAR> DayBars(PackedDateTime first, int n) {
  std::vector<KLINEBAR> bars(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    KLINEBAR &b = bars[size_t(i)];
    std::memset(&b, 0, sizeof b);
    b.time = first;
    b.close = b.open = b.high = b.low = uint32_t(10000 + i % 977);
    b.volume = float(1000 + i);
    first = PackedNextDay(first);
  }
  return bars;
}

// The parts of the answer: each the 14-byte head and its bars.
struct Part {
  FRAMEHEAD head;
  std::vector<uint8_t> body;
};

std::vector<Part> AnswerParts(const std::vector<KLINEBAR> &bars) {
  const int count = (int(bars.size()) + kBarsPerPart - 1) / kBarsPerPart;
  std::vector<Part> parts;
  for (int p = 0; p < count; ++p) {
    Part part;
    part.body = {8, 0, '6', '0', '0', '0', '0', '0', 0, 0, 0, 0, 0, 0};
    const size_t first = size_t(p) * kBarsPerPart;
    const size_t n = std::min<size_t>(kBarsPerPart, bars.size() - first);
    const auto *bytes = reinterpret_cast<const uint8_t *>(bars.data() + first);
    part.body.insert(part.body.end(), bytes, bytes + n * sizeof(KLINEBAR));
    part.head = FRAMEHEAD{kFrameMark, FRAME_BARS, uint16_t(count), uint16_t(p), uint16_t(part.body.size()), 0, 0};
    parts.push_back(std::move(part));
  }
  return parts;
}

void BM_DayBarAnswerMerged(benchmark::State &state) {
  market_fixture::MarketSandbox box;
  UpdateCurrentUtcTime();
  MKINFO sh = market_fixture::MakeMarket("SH", "shd", 1, 4);
  market_fixture::AddKind(sh, "A", {{570, 690}, {780, 900}}, 540, 960);
  box.WriteMarketInfo({sh});
  box.WriteTable(sh, "nametbl", std::vector<STKINFO>{market_fixture::MakeStock(0, 0, "600000", "name")});
  const PackedDateTime start = MakePackedDateTime(1965, 1, 4);
  const std::vector<KLINEBAR> stored = DayBars(start, kBars);
  box.Write("data/SH/day/600000.da1", stored.data(), stored.size() * sizeof(KLINEBAR));
  // The answer starts 1,000 days into the stored bars.
  const std::vector<Part> parts = AnswerParts(DayBars(stored[1000].time, kBars));
  TDataIO io(nullptr);
  ResetRequestQueue();
  TAnswerReader reader;
  SetQueueClient(nullptr);
  REQUESTREC request{};
  request.kind = REQ_DAY_BARS;
  request.sub = 8;
  std::memcpy(request.code, "600000", 6);
  char text[256] = {};

  for (auto _ : state) {
    EnqueueRequest(request);  // no client: counts as sent, and the answer completes it
    for (const Part &p : parts)
      if (reader.Dispatch(p.head, p.body.data(), int(p.body.size()), text, sizeof text) != 0)
        state.SkipWithError("dispatch failed");
  }
  if (RequestsInFlight() != 0) state.SkipWithError("the answers did not complete their requests");
  KLINEBAR *buffer = nullptr;
  int32_t n = 0;
  // The first answer adds its 1,000 new days; later ones replace what the
  // file keeps (its newest MaxDataRecords bars).
  const int32_t expected = state.iterations() == 1 ? kBars + 1000 : kBars;
  if (!ReadBars(MarketAt(0), &buffer, "600000", &n, 8, 0, 0) || n != expected) state.SkipWithError("wrong file");
  Free(buffer);
  state.SetItemsProcessed(state.iterations() * kBars);
  state.counters["parts"] = double(parts.size());
  ResetRequestQueue();
}
BENCHMARK(BM_DayBarAnswerMerged)->Unit(benchmark::kMillisecond);

}  // namespace
