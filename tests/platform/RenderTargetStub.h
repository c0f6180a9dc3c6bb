// A render target without Qt for the tests of the media engine and the SDK:
// the window operations do nothing, the frame hand-over is the test's own.
#pragma once

#include "WindowlessRender.h"

using RenderTargetStub = WindowlessRender;
