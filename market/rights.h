// What the account may see and use, as the directory server grants it at
// login: the markets and stock kinds it receives data for, the news types
// it may read and the trading features it may use.
//
// The grant arrives as the 528-byte DSINFO answer of the directory login
// (also kept as "..\cfg\dsinfo.dat" for a later login from the cache, and
// sent by the server of a single login). The three tables below start with
// every right off and are overwritten as a whole by each login that carries
// a grant. They are read on the GUI thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)

// The directory server's answer. Little-endian; the data-server address is
// in network order, byte 0 is the first number of the dotted text.
struct DSINFO {
  // Bits 0-4 day, 5-8 month, 9-15 year within the century.
  uint16_t accountDate;
  // 48 markets x 16 stock-kind bits, most significant bit first.
  uint8_t marketRights[96];
  // News types 1 to 128, most significant bit first.
  uint8_t newsRights[16];
  // Tables the terminal keeps but does not interpret.
  uint8_t table114[200];
  uint8_t table314[100];
  // The trading-feature rights block (bits below).
  uint8_t featureRights[100];
  uint8_t dataServer[4];
  // Sent back in the data-server login and the push login.
  uint32_t session;
  // Both sent back in the data-server login.
  uint16_t value522;
  uint32_t value524;
};

#pragma pack(pop)

static_assert(sizeof(DSINFO) == 528);
static_assert(offsetof(DSINFO, marketRights) == 2);
static_assert(offsetof(DSINFO, newsRights) == 98);
static_assert(offsetof(DSINFO, table114) == 114);
static_assert(offsetof(DSINFO, table314) == 314);
static_assert(offsetof(DSINFO, featureRights) == 414);
static_assert(offsetof(DSINFO, dataServer) == 514);
static_assert(offsetof(DSINFO, session) == 518);
static_assert(offsetof(DSINFO, value522) == 522);
static_assert(offsetof(DSINFO, value524) == 524);

constexpr int kDsinfoSize = int(sizeof(DSINFO));

// The account date as the number year x 10000 + month x 100 + day, the
// year taken in this century (2000 + the stored year).
uint32_t AccountDateNumber(uint16_t packed);
// The other way round, for servers and tests; fields out of range are cut
// to their bits.
uint16_t PackAccountDate(int year, int month, int day);

// Bits of the trading-feature rights block that the system tests.
constexpr int kFeatureOrderByte = 0;
constexpr uint8_t kRightStopOrders = 0x04;        // stop-loss and take-profit orders
constexpr uint8_t kRightConditionOrders = 0x08;   // condition orders
constexpr uint8_t kRightQuickOrderLayout = 0x10;  // quick-order layout of the order panel
constexpr uint8_t kRightArbitrageLayout = 0x20;   // arbitrage layout of the order panel
constexpr int kFeatureDepthByte = 1;
constexpr uint8_t kRightDepthKind1 = 0x01;  // order-book levels 2-5, kind 1 of futures-type markets
constexpr uint8_t kRightDepthKind3 = 0x02;  // order-book levels 2-5, kind 3 of futures-type markets
constexpr int kFeatureFormulaByte = 2;
constexpr uint8_t kRightSystemFormulas = 0x08;  // three of the system's indicator formulas

// The process-wide tables. UserRights is the trading-feature rights block,
// read in place by its users.
extern uint8_t MarketRights[96];
extern uint8_t NewsRights[16];
extern uint8_t UserRights[100];

// 1 when the account may receive data of that market (0-47) and stock kind
// (0-14); 0 for a clear bit or anything out of range. Kind 15 is never
// granted, whatever its bit says.
int HasMarketRight(int market, int kind);
// 1 when the account may read news type n (1-128); 0 otherwise.
int HasFeatureRight(int n);

// Overwrites the three tables with the grant's.
void TakeOverRights(const DSINFO &grant);
// Turns every right off, as before the first login.
void ClearRights();
