#include "charts/linefile.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "charts/drawline.h"
#include "formula/kvindex.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"

namespace {

constexpr char kLineMagic[4] = {'P', 'S', 'L', '6'};
constexpr char kRefLineMagic[4] = {'P', 'S', 'R', '1'};

// A string into a fixed field: at most the field's size, NUL-padded, no
// terminator when it fills the field. The field was zeroed before.
template <size_t N>
void PutField(char (&field)[N], const char *text, size_t textLimit) {
  if (!text) return;
  std::memcpy(field, text, std::min(strnlen(text, textLimit), N));
}

// A fixed field as a string, up to its first NUL or its end.
template <size_t N>
std::string FieldText(const char (&field)[N]) {
  return std::string(field, strnlen(field, N));
}

// The market's and the instrument's codes; false for an unknown instrument.
bool StockCodes(STKPTR stock, std::string &market, std::string &code) {
  const TMarketData *m = MarketAt(stock.market);
  const STKINFO *info = GetStockInfo(stock);
  if (!m || !info) return false;
  market = FieldText(m->m_info.shortName);
  code = FieldText(info->code);
  return true;
}

enum class ReadResult { Missing, Deleted, Read };

// The records of a file with that magic; the count is held to what the file
// holds. A file with another magic, or too short for its count, is deleted.
ReadResult ReadRecordFile(const std::string &path, const char (&magic)[4], size_t recordSize, std::string &records,
                          uint32_t &count) {
  records.clear();
  count = 0;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ReadResult::Missing;
  std::string bytes;
  char buffer[16384];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  if (bytes.size() < 8 || std::memcmp(bytes.data(), magic, 4) != 0) {
    DeleteFileA(path.c_str());
    return ReadResult::Deleted;
  }
  uint32_t stored = 0;
  std::memcpy(&stored, bytes.data() + 4, 4);
  const uint64_t fits = (uint64_t(bytes.size()) - 8) / recordSize;
  count = uint32_t(std::min<uint64_t>(stored, fits));
  records.assign(bytes, 8, size_t(count) * recordSize);
  return ReadResult::Read;
}

// Appends the records the test does not pick to kept; their number.
template <class Record, class Picked>
uint32_t KeepOthers(const std::string &records, uint32_t count, std::string &kept, Picked picked) {
  uint32_t total = 0;
  for (uint32_t i = 0; i < count; ++i) {
    Record r;
    std::memcpy(&r, records.data() + size_t(i) * sizeof r, sizeof r);
    if (picked(r)) continue;
    kept.append(reinterpret_cast<const char *>(&r), sizeof r);
    ++total;
  }
  return total;
}

}  // namespace

bool LineRecordMatches(const char (&market)[9], const char (&code)[7], STKPTR stock) {
  std::string m, c;
  if (!StockCodes(stock, m, c)) return false;
  return strcasecmp(FieldText(market).c_str(), m.c_str()) == 0 && strcasecmp(FieldText(code).c_str(), c.c_str()) == 0;
}

TLineFileStore::TLineFileStore(std::string folder) : folder_(folder.empty() ? std::string(UserDataPath) : folder) {}

bool TLineFileStore::WriteBytes(HANDLE file, const void *bytes, uint32_t length) {
  DWORD written = 0;
  return WriteFile(file, bytes, length, &written, nullptr) && written == length;
}

