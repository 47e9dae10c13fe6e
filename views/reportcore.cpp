#include "views/reportcore.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "market/blocks.h"
#include "market/dataio5.h"
#include "market/utildata.h"
#include "platform/fileapi.h"
#include "platform/profile.h"

std::string HideCodeFile() { return std::string(UserDataPath) + "HideCode.ini"; }

namespace {

constexpr int kHiddenValueSize = 4096;

std::string HiddenValue(const BLOCK *block) {
  std::vector<char> text(kHiddenValueSize);
  GetPrivateProfileStringA("Hide", block->name, "", text.data(), DWORD(text.size()), HideCodeFile().c_str());
  return text.data();
}

// True when code is a whole comma-separated item of the value.
bool HasItem(const std::string &value, const char *code) {
  const size_t n = std::strlen(code);
  if (!n) return false;
  for (size_t at = value.find(code); at != std::string::npos; at = value.find(code, at + 1)) {
    const bool starts = at == 0 || value[at - 1] == ',';
    const bool ends = at + n == value.size() || value[at + n] == ',';
    if (starts && ends) return true;
  }
  return false;
}

std::string CodeOf(const REPORTROW &row) {
  const STKINFO *info = GetStockInfo(STKPTR(row.market, 0, row.stock));
  return info ? std::string(info->code, strnlen(info->code, sizeof info->code)) : std::string();
}

float FloatAt(const uint8_t *record, int offset) {
  float f;
  std::memcpy(&f, record + offset, sizeof f);
  return f;
}

void Renumber(BLOCK *block) {
  for (int i = 0; i < block->memberCount; ++i) {
    block->members[i].position = uint16_t(i);
    block->members[i].reserved6 = 0;
    block->members[i].reserved8 = 0;
  }
}

}  // namespace

TReportCore::TReportCore()
    : rows(new REPORTROW[kReportMaxRows]()), values(new double[kReportMaxRows]()) {}

TReportCore::~TReportCore() {
  delete[] rows;
  delete[] values;
}

void TReportCore::LoadRows(const BLOCK *block) {
  rowCount = 0;
  if (!block || !block->members) return;
  rowCount = std::min<int>(block->memberCount, kReportMaxRows);
  std::memcpy(rows, block->members, size_t(rowCount) * sizeof(REPORTROW));
  for (int i = 0; i < rowCount; ++i) rows[i].flashStamp = 0, rows[i].changedMask = 0;
  if (block->kind < kBlockUser) RemoveHiddenCodes(block);
}

void TReportCore::RemoveHiddenCodes(const BLOCK *block) {
  const std::string value = HiddenValue(block);
  if (value.empty()) return;
  for (int i = rowCount - 1; i >= 0; --i) {
    if (!HasItem(value, CodeOf(rows[i]).c_str())) continue;
    std::memmove(rows + i, rows + i + 1, size_t(rowCount - i - 1) * sizeof *rows);
    std::memmove(values + i, values + i + 1, size_t(rowCount - i - 1) * sizeof *values);
    --rowCount;
  }
}

int TReportCore::FindRow(int market, int stock) const {
  for (int i = 0; i < rowCount; ++i)
    if (rows[i].market == market && rows[i].stock == stock) return i;
  return -1;
}

STKPTR TReportCore::RowStock(int row) const {
  if (row < 0 || row >= rowCount) return STKPTR();
  return STKPTR(rows[row].market, rows[row].kind, rows[row].stock);
}

bool TReportCore::IsLocalSortColumn(int column) {
  return column == 0 || column == 1 || column == 9 || (column >= 46 && column <= 53) || column == 57;
}

void TReportCore::SortLocal() {
  if (sortColumn == 0)
    SortRowsByPosition(rows, rowCount, direction);
  else if (sortColumn == 1 || sortColumn == 9)
    SortRowsByCode(rows, rowCount, direction);
  else
    SortRowsByFinance(rows, rowCount, direction, sortColumn);
}

int TReportCore::ServerSortKind(int column) {
  if (column == 22) return 7;
  if (column == 23 || column == 54 || column == 55 || column == 56 || column == 58) return 10;
  return column;
}

