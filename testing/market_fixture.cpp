#include "testing/market_fixture.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "market/calendar.h"
#include "market/newsindex.h"
#include "standins/simbroker/futures_contracts.h"
#include "testing/market_fixture_min.h"

namespace market_fixture {

namespace fs = std::filesystem;

uint32_t PriceStepUnits(const InstrumentDesc &in) {
  if (in.priceTick > 0) return std::max<uint32_t>(1, uint32_t(std::lround(in.priceTick * in.priceDivisor)));
  uint32_t scale = 1;
  for (int d = 0; d < in.decimals && scale <= in.priceDivisor; ++d) scale *= 10;
  return std::max<uint32_t>(1, in.priceDivisor / scale);
}

namespace {

// Index instruments report this many member stocks in their counters.
constexpr int kIndexMembers = 1000;
constexpr int kMaxDayBars = 20000;

// A small generator of our own (splitmix64), so that a description gives
// the same numbers with every standard library.
class Walk {
 public:
  explicit Walk(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // [0, 1)
  double Uniform() { return double(Next() >> 11) * 0x1.0p-53; }
  double Between(double low, double high) { return low + (high - low) * Uniform(); }
  double Normal() {
    double u1 = 1.0 - Uniform();  // (0, 1]
    double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }

 private:
  uint64_t state_;
};

uint64_t Fnv(uint64_t hash, const void *bytes, size_t length) {
  const auto *p = static_cast<const uint8_t *>(bytes);
  for (size_t i = 0; i < length; ++i) hash = (hash ^ p[i]) * 0x100000001B3ull;
  return hash;
}

[[noreturn]] void Refuse(const std::string &what) { throw std::invalid_argument("market data set: " + what); }

int Decimal(PackedDateTime d) { return int(PackedYear(d)) * 10000 + int(PackedMonth(d)) * 100 + int(PackedDay(d)); }
int MinuteOfDay(PackedDateTime t) { return int(PackedHour(t)) * 60 + int(PackedMinute(t)); }
PackedDateTime AtMinute(PackedDateTime date, int minute) {
  return (date & kPackedDateMask) | PackedDateTime(minute / 60) << 6 | PackedDateTime(minute % 60);
}

bool KeyUsesHolidays(int key) { return key == 0 || key == 1 || key == 3 || key == 5 || key == 15; }
bool IsTurnoverType(int type) { return type == 1 || type == 6; }

const MarketDesc &MarketOf(const DataSetDesc &desc, int market) {
  if (market < 0 || size_t(market) >= desc.markets.size()) throw std::out_of_range("no such market");
  return desc.markets[size_t(market)];
}

int MinutesPerDay(const KindDesc &kind) {
  int sum = 0;
  for (auto [open, close] : kind.sessions) sum += close - open;
  return sum;
}

// Clock minute at which trading minute i starts.
int ClockOfTradingMinute(const KindDesc &kind, int i) {
  for (auto [open, close] : kind.sessions) {
    if (i < close - open) return open + i;
    i -= close - open;
  }
  return kind.sessions.back().second - 1;
}

// ---- Checking the description ------------------------------------------------

bool FitsField(const std::string &text, size_t bytes) {
  return text.size() <= bytes && text.find('\0') == std::string::npos;
}

bool IsSafeName(const std::string &text) {
  if (text.empty()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c <= 0x20 || c == '\\' || c == '/' || c == ':' || c == '[' || c == ']' || c == '=') return false;
    if (c == '.' && i + 1 < text.size() && text[i + 1] == '.') return false;
  }
  return true;
}

bool IsSectionName(const std::string &text) {
  if (text.empty() || text.size() > 15) return false;
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == '[' || c == ']') return false;
  }
  return text != "FileInfo";
}

const InstrumentDesc *FindInstrument(const MarketDesc &market, const std::string &code) {
  for (const InstrumentDesc &in : market.instruments)
    if (in.code == code) return &in;
  return nullptr;
}

void CheckKind(const std::string &where, const KindDesc &kind) {
  if (!FitsField(kind.name, 7)) Refuse(where + ": kind name longer than 7 bytes");
  if (kind.sessions.empty() || kind.sessions.size() > size_t(kMaxSessions)) Refuse(where + ": 1 to 4 sessions");
  int last = -1;
  for (auto [open, close] : kind.sessions) {
    // A minute bar carries its end minute, which must stay within the day.
    if (open <= last || open >= close || close > 1439) Refuse(where + ": sessions must rise and close before midnight");
    last = close;
  }
  if (kind.dayStart < 0 || kind.dayEnd > 1440 || kind.dayStart >= kind.dayEnd) Refuse(where + ": bad day window");
}

void CheckInstrument(const std::string &where, const MarketDesc &market, const InstrumentDesc &in) {
  if (!FitsField(in.code, 6) || !IsSafeName(in.code)) Refuse(where + ": code must be 1 to 6 plain bytes");
  if (!FitsField(in.name, 8)) Refuse(where + ": name longer than 8 bytes");
  if (!FitsField(in.contract, 7)) Refuse(where + ": contract code longer than 7 bytes");
  if (in.kind < 0 || size_t(in.kind) >= market.kinds.size()) Refuse(where + ": no such kind");
  if (in.priceDivisor == 0 || in.decimals < 0 || in.decimals > 9 || in.volumeUnit < 1)
    Refuse(where + ": bad price divisor, decimals or volume unit");
  if (!(in.price > 0) || !(in.volatility >= 0) || !(in.dayVolume >= 0) || !(in.openInterest >= 0) ||
      !(in.tradePrice >= 0) || !(in.priceTick >= 0) || in.price * in.priceDivisor > 1e9)
    Refuse(where + ": bad price, volatility, volume or open interest");
}

void CheckBlocks(const DataSetDesc &desc, const BlockFileDesc &file, const char *which) {
  std::vector<std::string> names;
  for (const BlockDesc &block : file.blocks) {
    std::string where = std::string(which) + " block \"" + block.name + "\"";
    if (!IsSectionName(block.name)) Refuse(where + ": name must be 1 to 15 bytes, no brackets");
    if (std::find(names.begin(), names.end(), block.name) != names.end()) Refuse(where + ": named twice");
    names.push_back(block.name);
    if (block.members.size() > size_t(7168)) Refuse(where + ": more than 7168 members");
    for (const std::string &member : block.members) {
      size_t blank = member.find(' ');
      bool found = false;
      if (blank != std::string::npos) {
        for (const MarketDesc &m : desc.markets)
          if (m.shortName == member.substr(0, blank)) found = found || FindInstrument(m, member.substr(blank + 1));
      }
      if (!found) Refuse(where + ": member \"" + member + "\" is not in the data set");
    }
  }
}

