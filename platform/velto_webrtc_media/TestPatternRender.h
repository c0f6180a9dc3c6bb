// Draws a moving test pattern into a render target on a thread of its own,
// about 15 frames a second, until it is destroyed. While its stream sends no
// picture (muted or gone) the frames are black, as a real decoder's would be.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

class QGLRenderInterface;

namespace velto_media {

class TestPatternRender {
public:
    // The pattern's colour follows from the label, so that every stream looks
    // different and the same stream looks the same everywhere; `name`, when
    // not empty, is written into the picture to tell its sender apart.
    TestPatternRender(QGLRenderInterface* target, const std::string& label, const std::string& name, int width,
                      int height, bool showing);
    // Returns once the thread no longer touches the target.
    ~TestPatternRender();
    TestPatternRender(const TestPatternRender&) = delete;
    TestPatternRender& operator=(const TestPatternRender&) = delete;

    QGLRenderInterface* target() const { return target_; }
    const std::string& label() const { return label_; }
    void resize(int width, int height);
    void size(int* width, int* height) const;
    // False: the stream sends no picture, black frames follow.
    void setShowing(bool showing) { showing_ = showing; }

private:
    void run();

    QGLRenderInterface* const target_;
    const std::string label_;
    const unsigned char red_, green_, blue_;
    const std::vector<std::pair<int, int>> namePixels_;  // x, y of the name's lit pixels
    std::atomic<bool> showing_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    int width_;
    int height_;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace velto_media
