// The flat look of our list and grid controls: creation parameters that
// trade the sunken edge for a one-pixel static edge, and the one-ring frame
// painted over that edge in the family's frame colour.
#pragma once

#include "platform/vcl/controls.h"
#include "platform/windef.h"

namespace flatframe {

// The frame colour of the flat controls and of the list-view header lines.
constexpr COLORREF kFrameColor = RGB(127, 157, 185);

// After the base class filled the parameters: no border, no dialog frame,
// window edge or client edge, and a static edge instead.
void FlatCreateParams(TCreateParams &params);

// Frames the whole window (its rectangle moved to 0, 0) one pixel wide in the
// frame colour, through the window's frame context.
void PaintOneRing(HWND hwnd);

}  // namespace flatframe
