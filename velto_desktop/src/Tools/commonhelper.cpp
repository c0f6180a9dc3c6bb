#include "commonhelper.h"

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QSslSocket>
#include <QVector>

#include <mutex>

#include "updatecheck.h"

namespace {

QSslConfiguration buildSslConfiguration(const QString& bundle)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    // Added by path: this keeps Qt's lookup of the system's CAs on demand (by
    // subject, when a peer needs one) instead of decoding the whole system
    // store up front, which costs tens of milliseconds. A list of
    // certificates would switch that lookup off.
    if (!bundle.isEmpty() && !config.addCaCertificates(bundle, QSsl::Pem))
        qWarning() << "no CA certificate read from VELTO_CA_BUNDLE" << bundle;
    return config;
}

// One configuration per bundle, shared by every request of the process.
struct TrustStoreState {
    std::mutex mutex;
    bool built = false;
    QString bundle;  // what `config` was built for
    QSslConfiguration config;
    int builds = 0;
};

TrustStoreState& trustStoreState()
{
    static TrustStoreState state;
    return state;
}

// Drops the configuration while Qt and OpenSSL are still there to free it.
void releaseTrustStore()
{
    TrustStoreState& state = trustStoreState();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.config = QSslConfiguration();
    state.built = false;
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
    const QString bundle = qEnvironmentVariable("VELTO_CA_BUNDLE");
    TrustStoreState& state = trustStoreState();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (!state.built || state.bundle != bundle) {
        if (state.builds == 0)
            qAddPostRoutine(releaseTrustStore);
        state.config = buildSslConfiguration(bundle);
        state.bundle = bundle;
        state.built = true;
        ++state.builds;
    }
    return state.config;
}

int CommonHelper::sslConfigurationBuilds()
{
    std::lock_guard<std::mutex> lock(trustStoreState().mutex);
    return trustStoreState().builds;
}
