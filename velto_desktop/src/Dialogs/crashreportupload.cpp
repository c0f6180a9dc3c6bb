#include "crashreportupload.h"

#include "Tools/settings.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

constexpr char kServerEnv[] = "VELTO_CRASH_REPORT_SERVER";
constexpr char kServerKey[] = "/CrashReport/server";
constexpr char kFolder[] = "/velto_desktop/";
constexpr int kFtpPort = 21;

int& stallTimeoutMs()
{
    static int timeout = 30000;
    return timeout;
}

}  // namespace

QString CrashReportUpload::serverAddress()
{
    const QString fromEnvironment = qEnvironmentVariable(kServerEnv).trimmed();
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    return Settings().value(kServerKey);
}

QUrl CrashReportUpload::uploadUrl(const QString& server, const QString& dumpPath)
{
    const QString fileName = QFileInfo(dumpPath).fileName();
    if (server.isEmpty() || fileName.isEmpty())
        return QUrl();
    QUrl url;
    url.setScheme("ftp");
    url.setAuthority(server, QUrl::StrictMode);
    // Anonymous, and only where the address says: no credentials, no path.
    if (!url.isValid() || url.host().isEmpty() || !url.userInfo().isEmpty() || server.contains('/'))
        return QUrl();
    if (url.port() < 0)
        url.setPort(kFtpPort);
    url.setPath(QString(kFolder) + fileName);
    return url;
}

void CrashReportUpload::setStallTimeout(int ms) { stallTimeoutMs() = ms; }

CrashReportUpload* CrashReportUpload::start(const QString& dumpPath)
{
    const QString server = serverAddress();
    if (server.isEmpty()) {
        qDebug() << "no crash-report server set: the dump is not sent";
        return nullptr;
    }
    const QUrl url = uploadUrl(server, dumpPath);
    if (!url.isValid()) {
        qWarning() << "unusable crash-report server address" << server;
        return nullptr;
    }
    QByteArray body;
    QFile dump(dumpPath);
    if (dump.open(QIODevice::ReadOnly)) {
        body = dump.readAll();
        dump.close();
    }
    return new CrashReportUpload(url, body);
}

CrashReportUpload::CrashReportUpload(const QUrl& url, const QByteArray& body) : QObject(QCoreApplication::instance())
{
    auto* manager = new QNetworkAccessManager(this);
    m_reply = manager->put(QNetworkRequest(url), body);
    m_stall = new QTimer(this);
    m_stall->setSingleShot(true);
    m_stall->setInterval(stallTimeoutMs());
    connect(m_stall, &QTimer::timeout, this, &CrashReportUpload::stalled);
    connect(m_reply, &QNetworkReply::uploadProgress, m_stall, qOverload<>(&QTimer::start));
    connect(m_reply, &QNetworkReply::errorOccurred, this, [this](QNetworkReply::NetworkError error) {
        qDebug() << "error ==" << error << m_reply->errorString();
    });
    connect(m_reply, &QNetworkReply::finished, this, [this] {
        m_stall->stop();
        const bool ok = m_reply->error() == QNetworkReply::NoError;
        if (ok)
            qDebug() << "crash report uploaded to" << m_reply->url().toString();
        emit finished(ok);
        deleteLater();
    });
    m_stall->start();
}

void CrashReportUpload::stalled()
{
    qDebug() << "error == the crash-report upload made no progress for" << m_stall->interval() << "ms";
    m_reply->abort();
}
