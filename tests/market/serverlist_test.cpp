// The quote-server list as SERVER.INI holds it.
#include <gtest/gtest.h>

#include "market/serverlist.h"
#include "testing/temp_folder.h"

namespace {

using ServerListTest = testing_support::TempFolderTest;

// A port no port can have takes the default instead of being cut to 16 bits
// (70000 would have become 4464 and connected somewhere else).
TEST_F(ServerListTest, PortsOutOfRangeTakeTheDefault) {
  struct Case {
    const char *svrport, *loginport;
    uint16_t port, loginPort;
  } cases[] = {
      {"13131", "8000", 13131, 8000},
      {"70000", "65536", 13130, 0},
      {"-1", "65535", 13130, 65535},
  };
  for (const Case &c : cases) {
    Put(root_ + "/SERVER.INI", std::string("[RIGHT]\r\nsvraddr0=127.0.0.1\r\ncompany0=A\r\nsvrport0=") + c.svrport +
                                   "\r\nloginport0=" + c.loginport + "\r\n");
    QuoteServerEntry servers[kMaxQuoteServers];
    ASSERT_EQ(ReadQuoteServerList(servers), 1) << c.svrport;
    EXPECT_EQ(servers[0].port, c.port) << c.svrport;
    EXPECT_EQ(servers[0].loginPort, c.loginPort) << c.loginport;
  }
}

}  // namespace
