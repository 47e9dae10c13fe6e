#include "market/marketside.h"

#include <cstdio>
#include <memory>

#include "market/answer.h"
#include "market/dataio5.h"
#include "market/datafile.h"
#include "market/nclient.h"
#include "market/newsindex.h"
#include "market/realclient.h"
#include "market/reqbuild.h"
#include "market/reqqueue.h"
#include "market/startup_downloads.h"

namespace {

bool madeNewsIndex = false;

}  // namespace

void StartMarketSide(const TMarketSideSetup &setup) {
  TQuoteClientHooks &quote = QuoteClientHooks();
  quote = TQuoteClientHooks{};
  quote.mainWindow = setup.mainWindow;
  quote.arguments = setup.arguments;
  InstallRequestHooks();  // the cache readers' requests and the queue reset before each login
  SetQueueClient(setup.requestClient ? setup.requestClient() : nullptr);

  TAnswerHooks &answers = AnswerHooks();
  answers = TAnswerHooks{};
  std::snprintf(answers.tempFolder, sizeof answers.tempFolder, "%s", setup.tempFolder.c_str());
  answers.viewByTag = setup.viewByTag;
  answers.redrawFastChange = setup.redrawFastChange;
  answers.reloadNote = setup.reloadNote;

  auto client = setup.requestClient;
  TPushClientHooks &push = PushClientHooks();
  push = TPushClientHooks{};
  push.requestRealtimeMessage = [client](uint32_t value) {
    if (client && client()) RequestRealtimeMessage(value);
  };
  push.modalBoxShown = setup.modalBoxShown;

  MarketTableServices &table = MarketServices();
  table = MarketTableServices{};
  table.hasRequestClient = [client] { return client && client() != nullptr; };
  table.downloadCodeTables = [client](TMarketData &market) {
    TNormalClnt *c = client ? client() : nullptr;
    return c ? DownloadCodeTables(*c, market) : -1;
  };
  table.downloadFinance = [client](TMarketData &market) {
    TNormalClnt *c = client ? client() : nullptr;
    return c ? DownloadFinance(*c, market) : -1;
  };
  table.dropRequestClient = setup.dropRequestClient;

  StartupHooks() = TStartupHooks{};
  StartupHooks().startUpdater = setup.startUpdater;

  if (setup.loadNewsIndex && !NewsIndex) {
    NewsIndex = new TNewsIndex;
    NewsIndex->Load();
    madeNewsIndex = true;
  }
}

void StopMarketSide() {
  ResetRequestQueue();
  SetQueueClient(nullptr);
  QuoteClientHooks() = TQuoteClientHooks{};
  AnswerHooks() = TAnswerHooks{};
  PushClientHooks() = TPushClientHooks{};
  MarketServices() = MarketTableServices{};
  StartupHooks() = TStartupHooks{};
  CacheRequests() = CacheRequestHooks{};
  if (madeNewsIndex) {
    delete NewsIndex;
    NewsIndex = nullptr;
    madeNewsIndex = false;
  }
}