void Check(const DataSetDesc &desc) {
  if (desc.markets.empty() || desc.markets.size() > size_t(kMaxMarkets)) Refuse("1 to 48 markets");
  if (desc.dayBars < 1 || desc.dayBars > kMaxDayBars) Refuse("1 to 20000 day bars");
  if (desc.minuteDays < 0 || desc.minuteDays > desc.dayBars) Refuse("minute days must be among the day bars");
  if (desc.maxDataRecords < 1) Refuse("MaxDataRecords below 1");
  PackedDateTime now = desc.utcNow;
  if (!IsValidPackedDate(&now) || PackedYear(now) < 1900) Refuse("the clock is not a valid date");
  for (size_t m = 0; m < desc.markets.size(); ++m) {
    const MarketDesc &market = desc.markets[m];
    std::string where = "market " + std::to_string(m);
    if (!FitsField(market.name, 14)) Refuse(where + ": name longer than 14 bytes");
    if (!FitsField(market.shortName, 8) || !IsSafeName(market.shortName))
      Refuse(where + ": short name must be 1 to 8 plain bytes");
    if (!FitsField(market.extension, 10) || !IsSafeName(market.extension))
      Refuse(where + ": extension must be 1 to 10 plain bytes");
    if (market.type < 1 || market.type > 8) Refuse(where + ": type must be 1 to 8");
    if (market.hourOffset < -23 || market.hourOffset > 23) Refuse(where + ": hour offset out of range");
    if (market.kinds.empty() || market.kinds.size() > size_t(kMaxStockKinds)) Refuse(where + ": 1 to 15 kinds");
    // Stock indices are 16 bits, 0xFFFF meaning none.
    if (market.instruments.size() > size_t(0xFFFE) ||
        (market.capacity != 0 && market.instruments.size() > market.capacity))
      Refuse(where + ": more instruments than the capacity");
    for (size_t n = 0; n < m; ++n)
      if (desc.markets[n].shortName == market.shortName) Refuse(where + ": short name used twice");
    for (size_t k = 0; k < market.kinds.size(); ++k) CheckKind(where + " kind " + std::to_string(k), market.kinds[k]);
    for (size_t i = 0; i < market.instruments.size(); ++i) {
      const InstrumentDesc &in = market.instruments[i];
      CheckInstrument(where + " instrument " + in.code, market, in);
      for (size_t j = 0; j < i; ++j)
        if (strcasecmp(market.instruments[j].code.c_str(), in.code.c_str()) == 0)
          Refuse(where + ": code " + in.code + " twice");
    }
  }
  if (desc.holidays.size() > size_t(kMaxHolidays)) Refuse("more than 63 holidays");
  for (int date : desc.holidays)
    if (date <= 0) Refuse("a holiday must be a yyyymmdd date");
  if (desc.weekendTradingDays.size() > size_t(kMaxWeekendTradingDays)) Refuse("more than 127 weekend trading days");
  for (auto [date, key] : desc.weekendTradingDays)
    if (date <= 0) Refuse("a weekend trading day must be a yyyymmdd date");
  if (desc.zones.size() > size_t(kMaxTimeZones)) Refuse("more than 32 zones");
  for (const ZoneDesc &zone : desc.zones)
    if (!FitsField(zone.name, 31) || zone.hourOffset < -23 || zone.hourOffset > 23) Refuse("bad zone " + zone.name);
  CheckBlocks(desc, desc.sharedBlocks, "shared");
  CheckBlocks(desc, desc.userBlocks, "user");
  for (size_t i = 0; i < desc.news.size(); ++i) {
    const NewsDesc &news = desc.news[i];
    if (news.type < 1 || news.type > 0x7FFFFFFFu || !FitsField(news.title, 79))
      Refuse("news " + std::to_string(news.id) + ": bad type or title");
    for (size_t j = 0; j < i; ++j)
      if (desc.news[j].id == news.id) Refuse("news identifier " + std::to_string(news.id) + " twice");
  }
}

// ---- Series ---------------------------------------------------------------

struct Maker {
  const DataSetDesc &desc;
  const MarketDesc &market;
  const InstrumentDesc &in;
  const KindDesc &kind;
  int marketIndex;
  uint32_t tick;
  int minutes;  // trading minutes per day
  bool turnover;
  Walk walk;

  Maker(const DataSetDesc &s, int m, int i)
      : desc(s),
        market(MarketOf(s, m)),
        in(market.instruments.at(size_t(i))),
        kind(market.kinds.at(size_t(in.kind))),
        marketIndex(m),
        tick(TickOf(in)),
        minutes(MinutesPerDay(kind)),
        turnover(IsTurnoverType(market.type)),
        walk(Seed(s, m, in)) {}

  static uint32_t TickOf(const InstrumentDesc &in) { return PriceStepUnits(in); }
  static uint64_t Seed(const DataSetDesc &s, int m, const InstrumentDesc &in) {
    uint64_t h = 0xCBF29CE484222325ull;
    h = Fnv(h, &s.seed, sizeof s.seed);
    h = Fnv(h, &m, sizeof m);
    return Fnv(h, in.code.data(), in.code.size());
  }

  double Price(uint32_t units) const { return double(units) / in.priceDivisor; }
  uint32_t Units(double price) const {
    double ticks = std::floor(price * in.priceDivisor / tick + 0.5);
    double units = std::clamp(ticks * tick, double(tick), 4.0e9);
    return uint32_t(units);
  }
  float Lots(double volume) const {
    double lots = std::max(1.0, std::floor(volume / in.volumeUnit + 0.5));
    return float(lots * in.volumeUnit);
  }
  // Keeps the walk near where it started over the years of a data set.
  double Pull(double price) const { return 0.02 * std::log(in.price / price); }
  void StepOpenInterest(double &oi, double spread) {
    if (in.openInterest > 0) oi = std::max(double(in.volumeUnit), oi * std::exp(spread * walk.Normal()));
  }
  double OpenInterestNow(double oi) const {
    return in.openInterest > 0 ? std::floor(oi / in.volumeUnit + 0.5) * in.volumeUnit : 0;
  }

  float Turnover(const KLINEBAR &bar) const {
    double price = in.tradePrice > 0 ? in.tradePrice : Price(bar.open / 4 + bar.high / 4 + bar.low / 4 + bar.close / 4);
    return float(double(bar.volume) * price);
  }

  void Settle(KLINEBAR &bar) const {
    bar.high = std::max({bar.high, bar.open, bar.close});
    bar.low = std::min({bar.low, bar.open, bar.close});
  }

