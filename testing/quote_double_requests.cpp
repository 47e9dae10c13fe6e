#include "testing/quote_double_requests.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "core/datetime.h"

using namespace market_fixture;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kWholeFile = 0xFFFFFFFFu;

void Put(Bytes &out, const void *bytes, size_t length) {
  const auto *p = static_cast<const uint8_t *>(bytes);
  out.insert(out.end(), p, p + length);
}
void Put8(Bytes &out, uint32_t v) { out.push_back(uint8_t(v)); }
void Put16(Bytes &out, uint32_t v) {
  const uint16_t w = uint16_t(v);
  Put(out, &w, 2);
}
void Put32(Bytes &out, uint32_t v) { Put(out, &v, 4); }
void PutField(Bytes &out, const std::string &text, size_t size) {
  Bytes field(size, 0);
  std::memcpy(field.data(), text.data(), std::min(text.size(), size - 1));
  Put(out, field.data(), size);
}
uint16_t Get16(const Bytes &b, size_t at) {
  uint16_t v;
  std::memcpy(&v, b.data() + at, 2);
  return v;
}
uint32_t Get32(const Bytes &b, size_t at) {
  uint32_t v;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
std::string FieldAt(const Bytes &b, size_t at, size_t size) {
  const char *p = reinterpret_cast<const char *>(b.data() + at);
  return std::string(p, strnlen(p, size));
}

uint32_t Hash(const std::string &text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

QuoteRequestServer::Reply Refusal(const std::string &text) {
  return {FRAME_SERVER_TEXT, {QuoteDouble::ServerTextBody(text)}};
}

// Cuts records into parts: each part is the head followed by as many whole
// records as fit in maxBody (at least one); no records give one part.
std::vector<Bytes> Parts(const Bytes &head, const uint8_t *records, size_t count, size_t size, int maxBody,
                         const Bytes &firstExtra = {}) {
  std::vector<Bytes> parts;
  size_t at = 0;
  do {
    Bytes part = head;
    if (parts.empty()) part.insert(part.end(), firstExtra.begin(), firstExtra.end());
    const size_t room = size_t(std::max(maxBody - int(part.size()), 0));
    size_t n = std::min(count - at, std::max<size_t>(room / size, 1));
    if (count == at) n = 0;
    part.insert(part.end(), records + at * size, records + (at + n) * size);
    at += n;
    parts.push_back(std::move(part));
  } while (at < count);
  return parts;
}

// Plain bytes (texts) cut the same way.
std::vector<Bytes> TextParts(const Bytes &head, const std::string &text, int maxBody) {
  return Parts(head, reinterpret_cast<const uint8_t *>(text.data()), text.size(), 1, maxBody);
}

uint32_t NewsDateTime(PackedDateTime t) {
  const uint32_t date = PackedYear(t) % 100 * 10000 + PackedMonth(t) * 100 + PackedDay(t);
  const uint32_t time = PackedHour(t) * 100 + PackedMinute(t);
  return time << 20 | date;
}

}  // namespace

struct QuoteRequestServer::Data {
  DataSetDesc desc;
  Options options;
  std::mutex lock;
  std::map<std::pair<int, int>, std::shared_ptr<const InstrumentSeries>> series;

  int FindInstrument(int market, const std::string &code) const {
    if (market < 0 || size_t(market) >= desc.markets.size()) return -1;
    const auto &list = desc.markets[size_t(market)].instruments;
    for (size_t i = 0; i < list.size(); ++i)
      if (strcasecmp(list[i].code.c_str(), code.c_str()) == 0) return int(i);
    return -1;
  }

  std::shared_ptr<const InstrumentSeries> Series(int market, int instrument) {
    std::lock_guard guard(lock);
    auto &slot = series[{market, instrument}];
    if (!slot) slot = std::make_shared<InstrumentSeries>(BuildSeries(desc, market, instrument));
    return slot;
  }

  std::string Code(int market, int instrument) const {
    return desc.markets[size_t(market)].instruments[size_t(instrument)].code;
  }
};

QuoteRequestServer::QuoteRequestServer(DataSetDesc desc, Options options) : data_(std::make_shared<Data>()) {
  data_->desc = std::move(desc);
  data_->options = options;
  data_->options.maxPartBody = std::clamp(data_->options.maxPartBody, 64, kMaxFrameBody);
}

const DataSetDesc &QuoteRequestServer::DataSet() const { return data_->desc; }

const std::vector<uint8_t> &QuoteRequestServer::Commands() {
  static const std::vector<uint8_t> commands{FRAME_MINUTE_TREND,
                                          FRAME_RECENT_TRADES,
                                          FRAME_BARS,
                                          FRAME_NEWS,
                                          FRAME_NOTES,
                                          FRAME_WEIGHTS,
                                          FRAME_TICKS,
                                          FRAME_BASE_TEXT_FILE,
                                          FRAME_CHANGE_PASSWORD,
                                          FRAME_TREND_HISTORY,
                                          FRAME_ADVICE,
                                          FRAME_NAME_TABLE,
                                          FRAME_BASE_INDEX,
                                          FRAME_BASE_TEXT,
                                          FRAME_CODE_TABLE,
                                          FRAME_SORT_DATA,
                                          FRAME_BROKER_QUEUE,
                                          FRAME_SYSTEM_MESSAGE,
                                          FRAME_REALTIME_MESSAGE};
  return commands;
}

void QuoteRequestServer::Install(QuoteDouble &server) const {
  const QuoteRequestServer copy = *this;
  for (uint8_t command : Commands())
    server.SetHandler(QuoteDouble::kData, command, [copy, command](QuoteDouble::Exchange &e) {
      Reply reply = copy.Serve(command, e.body());
      e.AnswerParts(reply.command, std::move(reply.parts));
    });
}

// ---- Made-up data -------------------------------------------------------------

std::vector<QuoteRequestServer::Note> QuoteRequestServer::Notes(int channel) {
  std::vector<Note> notes;
  for (int i = 0; i < 3; ++i) {
    Note n;
    char key[16];
    std::snprintf(key, sizeof key, "n%02d%02d.txt", (channel % 100 + 100) % 100, i % 100);
    n.key = key;
    n.title = "市场观察笔记 " + std::to_string(channel) + "-" + std::to_string(i + 1);
    n.text = n.title + "\r\n今日市场窄幅震荡，成交略有放大。\r\n";
    n.value = uint16_t(100 + i);
    n.dateTime = (900u + uint32_t(i) * 100) << 20 | 240115u;
    notes.push_back(n);
  }
  return notes;
}

std::string QuoteRequestServer::BaseTextFile(const std::string &code) {
  return code + " 基本资料\r\n主营业务：详见公司公告。\r\n";
}

std::vector<uint8_t> QuoteRequestServer::Weights(const std::string &code, PackedDateTime utcNow) {
  Bytes out;
  auto daysBack = [&](int days) {
    PackedDateTime t = utcNow & ~uint32_t(0x7FF);
    for (int i = 0; i < days; ++i) PackedPreviousDayInPlace(&t);
    return t;
  };
  // Date; bonus, rights (shares per 10 x 10000), rights price, dividend per
  // 10 shares (price units), capitalised shares; total and float shares.
  auto record = [&](PackedDateTime date, uint32_t bonus, uint32_t dividend) {
    for (uint32_t v : {date, bonus, 0u, 0u, dividend, 0u, 1200000u, 900000u, 0u}) Put32(out, v);
  };
  if (code == "600000") {
    record(daysBack(200), 30000, 1500);
    record(daysBack(60), 0, 1200);
    return out;
  }
  const uint32_t h = Hash(code);
  if (h % 2 == 0) record(daysBack(40 + int(h % 200)), 0, 200 + h % 1000);
  return out;
}

std::vector<ADVICEREC> QuoteRequestServer::Advice(const std::string &code) {
  std::vector<ADVICEREC> records(3);
  for (size_t i = 0; i < records.size(); ++i) {
    std::memset(&records[i], 0, sizeof records[i]);
    records[i].key = MakePackedDateTime(2024, 1, 15, 9, uint32_t(30 + i * 10));
    const std::string text = code + " 提示 " + std::to_string(i + 1);
    std::memcpy(records[i].body, text.data(), std::min(text.size(), sizeof records[i].body - 1));
  }
  return records;
}

BROKERQUEUE QuoteRequestServer::BrokerQueue(const std::string &code) {
  BROKERQUEUE q;
  std::memset(&q, 0, sizeof q);
  const uint32_t h = Hash(code);
  q.count[0] = 5;
  q.count[1] = 3;
  for (int s = 0; s < 2; ++s)
    for (int i = 0; i < q.count[s]; ++i) {
      q.side[s][i].marker = uint8_t(i == 0 ? 1 : 0);
      q.side[s][i].value = uint16_t((h >> (s * 8)) % 9000 + 1000 + uint32_t(i));
    }
  return q;
}

std::string QuoteRequestServer::InfoText(const std::string &code, int infoClass) {
  std::string text;
  for (int k = 0; k < 3; ++k)
    text += code + " 资料" + std::to_string(infoClass) + "-" + std::to_string(k + 1) +
            "\r\n本节内容为测试数据，逐字节确定。\r\n";
  return text;
}

std::vector<std::vector<uint8_t>> QuoteRequestServer::InfoIndex(const std::string &code, int infoClass) {
  std::vector<Bytes> entries;
  static const char *const kTitles[] = {"公司概况", "财务数据", "股本结构"};
  uint32_t offset = 0;
  const std::string text = InfoText(code, infoClass);
  for (int k = 0; k < 3; ++k) {
    // The sections are the text's lines in pairs, in order.
    const std::string section = code + " 资料" + std::to_string(infoClass) + "-" + std::to_string(k + 1) +
                                "\r\n本节内容为测试数据，逐字节确定。\r\n";
    Bytes e(256, 0);
    const uint32_t date = 20240115, time = 900 + uint32_t(k);
    std::memcpy(e.data() + 3, &date, 4);
    std::memcpy(e.data() + 7, &time, 4);
    std::memcpy(e.data() + 11, kTitles[k], std::strlen(kTitles[k]));
    const std::string name = code + "_" + std::to_string(infoClass) + "_" + std::to_string(k) + ".txt";
    std::memcpy(e.data() + 75, name.data(), name.size());
    const uint32_t length = uint32_t(section.size());
    std::memcpy(e.data() + 155, &offset, 4);
    std::memcpy(e.data() + 159, &length, 4);
    offset += length;
    entries.push_back(std::move(e));
  }
  return entries;
}

std::string QuoteRequestServer::SystemMessage() { return "URL:http://127.0.0.1/notice\r\n欢迎使用行情服务。\r\n"; }
std::string QuoteRequestServer::RealtimeMessage() { return "即时消息：行情服务运行正常。\r\n"; }

int QuoteRequestServer::RankingRecordSize(int column) {
  switch (column) {
    case 13: return 15;
    case 14:
    case 15:
    case 16:
    case 17:
    case 18:
    case 24: return 11;
    default: return 8;
  }
}

QuoteRequestServer::RankingRecord QuoteRequestServer::RankingValues(int column, const REALQUOTE &q) {
  RankingRecord r;
  switch (column) {
    case 0: r.a = float(q.refPrice); break;
    case 1: r.a = float(q.open); break;
    case 2: r.a = float(q.high); break;
    case 3: r.a = float(q.low); break;
    case 4: r.a = float(q.last); break;
    case 5: r.a = q.volume; break;
    case 6: r.a = q.amount; break;
    case 7: r.a = q.lastVolume; break;
    case 8: r.a = float(q.bid[0].price); break;
    case 9: r.a = float(q.ask[0].price); break;
    case 10: r.a = q.bid[0].volume; break;
    case 11: r.a = q.ask[0].volume; break;
    case 12: r.a = float(q.settlement); break;
    case 13: r = {float(q.high), float(q.low), float(q.refPrice)}; break;
    case 14:
    case 15:
    case 17:
    case 24: r = {float(q.last), float(q.refPrice), 0}; break;
    case 16: r = {q.volume, q.prevOpenInterest, 0}; break;
    case 18:
      for (int i = 0; i < 5; ++i) r.a += q.bid[i].volume, r.b += q.ask[i].volume;
      break;
    default: break;
  }
  return r;
}

std::vector<STKMS> QuoteRequestServer::BlockMembers(uint32_t blockId) const {
  const DataSetDesc &desc = data_->desc;
  std::vector<STKMS> members;
  const uint32_t markets = uint32_t(desc.markets.size());
  if (blockId < markets) {
    const auto &list = desc.markets[blockId].instruments;
    for (size_t i = 0; i < list.size(); ++i) members.push_back(STKMS{uint8_t(blockId), uint16_t(i)});
    return members;
  }
  uint32_t running = markets;
  for (uint32_t m = 0; m < markets; ++m) {
    const MarketDesc &market = desc.markets[m];
    for (size_t k = 0; k < market.kinds.size(); ++k, ++running) {
      if (running != blockId) continue;
      for (size_t i = 0; i < market.instruments.size(); ++i)
        if (market.instruments[i].kind == int(k)) members.push_back(STKMS{uint8_t(m), uint16_t(i)});
      return members;
    }
  }
  return members;
}

// ---- Serving ------------------------------------------------------------------

QuoteRequestServer::Reply QuoteRequestServer::Serve(uint8_t command, const std::vector<uint8_t> &r) const {
  Data &d = *data_;
  const int maxBody = d.options.maxPartBody;
  auto instrumentAt = [&](size_t marketAt, size_t codeAt, int *market, int *instrument) {
    if (r.size() < codeAt + 8) return false;
    *market = r[marketAt];
    *instrument = d.FindInstrument(*market, FieldAt(r, codeAt, 8));
    return *instrument >= 0;
  };
  // The instrument head most answers start with: market and 8-byte code.
  auto codeField = [&](int market, int instrument) {
    Bytes field;
    PutField(field, d.Code(market, instrument), 8);
    return field;
  };
  int m = 0, i = 0;
  switch (command) {
    case FRAME_BARS: {
      if (r.size() < 22 || !instrumentAt(1, 2, &m, &i)) return Refusal("无此品种。");
      const int base = r[0];
      const uint32_t from = Get32(r, 14), to = Get32(r, 18);
      auto series = d.Series(m, i);
      std::vector<KLINEBAR> all = base == 8   ? series->days
                                  : base == 7 ? GroupMinuteBars(*series, 60)
                                  : base == 4 ? GroupMinuteBars(*series, 5)
                                              : GroupMinuteBars(*series, 1);
      std::vector<KLINEBAR> bars;
      for (const KLINEBAR &b : all)
        if ((from == 0 || b.time >= from) && (to == 0 || b.time <= to)) bars.push_back(b);
      Bytes head{uint8_t(base), uint8_t(m)};
      const int count = int(d.desc.markets[size_t(m)].instruments.size());
      const int named = d.options.barsNameTheNextInstrument ? (i + 1) % count : i;
      const Bytes code = codeField(m, named);
      head.insert(head.end(), code.begin(), code.end());
      Put32(head, 0);
      return {FRAME_BARS,
              Parts(head, reinterpret_cast<const uint8_t *>(bars.data()), bars.size(), sizeof(KLINEBAR), maxBody)};
    }
    case FRAME_MINUTE_TREND: {
      if (r.size() < 14 || !instrumentAt(1, 2, &m, &i)) return Refusal("无此品种。");
      auto series = d.Series(m, i);
      const uint32_t held = Get32(r, 10);
      const std::vector<TRENDREC> records = TodayTrend(*series);
      // The last minute held may have been incomplete: it comes again.
      const size_t from = std::min<size_t>(held > 0 ? held - 1 : 0, records.size());
      const size_t wire = series->index ? 32 : 40;
      Bytes items;
      for (size_t k = from; k < records.size(); ++k) {
        const TRENDREC &t = records[k];
        if (series->index) {
          Put32(items, t.price);
          Put(items, &t.volume, 4);
          Put(items, &t.amount, 4);
          Put32(items, t.firstPrice);
          Put32(items, t.highPrice);
          Put32(items, t.lowPrice);
          Put16(items, t.advancing);
          Put16(items, t.declining);
          Put(items, &t.leadingOffset, 4);
        } else {
          Put(items, &t, 40);
        }
      }
      Bytes head{1, uint8_t(m)};
      const Bytes code = codeField(m, i);
      head.insert(head.end(), code.begin(), code.end());
      Put32(head, 0);
      const TRENDHEAD trendHead = TodayTrendHead(*series);
      Bytes first;
      Put(first, &trendHead, sizeof trendHead);
      return {FRAME_MINUTE_TREND, Parts(head, items.data(), items.size() / wire, wire, maxBody, first)};
    }
    case FRAME_TICKS:
    case FRAME_RECENT_TRADES: {
      const bool ticks = command == FRAME_TICKS;
      if (r.size() < (ticks ? 14u : 13u) || !instrumentAt(ticks ? 1 : 0, ticks ? 2 : 1, &m, &i))
        return Refusal("无此品种。");
      const std::vector<TICKREC> all = TodayTicks(*d.Series(m, i));
      const uint32_t value = Get32(r, ticks ? 10 : 9);
      const size_t from =
          ticks ? std::min<size_t>(value, all.size()) : all.size() - std::min<size_t>(value, all.size());
      Bytes head;
      if (ticks) Put8(head, 0);
      Put8(head, uint32_t(m));
      const Bytes code = codeField(m, i);
      head.insert(head.end(), code.begin(), code.end());
      Put32(head, 0);
      return {command, Parts(head, reinterpret_cast<const uint8_t *>(all.data() + from), all.size() - from,
                             sizeof(TICKREC), maxBody)};
    }
    case FRAME_TREND_HISTORY: {
      if (r.size() < 14 || !instrumentAt(1, 2, &m, &i)) return Refusal("无此品种。");
      const uint32_t date = Get32(r, 10) & kPackedDateMask;
      auto series = d.Series(m, i);
      for (const DayMinutes &day : series->pastDays) {
        if ((day.date & kPackedDateMask) != date) continue;
        const std::vector<TRENDITEM> items = PastDayTrendItems(*series, day);
        Bytes head{1, uint8_t(m)};
        const Bytes code = codeField(m, i);
        head.insert(head.end(), code.begin(), code.end());
        Put32(head, date);
        if (series->index) {
          head.resize(head.size() + 4, 0);  // every part starts with the day's extra word
          return {command, Parts(head, reinterpret_cast<const uint8_t *>(items.data()), items.size(), sizeof(TRENDITEM),
                                 maxBody)};
        }
        Bytes plain;
        for (const TRENDITEM &t : items) {
          Put32(plain, t.price);
          Put(plain, &t.volume, 4);
          Put(plain, &t.amount, 4);
        }
        return {command, Parts(head, plain.data(), plain.size() / 12, 12, maxBody)};
      }
      return Refusal("该日无分时数据。");
    }
    case FRAME_BASE_TEXT_FILE:
    case FRAME_WEIGHTS: {
      if (r.size() < 13 || !instrumentAt(0, 5, &m, &i)) return Refusal("无此品种。");
      Bytes head{uint8_t(m)};
      Put32(head, 0);
      const Bytes code = codeField(m, i);
      head.insert(head.end(), code.begin(), code.end());
      if (command == FRAME_WEIGHTS) {
        const Bytes data = Weights(d.Code(m, i), d.desc.utcNow);
        return {command, Parts(head, data.data(), data.size(), 1, maxBody)};
      }
      return {command, TextParts(head, BaseTextFile(d.Code(m, i)), maxBody)};
    }
    case FRAME_ADVICE: {
      if (r.size() < 9 || !instrumentAt(0, 1, &m, &i)) return Refusal("无此品种。");
      Bytes head{uint8_t(m)};
      const Bytes code = codeField(m, i);
      head.insert(head.end(), code.begin(), code.end());
      const std::vector<ADVICEREC> records = Advice(d.Code(m, i));
      return {command, Parts(head, reinterpret_cast<const uint8_t *>(records.data()), records.size(), sizeof(ADVICEREC),
                             maxBody)};
    }
    case FRAME_BROKER_QUEUE: {
      if (r.size() < 9 || !instrumentAt(0, 1, &m, &i)) return Refusal("无此品种。");
      Bytes body{uint8_t(m)};
      const Bytes code = codeField(m, i);
      body.insert(body.end(), code.begin(), code.end());
      const BROKERQUEUE q = BrokerQueue(d.Code(m, i));
      Put(body, &q, sizeof q);
      return {command, {body}};
    }
    case FRAME_BASE_INDEX: {
      if (r.size() < 14 || !instrumentAt(0, 1, &m, &i)) return Refusal("无此品种。");
      const int infoClass = r[9];
      const uint32_t held = Get32(r, 10);
      const std::vector<Bytes> entries = InfoIndex(d.Code(m, i), infoClass);
      Bytes flat;
      for (size_t k = std::min<size_t>(held, entries.size()); k < entries.size(); ++k)
        flat.insert(flat.end(), entries[k].begin(), entries[k].end());
      Bytes head{uint8_t(m)};
      const Bytes code = codeField(m, i);
      head.insert(head.end(), code.begin(), code.end());
      Put8(head, uint32_t(infoClass));
      Put32(head, 0);
      return {command, Parts(head, flat.data(), flat.size() / 256, 256, maxBody)};
    }
    case FRAME_BASE_TEXT: {
      if (r.size() < 98 || !instrumentAt(0, 1, &m, &i)) return Refusal("无此品种。");
      const std::string text = InfoText(d.Code(m, i), r[9]);
      const uint32_t offset = Get32(r, 90), length = Get32(r, 94);
      std::string slice;
      if (offset == kWholeFile)
        slice = text;
      else if (offset < text.size())
        slice = text.substr(offset, length);
      if (slice.empty()) return Refusal("无此资料。");
      const Bytes head(r.begin(), r.begin() + 98);
      return {command, TextParts(head, slice, maxBody)};
    }
    case FRAME_CODE_TABLE: {
      if (r.size() < 7 || r[0] >= d.desc.markets.size()) return Refusal("无此市场。");
      m = r[0];
      const std::vector<STKINFO> table = NameTable(d.desc, m);
      const size_t first = std::min<size_t>(Get16(r, 1), table.size());
      const size_t n = std::min(table.size() - first, size_t(std::max(d.options.codeEntriesPerAnswer, 1)));
      Bytes body{uint8_t(m)};
      Put16(body, uint32_t(first));
      Put16(body, uint32_t(n));
      Put16(body, uint32_t(table.size()));
      Put(body, table.data() + first, n * sizeof(STKINFO));
      return {command, {body}};
    }
    case FRAME_NAME_TABLE: {
      if (r.empty() || r[0] >= d.desc.markets.size()) return Refusal("无此市场。");
      m = r[0];
      Bytes items;
      if (d.desc.markets[size_t(m)].type == 2) {
        const std::vector<STKINFO> names = NameTable(d.desc, m);
        const std::vector<STKINFOEX> contracts = ContractTable(d.desc, m);
        for (size_t k = 0; k < names.size(); ++k) {
          Put(items, contracts[k].code, 7);
          Put(items, names[k].code, 7);
        }
      }
      return {command, Parts(Bytes{uint8_t(m)}, items.data(), items.size() / 14, 14, maxBody)};
    }
    case FRAME_SORT_DATA: {
      if (r.size() < 7) return Refusal("请求格式错误。");
      const int column = r[0];
      const bool block = Get32(r, 1) == 1;
      const uint32_t n = Get16(r, 5);
      std::vector<STKMS> list;
      if (block) {
        list = BlockMembers(n);
        if (list.empty()) return Refusal("无此板块。");
      } else {
        if (r.size() < 7 + size_t(n) * 3) return Refusal("请求格式错误。");
        for (uint32_t k = 0; k < n; ++k) list.push_back(STKMS{r[7 + 3 * k], Get16(r, 8 + 3 * k)});
      }
      const int size = RankingRecordSize(column);
      Bytes records;
      if (column == 17) records.resize(size_t(size), 0);  // the leading record of this column
      for (const STKMS &s : list) {
        RankingRecord v;
        if (s.market < d.desc.markets.size() && s.stock < d.desc.markets[s.market].instruments.size())
          v = RankingValues(column, d.Series(s.market, s.stock)->quote);
        Put8(records, s.market);
        Put16(records, s.stock);
        Put(records, &v.a, 4);
        if (size == 8) Put8(records, 0);
        if (size >= 11) Put(records, &v.b, 4);
        if (size == 15) Put(records, &v.c, 4);
      }
      return {command,
              Parts(Bytes{uint8_t(column)}, records.data(), records.size() / size_t(size), size_t(size), maxBody)};
    }
    case FRAME_NEWS: {
      if (r.size() >= 10 && r[0] == 0) {
        const uint32_t type = r[1], older = Get32(r, 2), id = Get32(r, 6);
        std::vector<NewsDesc> items;
        for (const NewsDesc &n : d.desc.news)
          if ((type == 0 || n.type == type) && (older ? n.id <= id : n.id >= id)) items.push_back(n);
        std::sort(items.begin(), items.end(),
                  [&](const NewsDesc &a, const NewsDesc &b) { return older ? a.id > b.id : a.id < b.id; });
        if (items.size() > size_t(std::max(d.options.newsPerPage, 1))) items.resize(size_t(d.options.newsPerPage));
        if (items.empty()) return Refusal("没有更多的信息。");
        Bytes flat;
        for (const NewsDesc &n : items) {
          Put8(flat, 0);
          Put8(flat, n.type);
          Put32(flat, n.id);
          Put32(flat, NewsDateTime(n.time));
          PutField(flat, n.title, 80);
        }
        return {command, Parts(Bytes{0, uint8_t(type)}, flat.data(), items.size(), 90, maxBody)};
      }
      if (r.size() >= 6 && r[0] == 2) {
        const uint32_t id = Get32(r, 2);
        for (const NewsDesc &n : d.desc.news)
          if (n.id == id && !n.text.empty()) return {command, TextParts(Bytes{2, r[1]}, n.text, maxBody)};
        return Refusal("该信息没有内容。");
      }
      return Refusal("请求格式错误。");
    }
    case FRAME_NOTES: {
      if (r.size() >= 10 && r[0] == 0) {
        const int channel = r[1];
        Bytes flat;
        for (const Note &n : Notes(channel)) {
          Put8(flat, 0);
          Put8(flat, uint32_t(channel));
          Put16(flat, n.value);
          Put16(flat, 0);
          PutField(flat, n.title, 80);
          Put32(flat, n.dateTime);
          PutField(flat, n.key, 16);
          Put16(flat, 0);
        }
        return {command, Parts(Bytes{0, uint8_t(channel)}, flat.data(), flat.size() / 108, 108, maxBody)};
      }
      if (r.size() >= 20 && r[0] == 1) {
        const std::string key = FieldAt(r, 2, 16);
        for (const Note &n : Notes(r[1]))
          if (n.key == key) return {command, TextParts(Bytes{1, r[1]}, n.text, maxBody)};
        return Refusal("无此笔记。");
      }
      return Refusal("请求格式错误。");
    }
    case FRAME_SYSTEM_MESSAGE: return {command, TextParts(Bytes(4, 0), SystemMessage(), maxBody)};
    case FRAME_REALTIME_MESSAGE: {
      Bytes head;
      Put32(head, r.size() >= 4 ? Get32(r, 0) : 0);
      return {command, TextParts(head, RealtimeMessage(), maxBody)};
    }
    case FRAME_CHANGE_PASSWORD:
      if (r.size() < 40) return Refusal("请求格式错误。");
      return {command, {Bytes(4, 0)}};
    default: return Refusal("不支持的请求。");
  }
}
