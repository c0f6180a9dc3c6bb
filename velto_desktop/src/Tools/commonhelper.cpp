#include "commonhelper.h"

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslSocket>
#include <QVector>

#include <chrono>
#include <future>
#include <mutex>

#include "updatecheck.h"

namespace {

QSslConfiguration buildSslConfiguration(const QString& bundle)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Without an extra bundle Qt looks the system's CAs up by itself when a
    // peer needs one; an explicit list replaces that lookup, so it has to
    // carry the system's CAs beside the extra ones.
    if (!bundle.isEmpty())
        config.setCaCertificates(QSslConfiguration::systemCaCertificates() +
                                 QSslCertificate::fromPath(bundle, QSsl::Pem));
    return config;
}

// Decoding every system CA costs tens of milliseconds: it is done once per
// bundle, on a worker thread, while the GUI thread goes on.
struct TrustStoreState {
    std::mutex mutex;
    QString bundle;  // what `config` was built for
    std::shared_future<QSslConfiguration> config;
    int builds = 0;
};

TrustStoreState& trustStoreState()
{
    static TrustStoreState state;
    return state;
}

// Waits for the build still running, then drops the configuration while Qt
// and OpenSSL are still there to free it.
void releaseTrustStore()
{
    TrustStoreState& state = trustStoreState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.config = std::shared_future<QSslConfiguration>();
}

std::shared_future<QSslConfiguration> trustStore()
{
    const QString bundle = qEnvironmentVariable("VELTO_CA_BUNDLE");
    TrustStoreState& state = trustStoreState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.config.valid() || state.bundle != bundle) {
        if (state.builds == 0)
            qAddPostRoutine(releaseTrustStore);
        state.bundle = bundle;
        state.config = std::async(std::launch::async, buildSslConfiguration, bundle).share();
        ++state.builds;
    }
    return state.config;
}

QVector<QRgb> greyPalette()
{
    QVector<QRgb> palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = qRgb(i, i, i);
    return palette;
}

} // namespace

void CommonHelper::setStyle(const QString& path)
{
    QFile file(path);
    if (!file.open(QFile::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    const int end = bytes.indexOf('\0');
    qApp->setStyleSheet(QString::fromUtf8(end < 0 ? bytes : bytes.left(end)));
}

QImage CommonHelper::toGray(QString path)
{
    const QImage source(path);
    if (source.isNull())
        return QImage();

    // Work on one known pixel layout so that every source format (palette,
    // grey, 24-bit, 16-bit ...) gives its true grey levels.
    const QImage rgb = source.convertToFormat(QImage::Format_RGB32);
    QImage grey(rgb.width(), rgb.height(), QImage::Format_Indexed8);
    grey.setColorTable(greyPalette());
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = grey.scanLine(y);
        for (int x = 0; x < rgb.width(); ++x)
            out[x] = uchar((11 * qRed(in[x]) + 16 * qGreen(in[x]) + 5 * qBlue(in[x])) >> 5);
    }
    return grey;
}

QString CommonHelper::randomPassword()
{
    return QString::number(QRandomGenerator::system()->bounded(10000000, 99999999));
}

QStringList CommonHelper::getTimeList(int hour, int minute, bool today)
{
    const auto text = [](int h, int m) { return QString::asprintf("%02d:%02d", h, m); };
    QStringList times;
    if (!today) {
        for (int h = 0; h < 24; ++h)
            for (int m = 0; m < 60; m += 15)
                times << text(h, m);
        return times;
    }
    // The quarter that has begun is never offered.
    if (minute <= 44)
        for (int m = (minute / 15 + 1) * 15; m <= 45; m += 15)
            times << text(hour, m);
    for (int h = hour + 1; h < 24; ++h)
        for (int m = 0; m < 60; m += 15)
            times << text(h, m);
    return times;
}

QString CommonHelper::getBase64(QString text)
{
    return QString::fromLatin1(text.toUtf8().toBase64());
}

bool CommonHelper::getUpdateInfo(QString& version, QString& fileName, QString& downPath, QString& md5)
{
    UpdateCheck check(UpdateCheck::kMenuTimeoutMs);
    QEventLoop loop;
    QObject::connect(&check, &UpdateCheck::finished, &loop, &QEventLoop::quit);
    if (!check.isFinished())
        loop.exec();
    UpdateInfo info{version, fileName, downPath, md5};
    if (!check.read(info))
        return false;
    version = info.version;
    fileName = info.fileName;
    downPath = info.downPath;
    md5 = info.md5;
    return true;
}

QSslConfiguration CommonHelper::sslConfiguration()
{
    return trustStore().get();
}

bool CommonHelper::sslConfigurationReady()
{
    return trustStore().wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

int CommonHelper::sslConfigurationBuilds()
{
    std::lock_guard<std::mutex> lock(trustStoreState().mutex);
    return trustStoreState().builds;
}
