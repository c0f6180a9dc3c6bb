// The screen-capture library on a real X server (Xvfb, no window manager):
// windows are listed with their own ids and titles, rectangles and thumbnails
// match what is on screen, and windows that vanish or carry hostile titles do
// no harm.
#include "DesktopCaptureInterface.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRasterWindow>
#include <QScreen>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

class SolidWindow : public QRasterWindow {
public:
    SolidWindow(QColor colour, const QString& title, QRect geometry) : colour_(colour)
    {
        setTitle(title);
        setGeometry(geometry);
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), colour_); }

private:
    QColor colour_;
};

std::unique_ptr<SolidWindow> showSolid(QColor colour, const QString& title, QRect geometry)
{
    auto window = std::make_unique<SolidWindow>(colour, title, geometry);
    window->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get(), 5000));
    QTest::qWait(100);  // the first paint reaches the server
    return window;
}

const capture_source* findSource(const std::vector<capture_source>& list, int64_t id)
{
    auto it = std::find_if(list.begin(), list.end(), [id](const capture_source& s) { return s.id == id; });
    return it == list.end() ? nullptr : &*it;
}

double shareOf(const QImage& image, QColor colour)
{
    int hits = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            hits += image.pixelColor(x, y).rgb() == colour.rgb();
    return image.isNull() ? 0.0 : double(hits) / (image.width() * image.height());
}

QImage decode(const unsigned char* bytes, int length)
{
    QImage image;
    image.loadFromData(bytes, length);
    return image;
}

std::unique_ptr<DesktopCaptureInterface> newCapture()
{
    return std::unique_ptr<DesktopCaptureInterface>(DesktopCaptureInterface::createNew());
}

TEST(ScreenGrab, WindowsAreListedWithTheirIdTitleRectangleAndPicture)
{
    struct Case {
        QColor colour;
        QString title;
        QRect geometry;
    };
    const Case cases[] = {
        {Qt::red, "Plain red window", QRect(1310, 130, 320, 200)},
        {Qt::green, QString::fromUtf8("Grüße — 共享窗口"), QRect(1350, 610, 280, 240)},
    };
    std::vector<std::unique_ptr<SolidWindow>> windows;
    for (const Case& c : cases)
        windows.push_back(showSolid(c.colour, c.title, c.geometry));

    auto capture = newCapture();
    ASSERT_TRUE(capture->listsSystemWindows());
    std::vector<capture_source> list;
    ASSERT_EQ(capture->getSourceList(&list, false), 0);
    for (size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(cases[i].title.toStdString());
        const int64_t id = static_cast<int64_t>(windows[i]->winId());
        const capture_source* source = findSource(list, id);
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->title, cases[i].title.toStdString());

        int x = 0, y = 0, w = 0, h = 0;
        EXPECT_EQ(capture->getWindowRect(id, &x, &y, &w, &h), 0);
        EXPECT_EQ(QRect(x, y, w, h), windows[i]->geometry());

        int length = 0;
        const unsigned char* bytes = capture->getWindowThumbnail(id, &length);
        const QImage image = decode(bytes, length);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), cases[i].geometry.size());
        EXPECT_GT(shareOf(image, cases[i].colour), 0.9);
    }
}

TEST(ScreenGrab, ScreensAreListedInOrderWithBoundedThumbnails)
{
    auto capture = newCapture();
    std::vector<capture_source> list{{99, "stale"}};
    ASSERT_EQ(capture->getSourceList(&list, true), 0);
    ASSERT_EQ(list.size(), size_t(QGuiApplication::screens().size()));
    for (size_t i = 0; i < list.size(); ++i) {
        EXPECT_EQ(list[i].id, int64_t(i));
        int length = 0;
        const unsigned char* bytes = capture->getScreenThumbnail(&length, list[i].id);
        const QImage image = decode(bytes, length);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.width(), std::min(480, QGuiApplication::screens()[int(i)]->size().width()));
    }
    int length = 7;
    capture->getScreenThumbnail(&length, int64_t(list.size()));
    EXPECT_EQ(length, 0);
    EXPECT_EQ(capture->getSourceList(nullptr, true), -1);
}

