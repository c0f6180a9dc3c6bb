// Frame path of the video renderer, measured under a real X server (xvfb-run -a).
//
// FramePath/<frame height>: 16:9 ARGB frames of that height drawn into a
// 960x540 widget, alternately by
//   * the renderer: a producer thread hands frames over through the render
//     interface, the next one as soon as the renderer starts painting the last
//     (a decoder that always has a frame ready), and
//   * a bare QOpenGLWidget that only uploads the same bytes with
//     glTexSubImage2D and draws one quad, repainting continuously: the
//     practical limit of this machine's GL.
// Both windows are shown side by side and take turns (one iteration is one
// turn each), so a change in machine load hits both alike. Counters: painted
// frames per second and the whole process's CPU time per painted frame
// (producer, GUI and GL threads) for each, and the ratio of the frame rates.
//
// NineRenderers: a full-screen 3x3 grid of 640x360 renderers, each fed
// 640x360 frames at 15 fps by its own producer; one iteration is one second.
// gui_busy is the share of it the GUI thread spent handling events (painting
// included), gui_cpu its CPU share, window_compositions how often Qt composed
// the window.

#include "QGLRenderInterface.h"
#include "UnitSquare.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QOpenGLFunctions>
#include <QOpenGLWidget>
#include <QTimer>
#include <QtTest/QTest>

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kWidgetWidth = 960;
constexpr int kWidgetHeight = 540;
constexpr long kFramesPerTurn = 30;

double processCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// Two frames of distinct content, so every upload carries new pixels.
struct TestFrames {
    TestFrames(int w, int h) : w(w), h(h)
    {
        for (int i = 0; i < 2; ++i) {
            bytes[i].resize(std::size_t(w) * h * 4);
            for (std::size_t p = 0; p < bytes[i].size(); p += 4) {
                const unsigned char pixel[] = {0xFF, static_cast<unsigned char>(p * (i + 1)),
                                               static_cast<unsigned char>(p >> 8), static_cast<unsigned char>(i * 200)};
                std::memcpy(&bytes[i][p], pixel, 4);
            }
        }
    }
    const unsigned char* operator[](std::size_t n) const { return bytes[n % 2].data(); }
    std::size_t size() const { return bytes[0].size(); }

    int w, h;
    std::vector<unsigned char> bytes[2];
};

// Counts events of one type on an object; other threads may wait for the next.
class EventCounter : public QObject {
public:
    EventCounter(QObject* watched, QEvent::Type type) : m_type(type) { watched->installEventFilter(this); }

    long count() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_count;
    }
    // Waits until the count exceeds `seen` or until stop; false on stop.
    bool waitBeyond(long seen, const std::atomic_bool& stop) const
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (m_count <= seen && !stop)
            m_changed.wait_for(lock, std::chrono::milliseconds(50));
        return !stop;
    }
    // Runs the GUI thread's events until the count reaches `target`.
    void processUntil(long target) const
    {
        while (count() < target)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == m_type) {
            std::lock_guard<std::mutex> lock(m_mutex);
            ++m_count;
            m_changed.notify_all();
        }
        return false;
    }

private:
    const QEvent::Type m_type;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    long m_count = 0;
};

// The practical limit: upload the frame bytes in the fastest way this GL offers
// for them (plain RGBA, colour channels picked by the sampler), draw one quad,
// and repaint again at once while running.
class BareUploadWidget : public QOpenGLWidget, protected QOpenGLFunctions {
public:
    explicit BareUploadWidget(const TestFrames& frames) : m_frames(frames) {}

