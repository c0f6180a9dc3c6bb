// The meeting window under load: nine tiles in the grid layout, each fed
// 640x360 frames at 15 fps by its own producer thread (as the media engine
// does), with both side panels open in a 1920x1080 window. Prints, per
// measured second and as a mean, how busy the GUI thread was (share of wall
// time spent handling events, painting included), its CPU share and the
// frames painted per tile per second. The target: GUI thread under 50 % busy.
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/.../meeting_room_bench [seconds]
#include "FakeVeltoInterface.h"
#include "QGLRenderInterface.h"
#include "cglobalinstance.h"
#include "subvideowidget.h"
#include "videowidget.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <time.h>

namespace {

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

class OccupancyApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ == 0)
            m_handling.start();
        if (event->type() == QEvent::Paint)
            ++m_paints;
        const int type = event->type();
        const bool result = QApplication::notify(receiver, event);
        if (--m_depth == 0) {
            const qint64 spent = m_handling.nsecsElapsed();
            m_busyNs += spent;
            m_byType[type] += spent;
        }
        return result;
    }
    void resetLeaders() { m_byType.clear(); }
    // The event types that took the most time, for the report.
    void printLeaders(double seconds) const
    {
        std::vector<std::pair<qint64, int>> spent;
        for (const auto& [type, ns] : m_byType)
            spent.emplace_back(ns, type);
        std::sort(spent.rbegin(), spent.rend());
        for (size_t i = 0; i < spent.size() && i < 4; ++i)
            std::printf("  event type %d: %.1f %% of the time\n", spent[i].second, spent[i].first * 1e-9 / seconds * 100);
    }
    double busySeconds() const { return m_busyNs * 1e-9; }
    long paints() const { return m_paints; }

private:
    int m_depth = 0;
    QElapsedTimer m_handling;
    qint64 m_busyNs = 0;
    long m_paints = 0;
    std::map<int, qint64> m_byType;
};

// Renders a moving 640x360 ARGB picture into every started render at 15 fps,
// from a thread per render, the way the media engine does.
class FeedingSdk : public velto::test::FakeVeltoInterface {
public:
    ~FeedingSdk() override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_feeds.clear();
    }
    bool StartRenderStream(void* window, unsigned int& renderId, const std::string&, bool) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        renderId = ++m_lastId;
        m_feeds.emplace(renderId, std::make_unique<Feed>(static_cast<QGLRenderInterface*>(window)));
        return true;
    }
    bool StopRenderStream(int renderId, const std::string&) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_feeds.erase(unsigned(renderId)) == 1;
    }

private:
    struct Feed {
        explicit Feed(QGLRenderInterface* render) : thread([this, render] { run(render); }) {}
        ~Feed()
        {
            stop = true;
            thread.join();
        }
        void run(QGLRenderInterface* render)
        {
            constexpr int w = 640, h = 360;
            std::vector<unsigned char> frame(size_t(w) * h * 4);
            auto next = std::chrono::steady_clock::now();
            for (unsigned n = 0; !stop; ++n) {
                std::memset(frame.data(), int(n * 7 % 256), frame.size());
                render->lockBuffer();
                unsigned char* buffer = render->getDataBuffer(w, h);
                if (buffer)
                    std::memcpy(buffer, frame.data(), frame.size());
                render->unlockBuffer();
                render->PlayOneFrame(buffer, w, h);
                next += std::chrono::microseconds(1000000 / 15);
                std::this_thread::sleep_until(next);
            }
        }
        std::atomic_bool stop{false};
        std::thread thread;
    };
    std::mutex m_mutex;
    unsigned m_lastId = 0;
    std::map<unsigned, std::unique_ptr<Feed>> m_feeds;
};

}  // namespace

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    OccupancyApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;

    FeedingSdk sdk;
    CGlobalInstance::veltoSdk = &sdk;
    CGlobalInstance::video_devices = sdk.cameras;
    CGlobalInstance::audio_record_devices = sdk.microphones;
    CGlobalInstance::audio_playout_devices = sdk.speakers;
    CGlobalInstance::conferenceInfo.maxViewNum = 9;
    CGlobalInstance::conferenceInfo.width = 640;
    CGlobalInstance::conferenceInfo.resolution = 360;
    CGlobalInstance::conferenceInfo.withAudio = CGlobalInstance::conferenceInfo.withVideo = true;
    CGlobalInstance::userInfo.myJid = "me@bench/pc-me";
    CGlobalInstance::userInfo.mUserName = "Me";
    std::string partipants;
    for (int i = 1; i <= 9; ++i) {
        user_info user;
        user.jid = "u" + std::to_string(i) + "@bench/pc-" + std::to_string(i);
        user.nickname = "User " + std::to_string(i);
        user.ssrc = std::to_string(100 + i);
        user.label = "label-" + std::to_string(i);
        CGlobalInstance::updateUserList(user);
        partipants += (i > 1 ? "," : "") + std::string("pc-") + std::to_string(i) + "_" + user.ssrc;
    }

    auto* video = new VideoWidget();
    video->showWidget();
    video->setGeometry(0, 0, 1920, 1080);
    video->slotShowUserInfoWidget(true);
    video->slotShowChatWidget(true);
    video->slotShowSubWidget("u1@bench/pc-1", false, "101", 5, partipants);
    QTest::qWait(1000);
    int drawing = 0;
    for (SubVideoWidget* tile : video->tiles())
        drawing += tile->isVisible() && tile->getRtcIndex() != 0;
    std::printf("tiles drawing: %d\n", drawing);

    app.resetLeaders();
    double busySum = 0;
    for (int s = 0; s < seconds; ++s) {
        const double busy0 = app.busySeconds();
        const double cpu0 = threadCpuSeconds();
        const long paints0 = app.paints();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        const double elapsed = wall.nsecsElapsed() * 1e-9;
        const double busy = (app.busySeconds() - busy0) / elapsed;
        busySum += busy;
        std::printf("second %d: gui_busy %.1f %%  gui_cpu %.1f %%  paints per tile %.1f/s\n", s + 1, busy * 100,
                    (threadCpuSeconds() - cpu0) / elapsed * 100, (app.paints() - paints0) / elapsed / 9);
    }
    std::printf("where the GUI thread's time went (Qt event type numbers):\n");
    app.printLeaders(seconds);
    std::printf("mean gui_busy %.1f %% (target: under 50 %%)\n", busySum / seconds * 100);
    std::fflush(stdout);

    CGlobalInstance::isJoinConference = false;
    delete video;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    CGlobalInstance::veltoSdk = nullptr;
    return 0;
}
