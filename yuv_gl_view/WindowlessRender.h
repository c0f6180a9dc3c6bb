// A render target that shows nowhere: every window operation does nothing.
// For users of the media engine without a window (the scripted peer, tests,
// benchmarks), who take the frame hand-over (buffer and frames) themselves.
#pragma once

#include "QGLRenderInterface.h"

class WindowlessRender : public QGLRenderInterface {
public:
    void SetCB(Callback, void*) override {}
    void ReSize(int, int, int, int) override {}
    void Clean() override {}
    QWidget* getParent() override { return nullptr; }
    QWidget* getSelfWidget() override { return nullptr; }
    void Hide() override {}
    void Show() override {}
    void setWinTitle(std::string&) override {}
    void setPriority(int) override {}
    void getWinSize(int*, int*) override {}
    void PlayOneFrame(const unsigned char*, int, int) override {}
    void PlayOneFrame(const unsigned char*, const unsigned char*, const unsigned char*, int, int) override {}
};