  KLINEBAR DayBar(PackedDateTime date, double prevClose, double &oi) {
    double s = in.volatility;
    double open = prevClose * std::exp(0.25 * s * walk.Normal());
    double close = prevClose * std::exp(s * walk.Normal() + Pull(prevClose));
    double high = std::max(open, close) * std::exp(0.4 * s * std::fabs(walk.Normal()));
    double low = std::min(open, close) * std::exp(-0.4 * s * std::fabs(walk.Normal()));
    KLINEBAR bar{};
    bar.time = date & kPackedDateMask;
    bar.open = Units(open);
    bar.close = Units(close);
    bar.high = Units(high);
    bar.low = Units(low);
    Settle(bar);
    bar.volume = Lots(in.dayVolume * std::exp(0.3 * walk.Normal()));
    StepOpenInterest(oi, 0.02);
    bar.amount = turnover ? Turnover(bar) : float(OpenInterestNow(oi));
    if (market.type == 2) bar.settlement = Units((Price(bar.high) + Price(bar.low) + 2 * Price(bar.close)) / 4);
    return bar;
  }

  // Every trading minute of a day, each stamped with its end minute.
  DayMinutes MinuteDay(PackedDateTime date, double prevClose, double &oi) {
    DayMinutes day{date & kPackedDateMask, {}};
    double s = in.volatility;
    double sm = s / std::sqrt(double(std::max(minutes, 1)));
    double price = prevClose * std::exp(0.25 * s * walk.Normal());
    uint32_t last = Units(price);
    for (int i = 0; i < minutes; ++i) {
      double open = Price(last);
      double close = open * std::exp(sm * walk.Normal() + Pull(open) / minutes);
      double high = std::max(open, close) * std::exp(0.5 * sm * std::fabs(walk.Normal()));
      double low = std::min(open, close) * std::exp(-0.5 * sm * std::fabs(walk.Normal()));
      KLINEBAR bar{};
      bar.time = AtMinute(date, ClockOfTradingMinute(kind, i) + 1);
      bar.open = last;
      bar.close = Units(close);
      bar.high = Units(high);
      bar.low = Units(low);
      Settle(bar);
      // Busier at the open and the close, as markets are.
      double shape = 1.0 + 1.5 * (std::exp(-i / 20.0) + std::exp(-(minutes - 1 - i) / 20.0));
      bar.volume = Lots(in.dayVolume / minutes * shape * 0.6 * std::exp(0.4 * walk.Normal()));
      StepOpenInterest(oi, 0.002);
      bar.amount = turnover ? Turnover(bar) : float(OpenInterestNow(oi));
      day.minutes.push_back(bar);
      last = bar.close;
    }
    return day;
  }

  KLINEBAR DayOf(const DayMinutes &day) const {
    KLINEBAR bar{};
    bar.time = day.date;
    if (day.minutes.empty()) return bar;
    bar.open = day.minutes.front().open;
    bar.close = day.minutes.back().close;
    bar.high = bar.open;
    bar.low = bar.open;
    double volume = 0, amount = 0, weighted = 0;
    for (const KLINEBAR &m : day.minutes) {
      bar.high = std::max(bar.high, m.high);
      bar.low = std::min(bar.low, m.low);
      volume += m.volume;
      amount += m.amount;
      weighted += Price(m.close) * m.volume;
    }
    bar.volume = float(volume);
    bar.amount = turnover ? float(amount) : day.minutes.back().amount;
    if (market.type == 2 && volume > 0) bar.settlement = Units(weighted / volume);
    return bar;
  }

  // Trading minutes of the date that have begun and ended by the clock.
  int MinutesDone(PackedDateTime date) const {
    PackedDateTime clock = MarketClock(desc, marketIndex);
    if ((clock & kPackedDateMask) != date) return minutes;  // that day is over
    int now = MinuteOfDay(clock), done = 0;
    for (auto [open, close] : kind.sessions) done += std::clamp(now - open, 0, close - open);
    return done;
  }

  REALQUOTE Quote(const InstrumentSeries &series) {
    REALQUOTE q{};
    const KLINEBAR &prev = series.days.back();
    bool carriesOpenInterest = market.type == 2 || market.type == 7 || market.type == 8;
    q.prevClose = prev.close;
    q.refPrice = market.type == 2 && prev.settlement ? prev.settlement : prev.close;
    if (carriesOpenInterest) {
      q.prevOpenInterest = prev.amount;
    } else {
      size_t n = std::min<size_t>(5, series.days.size());
      double sum = 0;
      for (size_t i = series.days.size() - n; i < series.days.size(); ++i) sum += series.days[i].volume;
      q.prevOpenInterest = float(sum / double(n));
    }
    if (!series.index && IsTurnoverType(market.type)) {
      q.limitUp = Units(Price(q.prevClose) * 1.1);
      q.limitDown = Units(Price(q.prevClose) * 0.9);
    } else if (market.type == 2) {
      q.limitUp = Units(Price(q.refPrice) * 1.06);
      q.limitDown = Units(Price(q.refPrice) * 0.94);
    }
    const std::vector<KLINEBAR> &today = series.today.minutes;
    q.amount = turnover ? 0.0f : prev.amount;
    if (today.empty()) return q;
    const KLINEBAR day = DayOf(series.today);
    q.open = day.open;
    q.high = day.high;
    q.low = day.low;
    q.last = day.close;
    q.volume = day.volume;
    q.amount = day.amount;
    q.lastVolume = today.back().volume;
    q.time = today.back().time;
    if (series.index) {
      IndexCounters c = Counters(day.close, prev.close);
      q.indexCounters[0] = c.advancing;
      q.indexCounters[1] = c.declining;
      q.indexCounters[2] = uint16_t(kIndexMembers - c.advancing - c.declining);
    }
    if (!kind.noOrderBook) {
      for (int level = 0; level < 5; ++level) {
        q.bid[level].price = q.last > uint32_t(level) * tick ? q.last - uint32_t(level) * tick : tick;
        q.ask[level].price = q.last + uint32_t(level + 1) * tick;
        q.bid[level].volume = Lots(in.dayVolume / minutes * (1 + level) * walk.Between(0.2, 1.0));
        q.ask[level].volume = Lots(in.dayVolume / minutes * (1 + level) * walk.Between(0.2, 1.0));
      }
    }
    return q;
  }

  FINANCE Finance() {
    FINANCE f{};
    double eps = in.price * walk.Between(0.03, 0.08);
    f.earningsPerShare = float(eps);
    f.projectedEarningsPerShare = float(eps * walk.Between(0.9, 1.2));
    f.netAssetsPerShare = float(in.price * walk.Between(0.3, 0.8));
    f.totalShares = float(std::floor(walk.Between(5e4, 2e6)));
    f.floatShares = float(std::floor(f.totalShares * walk.Between(0.5, 1.0)));
    f.netProfit = float(eps * f.totalShares);
    f.totalAssets = float(f.netAssetsPerShare * f.totalShares * walk.Between(2.0, 10.0));
    f.totalLiabilities = float(f.totalAssets * walk.Between(0.3, 0.9));
    return f;
  }

