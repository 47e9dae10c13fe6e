// A picture of the screen for the screen capture. The screen context of the
// drawing layer has no pixels of its own, so the picture comes from the
// host: the desktop as the windowing system shows it where it allows one,
// else the program's own visible top-level windows drawn from their images
// at their places on a black screen. Tests put their own picture in.
#pragma once

#include <functional>

#include "platform/imagecodec.h"

namespace platform {

// The primary screen, width x height of the screen's size.
PixelImage GrabScreenPicture();

// Replaces the grab (an empty function puts the host's back); returns the
// one set before.
using ScreenGrabber = std::function<PixelImage()>;
ScreenGrabber SetScreenGrabber(ScreenGrabber grabber);

}  // namespace platform
