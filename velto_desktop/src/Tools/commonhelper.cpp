#include "commonhelper.h"

#include <QApplication>
#include <QDebug>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRandomGenerator>
#include <QSslCertificate>
#include <QTimer>
#include <QVector>

namespace {

// The manifest server; VELTO_UPDATE_HOST (host[:port]) points the program at another one.
const char* const kDefaultUpdateHost = "localhost:8443";
const char* const kManifestPath = "/download/bm/version_mac_bm.json";
// Start-up waits for the manifest, so a silent server must not hold it for long.
const int kManifestTimeoutMs = 5000;

QString manifestUrl()
{
    const QString host = qEnvironmentVariableIsEmpty("VELTO_UPDATE_HOST")
                             ? QString(kDefaultUpdateHost)
                             : qEnvironmentVariable("VELTO_UPDATE_HOST");
    return "https://" + host + kManifestPath;
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
    const QString url = manifestUrl();
    qDebug() << "update manifest:" << url;

    QNetworkRequest request{QUrl(url)};
    request.setSslConfiguration(sslConfiguration());

    // The manager owns the reply; both end with this call.
    QNetworkAccessManager manager;
    QEventLoop loop;
    QNetworkReply* reply = manager.get(request);
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Aborting finishes the reply with an error, which ends the wait.
    QTimer::singleShot(kManifestTimeoutMs, reply, &QNetworkReply::abort);
    if (!reply->isFinished())
        loop.exec();

    const QByteArray body = reply->readAll();
    const QNetworkReply::NetworkError error = reply->error();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Redirects are not followed: only a 2xx answer carries the manifest.
    if (error != QNetworkReply::NoError || status < 200 || status > 299) {
        qDebug() << "update manifest not available:" << error << status;
        return false;
    }
    qDebug() << "update manifest:" << body;

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return false;
    if (!document.isObject())
        return true;

    const QJsonObject manifest = document.object();
    const std::pair<const char*, QString*> members[] = {
        {"version", &version}, {"fileName", &fileName}, {"downPath", &downPath}, {"md5", &md5}};
    for (const auto& [name, output] : members) {
        if (!manifest.contains(name))
            continue;
        *output = manifest.value(name).toString();
        qDebug() << name << *output;
    }
    return true;
}

QSslConfiguration CommonHelper::sslConfiguration()
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    const QString bundle = qEnvironmentVariable("VELTO_CA_BUNDLE");
    if (!bundle.isEmpty())
        config.setCaCertificates(QSslConfiguration::systemCaCertificates()
                                 + QSslCertificate::fromPath(bundle, QSsl::Pem));
    return config;
}