TEST(ScreenGrab, AWindowGoneBeforeTheGrabGivesNothingAndNoAbort)
{
    auto window = showSolid(Qt::blue, "Short-lived", QRect(1400, 400, 200, 150));
    const int64_t id = static_cast<int64_t>(window->winId());
    auto capture = newCapture();
    std::vector<capture_source> list;
    capture->getSourceList(&list, false);
    ASSERT_NE(findSource(list, id), nullptr);

    window.reset();
    QGuiApplication::sync();

    int length = 5;
    capture->getWindowThumbnail(id, &length);
    EXPECT_EQ(length, 0);
    int x = 1, y = 2, w = 3, h = 4;
    EXPECT_EQ(capture->getWindowRect(id, &x, &y, &w, &h), -1);
    EXPECT_EQ(QRect(x, y, w, h), QRect(1, 2, 3, 4));
    EXPECT_EQ(capture->selectWindow(id), -1);
    for (int64_t bogus : {int64_t(0), int64_t(-5), int64_t(1) << 40, int64_t(0x7fffff)}) {
        length = 5;
        capture->getWindowThumbnail(bogus, &length);
        EXPECT_EQ(length, 0) << bogus;
    }
}

// Raw X11 access for what Qt will not do: root properties and hostile titles.
class RawX : public ::testing::Test {
protected:
    void SetUp() override
    {
        c = xcb_connect(nullptr, nullptr);
        ASSERT_FALSE(xcb_connection_has_error(c));
        root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    }
    void TearDown() override { xcb_disconnect(c); }

    xcb_atom_t atom(const char* name)
    {
        auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
        xcb_atom_t a = reply->atom;
        free(reply);
        return a;
    }
    void setProperty(xcb_window_t w, const char* name, xcb_atom_t type, int format, const void* data, uint32_t n)
    {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(name), type, uint8_t(format), n, data);
        xcb_aux_sync();
    }
    void xcb_aux_sync() { free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr)); }

    xcb_connection_t* c = nullptr;
    xcb_window_t root = 0;
};

TEST_F(RawX, TheWindowManagersListDecidesWhichWindowsAreListed)
{
    for (const char* listName : {"_NET_CLIENT_LIST_STACKING", "_NET_CLIENT_LIST"}) {
        SCOPED_TRACE(listName);
        auto managed = showSolid(Qt::yellow, "Managed", QRect(1500, 300, 100, 100));
        auto unmanaged = showSolid(Qt::cyan, "Not in the list", QRect(1500, 450, 100, 100));
        const xcb_window_t ids[] = {xcb_window_t(managed->winId())};
        setProperty(root, listName, XCB_ATOM_WINDOW, 32, ids, 1);

        std::vector<capture_source> list;
        newCapture()->getSourceList(&list, false);
        xcb_delete_property(c, root, atom(listName));
        xcb_aux_sync();
        EXPECT_NE(findSource(list, int64_t(managed->winId())), nullptr);
        EXPECT_EQ(findSource(list, int64_t(unmanaged->winId())), nullptr);
    }
}

TEST_F(RawX, HostileTitlesListAsBoundedValidUtf8)
{
    xcb_window_t w = xcb_generate_id(c);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w, root, 1200, 900, 80, 60, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    std::string hostile(64 * 1024, 'A');
    for (size_t i = 0; i < hostile.size(); i += 7)
        hostile[i] = char(0xC3 + (i % 5));  // lead bytes without continuation, 0xC3..0xC7
    hostile[10] = '\0';
    hostile[11] = '\x1b';
    setProperty(w, "_NET_WM_NAME", atom("UTF8_STRING"), 8, hostile.data(), uint32_t(hostile.size()));
    xcb_map_window(c, w);
    xcb_aux_sync();

    std::vector<capture_source> list;
    newCapture()->getSourceList(&list, false);
    const capture_source* source = findSource(list, int64_t(w));
    ASSERT_NE(source, nullptr);
    EXPECT_LE(source->title.size(), 4096u);
    EXPECT_FALSE(source->title.empty());
    const QByteArray bytes = QByteArray::fromStdString(source->title);
    EXPECT_EQ(QString::fromUtf8(bytes).toUtf8(), bytes);  // valid UTF-8 round-trips unchanged
    EXPECT_EQ(bytes.indexOf('\0'), -1);
    EXPECT_EQ(bytes.indexOf('\x1b'), -1);
    xcb_destroy_window(c, w);
    xcb_aux_sync();
}

}  // namespace

#if defined(__SANITIZE_THREAD__)
// Qt is not built with the thread sanitizer: QtGui's worker threads (scaling and
// encoding the thumbnails) and the X connection's reader synchronise through
// futexes it cannot see.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt5Core.so.5\n"
           "called_from_lib:libQt5Gui.so.5\n"
           "called_from_lib:libQt5XcbQpa.so.5\n"
           "mutex:libxcb.so.1\n";
}
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();  // listing needs no display
    QGuiApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
