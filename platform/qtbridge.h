// Qt side of the platform layer: only sources that already use Qt include
// this. Everything here runs on the GUI thread.
#pragma once

#include "platform/windef.h"

class QImage;
class QWidget;

namespace platform {

// The widget that shows a window, or null for an unknown handle.
QWidget *WidgetFromHandle(HWND hwnd);
// The persistent client image of a window (what its device contexts draw
// into), or null for an unknown handle or a window without a widget.
const QImage *WindowImage(HWND hwnd);

}  // namespace platform
