// These tests draw no video: Qt's offscreen platform stays off GLX even where a
// display exists, since the X and GL libraries leak under the sanitizers. Set
// before main creates the application; the processes the tests start inherit it.
#include <QByteArray>

namespace {

[[maybe_unused]] const bool noGlx = qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");

}  // namespace