    void setRunning(bool running)
    {
        m_running = running;
        if (running)
            update();
    }

protected:
    void initializeGL() override
    {
        initializeOpenGLFunctions();
        glGenTextures(1, &m_texture);
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        const GLint argb[] = {GL_GREEN, GL_BLUE, GL_ALPHA, GL_ONE};
        glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, argb);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, m_frames.w, m_frames.h, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
        setUnitSquareProjection();
    }
    void paintGL() override
    {
        glBindTexture(GL_TEXTURE_2D, m_texture);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, m_frames.w, m_frames.h, GL_RGBA, GL_UNSIGNED_BYTE, m_frames[m_paints++]);
        glEnable(GL_TEXTURE_2D);
        drawTexturedUnitSquare();
        if (m_running)
            update();
    }

private:
    const TestFrames& m_frames;
    GLuint m_texture = 0;
    std::size_t m_paints = 0;
    bool m_running = false;
};

std::unique_ptr<QWidget> shownWindow(int x, int y, int w, int h)
{
    auto window = std::make_unique<QWidget>();
    window->setGeometry(x, y, w, h);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        std::fprintf(stderr, "window not exposed: is there an X display?\n");
    return window;
}

void holdOnly(QWidget* window, QWidget* content)
{
    auto* layout = new QHBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
}

void deliver(QGLRenderInterface& render, const TestFrames& frames, std::size_t n)
{
    render.lockBuffer();
    unsigned char* buffer = render.getDataBuffer(frames.w, frames.h);
    if (buffer)
        std::memcpy(buffer, frames[n], frames.size());
    render.unlockBuffer();
    render.PlayOneFrame(buffer, frames.w, frames.h);
}

// Producer that keeps one frame ahead of the renderer's paints while running.
class PacedProducer {
public:
    PacedProducer(QGLRenderInterface& render, const TestFrames& frames, const EventCounter& paints)
        : m_thread([this, &render, &frames, &paints] { run(render, frames, paints); })
    {
    }
    ~PacedProducer()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    void setRunning(bool running)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_running = running;
        }
        m_wake.notify_all();
    }

private:
    void run(QGLRenderInterface& render, const TestFrames& frames, const EventCounter& paints)
    {
        for (std::size_t n = 0;; ++n) {
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [this] { return m_running || m_stop; });
                if (m_stop)
                    return;
            }
            const long seen = paints.count();
            deliver(render, frames, n);
            paints.waitBeyond(seen, m_stop);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_running = false;
    std::atomic_bool m_stop{false};
    std::thread m_thread;
};

struct Turn {
    double seconds = 0;
    double cpuSeconds = 0;
    long frames = 0;

    // Runs `frameCount` painted frames between start and stop and adds their cost.
    template <class Start, class Stop>
    void measure(const EventCounter& paints, long frameCount, Start start, Stop stop)
    {
        QElapsedTimer wall;
        const double cpuStart = processCpuSeconds();
        const long target = paints.count() + frameCount;
        wall.start();
        start();
        paints.processUntil(target);
        seconds += wall.nsecsElapsed() * 1e-9;
        cpuSeconds += processCpuSeconds() - cpuStart;
        frames += frameCount;
        stop();
        QTest::qWait(20);  // let the last frame in flight settle outside the measurement
    }
};

void FramePath(benchmark::State& state)
{
    const int h = static_cast<int>(state.range(0));
    const TestFrames frames(h * 16 / 9, h);

    auto rendererWindow = shownWindow(0, 0, kWidgetWidth, kWidgetHeight);
    QGLRenderInterface* render = QGLRenderInterface::CreateRender(rendererWindow.get());
    const EventCounter rendererPaints(render->getSelfWidget(), QEvent::Paint);
    PacedProducer producer(*render, frames, rendererPaints);

    auto bareWindow = shownWindow(kWidgetWidth, 0, kWidgetWidth, kWidgetHeight);
    auto* bare = new BareUploadWidget(frames);
    holdOnly(bareWindow.get(), bare);
    const EventCounter barePaints(bare, QEvent::Paint);

    const auto rendererTurn = [&](Turn& turn) {
        turn.measure(rendererPaints, kFramesPerTurn, [&] { producer.setRunning(true); },
                     [&] { producer.setRunning(false); });
    };
    const auto bareTurn = [&](Turn& turn) {
        turn.measure(barePaints, kFramesPerTurn, [&] { bare->setRunning(true); }, [&] { bare->setRunning(false); });
    };
    Turn warmUp;
    rendererTurn(warmUp);
    bareTurn(warmUp);

    Turn renderer;
    Turn limit;
    for (auto _ : state) {
        rendererTurn(renderer);
        bareTurn(limit);
    }
    const double rendererFps = renderer.frames / renderer.seconds;
    const double bareFps = limit.frames / limit.seconds;
    state.counters["renderer_fps"] = rendererFps;
    state.counters["bare_fps"] = bareFps;
    state.counters["ratio"] = rendererFps / bareFps;
    state.counters["renderer_cpu_ms"] = renderer.cpuSeconds * 1e3 / renderer.frames;
    state.counters["bare_cpu_ms"] = limit.cpuSeconds * 1e3 / limit.frames;
}

