#pragma once

#include "QGLRenderInterface.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace render_test {

// One pixel as the producer writes it: the bytes alpha, red, green, blue.
struct Argb {
    std::uint8_t a, r, g, b;
};

using FramePattern = std::function<Argb(int x, int y, int w, int h)>;

// A w x h frame as the producer writes it.
std::vector<unsigned char> makeFrame(int w, int h, const FramePattern& pattern);

// Runs the producer's hand-over (lock, fill, unlock, announce) on the calling
// thread. Returns false when the renderer refused the size.
bool deliverFrame(QGLRenderInterface& render, int w, int h, const std::vector<unsigned char>& frame);
bool deliverFrame(QGLRenderInterface& render, int w, int h, const FramePattern& pattern);

// deliverFrame on a thread of its own, as the media engine does.
bool deliverFrameFromThread(QGLRenderInterface& render, int w, int h, const FramePattern& pattern);

Argb quadrants(int x, int y, int w, int h);  // red, green / blue, white
FramePattern solid(Argb pixel);

// What the widget shows, rendered now from the renderer's current frame.
QImage grab(QGLRenderInterface& render);

// Colour at a point given as fractions of the picture's width and height.
QColor colourAt(const QImage& image, double fx, double fy);

::testing::AssertionResult colourNear(const QColor& actual, const QColor& expected, int tolerance = 3);

// A shown top-level widget of the given size to hold a renderer.
std::unique_ptr<QWidget> shownHolder(int w, int h);

// Runs queued events (repaint requests from producer threads) until none is left.
void drainEvents();

}  // namespace render_test
