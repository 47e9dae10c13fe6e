#include "charts/overlapped.h"

#include "formula/kvindex.h"
#include "market/dataagent.h"

COverlappedStock::~COverlappedStock() {
  delete indicator;
  // The rest of the chain, one node after the other (no deep recursion).
  COverlappedStock *rest = next;
  next = nullptr;
  while (rest) {
    COverlappedStock *following = rest->next;
    rest->next = nullptr;
    delete rest;
    rest = following;
  }
}

void COverlappedStock::ReleaseAgents(COverlappedStock *node, HWND window) {
  for (; node; node = node->next)
    for (int32_t *agent : {&node->agent, &node->agent2}) {
      if (*agent != -1) ReleaseDataAgent(*agent, window);
      *agent = -1;
    }
}
