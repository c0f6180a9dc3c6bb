#include <QApplication>
#include <QOpenGLContext>

#include <gtest/gtest.h>

#include <cstdio>

#if defined(__SANITIZE_THREAD__)
// Qt and the GLib main loop under its event dispatcher synchronise through
// futexes, which the thread sanitizer cannot see: the posted-event queue, its
// wake-ups and the X event reader would be reported on every event a producer
// thread posts. At exit the X connection closes while Qt's reader still holds
// its lock.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt5Core.so.5\n"
           "called_from_lib:libQt5XcbQpa.so.5\n"
           "called_from_lib:libglib-2.0.so.0\n"
           "mutex:libxcb.so.1\n";
}
#endif

#if defined(__SANITIZE_ADDRESS__)
// Mesa's driver is unloaded at exit, so its allocations show up as leaks from
// an unknown module that no suppression can name; the renderer's own memory is
// checked by the address sanitizer all the same.
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Listing the tests (as ctest's discovery does) needs no display.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();

#if defined(__SANITIZE_THREAD__)
    // Mesa's rasteriser threads use the same kind of synchronisation; let it
    // rasterise on the calling thread instead.
    qputenv("LP_NUM_THREADS", "0");
#endif
    QApplication app(argc, argv);
    QOpenGLContext probe;
    if (!probe.create()) {
        std::fprintf(stderr, "No OpenGL context: run the renderer tests on an X display (xvfb-run -a).\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
