// A render target without Qt for the tests of the media engine and the SDK:
// the window operations do nothing, the frame hand-over is the test's own.
#pragma once

#include "QGLRenderInterface.h"

class RenderTargetStub : public QGLRenderInterface {
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
