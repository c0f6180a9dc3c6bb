#include "DesktopCaptureInterface.h"
#include "WindowSource.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <QtDebug>

namespace screen_grab {

std::string cleanTitle(const QByteArray& bytes, bool latin1)
{
    QString text = latin1 ? QString::fromLatin1(bytes) : QString::fromUtf8(bytes);
    for (QChar& c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    QByteArray utf8 = text.toUtf8();
    if (utf8.size() > kMaxTitleBytes) {
        int cut = kMaxTitleBytes;
        while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0) == 0x80)
            --cut;  // never split a character
        utf8.truncate(cut);
    }
    return utf8.toStdString();
}

namespace {

constexpr int kThumbnailWidth = 480;

class DesktopCapture final : public DesktopCaptureInterface {
public:
    explicit DesktopCapture(std::unique_ptr<WindowSource> windows, bool system)
        : windows_(std::move(windows)), system_(system)
    {
    }

    bool listsSystemWindows() const override { return system_; }

    int getSourceList(std::vector<capture_source>* sources, bool screens) override
    {
        if (!sources)
            return -1;
        if (!screens) {
            *sources = windows_->windows();
            return 0;
        }
        sources->clear();
        const QList<QScreen*> all = QGuiApplication::screens();
        for (int i = 0; i < all.size(); ++i)
            sources->push_back({i, cleanTitle(all[i]->name().toUtf8(), false)});
        return 0;
    }

    int selectWindow(int64_t id) override { return windows_->raise(id) ? 0 : -1; }

    int getWindowRect(int64_t id, int* x, int* y, int* width, int* height) override
    {
        QRect r;
        if (!windows_->rect(id, &r))
            return -1;
        if (x)
            *x = r.x();
        if (y)
            *y = r.y();
        if (width)
            *width = r.width();
        if (height)
            *height = r.height();
        return 0;
    }

    const unsigned char* getWindowThumbnail(int64_t id, int* length) override
    {
        QPixmap picture;
        QRect r;
        if (id > 0 && windows_->isViewable(id) && windows_->rect(id, &r)) {
            QScreen* screen = QGuiApplication::screenAt(r.center());
            if (!screen)
                screen = QGuiApplication::primaryScreen();
            if (screen)
                picture = screen->grabWindow(static_cast<WId>(id));
        }
        return encode(picture, length);
    }

    const unsigned char* getScreenThumbnail(int* length, int64_t id) override
    {
        QPixmap picture;
        const QList<QScreen*> all = QGuiApplication::screens();
        if (id >= 0 && id < all.size())
            picture = all[static_cast<int>(id)]->grabWindow(0);
        return encode(picture, length);
    }

private:
    const unsigned char* encode(const QPixmap& picture, int* length)
    {
        thumbnail_.clear();
        if (!picture.isNull()) {
            QImage image = picture.toImage();
            if (image.width() > kThumbnailWidth)
                image = image.scaledToWidth(kThumbnailWidth, Qt::SmoothTransformation);
            QBuffer buffer(&thumbnail_);
            buffer.open(QIODevice::WriteOnly);
            if (!image.save(&buffer, "PNG"))
                thumbnail_.clear();
        }
        if (length)
            *length = thumbnail_.size();
        return reinterpret_cast<const unsigned char*>(thumbnail_.constData());
    }

    std::unique_ptr<WindowSource> windows_;
    bool system_;
    QByteArray thumbnail_;  // bytes of the last thumbnail handed out
};

}  // namespace
}  // namespace screen_grab

DesktopCaptureInterface* DesktopCaptureInterface::createNew()
{
    using namespace screen_grab;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (std::unique_ptr<WindowSource> x11 = makeXcbWindows())
            return new DesktopCapture(std::move(x11), true);
    }
    static bool said = false;
    if (!said) {
        said = true;
        qInfo() << "screen_grab: no X11 display on platform" << QGuiApplication::platformName()
                << "- listing the screens and this program's own windows only";
    }
    return new DesktopCapture(makeQtWindows(), false);
}
