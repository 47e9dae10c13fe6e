// The data folder a whole main window starts on in the tests: the standard
// data set of 15 January 2024, the demo colour theme (also as the user's
// colour file) and the display settings read from it.
#pragma once

#include <filesystem>
#include <string>

#include "core/datetime.h"
#include "shell/settings_store.h"
#include "testing/market_fixture.h"
#include "testing/quote_service.h"

inline void PrepareFrameFolder(const std::string &root) {
  market_fixture::WriteDataSet(market_fixture::StandardDataSet(MakePackedDateTime(2024, 1, 15, 2, 0)), root);
  WriteDemoTheme(root);
  std::filesystem::copy_file(root + "/cfg/clrfont.ini", root + "/user/clrfont.ini",
                             std::filesystem::copy_options::overwrite_existing);
  LoadDisplaySettings(0);
}