// The GUI thread's time spent handling events, painting included.
class OccupancyApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ == 0)
            m_handling.start();
        const bool result = QApplication::notify(receiver, event);
        if (--m_depth == 0)
            m_busyNs += m_handling.nsecsElapsed();
        return result;
    }
    double busySeconds() const { return m_busyNs * 1e-9; }

private:
    int m_depth = 0;
    QElapsedTimer m_handling;
    qint64 m_busyNs = 0;
};

void NineRenderers(benchmark::State& state)
{
    constexpr int kRenderers = 9;
    constexpr auto kFrameInterval = std::chrono::microseconds(1000000 / 15);
    const TestFrames frames(640, 360);
    auto window = shownWindow(0, 0, 3 * 640, 3 * 360);
    const EventCounter compositions(window.get(), QEvent::UpdateRequest);
    auto* grid = new QGridLayout(window.get());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    std::vector<QGLRenderInterface*> renders;
    std::vector<std::unique_ptr<EventCounter>> paints;
    for (int i = 0; i < kRenderers; ++i) {
        auto* holder = new QWidget;
        grid->addWidget(holder, i / 3, i % 3);
        renders.push_back(QGLRenderInterface::CreateRender(holder));
        paints.push_back(std::make_unique<EventCounter>(renders.back()->getSelfWidget(), QEvent::Paint));
    }

    std::atomic_bool stop{false};
    std::vector<std::thread> producers;
    for (QGLRenderInterface* render : renders) {
        producers.emplace_back([&stop, &frames, render, kFrameInterval] {
            auto next = std::chrono::steady_clock::now();
            for (std::size_t n = 0; !stop; ++n) {
                deliver(*render, frames, n);
                next += kFrameInterval;
                std::this_thread::sleep_until(next);
            }
        });
    }
    QTest::qWait(500);

    const auto totalPaints = [&] {
        long total = 0;
        for (const auto& p : paints)
            total += p->count();
        return total;
    };
    auto* app = static_cast<OccupancyApplication*>(QCoreApplication::instance());
    const double busyStart = app->busySeconds();
    const double guiCpuStart = threadCpuSeconds();
    const long paintsStart = totalPaints();
    const long compositionsStart = compositions.count();
    QElapsedTimer wall;
    wall.start();
    for (auto _ : state) {
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
    }
    const double seconds = wall.nsecsElapsed() * 1e-9;
    state.counters["gui_busy"] = (app->busySeconds() - busyStart) / seconds;
    state.counters["gui_cpu"] = (threadCpuSeconds() - guiCpuStart) / seconds;
    state.counters["painted_fps_per_renderer"] = (totalPaints() - paintsStart) / seconds / kRenderers;
    state.counters["window_compositions"] = (compositions.count() - compositionsStart) / seconds;

    stop = true;
    for (std::thread& p : producers)
        p.join();
}

BENCHMARK(FramePath)->Arg(360)->Arg(720)->Arg(1080)->Iterations(10)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(NineRenderers)->Iterations(5)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    OccupancyApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
