#include "shell/tradesort.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "platform/profile.h"
#include "plugin/tradeapi.h"

namespace {

// The decimal number at the start of a text field that need not end in a NUL.
template <size_t N>
long long FieldNumber(const char (&field)[N]) {
  char text[N + 1];
  std::memcpy(text, field, N);
  text[N] = 0;
  return std::strtoll(text, nullptr, 10);
}

template <class T>
int Order(T a, T b) {
  return a < b ? -1 : (a > b ? 1 : 0);
}

thread_local const TTradeSortRule *SortRule = nullptr;

// The time text as it sorts: a time from the rule's first minute on gets
// "/" for its first digit, which sorts before every digit.
void SortableTime(const Trade_Lite &trade, const TTradeSortRule &rule, char (&out)[sizeof trade.TradeTime + 1]) {
  std::memcpy(out, trade.TradeTime, sizeof trade.TradeTime);
  out[sizeof trade.TradeTime] = 0;
  if (!rule.resort) return;
  const char *p = out;
  while (*p && !std::isdigit(static_cast<unsigned char>(*p))) ++p;
  char *first = const_cast<char *>(p);
  if (!*first) return;
  int hours = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) hours = hours * 10 + (*p++ - '0');
  if (*p) ++p;  // the separator
  int minutes = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) minutes = minutes * 10 + (*p++ - '0');
  if (hours * 60 + minutes >= rule.beginMinute) *first = '/';
}

}  // namespace

int CompareContractsByStock(const void *a, const void *b) {
  const STKPTR &x = static_cast<const CContractInfo *>(a)->Stock;
  const STKPTR &y = static_cast<const CContractInfo *>(b)->Stock;
  if (x.market != y.market) return Order(x.market, y.market);
  if (x.kind != y.kind) return Order(x.kind, y.kind);
  return Order(x.stock, y.stock);
}

int CompareOrdersByRef(const void *a, const void *b) {
  return Order(FieldNumber(static_cast<const CKivoOrderField *>(a)->OrderRef),
               FieldNumber(static_cast<const CKivoOrderField *>(b)->OrderRef));
}

TTradeSortRule ReadTradeSortRule() {
  TTradeSortRule rule;
  const char *ini = "..\\cfg\\NightTrade.ini";
  rule.resort = GetPrivateProfileIntA("Option", "ResortTrade", 0, ini) != 0;
  if (rule.resort) rule.beginMinute = int(GetPrivateProfileIntA("Option", "BeginMinute", 1260, ini));
  return rule;
}

int CompareTradesByTime(const void *a, const void *b) {
  const Trade_Lite &x = *static_cast<const Trade_Lite *>(a);
  const Trade_Lite &y = *static_cast<const Trade_Lite *>(b);
  TTradeSortRule own;
  if (!SortRule) own = ReadTradeSortRule();
  const TTradeSortRule &rule = SortRule ? *SortRule : own;
  char tx[sizeof x.TradeTime + 1], ty[sizeof y.TradeTime + 1];
  SortableTime(x, rule, tx);
  SortableTime(y, rule, ty);
  if (const int c = std::strcmp(tx, ty)) return c;
  return Order(FieldNumber(x.Text19), FieldNumber(y.Text19));
}

int ComparePositions(const void *a, const void *b) {
  const InvestorPosition_Lite &x = *static_cast<const InvestorPosition_Lite *>(a);
  const InvestorPosition_Lite &y = *static_cast<const InvestorPosition_Lite *>(b);
  if (const int c = strncasecmp(x.InstrumentID, y.InstrumentID, sizeof x.InstrumentID)) return c;
  if (x.PosiDirection != y.PosiDirection) return Order(x.PosiDirection, y.PosiDirection);
  return Order(x.Attribute, y.Attribute);
}

void SortTrades(Trade_Lite *trades, int count) {
  if (!trades || count < 2) return;
  const TTradeSortRule rule = ReadTradeSortRule();
  const TTradeSortRule *previous = SortRule;
  SortRule = &rule;
  std::qsort(trades, size_t(count), sizeof(Trade_Lite), CompareTradesByTime);
  SortRule = previous;
}