bool TReportCore::BuildSortRequest(const BLOCK *block, ReportSortRequest *request) const {
  if (!block || !block->members || !block->memberCount) return false;
  request->sortKind = ServerSortKind(sortColumn);
  if (block->kind < kBlockServer) {
    request->count = uint32_t(block->blockId);
    request->codes = nullptr;
    return true;
  }
  const int n = std::min<int>(block->memberCount, kSortRequestMembers);
  STKMS *codes = new (std::nothrow) STKMS[size_t(n)];
  if (!codes) return false;
  for (int i = 0; i < n; ++i) codes[i] = STKMS{block->members[i].market, block->members[i].stock};
  request->count = uint32_t(n);
  request->codes = codes;
  return true;
}

bool TReportCore::LoadSortAnswer(const BLOCK *block, const char *path) {
  if (!block || !block->members || !block->memberCount) return false;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  auto read = [file](uint8_t *buffer, size_t size) {
    DWORD got = 0;
    return ReadFile(file, buffer, DWORD(size), &got, nullptr) && got == size;
  };
  rowCount = std::min<int>(block->memberCount, kReportMaxRows);
  std::memcpy(rows, block->members, size_t(rowCount) * sizeof(REPORTROW));
  for (int i = 0; i < rowCount; ++i) rows[i].flashStamp = 0, rows[i].changedMask = 0;
  const int column = sortColumn;
  if (column == 0 || column == 1 || column == 9 || (column >= 30 && column <= 33)) {
    CloseHandle(file);
    return true;
  }
  const int size = column == 12 ? 15
                   : (column == 10 || column == 11 || column == 13 || column == 14 || column == 20 ||
                      column == 21 || column == 23 || column == 54 || column == 55 || column == 56 || column == 58)
                       ? 11
                       : 8;
  uint8_t record[15];
  double index = 0;  // column 14: the change of the market's first instrument
  bool indexKnown = false;
  if (column == 14) {
    read(record, 11);  // the leading record is skipped, whole or not
    const REALQUOTE *first = QuoteOf(rows[0].market, 0);
    if (first && first->prevClose) {
      indexKnown = true;
      if (first->last) index = (double(first->last) - first->prevClose) * 100 / first->prevClose;
    }
  }
  const double fallback = direction == 1 ? 0.0 : 1e15;
  for (int k = 0; k < rowCount; ++k) {
    double v = fallback;
    if (column == 13) v = 1.0;
    if (column == 20 || column == 21 || column == 12) v = 0;
    if (column == 58) v = direction == 1 ? -1e15 : 1e15;
    const bool whole = read(record, size_t(size));
    if (whole) {
      const double a = FloatAt(record, 3), b = size >= 11 ? FloatAt(record, 7) : 0, c = size >= 15 ? FloatAt(record, 11) : 0;
      const double p = a != 0 ? a : b;
      const STKINFO *info = GetStockInfo(STKPTR(rows[k].market, 0, rows[k].stock));
      const double divisor = info ? info->priceDivisor : 0;
      // The record names its instrument by market and stock bytes; only an
      // instrument inside the market table is read or written.
      uint16_t stock;
      std::memcpy(&stock, record + 1, sizeof stock);
      const int recordMarket = record[0];
      const FINANCE *f = FinanceOf(recordMarket, stock);
      switch (column) {
        case 10:
          if (divisor != 0) v = (a - b) / divisor;
          break;
        case 11:
          if (std::trunc(b) != 0) v = (a - b) * 100 / b;
          break;
        case 13: {
          const TMarketData *md = MarketAt(rows[k].market);
          const int kind = info ? info->kind : 255;
          if (b > 0.01 && b < 1e8 && md && kind < std::min<int>(md->m_info.kindCount, kMaxStockKinds)) {
            const MKKINDINFO &ki = md->m_info.kinds[kind];
            v = double(ki.minutesPerDay) * a / b / (ki.currentTradingMinute + 1);
          }
          break;
        }
        case 20:
          if (a + b > 0) v = (a - b) * 100 / (a + b);
          break;
        case 14:
          if (indexKnown && std::trunc(b) != 0) v = (a - b) * 100 / b - index;
          break;
        case 21: {
          if (std::trunc(b) != 0) v = (a - b) * 100 / b;
          TMarketData *md = MarketAt(recordMarket);
          if (QuoteOf(recordMarket, stock)) md->m_quotes[stock].fastChange = float(v);
          break;
        }
        case 12:
          if (std::trunc(c) != 0) v = (a - b) * 100 / c;
          break;
        case 22:
          if (f && f->floatShares != 0) v = a / f->floatShares;
          break;
        case 23:
          if (f && (std::trunc(a) != 0 || std::trunc(b) != 0) && f->projectedEarningsPerShare > 0)
            v = p / f->projectedEarningsPerShare;
          break;
        case 54:
        case 55:
          if (f && (std::trunc(a) != 0 || std::trunc(b) != 0))
            v = p * (column == 54 ? f->floatShares : f->totalShares);
          break;
        case 56:
          if (f && (std::trunc(a) != 0 || std::trunc(b) != 0) && f->netAssetsPerShare > 0)
            v = p / f->netAssetsPerShare;
          break;
        case 58:
          if (f && std::trunc(a) != 0 && std::trunc(b) != 0 && f->indexWeight != 0) v = (a - b) / b * f->indexWeight;
          break;
        default:
          if (divisor != 0) v = a / divisor;
          break;
      }
    }
    values[k] = std::isfinite(v) ? v : fallback;
  }
  CloseHandle(file);
  SortRowsByValue(rows, values, rowCount, direction);
  if (block->kind < kBlockUser) RemoveHiddenCodes(block);
  return true;
}

