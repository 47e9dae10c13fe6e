// A small chart view over the chart base for tests and benchmarks: it paints
// a plain chart (background and a frame), takes the instrument it is told to
// show and counts what the frame asks of it. Registered for the intraday and
// K-line view types while a TDrawViewRegistration lives.
#pragma once

#include <vector>

#include "charts/drawview.h"

namespace testing_support {

class TDrawViewDouble : public TDrawView {
 public:
  using TDrawView::TDrawView;

  int Notify(int code, uint32_t stock, intptr_t firstExtra, intptr_t secondExtra) override;
  void ReloadData() override { ++reloads; }
  void RefreshHistory() override { ++historyRefreshes; }
  void ExecuteViewCommand(int code) override { commands.push_back(code); }
  void InfoPanelToggled() override { ++panelToggles; }

  int reloads = 0;
  int historyRefreshes = 0;
  int panelToggles = 0;
  std::vector<int> commands;

 protected:
  void Paint() override;
};

class TDrawViewRegistration {
 public:
  TDrawViewRegistration();
  ~TDrawViewRegistration();
  TDrawViewRegistration(const TDrawViewRegistration &) = delete;
  TDrawViewRegistration &operator=(const TDrawViewRegistration &) = delete;
};

}  // namespace testing_support
