// The start-up downloads over loopback against the quote double serving the
// offline data set: a login and the downloads into an empty folder give the
// data set's files byte for byte, and every refused, cut or malformed
// answer ends its step with a defined result and the local files intact.
#include "market/startup_downloads.h"
#include "market/marketside.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "market/calendar.h"
#include "market/dataio5.h"
#include "platform/messages.h"
#include "market/nclient.h"
#include "market/utildata.h"
#include "platform/debugout.h"
#include "platform/profile.h"
#include "testing/fake_clock.h"
#include "testing/market_fixture.h"
#include "testing/market_fixture_min.h"
#include "testing/message_trace.h"
#include "testing/msgbox_recorder.h"
#include "testing/quote_double.h"
#include "testing/quote_double_startup.h"

namespace fs = std::filesystem;
using namespace market_fixture;
using testing_support::MessageTrace;
using Exchange = QuoteDouble::Exchange;

namespace {

std::string ReadAll(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

std::vector<uint8_t> Bytes(const std::string &s) { return std::vector<uint8_t>(s.begin(), s.end()); }

uint32_t Le32(const std::vector<uint8_t> &b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void Set16(std::vector<uint8_t> &b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
void Set32(std::vector<uint8_t> &b, size_t at, uint32_t v) {
  Set16(b, at, v & 0xFFFF);
  Set16(b, at + 2, v >> 16);
}

uint32_t DateOf(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return 0;
  const time_t t = st.st_mtim.tv_sec;
  std::tm utc{};
  gmtime_r(&t, &utc);
  return uint32_t(utc.tm_year + 1900) * 10000 + uint32_t(utc.tm_mon + 1) * 100 + uint32_t(utc.tm_mday);
}

// The debug output while it lives.
class DebugLines {
 public:
  DebugLines() {
    before_ = platform::SetDebugOutputSink([this](const std::string &line) {
      std::lock_guard<std::mutex> hold(lock_);
      lines_.push_back(line);
    });
  }
  ~DebugLines() { platform::SetDebugOutputSink(before_); }
  DebugLines(const DebugLines &) = delete;
  DebugLines &operator=(const DebugLines &) = delete;
  std::vector<std::string> Lines() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lines_;
  }
  bool Has(const std::string &part) const {
    for (const std::string &line : Lines())
      if (line.find(part) != std::string::npos) return true;
    return false;
  }

 private:
  platform::DebugOutputSink before_;
  mutable std::mutex lock_;
  std::vector<std::string> lines_;
};

// 2024-01-15 02:00 UTC, the fake clock's start.
PackedDateTime FixtureTime() { return MakePackedDateTime(2024, 1, 15, 2, 0); }

// A handler that serves the data set except for the n-th request (counted
// from 1) of its command, which the spoiler answers instead.
QuoteDouble::Handler SpoilNth(QuoteStartupService &service, int n, std::function<void(Exchange &)> spoiler) {
  auto seen = std::make_shared<int>(0);
  return [&service, n, spoiler, seen](Exchange &e) {
    if (++*seen == n)
      spoiler(e);
    else
      service.Serve(e);
  };
}

// The quote service's side: the standard data set with its server blocks
// and the three configuration files the data set lacks, written once for
// all tests; hs300w.ini takes several slices.
class ServerData {
 public:
  ServerData() {
    std::string pattern = (fs::temp_directory_path() / "kivo-startup-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    dataSet_ = StandardDataSet(FixtureTime());
    WriteDataSet(dataSet_, root_);
    WriteServerBlocks(dataSet_, root_);
    std::string weights = "[WEIGHT]\r\n";
    for (int i = 0; i < 300; ++i) weights += "6" + std::to_string(10000 + i) + "=0.33\r\n";
    Put("cfg/hs300w.ini", weights);
    Put("cfg/forfur.ini", "[Futures]\r\nCount=0\r\n");
    Put("cfg/forex.ini", "[Forex]\r\nCount=0\r\n");
  }
  ~ServerData() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  void Put(const std::string &relative, const std::string &bytes) const {
    std::ofstream(root_ + "/" + relative, std::ios::binary | std::ios::trunc) << bytes;
  }
  std::string Read(const std::string &relative) const { return ReadAll(root_ + "/" + relative); }
  const std::string &Root() const { return root_; }
  const DataSetDesc &Data() const { return dataSet_; }

 private:
  std::string root_;
  DataSetDesc dataSet_;
};

class StartupDownloadsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { server_ = new ServerData; }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    UpdateCurrentUtcTime();
    WSADATA data;
    ws::WSAStartup(MAKEWORD(2, 2), &data);
    ClearRights();
    QuoteClientHooks() = TQuoteClientHooks{};
    StartupHooks().startUpdater = [this] {
      ++updaterStarts_;
      return updaterWorks_;
    };
    ASSERT_TRUE(quotes_.Running());
    QuoteStartupService::Options options;
    options.configSliceBytes = 1000;
    options.blockPartBytes = 30;
    options.codeTablePage = 7;
    options.extendedItemsPerPart = 4;
    options.financeItemsPerPart = 8;
    service_.SetOptions(options);
    service_.Install();
    progress_ = trace_.Create(0);
    WritePrivateProfileStringA("Server", "Address", "127.0.0.1", ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "Port", std::to_string(quotes_.DirectoryPort()).c_str(), ".\\SERVER.INI");
    WritePrivateProfileStringA("Server", "Port1", std::to_string(quotes_.DataPort()).c_str(), ".\\SERVER.INI");
    const std::string userIni = std::string(UserDataPath) + "SERVER.INI";
    WritePrivateProfileStringA("Server", "UserName", "alice", userIni.c_str());
    WritePrivateProfileStringA("Server", "Password", "secret", userIni.c_str());
    Login();
  }
  void TearDown() override {
    StopMarketSide();
    client_.reset();
    ClearRights();
    ws::WSACleanup();
  }

  // A new client, logged in to the double; the old one goes.
  void Login() {
    client_ = std::make_unique<TNormalClnt>();
    ASSERT_EQ(client_->Login(nullptr, false), kLoginOk) << client_->Text();
  }

  // The market table takes its tables from the client, as at login.
  void ServeMarketTableFromClient() {
    TMarketSideSetup side;
    side.requestClient = [this] { return client_.get(); };
    side.dropRequestClient = [this] { client_.reset(); };
    side.startUpdater = StartupHooks().startUpdater;
    side.loadNewsIndex = false;
    StartMarketSide(side);
  }

  // The market as the market table makes it, with the record of the data set.
  std::unique_ptr<TMarketData> Market(int m, uint16_t capacity = 0) {
    MKINFO record = MarketRecord(server_->Data(), m);
    if (capacity) record.stockCount = capacity;
    return std::make_unique<TMarketData>(m, record);
  }

  std::string ClientFile(const std::string &relative) const { return box_.Read(relative); }
  std::string TablePath(int m, const char *base) const {
    const MarketDesc &market = server_->Data().markets[size_t(m)];
    return "data/" + market.shortName + "/" + base + "." + market.extension;
  }

  std::vector<LPARAM> UpdateSteps() const {
    std::vector<LPARAM> steps;
    for (const auto &m : trace_.Messages())
      if (m.message == WM_LOGIN_UPDATE_STEP) steps.push_back(m.lParam);
    return steps;
  }

  static ServerData *server_;
  ScopedFakeClock clock_;
  MarketSandbox box_;  // the client's empty folders; the current folder is its "prog"
  QuoteDouble quotes_;
  QuoteStartupService service_{quotes_, server_->Root()};
  MessageTrace trace_;
  MessageBoxRecorder boxes_;
  HWND progress_ = nullptr;
  std::unique_ptr<TNormalClnt> client_;
  int updaterStarts_ = 0;
  bool updaterWorks_ = true;
};

ServerData *StartupDownloadsTest::server_ = nullptr;

TEST_F(StartupDownloadsTest, LoginAndDownloadsIntoAnEmptyFolderGiveTheDataSetsFiles) {
  ASSERT_EQ(CheckProgramUpdate(*client_, progress_), 0);
  ASSERT_EQ(SendClientVersion(*client_, 20100003), 0);
  ASSERT_EQ(DownloadConfigFiles(*client_, progress_), 0);
  ServeMarketTableFromClient();
  {
    TDataIO io(progress_);
    ASSERT_EQ(MarketTable.loadState, 0);
    ASSERT_EQ(MarketTable.marketCount, int(server_->Data().markets.size()));
    for (int m = 0; m < MarketTable.marketCount; ++m)
      EXPECT_EQ(MarketAt(m)->m_loadedCount, int(server_->Data().markets[size_t(m)].instruments.size()));
    const STKINFO *cu05 = FindStockInMarket("CU05", 3);
    ASSERT_NE(cu05, nullptr);
    EXPECT_STREQ(GetStockInfoEx(STKPTR(3, 0, cu05->index).Word())->code, "CU2405");
  }  // the markets write their finance files as they go

  for (const char *name : kStartupConfigFiles) {
    SCOPED_TRACE(name);
    const std::string file = std::string("cfg/") + name;
    ASSERT_TRUE(box_.Exists(file));
    EXPECT_EQ(ClientFile(file), server_->Read(file));
    EXPECT_EQ(DateOf(box_.Path(file)), DateOf(server_->Root() + "/" + file));
  }
  EXPECT_FALSE(fs::exists(box_.Path("prog/updt.tmp")));
  int blockFiles = 0;
  for (const auto &entry : fs::directory_iterator(server_->Root() + "/cfg/Block")) {
    const std::string file = "cfg/Block/" + entry.path().filename().string();
    EXPECT_EQ(ClientFile(file), server_->Read(file)) << file;
    ++blockFiles;
  }
  EXPECT_EQ(blockFiles, int(server_->Data().sharedBlocks.blocks.size()) + 1);
  for (int m = 0; m < int(server_->Data().markets.size()); ++m) {
    for (const char *base : {"nametbl", "nametble", "Finance"}) {
      const std::string file = TablePath(m, base);
      const bool served = fs::exists(server_->Root() + "/" + file);
      EXPECT_EQ(box_.Exists(file), served) << file;
      if (served) EXPECT_EQ(ClientFile(file), server_->Read(file)) << file;
    }
  }

  // The requests: the version text, one request per slice of hs300w.ini.
  const auto version = quotes_.Frames(QuoteDouble::kData, FRAME_CLIENT_VERSION);
  ASSERT_EQ(version.size(), 1u);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(version[0].Body().data())), "2.10.3");
  const size_t weightsSize = server_->Read("cfg/hs300w.ini").size();
  size_t weightRequests = 0;
  for (const auto &f : quotes_.Frames(QuoteDouble::kData, FRAME_CONFIG_FILE))
    if (std::string(reinterpret_cast<const char *>(f.Body().data())) == "hs300w.ini") {
      EXPECT_EQ(Le32(f.Body(), 32), 0u);  // nothing local yet
      ++weightRequests;
    }
  EXPECT_EQ(weightRequests, (weightsSize + 999) / 1000);
  EXPECT_EQ(updaterStarts_, 0);
  EXPECT_EQ(trace_.Count(WM_LOGIN_CHECK_VERSION), 1u);
  EXPECT_EQ(UpdateSteps(), (std::vector<LPARAM>{1, 2, 3, 4, 5, 6, 7, 8}));
  EXPECT_NE(TradingCalendar.holidays[0], 0);  // read again from the new hldy.ini

