#include "charts/overlapped.h"

#include "formula/kvindex.h"
#include "market/dataagent.h"

COverlappedStock::~COverlappedStock() {
  delete indicator;
  // The rest of the chain, iteratively so a long chain can't exhaust the stack.
  COverlappedStock *n = next;
  next = nullptr;
  while (n) {
    COverlappedStock *after = n->next;
    n->next = nullptr;
    delete n;
    n = after;
  }
}

void COverlappedStock::ReleaseAgents(COverlappedStock *node, HWND window) {
  for (; node; node = node->next) {
    for (int32_t *id : {&node->agent, &node->agent2}) {
      if (*id != -1) ReleaseDataAgent(*id, window);
      *id = -1;
    }
  }
}
