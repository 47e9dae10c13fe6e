#include "views/viewhost.h"

namespace {
TMainFrameHost &Nothing() {
  static TMainFrameHost host;
  return host;
}
TMainFrameHost *current = nullptr;
}  // namespace

TMainFrameHost *MainFrameHost() { return current ? current : &Nothing(); }

TMainFrameHost *SetMainFrameHost(TMainFrameHost *host) {
  TMainFrameHost *before = current;
  current = host;
  return before;
}

ViewFormulaServices &FormulaServices() {
  static ViewFormulaServices services;
  return services;
}

int FormulaKind(const char *name) {
  const ViewFormulaServices &services = FormulaServices();
  if (!name || !*name || !services.kindOf) return -1;
  return services.kindOf(name);
}
