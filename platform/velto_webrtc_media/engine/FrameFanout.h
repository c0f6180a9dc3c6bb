// The render targets that show one stream (by label), and the drawing of
// its pictures into them: converted to the renderer's bytes straight into
// each target's buffer. Pictures come from the thread that has them (a
// local track's encoder thread, a remote stream's decoder thread).
//
// remove() returns only once the target is no longer touched: drawing holds
// the fanout's mutex for the whole hand-over.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "VideoFrame.h"

class QGLRenderInterface;

namespace velto_media {

class FrameFanout {
public:
    void add(unsigned int renderId, QGLRenderInterface* target);
    bool remove(unsigned int renderId);

    void deliver(const VideoFrame& frame);
    // A black picture of the last size drawn: the stream sends no picture.
    void deliverBlack();
    // Whether some render target shows the stream; read without waiting for a draw.
    bool shown() const { return targets_ > 0; }
    // Size of the last picture drawn; false before the first.
    bool lastSize(int* width, int* height) const;

private:
    struct Sink {
        unsigned int renderId;
        QGLRenderInterface* target;
    };
    void drawLocked(const VideoFrame& frame);

    mutable std::mutex mutex_;
    std::vector<Sink> sinks_;
    std::atomic<size_t> targets_{0};  // sinks_.size()
    int width_ = 0;
    int height_ = 0;
};

}  // namespace velto_media
