// Test entry for the program's classes: a headless QApplication whose data and
// configuration folders are a fresh temporary directory for every process.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

#ifdef VELTO_PRIVATE_DISPLAY
#include "PrivateDisplay.h"
#endif

#if defined(__SANITIZE_ADDRESS__)
// Qt's offscreen platform plugin keeps its screen objects past QApplication's
// end; every allocation of that cycle is named here by its allocating frame.
// The ring tone's media back-end leaves libdbus's own connection data behind.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n"
           "leak:QPlatformScreen::QPlatformScreen\n"
           "leak:QWindowSystemInterface::handleScreenAdded\n"
           "leak:QtSharedPointer::ExternalRefCountData::getAndRef\n"
           "leak:QObject::QObject\n"
           // On the xcb platform Qt's D-Bus connection keeps libdbus buffers to the end.
           "leak:libdbus-1.so\n"
           // Qt Multimedia plays the ring tone through GStreamer, which leaves
           // GLib allocations (its plugin registry, its threads' data) at exit.
           // Named by library only: a leak of ours still fails.
           "leak:libglib-2.0.so\n"
           "leak:libgstreamer-1.0.so\n";
}
#endif

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer: its own threads (the D-Bus
// connection, the posted-event queue, network lookups, OpenSSL under Qt's TLS)
// synchronise in ways the sanitizer cannot see, and neither is PulseAudio's
// client library. Races in our code are still reported.
extern "C" const char* __tsan_default_suppressions()
{
    // glog computes the GMT offset with mktime for every message, under
    // glibc's own time-zone lock, which the sanitizer cannot see.
    return "race:tzset_internal\n"
           "race:google::LogMessageTime::CalcGmtOffset\n"
           "called_from_lib:libQt5Core.so.5\n"
           "called_from_lib:libQt5DBus.so.5\n"
           "called_from_lib:libQt5Network.so.5\n"
           "called_from_lib:libglib-2.0.so.0\n"
           // GLib's D-Bus worker thread and the secret service library behind
           // QtKeychain (the saved-password tests).
           "called_from_lib:libgio-2.0.so.0\n"
           "called_from_lib:libgobject-2.0.so.0\n"
           "called_from_lib:libsecret-1.so.0\n"
           "called_from_lib:libqt5keychain.so.1\n"
           "called_from_lib:libcrypto.so.3\n"
           "called_from_lib:libssl.so.3\n"
           // Mesa's software rasteriser (the meeting windows on Xvfb) runs its own
           // worker threads, synchronised in ways the sanitizer cannot follow.
           "race:swrast_dri.so\n"
           // Qt's X connection reader thread and QtGui's own worker threads (image
           // scaling and encoding) synchronise through futexes as well.
           "called_from_lib:libQt5XcbQpa.so.5\n"
           "called_from_lib:libQt5Gui.so.5\n"
           "mutex:libxcb.so.1\n"
           // libxcb takes file descriptors from the X server on Qt's reader
           // thread and gives them up out of the sanitizer's sight: a number
           // reused later by another thread looks like a race on it.
           "race:libxcb.so.1\n"
           // PulseAudio's client library hands packets over shared ring
           // buffers guarded by its own semaphores. Its races are left out, not
           // its calls: the media engine's callbacks run on its mainloop thread
           // under its mutex, which the sanitizer must see to order them.
           "race:libpulse.so.0\n"
           "race:libpulsecommon-16.1.so\n"
           "race:pa_packet_new_data\n"
           "race:pa_srbchannel_read\n"
           // Qt Multimedia plays through GStreamer (its libraries and plugins,
           // liborc, and the NSS and SELinux libraries its plugin scan loads).
           "called_from_lib:libQt5Multimedia.so.5\n"
           "called_from_lib:libgstreamer-1.0.so.0\n"
           "called_from_lib:libgstmediaplayer.so\n"
           "race:libgst\n"
           "mutex:libgst\n"
           "race:liborc-0.4.so\n"
           "race:libfreeblpriv3.so\n"
           "race:libselinux.so.1\n"
           // Qt's bearer plugin opens sockets on its own thread.
           "called_from_lib:libqgenericbearer.so\n";
}
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    const QString runtime = home.path() + "/runtime";
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    // No session bus: the saved password never reaches the desktop's own
    // keyring; a test that needs a secret service starts one of its own.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");

#ifdef VELTO_PRIVATE_DISPLAY
    // Window behaviour: an X server of this test's own, with the window
    // manager that VELTO_TEST_WM names ("none" for none).
    const velto::test::PrivateDisplay display(velto::test::windowManagerName());
    if (!display.ok()) {
        fprintf(stderr, "%s\n", display.error().c_str());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
#endif

    QApplication::setApplicationName("velto_desktop");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
