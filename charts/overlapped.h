// One node of a chart's chain of overlaid instruments. The K-line view keeps
// its overlays and its spread partner in such a chain; the intraday view its
// overlays, each with the agent of the instrument's minute trend.
#pragma once

#include <cstdint>

#include "market/marketrecords.h"
#include "platform/windef.h"

class CKvIndex;

struct COverlappedStock {
  COverlappedStock() = default;
  // Deletes the formula and the rest of the chain; the agents must have
  // been released first (ReleaseAgents).
  ~COverlappedStock();
  COverlappedStock(const COverlappedStock &) = delete;
  COverlappedStock &operator=(const COverlappedStock &) = delete;

  // For the node and every node after it: each agent that is not -1 is
  // released for the window and set to -1.
  static void ReleaseAgents(COverlappedStock *node, HWND window);

  char code[8] = {};
  STKINFO *info = nullptr;
  STKPTR stock = STKPTR(0, 0, 0);
  CKvIndex *indicator = nullptr;
  uint8_t ownScale = 1;
  double low = 0, high = 0;
  int32_t spreadItem = 0;
  RECT labelRect = {};
  int32_t agent = -1;
  int32_t agent2 = -1;
  COverlappedStock *next = nullptr;
};
