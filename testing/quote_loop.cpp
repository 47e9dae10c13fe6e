#include "testing/quote_loop.h"

#include <cstdio>
#include <filesystem>
#include <string>

#include "market/answer.h"
#include "market/calendar.h"
#include "market/datafile.h"
#include "market/reqbuild.h"
#include "market/reqqueue.h"
#include "market/rights.h"
#include "market/utildata.h"
#include "platform/profile.h"
#include "platform/winsock.h"
#include "testing/pump.h"

namespace testing_support {

namespace {
QuoteLoop *active = nullptr;
}

QuoteLoop::QuoteLoop(QuoteRequestServer::Options options)
    : desc_(market_fixture::StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0))) {
  market_fixture::WriteDataSet(desc_, box_.Root());
  std::filesystem::create_directories(box_.Path("tmp"));
  UpdateCurrentUtcTime();
  LoadHolidayLists();
  LoadSessionTimeTable(&TimeZoneTable);
  TakeOverRights(QuoteDouble::DefaultGrant());
  io_ = std::make_unique<TDataIO>(nullptr);
  blocks_ = std::make_unique<TBlockGroup>();
  news_ = std::make_unique<TNewsIndex>();
  news_->Load();
  NewsIndex = news_.get();
  ResetRequestQueue();
  SetQueueClient(nullptr);

  active = this;
  main_ = trace_.Create(0);
  trace_.SetHandler(main_, MainProc);
  QuoteClientHooks() = TQuoteClientHooks{};
  QuoteClientHooks().mainWindow = main_;
  AnswerHooks() = TAnswerHooks{};
  std::snprintf(AnswerHooks().tempFolder, sizeof AnswerHooks().tempFolder, "..\\tmp\\");
  AnswerHooks().viewByTag = [](uint32_t tag) { return active && active->viewByTag ? active->viewByTag(tag) : nullptr; };
  InstallRequestHooks();

  WSADATA data;
  ws::WSAStartup(MAKEWORD(2, 2), &data);
  if (!quotes_.Running()) return;
  WritePrivateProfileStringA("Server", "Address", "127.0.0.1", ".\\SERVER.INI");
  WritePrivateProfileStringA("Server", "Port", std::to_string(quotes_.DirectoryPort()).c_str(), ".\\SERVER.INI");
  WritePrivateProfileStringA("Server", "Port1", std::to_string(quotes_.DataPort()).c_str(), ".\\SERVER.INI");
  const std::string userIni = std::string(UserDataPath) + "SERVER.INI";
  WritePrivateProfileStringA("Server", "UserName", "alice", userIni.c_str());
  WritePrivateProfileStringA("Server", "Password", "secret", userIni.c_str());
  server_ = std::make_unique<QuoteRequestServer>(desc_, options);
  server_->Install(quotes_);
  client_ = std::make_unique<TNormalClnt>();
  connected_ = client_->Login(nullptr, false) == kLoginOk && client_->ArmAsyncEvents();
  if (connected_) SetQueueClient(client_.get());
}

QuoteLoop::~QuoteLoop() {
  ResetRequestQueue();
  SetQueueClient(nullptr);
  client_.reset();
  ws::WSACleanup();
  NewsIndex = nullptr;
  news_.reset();
  blocks_.reset();
  io_.reset();
  AnswerHooks() = TAnswerHooks{};
  QuoteClientHooks() = TQuoteClientHooks{};
  CacheRequests() = CacheRequestHooks{};
  ClearRights();
  TimeZoneTable = SessionTimeTable{};
  active = nullptr;
}

bool QuoteLoop::Idle() { return RequestsInFlight() == 0 && RequestsQueued() == 0; }

bool QuoteLoop::WaitIdle(int timeoutMs) { return PumpUntil([] { return Idle(); }, timeoutMs); }

LRESULT QuoteLoop::MainProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
  if (active && active->onMainMessage) active->onMainMessage(message, wParam, lParam);
  return 0;
}

}  // namespace testing_support