  // The next login finds everything current: one short answer per file,
  // no block files, nothing rewritten.
  quotes_.ClearFrames();
  trace_.Clear();
  const auto before = fs::last_write_time(box_.Path("cfg/Block/BlockIndex.idx"));
  ASSERT_EQ(DownloadConfigFiles(*client_, progress_), 0);
  EXPECT_EQ(quotes_.Frames(QuoteDouble::kData, FRAME_CONFIG_FILE).size(), size_t(kStartupConfigFileCount));
  EXPECT_TRUE(quotes_.Frames(QuoteDouble::kData, FRAME_BLOCK_FILE).empty());
  EXPECT_EQ(fs::last_write_time(box_.Path("cfg/Block/BlockIndex.idx")), before);
  EXPECT_EQ(ClientFile("cfg/hs300w.ini"), server_->Read("cfg/hs300w.ini"));
  EXPECT_FALSE(fs::exists(box_.Path("prog/updt.tmp")));
  EXPECT_EQ(UpdateSteps(), (std::vector<LPARAM>{1, 2, 3, 4, 5, 6, 7}));
}

TEST_F(StartupDownloadsTest, UpdateCheckStartsTheUpdaterOnlyForANewerVersion) {
  struct Case {
    const char *installed;  // null: no version.txt
    uint32_t newest;
    bool updaterWorks;
    bool started;
  };
  const Case cases[] = {
      {nullptr, 20100001, true, true},
      {"20100001", 20100001, true, false},
      {"20100000\r\n", 20100001, true, true},
      {"99999999999", 4000000000u, true, false},
      {"", 1, true, true},
      {"20100000", 20100001, false, true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.installed ? c.installed : "(missing)");
    std::error_code ignored;
    fs::remove(box_.Path("prog/version.txt"), ignored);
    if (c.installed) box_.WriteText("prog/version.txt", c.installed);
    auto options = service_.GetOptions();
    options.newestVersion = c.newest;
    service_.SetOptions(options);
    updaterWorks_ = c.updaterWorks;
    updaterStarts_ = 0;
    boxes_.Clear();
    EXPECT_EQ(CheckProgramUpdate(*client_, progress_), 0);
    EXPECT_EQ(updaterStarts_, c.started ? 1 : 0);
    if (c.started && !c.updaterWorks) {
      ASSERT_EQ(boxes_.Count(), 1u);
      EXPECT_EQ(boxes_.Calls()[0].text, "客户端软件已更新，但无法启动自动升级程序。请稍后手动下载更新。  ");
      EXPECT_EQ(boxes_.Calls()[0].caption, "提示");
    } else {
      EXPECT_EQ(boxes_.Count(), 0u);
    }
  }

  // Answers that say nothing about a newer version: no updater, no message.
  updaterStarts_ = 0;
  fs::remove(box_.Path("prog/version.txt"));
  trace_.Clear();
  quotes_.Refuse(QuoteDouble::kData, FRAME_UPDATE_CHECK, "暂停服务");
  EXPECT_EQ(CheckProgramUpdate(*client_, progress_), 0);
  quotes_.Accept(QuoteDouble::kData, FRAME_UPDATE_CHECK);
  quotes_.SetHandler(QuoteDouble::kData, FRAME_UPDATE_CHECK, [](Exchange &e) {
    e.Answer(FRAME_UPDATE_CHECK, {0xFF, 0xFF});
  });
  EXPECT_EQ(CheckProgramUpdate(*client_, progress_), 0);
  EXPECT_EQ(updaterStarts_, 0);
  EXPECT_EQ(trace_.Count(WM_LOGIN_CHECK_VERSION), 0u);

  // A version answer without a body is no acknowledgement.
  quotes_.SetHandler(QuoteDouble::kData, FRAME_CLIENT_VERSION, [](Exchange &e) { e.Answer(FRAME_CLIENT_VERSION, {}); });
  EXPECT_EQ(SendClientVersion(*client_, 20100003), -1);

  QuoteDouble::Shape drop;
  drop.fault = QuoteDouble::Fault::kDrop;
  quotes_.SetShape(QuoteDouble::kData, FRAME_UPDATE_CHECK, drop);
  EXPECT_EQ(CheckProgramUpdate(*client_, progress_), -1);
}