int TReportCore::OnQuote(int market, int stock, uint32_t mask) {
  const int row = FindRow(market, stock);
  if (row >= 0 && mask) {
    rows[row].changedMask = mask;
    rows[row].flashStamp = tickCounter;
  }
  return row;
}

bool TReportCore::IsRowFlashing(int row) {
  if (row < 0 || row >= rowCount) return false;
  const int elapsed = (int(tickCounter) - int(rows[row].flashStamp) + 65000) % 65000;
  if (elapsed < kFlashTicks) return true;
  rows[row].changedMask = 0;
  return false;
}

bool TReportCore::IsCellFlashing(int column, int row) {
  uint32_t bit = 0;
  switch (column) {
    case 6: bit = kChangedLast; break;
    case 24: bit = kChangedLastVolume; break;
    case 25: bit = kChangedBid; break;
    case 26: bit = kChangedAsk; break;
    case 28: bit = kChangedBidVolume; break;
    case 29: bit = kChangedAskVolume; break;
    case 7: bit = kChangedVolume; break;
    default: return false;
  }
  if (row < 0 || row >= rowCount || !(rows[row].changedMask & bit)) return false;
  return IsRowFlashing(row);
}

int TReportCore::GroupJumpRow(int row, bool down) const {
  if (rowCount <= 0 || row < 0 || row >= rowCount) return row;
  char codes[2][4];
  auto group = [&](int r, char *out) {
    const STKINFO *info = GetStockInfo(STKPTR(rows[r].market, 0, rows[r].stock));
    std::memset(out, 0, 4);
    if (info) std::memcpy(out, info->code, 4);
  };
  auto same = [&](int a, int b) {
    group(a, codes[0]);
    group(b, codes[1]);
    return std::memcmp(codes[0], codes[1], 4) == 0;
  };
  auto weight = [&](int r) {
    const STKINFO *info = GetStockInfo(STKPTR(rows[r].market, 0, rows[r].stock));
    const REALQUOTE *q = QuoteOf(rows[r].market, rows[r].stock);
    if (!info || !q || info->code[4] == '2') return 0.0;
    return double(q->volume) + q->amount;
  };
  int i = row;
  if (down) {
    while (i < rowCount && same(i, row)) ++i;
    if (i >= rowCount) i = 0;
    int best = i;
    for (int j = i + 1; j < rowCount && same(j, i); ++j)
      if (weight(j) > weight(best)) best = j;
    return best;
  }
  while (i >= 0 && same(i, row)) --i;
  if (i < 0) i = rowCount - 1;
  int best = i;
  for (int j = i - 1; j >= 0 && same(j, i); --j)
    if (weight(j) > weight(best)) best = j;
  return best;
}

