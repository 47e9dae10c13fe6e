// What the local link adds to every pushed quote: nothing linked, a link
// without a peer, and a linked peer subscribed to the quoted contract (the
// "QTE|" built and sent on loopback).
#include <benchmark/benchmark.h>

#include <memory>

#include "market/dataio5.h"
#include "market/merger.h"
#include "market/utildata.h"
#include "platform/winsock.h"
#include "testing/fake_clock.h"
#include "testing/link_peer_double.h"
#include "testing/market_fixture_min.h"
#include "trading/pttlink.h"

namespace {

using market_fixture::AddKind;
using market_fixture::MakeMarket;
using market_fixture::MakeStock;
using market_fixture::MakeStockEx;

struct LinkWorld {
  LinkWorld() : clock(market_fixture::UtcAt(2024, 1, 15, 2, 0)) {
    UpdateCurrentUtcTime();
    WSADATA data;
    ws::WSAStartup(0x0202, &data);
    MKINFO dl = MakeMarket("DL", "dlf", 2, 4);
    AddKind(dl, "期货", {{540, 690}, {810, 900}}, 480, 960);
    box.WriteMarketInfo({dl});
    box.WriteTable(dl, "nametbl", std::vector<STKINFO>{MakeStock(0, 0, "CU05", "沪铜")});
    box.WriteTable(dl, "nametble", std::vector<STKINFOEX>{MakeStockEx("CU2405")});
    box.WriteText("cfg/MktMerge.ini", "[Combo1]\nMarketNumber=1\nMarket1ID=0\nMarket1Time=480\n");
    io = std::make_unique<TDataIO>(nullptr);
    CMarketMerger::Instance()->LoadDefault();
  }
  ~LinkWorld() {
    PttLinkStop();
    io.reset();
    CMarketMerger::FreeInstance();
    ws::WSACleanup();
  }
  ScopedFakeClock clock;
  market_fixture::MarketSandbox box;
  std::unique_ptr<TDataIO> io;
};

// A loopback UDP port nobody holds just now.
uint16_t FreePort() {
  testing_support::LinkPeerDouble spare;
  return spare.Port();
}

void BM_LinkQuoteNothingLinked(benchmark::State &state) {
  LinkWorld w;
  const REALQUOTE &quote = MarketAt(0)->m_quotes[0];
  for (auto _ : state) PttLinkSendQuote(STKPTR(0, 0, 0), quote);
}
BENCHMARK(BM_LinkQuoteNothingLinked);

void BM_LinkQuoteNoPeer(benchmark::State &state) {
  LinkWorld w;
  PttLinkStart(nullptr, FreePort());
  const REALQUOTE &quote = MarketAt(0)->m_quotes[0];
  for (auto _ : state) PttLinkSendQuote(STKPTR(0, 0, 0), quote);
}
BENCHMARK(BM_LinkQuoteNoPeer);

void BM_LinkQuotePeerSubscribed(benchmark::State &state) {
  LinkWorld w;
  testing_support::LinkPeerDouble peer;
  if (!PttLinkStart(nullptr, FreePort())) {
    state.SkipWithError("no link port");
    return;
  }
  peer.Target(PttLinkBoundPort());
  peer.Login(1);
  if (peer.ReceiveVerb("ACP|").empty()) {
    state.SkipWithError("no login");
    return;
  }
  peer.SendSubscriptions({"CU2405"});
  const REALQUOTE &quote = MarketAt(0)->m_quotes[0];
  int64_t sent = 0;
  for (auto _ : state) {
    PttLinkSendQuote(STKPTR(0, 0, 0), quote);
    // Keep the peer's receive buffer from filling.
    if (++sent % 256 == 0) {
      state.PauseTiming();
      while (!peer.Receive(0).empty()) {
      }
      state.ResumeTiming();
    }
  }
}
BENCHMARK(BM_LinkQuotePeerSubscribed);

}  // namespace
