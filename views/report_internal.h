// What the quote report's source files share: its texts, the null
// instrument and small lookups over the block table and the view services.
#pragma once

#include <cstdint>

#include "market/blocks.h"
#include "platform/windef.h"
#include "views/viewhost.h"
#include "views/viewservices.h"

namespace report_detail {

inline constexpr char kTooManyTabs[] = "最多只能同时显示 64 个板块。要添加板块，请先移除一些不使用的板块。  ";

// The null instrument handed to the order panel when a tab is loaded.
inline constexpr uint32_t kNullStock = 0xFFFFu << 16 | 0xFF;

inline HWND MainWindow() { return MainFrameHost()->MainWindow(); }

inline void PauseKeyHook(bool paused) {
  if (ViewServices().pauseKeyHook) ViewServices().pauseKeyHook(paused);
}

inline bool Online() { return ViewServices().hasRequestClient && ViewServices().hasRequestClient(); }

// The block id a sub-block's tab stands for: sub-blocks of a server
// category follow their parent in the block table.
inline int TopLevelId(int id) {
  while (id > 0) {
    const BLOCK *b = FindBlockById(id);
    if (!b || b->kind != kBlockServer) break;
    --id;
  }
  return id;
}

inline bool IsServerGroupBlock(const BLOCK *block) {
  if (!block || block->groupIndex < 0 || block->groupIndex >= BlockTable.groupCount) return false;
  return BlockTable.groups[block->groupIndex].type == kGroupServer;
}

inline bool BlockHolds(const BLOCK *block, STKPTR stock) {
  if (!block || !block->members) return false;
  for (int i = 0; i < block->memberCount; ++i)
    if (block->members[i].market == stock.market && block->members[i].stock == stock.stock) return true;
  return false;
}

}  // namespace report_detail
