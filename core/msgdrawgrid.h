// A draw grid whose owner sees its raw mouse-button and key messages first
// and may swallow them: each handler gets a flag that is true when called;
// leaving it true keeps the message from the grid.
#pragma once

#include <cstdint>
#include <functional>

#include "classlib/grids.h"

class TMsgDrawGrid : public TDrawGrid {
 public:
  VCL_CLASS_NAME(TMsgDrawGrid)
  explicit TMsgDrawGrid(TComponent *owner) : TDrawGrid(owner) {}

  using TMouseMsgEvent = std::function<void(TObject *Sender, int32_t x, int32_t y, bool *handled)>;
  using TKeyMsgEvent = std::function<void(TObject *Sender, WPARAM key, bool *handled)>;

  TMouseMsgEvent OnLButtonDown;
  TMouseMsgEvent OnLButtonUp;
  TMouseMsgEvent OnRButtonDown;
  TMouseMsgEvent OnRButtonUp;
  TKeyMsgEvent OnKeyDown2;
  TKeyMsgEvent OnKeyUp2;

  void WndProc(TMessage &message) override;
};

namespace msgdrawgrid {
// Puts TMsgDrawGrid on the palette.
void Register();
}  // namespace msgdrawgrid
