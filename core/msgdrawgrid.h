// A draw grid that hands its raw key and mouse-button messages to events
// first: each handler gets a handled flag, set before the call; a handler
// that leaves it set keeps the message from the grid (no selection move, no
// column sizing), one that clears it lets the grid go on.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/vcl/grids.h"

class TMsgDrawGrid : public TDrawGrid {
 public:
  VCL_CLASS_NAME(TMsgDrawGrid)
  explicit TMsgDrawGrid(TComponent *owner) : TDrawGrid(owner) {}

  using TMouseButtonEvent = std::function<void(TObject *Sender, int32_t x, int32_t y, bool *handled)>;
  using TRawKeyEvent = std::function<void(TObject *Sender, WPARAM key, bool *handled)>;
  TMouseButtonEvent OnLButtonDown, OnLButtonUp, OnRButtonDown, OnRButtonUp;
  TRawKeyEvent OnKeyDown2, OnKeyUp2;

  void WndProc(TMessage &message) override;
};
