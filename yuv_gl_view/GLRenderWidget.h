#pragma once

#include "FrameMutex.h"
#include "QGLRenderInterface.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <atomic>
#include <string>

// What the renderer widgets have in common: the window bookkeeping of the
// render interface, the frame lock, the GL objects' tie to the widget's
// context, and the coalescing of repaint requests from producer threads.
// What a frame is, how it reaches GL and what Clean does is each widget's own.
class YUV_GL_VIEW_EXPORT GLRenderWidget : public QOpenGLWidget, protected QOpenGLFunctions, public QGLRenderInterface {
    Q_OBJECT

public:
    void SetCB(Callback cb, void* userData) override;
    void ReSize(int x, int y, int w, int h) override;
    QWidget* getParent() override;
    QWidget* getSelfWidget() override;
    void Hide() override;
    void Show() override;
    void setWinTitle(std::string& title) override;
    void setPriority(int priority) override;
    void getWinSize(int* w, int* h) override;
    void lockBuffer() override;
    void unlockBuffer() override;

protected:
    // Whether SetCB, Hide, Show, setWinTitle and setPriority write a trace pair.
    enum class SettingsTrace { Off, On };

    GLRenderWidget(QWidget* parent, SettingsTrace settingsTrace);

    // Widgets call this first from their own initializeGL.
    void initializeGL() override;
    void resizeGL(int w, int h) override;

    // Frees the widget's GL objects; the widget's context is current. Runs
    // when that context goes away (moving the widget to another window
    // replaces it) and from releaseGLBeforeDestruction.
    virtual void destroyGLObjects() = 0;

    // For the widgets' destructors, while the GL objects are still theirs:
    // frees them and stops listening to the context, which the QOpenGLWidget
    // destructor destroys later.
    void releaseGLBeforeDestruction();

    // A viewport over the whole widget, in device pixels, so that fractional
    // scaling fills the widget too.
    void setWidgetViewport();

    // Repaint requests from producer threads: at most one is queued however
    // many frames arrive, and its paint shows the newest frame.
    // True when the caller must queue a request; any thread.
    bool repaintRequestNeeded();
    // What the queued request does, on the GUI thread.
    void serveRepaintRequest();

    const std::string& title() const { return m_title; }

    FrameMutex m_frameMutex;  // guards each widget's frame

private:
    void releaseGL();
    void traceSetting(const char* operation) const;

    const SettingsTrace m_settingsTrace;
    std::string m_title = "unknow";
    Callback m_cb = nullptr;
    void* m_cbUserData = nullptr;
    bool m_hidden = false;
    float m_winX = 0;
    float m_winY = 0;
    float m_winWidth = 0;
    float m_winHeight = 0;
    int m_priority = 1;
    std::atomic_bool m_repaintPending{false};
};
