// One instrument shown over another chart: an overlay of the K-line view's
// main window (with its own copy of the main formula) or, as a node without
// a formula, the partner of a spread analysis. The intraday view keeps its
// own overlays in the same record. Nodes form a chain; every node owns its
// formula and the rest of the chain, never its data agents, which are
// released with ReleaseAgents before a node is deleted. GUI thread only.
#pragma once

#include <cstdint>

#include "market/marketrecords.h"
#include "platform/windef.h"

class CKvIndex;

struct COverlappedStock {
  COverlappedStock() = default;
  // Deletes the formula and the rest of the chain; agents are not touched.
  ~COverlappedStock();
  COverlappedStock(const COverlappedStock &) = delete;
  COverlappedStock &operator=(const COverlappedStock &) = delete;

  // Releases agent and agent2 of this node and every node after it for the
  // window and sets them to -1.
  static void ReleaseAgents(COverlappedStock *node, HWND window);

  char code[8] = {};             // upper-cased owner text of the instrument
  const STKINFO *info = nullptr;
  STKPTR stock{0, 0, 0};
  CKvIndex *indicator = nullptr;  // null: the spread-analysis partner
  uint8_t ownScale = 1;           // overlays: 1 own range; spread: 0 ratio, 1 difference, 2 both
  double low = 0, high = 0;
  int32_t spreadItem = 0;         // 0 open, 1 high, 2 low, 3 close
  RECT labelRect{};
  int32_t agent = -1;
  int32_t agent2 = -1;
  COverlappedStock *next = nullptr;
};
