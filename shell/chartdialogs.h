// The chart views' dialogs the main window provides: the interval
// statistics and the property dialogs of the K-line and intraday views.
#pragma once

// Fills the chart views' dialog hooks.
void InstallChartDialogs();
