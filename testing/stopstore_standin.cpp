#include "testing/stopstore_standin.h"

#include <algorithm>

TStopStoreStandIn::~TStopStoreStandIn() {
  for (StopOrderPointer *holder : holders_) {
    for (StopOrder *s = holder->First; s;) {
      StopOrder *next = s->Next;
      delete s;
      s = next;
    }
    delete holder;
  }
}

bool TStopStoreStandIn::AddStop(InvestorPosition_Lite &position, int32_t volume, double stop, double trailing,
                                double profit, double trailReference, int32_t expiryKind) {
  if (volume <= 0 || (stop <= 0.0001 && profit <= 0.0001)) return true;
  if (!position.Stops) {
    position.Stops = new StopOrderPointer{nullptr, 1};
    holders_.push_back(position.Stops);
  }
  StopOrder *entry = new StopOrder{};
  entry->Volume = volume;
  entry->StopPrice = stop;
  entry->Trailing = trailing;
  entry->ProfitPrice = profit;
  entry->TrailReference = trailReference;
  entry->ExpiryDay = expiryKind;
  entry->Next = position.Stops->First;
  position.Stops->First = entry;
  return true;
}

void TStopStoreStandIn::SortStops(InvestorPosition_Lite &) {}

bool TStopStoreStandIn::TrimStops(InvestorPosition_Lite &position) {
  if (!position.Stops) return false;
  int32_t left = std::max(position.Volume, 0);
  bool changed = false;
  StopOrder **link = &position.Stops->First;
  while (*link) {
    StopOrder *s = *link;
    if (left <= 0) {
      *link = s->Next;
      delete s;
      changed = true;
      continue;
    }
    if (s->Volume > left) {
      s->Volume = left;
      changed = true;
    }
    left -= s->Volume;
    link = &s->Next;
  }
  return changed;
}

int32_t TStopStoreStandIn::StopCount(const InvestorPosition_Lite &position) const {
  int32_t n = 0;
  for (const StopOrder *s = position.Stops ? position.Stops->First : nullptr; s; s = s->Next) ++n;
  return n;
}

StopOrderPointer *TStopStoreStandIn::AddRef(StopOrderPointer *holder) {
  if (holder) ++holder->References;
  return holder;
}

bool TStopStoreStandIn::Release(StopOrderPointer *holder) {
  if (!holder || --holder->References > 0) return false;
  for (StopOrder *s = holder->First; s;) {
    StopOrder *next = s->Next;
    delete s;
    s = next;
  }
  holder->First = nullptr;
  return true;
}

void TStopStoreStandIn::FreeHolder(StopOrderPointer *holder) {
  const auto it = std::find(holders_.begin(), holders_.end(), holder);
  if (it == holders_.end()) return;
  holders_.erase(it);
  delete holder;
}

bool TStopStoreStandIn::LoadStopOrders(int32_t) {
  ++loads;
  return loadFails;
}

bool TStopStoreStandIn::SaveStopOrders(InvestorPosition_Lite *position, bool log) {
  saves.push_back({position, log});
  return false;
}
