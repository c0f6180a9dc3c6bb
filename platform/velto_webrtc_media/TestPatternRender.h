// Draws a moving test pattern into a render target on a thread of its own,
// about 15 frames a second, until it is destroyed.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

class QGLRenderInterface;

namespace velto_media {

class TestPatternRender {
public:
    // The pattern's colour follows from the label, so that every stream looks
    // different and the same stream looks the same everywhere.
    TestPatternRender(QGLRenderInterface* target, const std::string& label, int width, int height);
    // Returns once the thread no longer touches the target.
    ~TestPatternRender();
    TestPatternRender(const TestPatternRender&) = delete;
    TestPatternRender& operator=(const TestPatternRender&) = delete;

    QGLRenderInterface* target() const { return target_; }
    const std::string& label() const { return label_; }
    void resize(int width, int height);
    void size(int* width, int* height) const;

private:
    void run();

    QGLRenderInterface* const target_;
    const std::string label_;
    const unsigned char red_, green_, blue_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    int width_;
    int height_;
    std::thread thread_;  // last: starts once the members above exist
};

}  // namespace velto_media
