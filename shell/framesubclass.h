// Window procedures the main window puts on controls of the trading desk:
// the list views' column headers painted like every other header of the
// program, the contract edits' grey placeholder while they are empty, and
// the links of the trading notice.
// Each keeps the procedure it replaced and passes on what it leaves alone.
#pragma once

#include "platform/windef.h"

// The placeholder of an empty contract edit and its colour.
constexpr char kContractPlaceholder[] = " 请选择合约";
constexpr COLORREF kContractPlaceholderColour = 8421504;

// Installs the procedure on the window (again on the same window: nothing).
void InstallListHeaderProc(HWND header);
void InstallContractEditProc(HWND edit);
// On the panel that holds the trading notice's rich text: a left click on a
// link opens the address in the web browser.
void InstallTradeNoticeProc(HWND panel);