  // Index counters follow the index: more members up on a rising day.
  struct IndexCounters {
    uint16_t advancing;
    uint16_t declining;
    int32_t offset;  // against the previous close, in 1/10000
  };
  static IndexCounters Counters(uint32_t close, uint32_t prevClose) {
    double change = prevClose ? double(close) / prevClose - 1.0 : 0.0;
    int up = std::clamp(int(std::lround(kIndexMembers * (0.45 + 8.0 * change))), 0, kIndexMembers * 9 / 10);
    return {uint16_t(up), uint16_t(kIndexMembers * 9 / 10 - up), int32_t(std::lround(change * 11000.0))};
  }
};

// The completed trading day before the date in the series, or null.
const KLINEBAR *DayBefore(const InstrumentSeries &series, PackedDateTime date) {
  const KLINEBAR *before = nullptr;
  for (const KLINEBAR &bar : series.days)
    if (bar.time < (date & kPackedDateMask)) before = &bar;
  return before;
}

// ---- Files ----------------------------------------------------------------

void WriteBytes(const fs::path &path, const void *bytes, size_t length) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (length) out.write(static_cast<const char *>(bytes), std::streamsize(length));
  out.close();
  if (!out) throw std::runtime_error("market data set: cannot write " + path.string());
}

void WriteText(const fs::path &path, const std::string &text) { WriteBytes(path, text.data(), text.size()); }

template <class T>
void WriteRecords(const fs::path &path, const std::vector<T> &records) {
  WriteBytes(path, records.data(), records.size() * sizeof(T));
}

std::string WindowsForm(const fs::path &path) {
  std::string text = path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

// The cache files are the quote server's, written at its clock.
void Stamp(const fs::path &path, PackedDateTime utc) {
  tm t{};
  t.tm_year = int(PackedYear(utc)) - 1900;
  t.tm_mon = int(PackedMonth(utc)) - 1;
  t.tm_mday = int(PackedDay(utc));
  t.tm_hour = int(PackedHour(utc));
  t.tm_min = int(PackedMinute(utc));
  timespec times[2] = {{timegm(&t), 0}, {timegm(&t), 0}};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
    throw std::runtime_error("market data set: cannot stamp " + path.string());
}

// Bar files go through the cache's own merge, which keeps them in time
// order the way the readers expect; a stale file of an earlier data set is
// removed first so that nothing of it stays.
void WriteBarFile(const fs::path &path, const std::vector<KLINEBAR> &bars, int base, PackedDateTime utc) {
  std::error_code error;
  fs::remove(path, error);
  if (bars.empty()) return;
  fs::create_directories(path.parent_path(), error);
  if (!MergeBarsIntoFile(WindowsForm(path).c_str(), bars.data(), base, int(bars.size())))
    throw std::runtime_error("market data set: cannot write " + path.string());
  Stamp(path, utc);
}

void AppendBytes(std::string &out, const void *bytes, size_t length) {
  out.append(static_cast<const char *>(bytes), length);
}

void WriteTrendHistory(const fs::path &path, const InstrumentSeries &series, PackedDateTime utc) {
  std::string bytes;
  if (series.pastDays.empty()) return;
  uint32_t items = uint32_t(PastDayTrendItems(series, series.pastDays.front()).size());
  AppendBytes(bytes, &items, 4);
  for (const DayMinutes &day : series.pastDays) {
    uint32_t date = day.date;
    AppendBytes(bytes, &date, 4);
    if (series.index) {
      uint32_t extra = 0;
      AppendBytes(bytes, &extra, 4);
    }
    std::vector<TRENDITEM> dayItems = PastDayTrendItems(series, day);
    AppendBytes(bytes, dayItems.data(), dayItems.size() * sizeof(TRENDITEM));
  }
  WriteText(path, bytes);
  Stamp(path, utc);
}

void WriteIntradayFiles(const fs::path &folder, const std::string &code, const InstrumentSeries &series,
                        PackedDateTime utc) {
  fs::path ticks = folder / "tick" / (code + ".tik");
  fs::path trend = folder / "tick" / (code + ".tr3");
  std::error_code error;
  fs::remove(ticks, error);
  fs::remove(trend, error);
  if (series.today.minutes.empty()) return;  // nothing traded yet
  WriteRecords(ticks, TodayTicks(series));
  Stamp(ticks, utc);
  TRENDHEAD head = TodayTrendHead(series);
  std::vector<TRENDREC> records = TodayTrend(series);
  std::string bytes;
  AppendBytes(bytes, &head, sizeof head);
  AppendBytes(bytes, records.data(), records.size() * sizeof(TRENDREC));
  WriteText(trend, bytes);
  Stamp(trend, utc);
}

std::string SettingsText(const DataSetDesc &desc) {
  return "[Parameter]\r\nMaxDataRecords=" + std::to_string(desc.maxDataRecords) +
         "\r\nDownEach=0\r\nTimeZone=0\r\nLastTheme=0\r\nF10Mode=0\r\nOnlineSrvMode=0\r\n";
}

std::string BlockFileText(const DataSetDesc &desc, const BlockFileDesc &file) {
  std::string text = file.olderForm ? "" : "[FileInfo]\r\nVersion=1\r\n";
  for (const BlockDesc &block : file.blocks) {
    if (!text.empty()) text += "\r\n";
    text += "[" + block.name + "]\r\n";
    int n = 0;
    for (const std::string &member : block.members) {
      ++n;
      std::string line;
      if (file.olderForm && n % 2 == 0) {
        // The older form's other spelling: a two-digit market index and
        // the code from the fifth character.
        std::string shortName = member.substr(0, member.find(' '));
        size_t market = 0;
        while (desc.markets[market].shortName != shortName) ++market;
        char index[32];
        std::snprintf(index, sizeof index, "%02zu  ", market);
        line = index + member.substr(member.find(' ') + 1);
      } else if (file.olderForm) {
        line = member;
      } else {
        line = "I" + std::to_string(n) + "=" + member;
      }
      text += line + "\r\n";
    }
  }
  return text;
}

void WriteSessionTimeTable(const DataSetDesc &desc, const fs::path &path) {
  SYSTIMEFILE file;
  std::memset(&file, 0, sizeof file);
  file.zoneCount = uint32_t(desc.zones.size());
  for (size_t z = 0; z < desc.zones.size(); ++z) {
    file.zones[z].hourOffset = int8_t(desc.zones[z].hourOffset);
    std::memcpy(file.zones[z].name, desc.zones[z].name.data(), desc.zones[z].name.size());
  }
  for (size_t m = 0; m < desc.markets.size(); ++m) {
    int own = desc.markets[m].hourOffset - desc.referenceHourOffset;
    file.marketOffsets[m] = int8_t(own);
    // The file's own entries show every kind in the reference zone, as the
    // first zone of the list does.
    for (int k = 0; k < kMaxStockKinds && !desc.zones.empty(); ++k) {
      ZONEENTRY &e = file.entries[m * kMaxStockKinds + size_t(k)];
      e.hourOffset = int8_t(desc.zones[0].hourOffset - own);
      std::memcpy(e.name, desc.zones[0].name.data(), desc.zones[0].name.size());
    }
  }
  WriteBytes(path, &file, sizeof file);
}

void WriteNews(const DataSetDesc &desc, const fs::path &folder) {
  std::vector<NewsDesc> items = desc.news;
  std::sort(items.begin(), items.end(), [](const NewsDesc &a, const NewsDesc &b) { return a.id < b.id; });
  std::string bytes = "kvni01";
  for (const NewsDesc &item : items) {
    NEWSREC r;
    std::memset(&r, 0, sizeof r);
    r.typeAndRead = item.type << 1;
    uint32_t date = PackedYear(item.time) % 100 * 10000 + PackedMonth(item.time) * 100 + PackedDay(item.time);
    uint32_t time = PackedHour(item.time) * 100 + PackedMinute(item.time);
    r.dateTime = time << 20 | date;
    r.id = item.id;
    std::memcpy(r.title, item.title.data(), item.title.size());
    AppendBytes(bytes, &r, sizeof r);
    char name[16];
    std::snprintf(name, sizeof name, "%08u.txt", unsigned(item.id));
    std::error_code error;
    fs::remove(folder / name, error);
    if (!item.text.empty()) WriteText(folder / name, item.text);
  }
  WriteText(folder / "news.ntl", bytes);
}

void WriteMarket(const DataSetDesc &desc, int m, const fs::path &data) {
  const MarketDesc &market = desc.markets[size_t(m)];
  fs::path folder = data / market.shortName;
  auto table = [&](const char *base) { return folder / (std::string(base) + "." + market.extension); };
  WriteRecords(table("nametbl"), NameTable(desc, m));
  if (market.type == 2) WriteRecords(table("nametble"), ContractTable(desc, m));
  std::vector<REALQUOTE> quotes;
  std::vector<FINANCE> finance;
  for (size_t i = 0; i < market.instruments.size(); ++i) {
    InstrumentSeries series = BuildSeries(desc, m, int(i));
    quotes.push_back(series.quote);
    finance.push_back(series.finance);
    const InstrumentDesc &in = market.instruments[i];
    if (!in.history) continue;
    WriteBarFile(folder / "day" / (in.code + ".da1"), series.days, 8, desc.utcNow);
    std::vector<KLINEBAR> minutes = GroupMinuteBars(series, 1);
    WriteBarFile(folder / "min1" / (in.code + ".m11"), minutes, 1, desc.utcNow);
    WriteBarFile(folder / "min" / (in.code + ".mi1"), GroupMinuteBars(series, 5), 4, desc.utcNow);
    WriteBarFile(folder / "MIN60" / (in.code + ".hr1"), GroupMinuteBars(series, 60), 7, desc.utcNow);
    WriteTrendHistory(folder / "trend" / (in.code + ".ot3"), series, desc.utcNow);
    WriteIntradayFiles(folder, in.code, series, desc.utcNow);
  }
  WriteRecords(table("real"), quotes);
  if (m == 0 || m == 1) WriteRecords(table("Finance"), finance);
}

}  // namespace