bool TLineFileStore::Replace(const std::string &path, const char magic[4], const std::string &records,
                             uint32_t count) {
  const std::string staging = path + ".new";
  HANDLE out = CreateFileA(staging.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  char head[8];
  std::memcpy(head, magic, 4);
  std::memcpy(head + 4, &count, 4);
  bool ok = WriteBytes(out, head, 8) && (records.empty() || WriteBytes(out, records.data(), uint32_t(records.size())));
  CloseHandle(out);
  ok = ok && MoveFileExA(staging.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
  if (!ok) DeleteFileA(staging.c_str());
  return ok;
}

// ---- drawn lines ----

bool TLineFileStore::RewriteLines(TLineFileOwner &owner, bool withObjects) {
  const STKPTR stock = owner.LineStock();
  std::string market, code;
  if (!StockCodes(stock, market, code)) return false;
  const int32_t period = owner.LinePeriod();
  std::string records, kept;
  uint32_t count = 0;
  const ReadResult read = ReadRecordFile(LinePath(), kLineMagic, sizeof(LINEREC), records, count);
  uint32_t total = KeepOthers<LINEREC>(records, count, kept, [&](const LINEREC &r) {
    return r.period == period && LineRecordMatches(r.market, r.code, stock);
  });
  if (withObjects) {
    TLine **lines = owner.LineSlots();
    const uint32_t n = std::min<uint32_t>(owner.LineCount(), kMaxViewLines);
    for (uint32_t i = 0; i < n; ++i) {
      const TLine *line = lines[i];
      if (!line) continue;
      LINEREC r;
      std::memset(&r, 0, sizeof r);
      PutField(r.formula, owner.LineWindowFormula(line->map.window), sizeof r.formula);
      r.period = period;
      PutField(r.market, market.c_str(), market.size());
      PutField(r.code, code.c_str(), code.size());
      r.type = line->type;
      for (int a = 0; a < line->anchorCount && a < 2; ++a) {
        r.time[a] = line->anchors[a].time;
        r.price[a] = line->anchors[a].price;
      }
      PutField(r.text, line->text, sizeof line->text);
      r.fontHeight = line->fontHeight;
      r.colour = line->colour;
      r.fontStyle = line->fontStyle;
      PutField(r.fontFace, line->fontFace, sizeof line->fontFace);
      kept.append(reinterpret_cast<const char *>(&r), sizeof r);
      ++total;
    }
  }
  if (read != ReadResult::Read && total == 0) return true;  // nothing stored, nothing to store
  return Replace(LinePath(), kLineMagic, kept, total);
}

bool TLineFileStore::SaveLines(TLineFileOwner &owner) { return RewriteLines(owner, true); }

bool TLineFileStore::PurgeLines(TLineFileOwner &owner) { return RewriteLines(owner, false); }

int TLineFileStore::LoadLines(TLineFileOwner &owner) {
  TLine **lines = owner.LineSlots();
  uint32_t &lineCount = owner.LineCount();
  for (int i = 0; i < kMaxViewLines; ++i) {
    delete lines[i];
    lines[i] = nullptr;
  }
  lineCount = 0;
  const STKPTR stock = owner.LineStock();
  const int32_t period = owner.LinePeriod();
  std::string records;
  uint32_t count = 0;
  if (ReadRecordFile(LinePath(), kLineMagic, sizeof(LINEREC), records, count) != ReadResult::Read) return 0;
  for (uint32_t i = 0; i < count && lineCount < kMaxViewLines; ++i) {
    LINEREC r;
    std::memcpy(&r, records.data() + size_t(i) * sizeof r, sizeof r);
    if (r.period != period || !LineRecordMatches(r.market, r.code, stock)) continue;
    const std::string formula = FieldText(r.formula);
    int window = -1;
    for (int w = 0; w < owner.LineWindowCount(); ++w) {
      const char *name = owner.LineWindowFormula(w);
      if (name && strcasecmp(name, formula.c_str()) == 0) {
        window = w;
        break;
      }
    }
    if (window < 0) continue;
    TLine *line = TLine::CreateByType(r.type);
    if (!line) continue;
    owner.MapLoadedLine(line, window);
    line->colour = r.colour;
    line->state = kLinePlaced;
    if (line->type == 15) {
      std::memcpy(line->text, r.text, sizeof line->text);
      line->text[sizeof line->text - 1] = 0;
      line->fontHeight = r.fontHeight;
      line->fontStyle = r.fontStyle;
      std::memcpy(line->fontFace, r.fontFace, sizeof line->fontFace);
      line->fontFace[sizeof line->fontFace - 1] = 0;
      line->textSize = MeasureLineText(line->text, line->fontFace, line->fontHeight, line->fontStyle, false);
    }
    if ((line->type == 1 || line->type == 2) && line->labelCount > 2) {
      line->labels[2].x = -1;
      line->labels[2].y = -1;
    }
    for (int a = 0; a < line->anchorCount && a < 2; ++a) {
      line->anchors[a].time = r.time[a];
      line->anchors[a].price = r.price[a];
      line->anchors[a].mark = 1;
    }
    lines[lineCount++] = line;
  }
  return int(lineCount);
}

// ---- reference lines ----

bool TLineFileStore::RewriteRefLines(TLineFileOwner &owner, bool withRecord) {
  CKvIndex *formula = owner.MainFormula();
  if (!formula) return false;
  const STKPTR stock = owner.LineStock();
  std::string market, code;
  if (!StockCodes(stock, market, code)) return false;
  std::string records, kept;
  uint32_t count = 0;
  const ReadResult read = ReadRecordFile(RefLinePath(), kRefLineMagic, sizeof(REFLINEFILEREC), records, count);
  uint32_t total = KeepOthers<REFLINEFILEREC>(
      records, count, kept, [&](const REFLINEFILEREC &r) { return LineRecordMatches(r.market, r.code, stock); });
  const uint32_t n = std::min<uint32_t>(formula->refLineCount, 16);
  if (withRecord && n > 0) {
    REFLINEFILEREC r;
    std::memset(&r, 0, sizeof r);
    PutField(r.market, market.c_str(), market.size());
    PutField(r.code, code.c_str(), code.size());
    for (uint32_t i = 0; i < n; ++i) {
      r.values[i] = formula->refLines[i].value;
      r.decimals[i] = uint8_t(formula->refLines[i].decimals);
    }
    if (n < 16) std::memset(&r.values[n], 0xFF, sizeof r.values[n]);
    kept.append(reinterpret_cast<const char *>(&r), sizeof r);
    ++total;
  }
  if (read != ReadResult::Read && total == 0) return true;
  return Replace(RefLinePath(), kRefLineMagic, kept, total);
}

bool TLineFileStore::SaveRefLines(TLineFileOwner &owner) { return RewriteRefLines(owner, true); }

bool TLineFileStore::PurgeRefLines(TLineFileOwner &owner) { return RewriteRefLines(owner, false); }

int TLineFileStore::LoadRefLines(TLineFileOwner &owner) {
  CKvIndex *formula = owner.MainFormula();
  if (!formula) return 0;
  formula->refLineCount = 0;
  std::string records;
  uint32_t count = 0;
  if (ReadRecordFile(RefLinePath(), kRefLineMagic, sizeof(REFLINEFILEREC), records, count) != ReadResult::Read)
    return 0;
  const STKPTR stock = owner.LineStock();
  for (uint32_t i = 0; i < count; ++i) {
    REFLINEFILEREC r;
    std::memcpy(&r, records.data() + size_t(i) * sizeof r, sizeof r);
    if (!LineRecordMatches(r.market, r.code, stock)) continue;
    for (int j = 0; j < 16 && !std::isnan(r.values[j]); ++j) formula->AddRefLine(r.values[j], int8_t(r.decimals[j]));
    break;
  }
  return int(formula->refLineCount);
}
