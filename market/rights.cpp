#include "market/rights.h"

#include <cstring>

uint8_t MarketRights[96];
uint8_t NewsRights[16];
uint8_t UserRights[100];

uint32_t AccountDateNumber(uint16_t packed) {
  const uint32_t day = packed & 0x1F;
  const uint32_t month = (packed >> 5) & 0x0F;
  const uint32_t year = 2000 + (packed >> 9);
  return year * 10000 + month * 100 + day;
}

uint16_t PackAccountDate(int year, int month, int day) {
  return uint16_t(((unsigned(year % 100) & 0x7F) << 9) | ((unsigned(month) & 0x0F) << 5) | (unsigned(day) & 0x1F));
}

int HasMarketRight(int market, int kind) {
  if (market < 0 || market > 47 || kind < 0 || kind > 14) return 0;
  const int index = market * 16 + kind;
  return (MarketRights[index / 8] & (0x80 >> (index % 8))) ? 1 : 0;
}

int HasFeatureRight(int n) {
  if (n < 1 || n > 128) return 0;
  return (NewsRights[(n - 1) / 8] & (0x80 >> ((n - 1) % 8))) ? 1 : 0;
}

void TakeOverRights(const DSINFO &grant) {
  std::memcpy(MarketRights, grant.marketRights, sizeof MarketRights);
  std::memcpy(NewsRights, grant.newsRights, sizeof NewsRights);
  std::memcpy(UserRights, grant.featureRights, sizeof UserRights);
}

void ClearRights() {
  std::memset(MarketRights, 0, sizeof MarketRights);
  std::memset(NewsRights, 0, sizeof NewsRights);
  std::memset(UserRights, 0, sizeof UserRights);
}