// ---- What the description makes ------------------------------------------

bool IsTradingDay(const DataSetDesc &desc, PackedDateTime date, int calendarKey) {
  int weekday = PackedWeekday(date);
  int decimal = Decimal(date);
  if (weekday >= 1 && weekday <= 5)
    return !KeyUsesHolidays(calendarKey) ||
           std::find(desc.holidays.begin(), desc.holidays.end(), decimal) == desc.holidays.end();
  for (auto [day, key] : desc.weekendTradingDays)
    if (day == decimal && key == calendarKey) return true;
  return false;
}

PackedDateTime MarketClock(const DataSetDesc &desc, int market) {
  PackedDateTime clock = desc.utcNow;
  ShiftPackedHours(&clock, MarketOf(desc, market).hourOffset);
  return clock;
}

PackedDateTime TradingDateOf(const DataSetDesc &desc, int market, int kind) {
  const MarketDesc &m = MarketOf(desc, market);
  const KindDesc &k = m.kinds.at(size_t(kind));
  PackedDateTime clock = MarketClock(desc, market);
  PackedDateTime date = clock & kPackedDateMask;
  if (MinuteOfDay(clock) < k.dayStart + 2) PackedPreviousDayInPlace(&date);
  // Holidays are at most 63 and weekdays trade otherwise, so this ends.
  for (int i = 0; i < 400 && !IsTradingDay(desc, date, m.calendarKey); ++i) PackedPreviousDayInPlace(&date);
  return date;
}

MKINFO MarketRecord(const DataSetDesc &desc, int market) {
  const MarketDesc &m = MarketOf(desc, market);
  uint16_t capacity = std::max<uint16_t>(m.capacity, uint16_t(m.instruments.size()));
  MKINFO record = MakeMarket(m.shortName.c_str(), m.extension.c_str(), m.type, capacity, m.hourOffset, m.calendarKey);
  std::memset(record.name, 0, sizeof record.name);
  std::memcpy(record.name, m.name.data(), std::min(m.name.size(), sizeof record.name - 1));
  for (const KindDesc &k : m.kinds) {
    AddKind(record, k.name.c_str(), k.sessions, k.dayStart, k.dayEnd);
    record.kinds[record.kindCount - 1].noOrderBook = k.noOrderBook ? 1 : 0;
  }
  return record;
}

std::vector<STKINFO> NameTable(const DataSetDesc &desc, int market) {
  const MarketDesc &m = MarketOf(desc, market);
  std::vector<STKINFO> table;
  for (const InstrumentDesc &in : m.instruments) {
    STKINFO s = MakeStock(market, in.kind, in.code.c_str(), in.name.c_str(), in.priceDivisor);
    s.volumeUnit = in.volumeUnit;
    s.decimals = uint8_t(in.decimals);
    s.index = uint16_t(table.size());
    table.push_back(s);
  }
  return table;
}

std::vector<STKINFOEX> ContractTable(const DataSetDesc &desc, int market) {
  std::vector<STKINFOEX> table;
  for (const InstrumentDesc &in : MarketOf(desc, market).instruments) table.push_back(MakeStockEx(in.contract.c_str()));
  return table;
}