// A configuration file spoiled at one of its slices: the old local copy
// stays and the staging file goes, whatever came.
TEST_F(StartupDownloadsTest, ConfigFileSpoiledMidwayLeavesTheLocalCopy) {
  auto head = [](uint32_t total, uint32_t date) {
    std::vector<uint8_t> body(44, 0);
    std::memcpy(body.data(), "hs300w.ini", 10);
    Set32(body, 32, total);
    Set32(body, 36, date);
    return body;
  };
  struct Case {
    const char *what;
    int slice;  // which request of the file is spoiled
    std::function<void(Exchange &)> spoil;
    int result;
  };
  const Case cases[] = {
      {"current midway", 2, [&](Exchange &e) { e.Answer(FRAME_CONFIG_FILE, head(5000, 20240101)); }, 1},
      {"server text midway", 2, [](Exchange &e) { e.Refuse("忙"); }, 1},
      {"total changes", 2,
       [&](Exchange &e) {
         auto body = head(9999, 20240101);
         body.resize(144, 'x');
         e.Answer(FRAME_CONFIG_FILE, body);
       },
       1},
      {"announced with no bytes", 1,
       [&](Exchange &e) {
         auto body = head(0, 20240101);
         body.resize(144, 'x');
         e.Answer(FRAME_CONFIG_FILE, body);
       },
       1},
      {"connection dropped", 3, [](Exchange &e) { e.Drop(); }, 0},
      {"head with an overlong body", 2,
       [](Exchange &e) { e.SendRaw(QuoteDouble::MakeFrame(FRAME_CONFIG_FILE, std::vector<uint8_t>(8193, 0))); }, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Login();
    box_.WriteText("cfg/hs300w.ini", "old");
    quotes_.SetHandler(QuoteDouble::kData, FRAME_CONFIG_FILE, SpoilNth(service_, c.slice, c.spoil));
    EXPECT_EQ(UpdateConfigFile(*client_, "hs300w.ini"), c.result);
    EXPECT_EQ(ClientFile("cfg/hs300w.ini"), "old");
    EXPECT_FALSE(fs::exists(box_.Path("prog/updt.tmp")));
  }
  // A failed exchange fails the whole step.
  Login();
  quotes_.SetHandler(QuoteDouble::kData, FRAME_CONFIG_FILE, SpoilNth(service_, 1, [](Exchange &e) { e.Drop(); }));
  EXPECT_EQ(DownloadConfigFiles(*client_, progress_), -1);

  // A file announced with no bytes is skipped, and the step goes on.
  Login();
  service_.Install();
  box_.WriteText("cfg/hs300w.ini", "old");
  quotes_.SetHandler(QuoteDouble::kData, FRAME_CONFIG_FILE, [&](Exchange &e) {
    if (std::string(reinterpret_cast<const char *>(e.body().data())) != "hs300w.ini") return service_.Serve(e);
    auto body = head(0, 20240101);
    body.resize(144, 'x');
    e.Answer(FRAME_CONFIG_FILE, body);
  });
  const DebugLines log;
  EXPECT_EQ(DownloadConfigFiles(*client_, progress_), 0);
  EXPECT_EQ(ClientFile("cfg/hs300w.ini"), "old");
  EXPECT_EQ(ClientFile("cfg/forex.ini"), server_->Read("cfg/forex.ini"));
  EXPECT_EQ(ClientFile("cfg/Block/BlockIndex.idx"), server_->Read("cfg/Block/BlockIndex.idx"));
  EXPECT_TRUE(log.Has("hs300w.ini")) << "the reason is logged";
}

// Every file's last slice runs past the size its head announces: each file
// is kept up to that size, so a login into an empty folder still gets its
// market table.
TEST_F(StartupDownloadsTest, ConfigFilesLongerThanAnnouncedAreKeptUpToTheirSize) {
  auto options = service_.GetOptions();
  options.configOverrunBytes = 37;
  service_.SetOptions(options);
  const DebugLines log;
  ASSERT_EQ(DownloadConfigFiles(*client_, progress_), 0);
  for (const char *name : kStartupConfigFiles) {
    SCOPED_TRACE(name);
    const std::string file = std::string("cfg/") + name;
    EXPECT_EQ(ClientFile(file), server_->Read(file));
  }
  EXPECT_FALSE(fs::exists(box_.Path("prog/updt.tmp")));
  EXPECT_TRUE(log.Has("mkinfo.cfg")) << "the cut is logged";
  ServeMarketTableFromClient();
  TDataIO io(progress_);
  ASSERT_EQ(MarketTable.loadState, 0);
  EXPECT_EQ(MarketTable.marketCount, int(server_->Data().markets.size()));
}

// A block answer spoiled in its content costs only the blocks it spoils:
// those keep their old file and their old index entry, so that they are
// asked for again, and the login goes on. A refused index skips the blocks;
// a dropped connection fails the step with the local index as it was.
TEST_F(StartupDownloadsTest, BlockAnswersSpoiledSkipOnlyTheBlocksTheySpoil) {
  const std::string index = server_->Read("cfg/Block/BlockIndex.idx");
  const size_t entries = (index.size() - 4) / 26;
  ASSERT_GE(entries, 3u);
  auto entry = [&](size_t i) { return index.substr(4 + i * 26, 26); };
  auto idOf = [&](size_t i) { return Le32(Bytes(entry(i)), 1); };
  // The local side: every block at version 0 with a file of its own, so
  // that every block is asked for.
  std::string local = std::string(1, char(index[0] + 1)) + index.substr(1, 3);
  for (size_t i = 0; i < entries; ++i) local += entry(i).substr(0, 22) + std::string(4, '\0');
  auto localEntry = [&](size_t i) { return local.substr(4 + i * 26, 26); };
  auto oldFile = [&](size_t i) { return "old file of " + std::to_string(idOf(i)); };
  auto serverFile = [&](size_t i) { return Bytes(server_->Read("cfg/Block/" + std::to_string(idOf(i)) + ".dat")); };

  struct Case {
    const char *what;
    uint8_t command;
    std::function<void(Exchange &)> spoil;
    int result;
    std::string index;          // the index written ("local": left as it was)
    std::vector<bool> arrived;  // by entry: the server's file came, else the old file stays
  };
  std::vector<bool> none(entries, false), all(entries, true), firstOnly(entries, false);
  firstOnly[0] = true;
  std::string firstNew = index.substr(0, 4) + entry(0);
  for (size_t i = 1; i < entries; ++i) firstNew += localEntry(i);
  std::string allOld = index.substr(0, 4) + local.substr(4);
  std::string allButLast = index.substr(0, 4 + (entries - 1) * 26);
  std::vector<bool> allButLastArrived(entries, true);
  allButLastArrived.back() = false;
  const Case cases[] = {
      {"answer ends inside its last file", FRAME_BLOCK_FILE,
       [&](Exchange &e) {
         std::vector<uint8_t> cut = serverFile(1);
         cut.pop_back();
         e.AnswerParts(FRAME_BLOCK_FILE, {serverFile(0), cut});
       },
       0, firstNew, firstOnly},
      {"member part refused", FRAME_BLOCK_FILE, [](Exchange &e) { e.Refuse("无板块"); }, 0, allOld, none},
      {"member part of ten bytes", FRAME_BLOCK_FILE,
       [](Exchange &e) { e.Answer(FRAME_BLOCK_FILE, std::vector<uint8_t>(10, 0)); }, 0, allOld, none},
      {"a part between that is no block file", FRAME_BLOCK_FILE,
       [&](Exchange &e) { e.AnswerParts(FRAME_BLOCK_FILE, {serverFile(0), {1, 2, 3}, serverFile(1)}); }, 0, firstNew,
       firstOnly},
      {"index with its last entry cut", FRAME_BLOCK_INDEX,
       [&](Exchange &e) { e.Answer(FRAME_BLOCK_INDEX, Bytes(index.substr(0, index.size() - 3))); }, 0, allButLast,
       allButLastArrived},
      {"index refused", FRAME_BLOCK_INDEX, [](Exchange &e) { e.Refuse("无板块"); }, 0, "local", none},
      {"connection dropped", FRAME_BLOCK_FILE, [](Exchange &e) { e.Drop(); }, -1, "local", none},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Login();
    service_.Install();
    box_.WriteText("cfg/Block/BlockIndex.idx", local);
    for (size_t i = 0; i < entries; ++i) box_.WriteText("cfg/Block/" + std::to_string(idOf(i)) + ".dat", oldFile(i));
    quotes_.SetHandler(QuoteDouble::kData, c.command, SpoilNth(service_, 1, c.spoil));
    const DebugLines log;
    EXPECT_EQ(DownloadConfigFiles(*client_, progress_), c.result);
    EXPECT_EQ(ClientFile("cfg/Block/BlockIndex.idx"), c.index == "local" ? local : c.index);
    for (size_t i = 0; i < entries; ++i) {
      const std::vector<uint8_t> file = Bytes(ClientFile("cfg/Block/" + std::to_string(idOf(i)) + ".dat"));
      EXPECT_EQ(file, c.arrived[i] ? serverFile(i) : Bytes(oldFile(i))) << idOf(i);
    }
    if (c.result == 0 && c.index != "local" && c.index != index) EXPECT_FALSE(log.Lines().empty());
  }
}

// Only new, changed or missing blocks are asked for, ten to a request.
TEST_F(StartupDownloadsTest, OnlyNeededBlocksAreFetchedInBatchesOfTen) {
  DataSetDesc dataSet = server_->Data();
  dataSet.sharedBlocks.blocks.clear();
  for (int i = 0; i < 13; ++i)
    dataSet.sharedBlocks.blocks.push_back({"板块" + std::to_string(i), {"SH 600000", "SZ 000001"}});
  const std::string root = box_.Path("server");
  WriteServerBlocks(dataSet, root);
  QuoteStartupService blocks(quotes_, root);  // no configuration files: all current
  blocks.Install();

  std::string index = ReadAll(root + "/cfg/Block/BlockIndex.idx");
  index[0] = 7;                // another version word, so that the server sends its index
  index[4 + 2 * 26 + 22] = 0;  // block 1003: another version locally
  box_.WriteText("cfg/Block/BlockIndex.idx", index);
  box_.WriteText("cfg/Block/1001.dat", ReadAll(root + "/cfg/Block/1001.dat"));               // current
  box_.WriteText("cfg/Block/1002.dat", ReadAll(root + "/cfg/Block/1002.dat").substr(0, 8));  // too short
  box_.WriteText("cfg/Block/1003.dat", ReadAll(root + "/cfg/Block/1003.dat"));
  box_.WriteText("cfg/Block/1004.dat", ReadAll(root + "/cfg/Block/1004.dat").substr(0, 9));  // short but kept

  ASSERT_EQ(DownloadConfigFiles(*client_, progress_), 0);
  const auto requests = quotes_.Frames(QuoteDouble::kData, FRAME_BLOCK_FILE);
  ASSERT_EQ(requests.size(), 2u);
  std::vector<uint32_t> asked;
  for (const auto &r : requests) {
    const auto body = r.Body();
    for (size_t at = 0; at + 7 <= body.size(); at += 7) {
      EXPECT_EQ(body[at], 2);  // the entry's category
      EXPECT_EQ(body[at + 5] | body[at + 6], 0);
      asked.push_back(Le32(body, at + 1));
    }
  }
  EXPECT_EQ(requests[0].Body().size(), 70u);
  EXPECT_EQ(asked, (std::vector<uint32_t>{1002, 1003, 1005, 1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013}));
  for (int id = 1001; id <= 1013; ++id) {
    const std::string file = "cfg/Block/" + std::to_string(id) + ".dat";
    if (id == 1004) continue;
    EXPECT_EQ(ClientFile(file), ReadAll(root + "/" + file)) << file;
  }
  EXPECT_EQ(ClientFile("cfg/Block/BlockIndex.idx"), ReadAll(root + "/cfg/Block/BlockIndex.idx"));
}

// The code table: pages until the total, bounded by the body and by the
// market's room. A page that is refused, empty, for another market or from
// another entry ends the table: the pages before it stay the market's
// entries, nothing is written, and nothing loops. Only a failed exchange
// fails, with nothing of the market changed.
TEST_F(StartupDownloadsTest, CodeTableAnswersAreBoundedAndNeverLoop) {
  const std::string serverTable = server_->Read(TablePath(0, "nametbl"));
  const int entries = int(serverTable.size() / sizeof(STKINFO));
  ASSERT_EQ(entries, 31);
  struct Case {
    const char *what;
    uint16_t capacity;
    std::function<void(Exchange &)> answer;  // null: the data set's pages
    int result;
    bool written;
  };
  auto servePage = [&](Exchange &e, size_t announced, size_t held, uint32_t total, uint8_t market, int first) {
    const size_t from = first >= 0 ? size_t(first) : size_t(e.body()[1] | e.body()[2] << 8);
    std::vector<uint8_t> body(7, 0);
    body[0] = market;
    Set16(body, 1, uint32_t(from));
    Set16(body, 3, uint32_t(announced));
    Set16(body, 5, total);
    held = std::min(held, size_t(entries) - std::min(from, size_t(entries)));
    body.insert(body.end(), serverTable.begin() + ptrdiff_t(from * 32),
                serverTable.begin() + ptrdiff_t((from + held) * 32));
    e.Answer(FRAME_CODE_TABLE, body);
  };
  const Case cases[] = {
      {"pages of the data set", 0, nullptr, 31, true},
      {"more entries than room", 20, nullptr, 20, true},
      {"announces more than the body holds", 0, [&](Exchange &e) { servePage(e, 255, 5, 31, 0, -1); }, 31, true},
      {"empty market", 0, [&](Exchange &e) { servePage(e, 0, 0, 0, 0, -1); }, 0, true},
      {"third page refused", 0, SpoilNth(service_, 3, [](Exchange &e) { e.Refuse("无代码表"); }), 14, false},
      {"empty page before the total", 0, [&](Exchange &e) { servePage(e, 0, 0, 31, 0, -1); }, 0, false},
      {"announces entries the body lacks", 0, [&](Exchange &e) { servePage(e, 7, 0, 31, 0, -1); }, 0, false},
      {"page of another market", 0, [&](Exchange &e) { servePage(e, 7, 7, 31, 1, -1); }, 0, false},
      {"page from another entry", 0, [&](Exchange &e) { servePage(e, 7, 7, 31, 0, 3); }, 0, false},
      {"body shorter than the head", 0,
       [](Exchange &e) {
         e.Answer(FRAME_CODE_TABLE, {0, 0, 0, 7});
       },
       0, false},
      {"refused", 0, [](Exchange &e) { e.Refuse("无代码表"); }, 0, false},
      {"connection dropped", 0, [](Exchange &e) { e.Drop(); }, -1, false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Login();
    std::error_code ignored;
    fs::remove(box_.Path(TablePath(0, "nametbl")), ignored);
    quotes_.SetHandler(
        QuoteDouble::kData, FRAME_CODE_TABLE,
        c.answer ? QuoteDouble::Handler(c.answer) : QuoteDouble::Handler([this](Exchange &e) { service_.Serve(e); }));
    auto market = Market(0, c.capacity);
    const DebugLines log;
    EXPECT_EQ(DownloadCodeTables(*client_, *market), c.result);
    EXPECT_EQ(market->m_loadedCount, std::max(c.result, 0));
    EXPECT_EQ(box_.Exists(TablePath(0, "nametbl")), c.written);
    if (c.written) EXPECT_EQ(ClientFile(TablePath(0, "nametbl")), serverTable.substr(0, size_t(c.result) * 32));
    if (c.result > 7) EXPECT_EQ(market->FindStockIndex("600519"), 7);
    if (c.result >= 0 && !c.written) EXPECT_TRUE(log.Has("DownloadCodeTables")) << "the reason is logged";
  }
}

// A market the account has no rights to: its code table is refused, the
// market stays empty and the login goes on with every other market.
TEST_F(StartupDownloadsTest, AMarketWithoutRightsDoesNotStopTheLogin) {
  const int refused = 1;
  quotes_.SetHandler(QuoteDouble::kData, FRAME_CODE_TABLE, [this](Exchange &e) {
    if (!e.body().empty() && e.body()[0] == refused)
      e.Refuse("无权限");
    else
      service_.Serve(e);
  });
  ASSERT_EQ(DownloadConfigFiles(*client_, progress_), 0);
  ServeMarketTableFromClient();
  {
    TDataIO io(progress_);
    ASSERT_EQ(MarketTable.loadState, 0);
    ASSERT_EQ(MarketTable.marketCount, int(server_->Data().markets.size()));
    for (int m = 0; m < MarketTable.marketCount; ++m)
      EXPECT_EQ(MarketAt(m)->m_loadedCount, m == refused ? 0 : int(server_->Data().markets[size_t(m)].instruments.size()))
          << m;
    EXPECT_EQ(trace_.Count(WM_LOGIN_FAILED), 0u);
    EXPECT_EQ(trace_.Count(WM_LOGIN_DONE), 1u);
  }
  EXPECT_NE(client_, nullptr);
  EXPECT_EQ(boxes_.Count(), 0u);
  EXPECT_FALSE(box_.Exists(TablePath(refused, "nametbl")));
  EXPECT_TRUE(box_.Exists(TablePath(0, "nametbl")));
}

// Trailing blanks of codes and names are cut; contract codes come only from
// parts of the market asked for, by code.
TEST_F(StartupDownloadsTest, CodeTableTrimsBlanksAndMatchesContractsByCode) {
  const int qh = 3;
  // Entry 0 gets blanks after its code and name on the wire.
  quotes_.SetHandler(QuoteDouble::kData, FRAME_CODE_TABLE, [&](Exchange &e) {
    std::string table = server_->Read(TablePath(qh, "nametbl"));
    std::vector<uint8_t> body{uint8_t(qh), 0, 0};
    const uint16_t count = uint16_t(table.size() / 32);
    body.push_back(uint8_t(count));
    body.push_back(0);
    body.push_back(uint8_t(count));
    body.push_back(0);
    table.replace(2 + 4, 3, "   ");  // "QHZS" + blanks
    table.replace(9 + 8, 1, " ");
    body.insert(body.end(), table.begin(), table.end());
    e.Answer(FRAME_CODE_TABLE, body);
  });
  quotes_.SetHandler(QuoteDouble::kData, FRAME_NAME_TABLE, [](Exchange &e) {
    auto item = [](const char *contract, const char *code) {
      std::vector<uint8_t> bytes(14, 0);
      std::memcpy(bytes.data(), contract, std::strlen(contract));
      std::memcpy(bytes.data() + 7, code, std::strlen(code));
      return bytes;
    };
    std::vector<uint8_t> mine{3}, other{2}, last{3};
    for (auto &b : item("CU2405", "CU05")) mine.push_back(b);
    for (auto &b : item("NOPE", "XX99")) mine.push_back(b);
    for (auto &b : item("WRONG", "CU06")) other.push_back(b);
    for (auto &b : item("CU2406", "CU06")) last.push_back(b);
    e.AnswerParts(FRAME_NAME_TABLE, {mine, other, {9, 9}, last});
  });
  auto market = Market(qh);
  ASSERT_EQ(DownloadCodeTables(*client_, *market), int(server_->Data().markets[qh].instruments.size()));
  EXPECT_EQ(std::string(market->m_stocks[0].code, 7), std::string("QHZS\0\0\0", 7));
  EXPECT_EQ(market->m_stocks[0].name[8], '\0');
  EXPECT_EQ(ClientFile(TablePath(qh, "nametbl")).substr(0, 32),
            std::string(reinterpret_cast<const char *>(&market->m_stocks[0]), 32));
  std::vector<std::string> contracts;
  for (int i = 0; i < market->m_loadedCount; ++i)
    contracts.emplace_back(market->m_stocksEx[i].code, strnlen(market->m_stocksEx[i].code, 7));
  // The data set's places of the two contracts the answer names.
  const auto &instruments = server_->Data().markets[qh].instruments;
  auto place = [&](const char *code) {
    for (size_t i = 0; i < instruments.size(); ++i)
      if (instruments[i].code == code) return i;
    return instruments.size();
  };
  const size_t cu05 = place("CU05"), cu06 = place("CU06");
  ASSERT_LT(cu05, contracts.size());
  ASSERT_LT(cu06, contracts.size());
  EXPECT_EQ(contracts[cu05], "CU2405");
  EXPECT_EQ(contracts[cu06], "CU2406");
  for (size_t i = 0; i < contracts.size(); ++i)
    if (i != cu05 && i != cu06) EXPECT_EQ(contracts[i], "") << i;
  const std::string written = ClientFile(TablePath(qh, "nametble"));
  ASSERT_EQ(written.size(), contracts.size() * 7);
  EXPECT_EQ(written.substr(cu05 * 7, 7), std::string("CU2405\0", 7));
}

// A market file that names a folder outside the data folder leaves that
// market empty before anything is asked or written.
TEST_F(StartupDownloadsTest, UnsafeMarketFolderIsRefused) {
  for (const char *shortName : {"..", "a\\b", "c:"}) {
    SCOPED_TRACE(shortName);
    MKINFO record = MarketRecord(server_->Data(), 0);
    std::memset(record.shortName, 0, sizeof record.shortName);
    std::memcpy(record.shortName, shortName, std::strlen(shortName));
    TMarketData market(0, record);
    quotes_.ClearFrames();
    EXPECT_EQ(DownloadCodeTables(*client_, market), 0);
    EXPECT_EQ(market.m_loadedCount, 0);
    EXPECT_TRUE(quotes_.Frames(QuoteDouble::kData, FRAME_CODE_TABLE).empty());
  }
  EXPECT_FALSE(fs::exists(box_.Path("nametbl.shd")));
  // Nor does the market itself write its quotes there when it goes.
  EXPECT_FALSE(fs::exists(box_.Path("real.shd")));
}

// Finance items fill the named market's records inside its loaded entries
// only; answers that are no finance end the download without error.
TEST_F(StartupDownloadsTest, FinanceItemsStayInsideTheNamedMarketsTable) {
  const std::string served = server_->Read(TablePath(0, "Finance"));
  auto market = Market(0);
  ASSERT_EQ(DownloadCodeTables(*client_, *market), 31);
  ASSERT_EQ(DownloadFinance(*client_, *market), 0);
  EXPECT_EQ(std::string(reinterpret_cast<const char *>(market->m_finance), served.size()), served);

  auto item = [](uint16_t stock, float value) {
    std::vector<uint8_t> bytes(34, 0);
    Set16(bytes, 0, stock);
    for (int k = 0; k < 8; ++k) std::memcpy(bytes.data() + 2 + 4 * k, &value, 4);
    return bytes;
  };
  auto part0 = [&](uint16_t named, std::vector<std::vector<uint8_t>> items) {
    std::vector<uint8_t> body(9, 0);
    Set16(body, 1, named);
    for (auto &i : items) body.insert(body.end(), i.begin(), i.end());
    return body;
  };
  std::memset(static_cast<void *>(market->m_finance), 0, size_t(market->m_stockCount) * sizeof(FINANCE));
  market->m_finance[3].indexWeight = 0.25f;
  struct Case {
    const char *what;
    std::function<void(Exchange &)> answer;
    int result;
  };
  const Case cases[] = {
      {"outside the loaded entries",
       [&](Exchange &e) {
         auto second = item(30, 2.0f);
         auto beyond = item(31, 9.0f);
         second.insert(second.end(), beyond.begin(), beyond.end());
         auto far = item(60000, 9.0f);
         second.insert(second.end(), far.begin(), far.end());
         second.push_back(1);  // a cut item at the end
         e.AnswerParts(FRAME_FINANCE, {part0(0, {item(3, 1.0f)}), second});
       },
       0},
      {"another market the table lacks",
       [&](Exchange &e) { e.AnswerParts(FRAME_FINANCE, {part0(47, {item(4, 9.0f)})}); }, 0},
      {"part 0 with the head alone", [&](Exchange &e) { e.Answer(FRAME_FINANCE, part0(0, {})); }, 0},
      {"refused", [](Exchange &e) { e.Refuse("无财务数据"); }, 0},
      {"connection dropped", [](Exchange &e) { e.Drop(); }, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    Login();
    quotes_.SetHandler(QuoteDouble::kData, FRAME_FINANCE, c.answer);
    EXPECT_EQ(DownloadFinance(*client_, *market), c.result);
  }
  for (int i = 0; i < market->m_stockCount; ++i) {
    const float expected = i == 3 ? 1.0f : i == 30 ? 2.0f : 0.0f;
    EXPECT_EQ(market->m_finance[i].netAssetsPerShare, expected) << i;
    EXPECT_EQ(market->m_finance[i].totalLiabilities, expected) << i;
  }
  EXPECT_EQ(market->m_finance[3].indexWeight, 0.25f);  // the weight is not the server's
}

}  // namespace