void TReportCore::PageMove(bool down, int visible, int *topRow, int *selected) const {
  const int g = std::max(rowCount, 1) + 1;  // grid rows with the header
  const int v = std::max(visible, 1);
  const int distance = std::max(*selected - *topRow, 0);
  int top = *topRow;
  const int lastTop = std::max(g - v, 1);
  if (down)
    top = top + v < g ? std::min(top + v, lastTop) : 1;
  else
    top = top > 1 ? std::max(top - v, 1) : lastTop;
  *topRow = top;
  *selected = std::min(top + distance, g - 1);
}

void TReportCore::LineMove(bool down, int *selected) const {
  const int last = std::max(rowCount, 1);
  int s = *selected + (down ? 1 : -1);
  if (s > last) s = 1;
  if (s < 1) s = last;
  *selected = s;
}

bool TReportCore::DeleteFromUserBlock(BLOCK *block, int row) {
  if (!block || block->kind != kBlockUser || !block->members || row < 0 || row >= rowCount) return false;
  const int n = std::min<int>(block->memberCount, kReportMaxRows);
  int t = -1;
  for (int i = 0; i < n; ++i)
    if (block->members[i].market == rows[row].market && block->members[i].stock == rows[row].stock) t = i;
  if (t < 0) return false;
  std::memmove(block->members + t, block->members + t + 1, size_t(n - t - 1) * sizeof *block->members);
  block->memberCount = uint16_t(n - 1);
  Renumber(block);
  SaveUserBlocks();
  return true;
}

bool TReportCore::HideRow(const BLOCK *block, int row) {
  if (!block || block->kind >= kBlockUser || row < 0 || row >= rowCount) return false;
  std::string value = HiddenValue(block);
  const std::string code = CodeOf(rows[row]);
  if (!code.empty() && !HasItem(value, code.c_str())) {
    std::string next = value.empty() ? code : value + "," + code;
    if (next.size() < size_t(kHiddenValueSize))
      WritePrivateProfileStringA("Hide", block->name, next.c_str(), HideCodeFile().c_str());
  }
  std::memmove(rows + row, rows + row + 1, size_t(rowCount - row - 1) * sizeof *rows);
  --rowCount;
  return true;
}

void TReportCore::UnhideAll(const BLOCK *block) {
  if (block) WritePrivateProfileStringA("Hide", block->name, "", HideCodeFile().c_str());
}

TReportCore::DropResult TReportCore::DropStock(BLOCK *block, STKPTR stock, int d) {
  if (!block || !block->members) return kDropRefused;
  const int n = std::min<int>(block->memberCount, kMaxBlockMembers);
  int t = -1;
  for (int i = 0; i < n && t < 0; ++i)
    if (block->members[i].market == stock.market && block->members[i].stock == stock.stock) t = i;
  if (t >= 0) {
    if (block->kind != kBlockUser) return kDropRefused;
    if (d < 0 || d >= n) d = n - 1;
    if (d != t) {
      const BLOCKMEMBER moved = block->members[t];
      if (t < d)
        std::memmove(block->members + t, block->members + t + 1, size_t(d - t) * sizeof moved);
      else
        std::memmove(block->members + d + 1, block->members + d, size_t(t - d) * sizeof moved);
      block->members[d] = moved;
    }
    Renumber(block);
    LoadRows(block);
    SaveUserBlocks();
    return kDropMoved;
  }
  if (block->kind < kBlockUser) return kDropSystemBlock;
  if (n >= kMaxBlockMembers) return kDropFull;
  if (d < 0 || d > n) d = n;
  std::memmove(block->members + d + 1, block->members + d, size_t(n - d) * sizeof *block->members);
  BLOCKMEMBER &m = block->members[d];
  std::memset(&m, 0, sizeof m);
  m.market = stock.market;
  m.kind = stock.kind;
  m.stock = stock.stock;
  block->memberCount = uint16_t(n + 1);
  Renumber(block);
  SaveUserBlocks();
  return kDropInserted;
}