InstrumentSeries BuildSeries(const DataSetDesc &desc, int market, int instrument) {
  const MarketDesc &m = MarketOf(desc, market);
  if (instrument < 0 || size_t(instrument) >= m.instruments.size()) throw std::out_of_range("no such instrument");
  // What the series rests on is checked here as well: the quote double
  // builds series of descriptions that were never written.
  if (desc.dayBars < 1 || desc.dayBars > kMaxDayBars || desc.minuteDays < 0 || desc.minuteDays > desc.dayBars)
    Refuse("bad day counts");
  const InstrumentDesc &in = m.instruments[size_t(instrument)];
  CheckInstrument("instrument " + in.code, m, in);
  CheckKind("kind " + std::to_string(in.kind), m.kinds[size_t(in.kind)]);
  Maker maker(desc, market, instrument);
  InstrumentSeries series{};
  series.turnover = maker.turnover;
  series.index = (market == 0 || market == 1) && maker.in.kind == 0;

  PackedDateTime today = TradingDateOf(desc, market, maker.in.kind);
  std::vector<PackedDateTime> dates;
  for (PackedDateTime d = today; int(dates.size()) < desc.dayBars;) {
    PackedPreviousDayInPlace(&d);
    if (IsTradingDay(desc, d, m.calendarKey)) dates.push_back(d);
  }
  std::reverse(dates.begin(), dates.end());

  double prevClose = maker.in.price;
  double oi = maker.in.openInterest;
  for (size_t i = 0; i < dates.size(); ++i) {
    if (int(i) >= desc.dayBars - desc.minuteDays) {
      series.pastDays.push_back(maker.MinuteDay(dates[i], prevClose, oi));
      series.days.push_back(maker.DayOf(series.pastDays.back()));
    } else {
      series.days.push_back(maker.DayBar(dates[i], prevClose, oi));
    }
    prevClose = maker.Price(series.days.back().close);
  }
  series.today = maker.MinuteDay(today, prevClose, oi);
  series.today.minutes.resize(size_t(maker.MinutesDone(today)));
  series.quote = maker.Quote(series);
  if ((market == 0 || market == 1) && !series.index) series.finance = maker.Finance();
  return series;
}

std::vector<KLINEBAR> GroupMinuteBars(const InstrumentSeries &series, int n) {
  std::vector<KLINEBAR> bars;
  if (n < 1) return bars;
  auto group = [&](const DayMinutes &day) {
    for (size_t first = 0; first < day.minutes.size(); first += size_t(n)) {
      size_t end = std::min(day.minutes.size(), first + size_t(n));
      KLINEBAR bar = day.minutes[first];
      for (size_t i = first + 1; i < end; ++i) {
        const KLINEBAR &m = day.minutes[i];
        bar.high = std::max(bar.high, m.high);
        bar.low = std::min(bar.low, m.low);
        bar.volume += m.volume;
        bar.amount = series.turnover ? bar.amount + m.amount : m.amount;
      }
      bar.close = day.minutes[end - 1].close;
      bar.time = day.minutes[end - 1].time;
      bars.push_back(bar);
    }
  };
  for (const DayMinutes &day : series.pastDays) group(day);
  group(series.today);
  return bars;
}

std::vector<TRENDITEM> TrendItems(const InstrumentSeries &series, const DayMinutes &day) {
  std::vector<TRENDITEM> items;
  const KLINEBAR *before = DayBefore(series, day.date);
  uint32_t prevClose = before ? before->close : (day.minutes.empty() ? 0 : day.minutes.front().open);
  TRENDITEM opening{};
  opening.price = day.minutes.empty() ? prevClose : day.minutes.front().open;
  opening.amount = series.turnover || !before ? 0.0f : before->amount;
  if (series.index) {
    Maker::IndexCounters c = Maker::Counters(opening.price, prevClose);
    opening.advancing = c.advancing;
    opening.declining = c.declining;
    opening.leadingOffset = c.offset;
  }
  items.push_back(opening);
  double volume = 0, amount = 0;
  for (const KLINEBAR &m : day.minutes) {
    volume += m.volume;
    amount = series.turnover ? amount + m.amount : m.amount;
    TRENDITEM item{};
    item.price = m.close;
    item.volume = float(volume);
    item.amount = float(amount);
    if (series.index) {
      Maker::IndexCounters c = Maker::Counters(m.close, prevClose);
      item.advancing = c.advancing;
      item.declining = c.declining;
      item.leadingOffset = c.offset;
    }
    items.push_back(item);
  }
  return items;
}

std::vector<TRENDITEM> PastDayTrendItems(const InstrumentSeries &series, const DayMinutes &day) {
  std::vector<TRENDITEM> items = TrendItems(series, day);
  // Taken from the minutes themselves: differences of the float running
  // totals lose the small figures late in the day.
  for (size_t i = 1; i < items.size() && i <= day.minutes.size(); ++i) {
    items[i].volume = float(day.minutes[i - 1].volume);
    if (series.turnover) items[i].amount = float(day.minutes[i - 1].amount);
  }
  return items;
}

TRENDHEAD TodayTrendHead(const InstrumentSeries &series) {
  TRENDHEAD head{};
  for (const KLINEBAR &m : series.today.minutes) {
    if (m.close > m.open) head.side0Volume += m.volume;
    if (m.close < m.open) head.side1Volume += m.volume;
  }
  head.refPrice = series.quote.prevClose;
  const KLINEBAR *before = DayBefore(series, series.today.date);
  head.refOpenInterest = series.turnover || !before ? 0.0f : before->amount;
  return head;
}

std::vector<TRENDREC> TodayTrend(const InstrumentSeries &series) {
  std::vector<TRENDREC> records;
  if (series.today.minutes.empty()) return records;
  std::vector<TRENDITEM> items = TrendItems(series, series.today);
  double priceVolume = 0;
  for (size_t slot = 0; slot < items.size(); ++slot) {
    const TRENDITEM &item = items[slot];
    // The opening slot is the first minute's opening trade.
    const KLINEBAR &m = series.today.minutes[slot ? slot - 1 : 0];
    TRENDREC r{};
    r.price = item.price;
    r.volume = item.volume;
    r.amount = item.amount;
    r.firstPrice = m.open;
    r.highPrice = slot ? m.high : m.open;
    r.lowPrice = slot ? m.low : m.open;
    if (series.index) {
      r.advancing = item.advancing;
      r.declining = item.declining;
      r.leadingOffset = item.leadingOffset;
    } else {
      if (slot) priceVolume += double(m.close) * m.volume;
      r.priceVolume = priceVolume;
    }
    records.push_back(r);
  }
  return records;
}

