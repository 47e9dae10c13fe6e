// The chart base's detail list: its layout over the live trade series, the
// big-order filter's index and the broker names of the broker queue.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "charts/drawview.h"
#include "core/dbase.h"
#include "core/emem.h"
#include "market/dataagent.h"
#include "market/dataio5.h"
#include "views/reportcolumns.h"

int32_t ClampBigOrderThreshold(const char *text) {
  const long value = text ? std::atol(text) : 0;
  return int32_t(std::clamp<long>(value, 0, 32767));
}

bool FindBrokerName(TDbfTable *table, const BROKERENTRY &entry, char (&name)[64]) {
  name[0] = '\0';
  if (!table || !table->IsOpen() || entry.marker != 0 || entry.value == 0) return false;
  int32_t row = table->FindRowAtOrBelow("IDS", entry.value);
  // No row above the number: the broker can only be the last row.
  if (row < 0) row = table->RowCount() - 1;
  if (row < 0 || !table->GoToRow(row)) return false;
  // Only the broker's own row: a lower number is another broker.
  const char *ids = table->GetFieldText("IDS");
  if (!ids || std::atol(ids) != long(entry.value)) return false;
  const char *text = table->GetFieldText("BROKERNAME");
  if (!text) return false;
  std::strncpy(name, text, 63);
  name[63] = '\0';
  // Padding blanks of the stored field are not part of the name.
  for (size_t n = std::strlen(name); n > 0 && name[n - 1] == ' '; --n) name[n - 1] = '\0';
  return name[0] != '\0';
}

void MeasureDetailFonts(SIZE *zero, SIZE *wide) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, ViewFont3 ? HGDIOBJ(ViewFont3) : GetStockObject(SYSTEM_FONT));
  GetTextExtentPoint32A(dc, "0", 1, zero);
  SelectObject(dc, ViewFont2 ? HGDIOBJ(ViewFont2) : GetStockObject(SYSTEM_FONT));
  GetTextExtentPoint32A(dc, "芝", 2, wide);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
}

const TICKREC *TDrawView::DetailSeries(int *count) const {
  *count = 0;
  const CDataAgent *agent = TradeAgent >= 0 ? DataAgentAt(TradeAgent) : nullptr;
  if (!agent && RecentAgent >= 0) agent = DataAgentAt(RecentAgent);
  if (!agent || agent->itemSize != int32_t(sizeof(TICKREC))) return nullptr;
  const void *items = nullptr;
  int32_t n = 0;
  agent->GetSeries(&items, &n);
  if (!items || n <= 0) return nullptr;
  *count = n;
  return static_cast<const TICKREC *>(items);
}

int TDrawView::BuildDetailIndex(const TICKREC *trades, int count, double minVolume) {
  int passed = 0;
  for (int i = 0; trades && i < count; ++i) {
    if (!(trades[i].volume >= minVolume)) continue;
    if (passed >= DetailIndexCapacity) {
      // Doubling; when memory is short the old index stays and the walk ends.
      const int32_t capacity = std::max(DetailIndexCapacity * 2, 1024);
      auto *grown = static_cast<int32_t *>(Malloc(capacity * int32_t(sizeof(int32_t))));
      if (!grown) break;
      if (DetailIndex && passed > 0) std::memcpy(grown, DetailIndex, size_t(passed) * sizeof(int32_t));
      Free(DetailIndex);
      DetailIndex = grown;
      DetailIndexCapacity = capacity;
    }
    DetailIndex[passed++] = i;
  }
  return passed;
}

void TDrawView::ShowNewestTrade() {
  if (!StringGrid1) return;
  auto handler = StringGrid1->OnTopLeftChanged;
  StringGrid1->OnTopLeftChanged = nullptr;
  const int fixed = StringGrid1->FixedRows(), rows = StringGrid1->RowCount();
  if (m_attr.displayFlags & 0x1) {
    StringGrid1->SetTopRow(fixed);
    StringGrid1->SetRow(fixed);
  } else {
    const int visible = std::max(1, StringGrid1->Height() / std::max(StringGrid1->DefaultRowHeight(), 1));
    StringGrid1->SetTopRow(std::max(rows + fixed - std::min(rows, visible), fixed));
    StringGrid1->SetRow(std::max(rows - 1, 0));
  }
  StringGrid1->OnTopLeftChanged = handler;
}

void TDrawView::ScrollDetailListToEnd() {
  DetailScrollLock = false;
  ShowNewestTrade();
}

void TDrawView::LayoutDetailList(bool reset) {
  if (!StringGrid1) return;
  SIZE zero{}, wide{};
  MeasureDetailFonts(&zero, &wide);
  const int w = int(zero.cx), h = int(wide.cx);
  const int rowHeight = int(std::max(zero.cy, wide.cy)) + 6;
  if (StringGrid1->DefaultRowHeight() != rowHeight) {
    StringGrid1->SetDefaultRowHeight(rowHeight);
    Panel1Resize();
  }
  StringGrid1->SetOptions(StringGrid1->Options() | goRowSelect);
  const TMarketData *market = m_attr.stock.market < kMaxMarkets ? MarketAt(m_attr.stock.market) : nullptr;
  const int type = market ? market->m_info.type : 0;
  const int width = Panel1 ? Panel1->Width() : 0;
  if (BrokerQueueMode && type == 6) {
    StringGrid1->SetOptions(StringGrid1->Options() & ~goRowSelect);
    StringGrid1->SetColCount(2);
    StringGrid1->SetRowCount(41);
    StringGrid1->SetFixedRows(1);
    for (int c = 0; c < 2; ++c) StringGrid1->SetColWidths(c, std::max((width - 2) / 2, 1));
  } else {
    const int time = std::max(3 * h, 5 * w) + w;
    if (type == 2 || type == 8) {
      StringGrid1->SetColCount(5);
      const int volume = std::max(2 * h, 5 * w) + w;
      const int widths[5] = {time, std::max(2 * h, 6 * w) + w + 1, volume, type == 8 ? 0 : volume, 2 * h + w};
      for (int c = 0; c < 5; ++c) StringGrid1->SetColWidths(c, widths[c]);
    } else {
      StringGrid1->SetColCount(3);
      StringGrid1->SetColWidths(0, time);
      const int rest = std::max((width - time - 2) / 2, 1);
      StringGrid1->SetColWidths(1, rest);
      StringGrid1->SetColWidths(2, rest);
    }
    int count = 0;
    const TICKREC *trades = DetailSeries(&count);
    int rows = count + 1;
    if (BigOrderThreshold >= 2) {
      const STKINFO *info = GetStockInfo(m_attr.stock);
      rows = BuildDetailIndex(trades, count, double(BigOrderThreshold) * (info ? info->VolumeUnit() : 1)) + 1;
    }
    if (!DetailScrollLock || reset) {
      StringGrid1->SetRowCount(rows);
      StringGrid1->SetFixedRows(rows > 1 ? 1 : 0);
      ShowNewestTrade();
    } else {
      StringGrid1->SetRowCount(rows);
      StringGrid1->SetFixedRows(rows > 1 ? 1 : 0);
    }
  }
  if (m_attr.displayFlags & 0x1) StringGrid1->Invalidate();
  StringGrid1->Update();
}
