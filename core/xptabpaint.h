// The painting that the XP-look page control and tab control share: the
// tab strip (white tabs with rounded corners blended into the parent's
// colour; the selected tab and the tab under the mouse with an orange top
// edge) and a flat frame around the page area.
#pragma once

#include <functional>
#include <string>

#include "classlib/tabs.h"

namespace xptabs {

// Each channel of `parent` moved toward `target` by num/den of the distance
// when the channel lies below the target, by (1 - num/den) when above it:
// min(p, t) + num * |p - t| / den.
COLORREF Blend(COLORREF parent, COLORREF target, int num, int den);

// Paints the whole client area of the control; `caption` gives each tab's
// text. The tab under the mouse pointer now is drawn hot.
void Paint(HDC dc, TCustomTabControl *control, const std::function<std::string(int)> &caption);

// WM_PAINT paints (result 0), then lets `children` draw the control's
// graphic children (labels placed on the tabs) over it; WM_ERASEBKGND
// erases nothing (result 1). True when the message was one of them and is
// done.
bool PaintMessage(TMessage &message, TCustomTabControl *control, const std::function<std::string(int)> &caption,
                  const std::function<void(HDC)> &children);

}  // namespace xptabs