std::vector<TICKREC> TodayTicks(const InstrumentSeries &series) {
  std::vector<TICKREC> ticks;
  double volume = 0, amount = 0;
  for (const KLINEBAR &m : series.today.minutes) {
    volume += m.volume;
    amount = series.turnover ? amount + m.amount : m.amount;
    TICKREC t{};
    t.time = m.time;
    t.price = m.close;
    t.volume = float(volume);
    t.amount = float(amount);
    t.side = m.close > m.open ? 0 : m.close < m.open ? 1 : 2;
    ticks.push_back(t);
  }
  return ticks;
}

// ---- Writing -------------------------------------------------------------

void WriteDataSet(const DataSetDesc &desc, const std::string &rootFolder) {
  Check(desc);
  const fs::path root = fs::absolute(rootFolder);
  const fs::path cfg = root / "cfg", user = root / "user", data = root / "data";

  std::vector<MKINFO> records;
  for (size_t m = 0; m < desc.markets.size(); ++m) records.push_back(MarketRecord(desc, int(m)));
  WriteRecords(cfg / "mkinfo.cfg", records);
  WriteSessionTimeTable(desc, cfg / "systime.dat");

  std::string holidays = "[JJR]\r\n";
  for (size_t i = 0; i < desc.holidays.size(); ++i)
    holidays += std::to_string(i + 1) + "=" + std::to_string(desc.holidays[i]) + "\r\n";
  WriteText(cfg / "hldy.ini", holidays);
  std::string weekends = "[WKND]\r\n";
  for (size_t i = 0; i < desc.weekendTradingDays.size(); ++i)
    weekends += std::to_string(i + 1) + "=" + std::to_string(desc.weekendTradingDays[i].first) + "," +
                std::to_string(desc.weekendTradingDays[i].second) + "\r\n";
  WriteText(cfg / "hldyex.ini", weekends);

  // The user folder as the first run leaves it: the settings copied from
  // the shared ones, the user's blocks, and UserPath.INI naming the folder.
  WriteText(cfg / "SETTING.INI", SettingsText(desc));
  WriteText(user / "SETTING.INI", SettingsText(desc));
  WriteText(cfg / "UserPath.INI", "[Path]\r\nUserPath=" + WindowsForm(user) + "\\\r\n");
  WriteText(cfg / "blocks.ini", BlockFileText(desc, desc.sharedBlocks));
  WriteText(user / "blocks.ini", BlockFileText(desc, desc.userBlocks));

  for (size_t m = 0; m < desc.markets.size(); ++m) WriteMarket(desc, int(m), data);
  WriteNews(desc, data / "info");
}

// ---- The standard data set -------------------------------------------------

namespace {

InstrumentDesc Stock(const char *code, const char *name, int kind, double price, bool history = false) {
  InstrumentDesc in;
  in.code = code;
  in.name = name;
  in.kind = kind;
  in.priceDivisor = 1000;
  in.decimals = 2;
  in.volumeUnit = 100;
  in.price = price;
  in.volatility = 0.018;
  in.dayVolume = 2e7 / price * 100;
  in.history = history;
  return in;
}

InstrumentDesc Index(const char *code, const char *name, double price, bool history = false) {
  InstrumentDesc in = Stock(code, name, 0, price, history);
  in.volumeUnit = 100;
  in.volatility = 0.011;
  in.dayVolume = 3e10;
  in.tradePrice = 11.0;
  return in;
}

InstrumentDesc Currency(const char *code, const char *name, int kind, double price, uint32_t divisor, int decimals,
                        bool history = false) {
  InstrumentDesc in;
  in.code = code;
  in.name = name;
  in.kind = kind;
  in.priceDivisor = divisor;
  in.decimals = decimals;
  in.volumeUnit = 1;
  in.price = price;
  in.volatility = 0.005;
  in.dayVolume = 60000;
  in.history = history;
  return in;
}

InstrumentDesc Future(const char *code, const char *name, int kind, const char *contract, double price,
                      uint32_t divisor, int decimals, double openInterest, bool history = false) {
  InstrumentDesc in;
  in.code = code;
  in.name = name;
  in.kind = kind;
  in.contract = contract;
  in.priceDivisor = divisor;
  in.decimals = decimals;
  in.volumeUnit = 1;
  in.price = price;
  in.volatility = 0.013;
  in.dayVolume = openInterest * 0.6;
  in.openInterest = openInterest;
  in.history = history;
  return in;
}

InstrumentDesc FutureContract(const sim::FuturesContract &c) {
  InstrumentDesc in = Future(c.quoteCode, c.name, 2, c.contract, c.price, c.priceDivisor, c.decimals, c.openInterest,
                             c.history);
  in.priceTick = c.tick;
  return in;
}

KindDesc Kind(const char *name, std::vector<std::pair<int, int>> sessions, int dayStart, int dayEnd,
              bool noOrderBook = false) {
  return KindDesc{name, std::move(sessions), dayStart, dayEnd, noOrderBook};
}

// Numbered stocks that fill a market's table the way a real one is full.
void AddNumbered(MarketDesc &market, int kind, int firstCode, int count, const char *prefix, double price) {
  for (int i = 0; i < count; ++i) {
    char code[32], number[32];
    std::snprintf(code, sizeof code, "%06d", firstCode + i);
    std::snprintf(number, sizeof number, "%02d", i + 1);
    std::string name = std::string(prefix) + number;
    market.instruments.push_back(Stock(code, name.c_str(), kind, price * (0.6 + 0.05 * (i % 17))));
  }
}

}  // namespace

std::string BrokerPriceStatements(const DataSetDesc &desc) {
  std::string text;
  for (size_t m = 0; m < desc.markets.size(); ++m) {
    const MarketDesc &market = desc.markets[m];
    if (market.type != 2) continue;
    for (const sim::FuturesContract &c : sim::kFuturesContracts) {
      if (!c.code) continue;
      for (size_t i = 0; i < market.instruments.size(); ++i) {
        const InstrumentDesc &in = market.instruments[i];
        if (in.code != c.quoteCode || in.contract != c.contract) continue;
        const uint32_t last = BuildSeries(desc, int(m), int(i)).quote.last;
        if (last == 0) break;
        char line[96];
        snprintf(line, sizeof line, "price %s %.*f\n", c.code, in.decimals, double(last) / in.priceDivisor);
        text += line;
        break;
      }
    }
  }
  return text;
}

