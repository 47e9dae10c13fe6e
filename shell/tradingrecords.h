// The trading desk's records as the main window holds them: they are the
// desk's own (trading/deskrecords.h), which the main window owns through
// its TTradeDesk.
#pragma once

#include "trading/deskrecords.h"
