// The K-line view's information markers and ex-rights records, read from
// the local cache that the market-data layer keeps, and the ex-rights mode.
#include <algorithm>
#include <cstring>

#include "charts/techform.h"
#include "core/emem.h"
#include "market/datafile.h"
#include "market/dataio5.h"
#include "market/reqbuild.h"
#include "market/rights.h"
#include "platform/fileapi.h"
#include "platform/handles.h"
#include "views/textviewtools.h"
#include "views/viewservices.h"

namespace {

bool Online() { return ViewServices().hasRequestClient && ViewServices().hasRequestClient(); }

// Reads `count` records of `size` bytes from record `first` of an open
// file; the records read whole.
uint32_t ReadRecords(HANDLE file, uint32_t first, uint32_t count, uint32_t size, void *out) {
  if (SetFilePointer(file, LONG(first * size), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return 0;
  DWORD got = 0;
  if (!ReadFile(file, out, count * size, &got, nullptr)) return 0;
  return got / size;
}

}  // namespace

bool TTechForm::LoadInfoMarkers(bool request) {
  infoIndexCount = 0;
  char indexPath[MAX_PATH], textPath[MAX_PATH];
  if (InfoFilePaths(m_attr.stock, 2, indexPath, textPath, MAX_PATH)) {
    HANDLE file = CreateFileA(indexPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      const uint32_t n = GetFileSize(file, nullptr) / kKLineInfoRecordSize;
      if (n > 0 && n != INVALID_FILE_SIZE / kKLineInfoRecordSize) {
        if (!infoIndex) infoIndex = static_cast<uint8_t *>(Malloc(kKLineInfoKept * kKLineInfoRecordSize));
        // The newest 128 items.
        const uint32_t take = std::min<uint32_t>(n, kKLineInfoKept);
        if (infoIndex) infoIndexCount = ReadRecords(file, n - take, take, kKLineInfoRecordSize, infoIndex);
      }
      CloseHandle(file);
    }
  }
  const STKINFO *info = GetStockInfo(m_attr.stock);
  if (request && Online() && info && m_attr.stock.market < 2 && HasMarketRight(m_attr.stock.market, info->kind))
    RequestBaseIndex(m_attr.stock.market, m_attr.stock.stock, 2, m_requestTag);
  return true;
}

bool TTechForm::LoadWeights() {
  weightCount = 0;
  const TMarketData *market = MarketAt(m_attr.stock.market);
  if (!market || market->m_info.type != 1) return false;
  if (Online()) RequestWeights(m_attr.stock.market, m_attr.stock.stock, m_requestTag);
  char path[MAX_PATH];
  if (!CacheFilePath(market, m_attr.stock.stock, kCacheWeight, path, sizeof path)) return true;
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  const DWORD size = GetFileSize(file, nullptr);
  const uint32_t n = size == INVALID_FILE_SIZE ? 0 : size / kKLineWeightRecordSize;
  if (n > 0) {
    if (weightCapacity < n) {
      Free(weights);
      weights = static_cast<KLineWeight *>(Malloc(int32_t(std::min<uint64_t>(uint64_t(n) * 36 + 1116, 0x7FFFFFFF))));
      weightCapacity = weights ? n : 0;
    }
    if (weights) weightCount = ReadRecords(file, 0, n, kKLineWeightRecordSize, weights);
  }
  CloseHandle(file);
  return true;
}

int TTechForm::ExRightsMode() const { return N27->Checked ? 1 : N28->Checked ? 2 : 0; }

void TTechForm::N25Click(TObject *sender) {
  auto *item = static_cast<TMenuItem *>(sender);
  const int before = ExRightsMode();
  for (TMenuItem *m : {N25, N27, N28}) m->Checked = m == item;
  if (ExRightsMode() == before) return;
  LoadSeries(false, false, 2);
  RecalcIndicators(nullptr, false);
  Repaint();
  UpdateBarPanel();
}