DataSetDesc StandardDataSet(PackedDateTime utcNow) {
  DataSetDesc s;
  s.utcNow = utcNow;
  s.seed = 20240115;

  const std::vector<std::pair<int, int>> exchange = {{570, 690}, {780, 900}};  // 9:30-11:30, 13:00-15:00

  MarketDesc sh{"上海证券", "SH", "shd", 1, 0, 8, 64, {}, {}};
  sh.kinds = {Kind("指数", exchange, 540, 960, true), Kind("A股", exchange, 540, 960),
              Kind("基金", exchange, 540, 960)};
  sh.instruments = {Index("000001", "上证指数", 3050, true), Index("000300", "沪深300", 3550),
                    Index("000016", "上证50", 2450),         Stock("600000", "东海银行", 1, 7.20, true),
                    Stock("600010", "北方钢铁", 1, 1.65),    Stock("600028", "中原石化", 1, 5.80),
                    Stock("600036", "南山银行", 1, 31.50),   Stock("600519", "茅岭酒业", 1, 1690),
                    Stock("601318", "平川保险", 1, 45.20)};
  AddNumbered(sh, 1, 600100, 20, "沪股", 12.0);
  sh.instruments.push_back(Stock("510050", "50ETF", 2, 2.45));
  sh.instruments.push_back(Stock("510300", "300ETF", 2, 3.55));

  MarketDesc sz{"深圳证券", "SZ", "szd", 1, 1, 8, 64, {}, {}};
  sz.kinds = {Kind("指数", exchange, 540, 960, true), Kind("A股", exchange, 540, 960),
              Kind("创业板", exchange, 540, 960)};
  sz.instruments = {Index("399001", "深证成指", 9800),          Index("399006", "创业板指", 1950),
                    Stock("000001", "平原银行", 1, 9.40, true), Stock("000002", "万方地产", 1, 9.90),
                    Stock("000651", "南方电器", 1, 33.60),      Stock("000858", "五岭酒业", 1, 142.0)};
  AddNumbered(sz, 1, 100, 16, "深股", 9.0);
  AddNumbered(sz, 2, 300001, 8, "创业", 21.0);

  // Foreign exchange trades round most of the clock on every weekday and on
  // the weekend days listed for its key; holidays don't stop it.
  MarketDesc wh{"外汇", "WH", "whf", 4, 2, 8, 32, {}, {}};
  wh.kinds = {Kind("直盘", {{420, 1380}}, 400, 1400), Kind("交叉盘", {{420, 1380}}, 400, 1400)};
  wh.instruments = {
      Currency("EURUSD", "欧元美元", 0, 1.0950, 10000, 4, true), Currency("USDJPY", "美元日元", 0, 145.20, 1000, 3),
      Currency("GBPUSD", "英镑美元", 0, 1.2700, 10000, 4),       Currency("AUDUSD", "澳元美元", 0, 0.6700, 10000, 4),
      Currency("USDCNY", "美元人民", 0, 7.1650, 10000, 4),       Currency("EURJPY", "欧元日元", 1, 158.90, 1000, 3),
      Currency("EURGBP", "欧元英镑", 1, 0.8620, 10000, 4)};

  // Futures: the clock runs 11 hours ahead of UTC, so the night session
  // (21:00-23:00 in Beijing) opens the clock day at 0:00 and the day
  // sessions follow at 9:00-10:15, 10:30-11:30 and 13:30-15:00 Beijing time.
  const std::vector<std::pair<int, int>> futures = {{0, 120}, {720, 795}, {810, 870}, {990, 1080}};
  MarketDesc qh{"商品期货", "QH", "qhf", 2, 3, 11, 32, {}, {}};
  qh.kinds = {Kind("指数", futures, 0, 1110, true), Kind("主力", futures, 0, 1110), Kind("合约", futures, 0, 1110)};
  qh.instruments = {Future("QHZS", "商品指数", 0, "QHZS", 1520.0, 100, 2, 0),
                    Future("CU00", "沪铜主力", 1, "CU00", 68500, 1, 0, 160000),
                    Future("AU00", "沪金主力", 1, "AU00", 480.50, 100, 2, 180000),
                    Future("SR00", "白糖主力", 1, "SR00", 6400, 1, 0, 420000)};
  // The contracts: the ones the simulated broker trades.
  for (const sim::FuturesContract &c : sim::kFuturesContracts) qh.instruments.push_back(FutureContract(c));

  s.markets = {sh, sz, wh, qh};

  s.holidays = {20220103, 20220131, 20220201, 20220202, 20220203, 20220204, 20220404, 20220405, 20220502, 20220503,
                20220504, 20220603, 20220912, 20221003, 20221004, 20221005, 20221006, 20221007, 20230102, 20230123,
                20230124, 20230125, 20230126, 20230127, 20230405, 20230501, 20230502, 20230503, 20230622, 20230623,
                20230929, 20231002, 20231003, 20231004, 20231005, 20231006, 20240101, 20240209, 20240212, 20240213,
                20240214, 20240215, 20240216, 20240404, 20240405, 20240501, 20240502, 20240503, 20240610, 20240916,
                20240917, 20241001, 20241002, 20241003, 20241004, 20241007};
  for (int day : {20230128, 20230129, 20230423, 20230506, 20230625, 20231007, 20231008, 20240204, 20240218, 20240407,
                  20240428, 20240511, 20240914, 20240929, 20241012})
    s.weekendTradingDays.push_back({day, 2});

  s.zones = {{"北京时间", 0}, {"东京时间", 1}, {"伦敦时间", -8}, {"纽约时间", -13}};

  s.sharedBlocks.olderForm = true;
  s.sharedBlocks.blocks = {{"银行", {"SH 600000", "SH 600036", "SZ 000001"}},
                           {"酒类", {"SH 600519", "SZ 000858"}},
                           {"有色金属", {"QH CU05", "QH CU06", "QH AU06"}},
                           {"主要汇率", {"WH EURUSD", "WH USDJPY", "WH USDCNY"}}};
  s.userBlocks.blocks = {{"我的板块", {"SH 600000", "SZ 000001", "QH CU05", "WH EURUSD"}},
                         {"观察", {"SZ 000002", "SH 510300", "QH SR09"}}};

  // Headlines of the last hours on market 0's clock, oldest first; news
  // types 1 stocks, 2 futures, 3 foreign exchange.
  const struct {
    uint32_t type;
    const char *title;
  } headlines[] = {
      {1, "交易所发布春节休市安排"},     {1, "上周两市成交概况"}, {2, "有色金属夜盘收涨"},
      {3, "外汇市场：美元指数小幅回落"}, {1, "银行板块早盘走强"}, {2, "铜库存连续三周下降"},
      {1, "本周新股申购提示"},           {3, "人民币中间价调升"},
  };
  PackedDateTime clock = MarketClock(s, 0);
  const int count = int(sizeof headlines / sizeof headlines[0]);
  for (int i = 0; i < count; ++i) {
    PackedDateTime time = clock;
    ShiftPackedHours(&time, -(count - i));
    NewsDesc item{uint32_t(24001 + i), headlines[i].type, time, headlines[i].title, ""};
    if (i % 2 == 0) item.text = std::string(headlines[i].title) + "\r\n\r\n本消息仅供参考。\r\n";
    s.news.push_back(item);
  }
  return s;
}

}  // namespace market_fixture
