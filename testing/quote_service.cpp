#include "testing/quote_service.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/clock.h"
#include "testing/page_fixture.h"
#include "testing/temp_folder.h"
#include "views/viewattr.h"

QuoteService::QuoteService(const market_fixture::DataSetDesc &dataSet, const Options &options) {
  QuoteDouble::Options ports;
  ports.ports[QuoteDouble::kDirectory] = options.directoryPort;
  ports.ports[QuoteDouble::kData] = options.dataPort;
  servers_ = std::make_unique<QuoteDouble>(ports);
  QuotePushDouble::Options pushOptions;
  pushOptions.port = options.pushPort;
  push_ = std::make_unique<QuotePushDouble>(pushOptions);
  if (!options.user.empty()) servers_->SetAccount(options.user, options.password);
  folder_ = testing_support::MakeTempFolder("kivo-quote-service");
  if (!folder_.empty()) {
    market_fixture::WriteDataSet(dataSet, folder_);
    WriteServerBlocks(dataSet, folder_);
    for (const char *name : {"forfur.ini", "forex.ini", "hs300w.ini"}) std::ofstream(folder_ + "/cfg/" + name, std::ios::app);
  }
  requests_ = std::make_unique<QuoteRequestServer>(dataSet);
  requests_->Install(*servers_);
  startup_ = std::make_unique<QuoteStartupService>(*servers_, folder_);
  startup_->Install();
  push_->SetDataSet(dataSet);
  QuotePushDouble::Script script;
  script.quotesPerSecond = options.quotesPerSecond;
  script.shortQuotesPerSecond = options.quotesPerSecond / 4;
  script.priceHeadsPerSecond = 1.0 / 20;
  script.advicePerSecond = 1.0 / 120;
  script.newsPerSecond = 1.0 / 45;
  script.messagesPerSecond = 1.0 / 600;
  script.clockEachMinute = true;
  script.snapshotOnSubscribe = true;
  push_->SetScript(script);
}

QuoteService::~QuoteService() {
  push_.reset();
  startup_.reset();
  requests_.reset();
  servers_.reset();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool QuoteService::Running() const { return !folder_.empty() && servers_->Running() && push_->Running(); }

namespace {

bool WriteText(const std::string &path, const std::string &text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  return bool(out);
}

}  // namespace

bool WriteFirstPage(const std::string &root) {
  VIEW_ATTR_13 report;
  std::memset(static_cast<void *>(&report), 0, sizeof report);
  InitViewAttr(VIEW_TYPE_REPORT, &report);
  page_fixture::PaneDesc pane;
  pane.viewType = VIEW_TYPE_REPORT;
  pane.columns.assign(report.columns, report.columns + std::min<size_t>(report.columnCount, sizeof report.columns));
  try {
    page_fixture::WriteFile(root + "/cfg/kvpage0.ppg", page_fixture::PageFileBytes(13, "报价", page_fixture::Pane(1, 1.0f, pane)));
    return true;
  } catch (const std::exception &) {
    return false;
  }
}

bool WriteDemoTheme(const std::string &root) {
  // COLORREF values: red | green << 8 | blue << 16.
  auto rgb = [](int r, int g, int b) { return std::to_string(r | g << 8 | b << 16); };
  const std::string text = rgb(210, 210, 210), up = rgb(255, 82, 82), down = rgb(0, 230, 0);
  const std::string kLines[8] = {rgb(255, 255, 255), rgb(255, 255, 0), rgb(255, 0, 255), rgb(0, 230, 0),
                                 rgb(64, 160, 255), rgb(255, 160, 0), rgb(160, 160, 255), rgb(255, 128, 192)};
  std::string ini = "[Color0]\r\n";
  for (int n = 1; n <= 64; ++n) {
    std::string value = text;
    if (n == 1 || n == 17) value = rgb(0, 0, 0);
    else if (n == 2) value = rgb(84, 255, 255);  // falling bars
    else if (n == 3) value = up;                 // rising bars
    else if (n >= 4 && n <= 11) value = kLines[n - 4];  // indicator lines and overlays
    else if (n == 19) value = down;
    else if (n == 21) value = up;
    else if (n == 25) value = rgb(0, 0, 128);
    else if (n == 26) value = rgb(64, 64, 64);
    else if (n == 27) value = rgb(0, 0, 0);       // text views' background (news, notes, information): not their text's grey
    else if (n == 57) value = rgb(40, 80, 160);   // news type tabs: the current one's button, the others' text
    else if (n == 60) value = rgb(255, 220, 0);   // the current text tab and the other news branches
    else if (n == 34) value = rgb(32, 32, 32);
    else if (n == 61) value = rgb(28, 28, 48);  // past days behind the intraday lines: dark, not the lines' grey
    else if (n == 63) value = rgb(12, 12, 12);
    else if (n == 64) value = rgb(40, 40, 72);
    ini += std::string("COLOR") + char('0' + n / 10) + char('0' + n % 10) + "=" + value + "\r\n";
  }
  return WriteText(root + "/cfg/clrfont.ini", ini);
}

bool WriteTerminalFolders(const market_fixture::DataSetDesc &dataSet, const std::string &root, uint16_t directoryPort,
                          uint16_t dataPort, uint16_t pushPort, const std::string &user, const std::string &password) {
  std::error_code error;
  std::filesystem::create_directories(root + "/bin", error);
  if (error) return false;
  try {
    market_fixture::WriteDataSet(dataSet, root);
  } catch (const std::exception &) {
    return false;
  }
  if (!WriteDemoTheme(root)) return false;
  std::string servers = "[RIGHT]\r\n";
  if (directoryPort) {
    servers += "svraddr0=127.0.0.1\r\ncompany0=本机行情\r\nNetwork0=1\r\nsvrport0=" + std::to_string(directoryPort) +
               "\r\nlastindex=0\r\n";
    servers += "[Server]\r\nAddress=127.0.0.1\r\nPort=" + std::to_string(directoryPort) +
               "\r\nPort1=" + std::to_string(dataPort) + "\r\nPort2=" + std::to_string(pushPort) + "\r\n";
  }
  if (!WriteText(root + "/bin/SERVER.INI", servers)) return false;
  if (!user.empty())
    return WriteText(root + "/user/SERVER.INI", "[Server]\r\nVersion=1\r\nUserName=" + user + "\r\nPassword=" +
                                                    password + "\r\nSavePass=1\r\n");
  return true;
}

bool WriteTerminalFolders(const market_fixture::DataSetDesc &dataSet, const std::string &root,
                          const QuoteService *service, const std::string &user, const std::string &password) {
  if (!service) return WriteTerminalFolders(dataSet, root, 0, 0, 0, user, password);
  auto &s = const_cast<QuoteService &>(*service);
  return WriteTerminalFolders(dataSet, root, s.Servers().DirectoryPort(), s.Servers().DataPort(), s.Push().Port(),
                              user, password);
}

PackedDateTime UtcNowPacked() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return MakePackedDateTime(t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute);
}
