#include "testing/terminal_sandbox.h"

#include <cstdio>

#include "market/marketside.h"
#include "market/utildata.h"
#include "platform/path.h"
#include "platform/winsock.h"
#include "shell/quoteconn.h"
#include "testing/quote_service.h"
#include "testing/temp_folder.h"

namespace fs = std::filesystem;

TerminalSandbox::TerminalSandbox(const market_fixture::DataSetDesc &dataSet, const QuoteService &service,
                                 const std::string &user, const std::string &password, const char *name) {
  root_ = testing_support::MakeTempFolder(name);
  old_ = fs::current_path();
  ready_ = WriteTerminalFolders(dataSet, root_, &service, user, password);
  fs::current_path(root_ + "/bin");
  std::snprintf(UserDataPath, sizeof UserDataPath, "%s\\", platform::ToWindowsPath(root_ + "/user").c_str());
  WSADATA data;
  ws::WSAStartup(MAKEWORD(2, 2), &data);
  TMarketSideSetup setup;
  setup.requestClient = [] { return QuoteServerClient; };
  StartMarketSide(setup);
}

TerminalSandbox::~TerminalSandbox() {
  DeleteRealtimeClient();
  DeleteQuoteServerClient();
  StopMarketSide();
  ws::WSACleanup();
  UserDataPath[0] = 0;
  fs::current_path(old_);
  fs::remove_all(root_);
}
