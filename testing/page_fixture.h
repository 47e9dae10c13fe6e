// Page files of every version ("kvpage05" .. "kvpage13") built by code from
// a readable description of the split tree and its panes, laid out as each
// version stores its records, for the page-file tests and benchmarks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "market/marketrecords.h"

namespace page_fixture {

struct PaneDesc {
  int16_t viewType = 0x2001;
  STKPTR stock{0, 0, 0};
  std::string stockText;                 // "SH 600000"; versions 10 and later
  std::vector<uint16_t> tabIds;          // report tabs as ids (version 5 reads only these)
  std::vector<std::string> tabNames;     // and as names (versions 7 and later)
  uint32_t currentBlock = 0;
  uint32_t windowCount = 0;
  std::vector<std::string> formulas;     // K-line window formulas
  uint8_t period = 0;
  uint32_t flags = 0;
  int32_t zoomStep = 1;
  int32_t keptTopRow = -1;
  uint32_t displayFlags = 0;             // versions 12 and later
  std::string webAddress;                // version 13
  std::vector<STKPTR> overlays;          // overlay instruments
  std::vector<std::string> overlayTexts; // versions 10 and later
  uint8_t linked = 0;
  uint32_t paneCount = 2;
  // A report's columns (ids) as its page keeps them; empty: the record says
  // 0, 1 and 6 and the view data none.
  std::vector<uint8_t> columns;
};

struct NodeDesc {
  uint32_t side = 1;
  float ratio = 1.0f;
  bool pane = false;
  PaneDesc paneDesc;
  std::vector<NodeDesc> children;  // inner nodes: first, then second
};

NodeDesc Pane(uint32_t side, float ratio, const PaneDesc &pane);
NodeDesc Split(uint32_t side, float ratio, const NodeDesc &first, const NodeDesc &second);

// The whole file of a version: magic, name, length and the tree.
std::string PageFileBytes(int version, const std::string &name, const NodeDesc &root);

// A page of n x m panes of the given type (rows of columns), as version 13.
std::string GridPage(int rows, int columns, int16_t viewType, const std::string &name = "Grid");

// Writes bytes to a POSIX path; throws std::runtime_error when it can't.
void WriteFile(const std::string &posixPath, const std::string &bytes);

}  // namespace page_fixture
