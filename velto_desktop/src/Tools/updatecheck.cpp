#include "updatecheck.h"

#include <QCoreApplication>
#include <QDebug>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

#include "commonhelper.h"
#include "logtext.h"

namespace {

// The manifest server; VELTO_UPDATE_HOST (host[:port]) points the program at another one.
const char* const kDefaultUpdateHost = "localhost:8443";
const char* const kManifestPath = "/download/bm/version_mac_bm.json";
int startupTimeoutMs = UpdateCheck::kStartupTimeoutMs;

QString manifestUrl()
{
    const QString host = qEnvironmentVariableIsEmpty("VELTO_UPDATE_HOST")
                             ? QString(kDefaultUpdateHost)
                             : qEnvironmentVariable("VELTO_UPDATE_HOST");
    return "https://" + host + kManifestPath;
}

QPointer<UpdateCheck>& startupCheck()
{
    static QPointer<UpdateCheck> check;
    return check;
}

} // namespace

UpdateCheck::UpdateCheck(int timeoutMs, QObject* parent) : QObject(parent)
{
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        qDebug() << "update manifest: no answer in time";
        if (m_reply)
            m_reply->abort();  // finishes the reply, which ends the check
        else
            finish();
    });
    m_deadline->start(timeoutMs);
    m_manager = new QNetworkAccessManager(this);
    send();
}

UpdateCheck::~UpdateCheck()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateCheck::send()
{
    const QString url = manifestUrl();
    qDebug() << "update manifest:" << url;
    QNetworkRequest request{QUrl(url)};
    request.setSslConfiguration(CommonHelper::sslConfiguration());
    m_reply = m_manager->get(request);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::replyFinished);
}

void UpdateCheck::replyFinished()
{
    const QNetworkReply::NetworkError error = m_reply->error();
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    // Redirects are not followed: only a 2xx answer carries the manifest.
    m_answered = error == QNetworkReply::NoError && status >= 200 && status <= 299;
    if (m_answered) {
        m_body = m_reply->readAll();
        qDebug() << "update manifest:" << logText(m_body);
    } else {
        qDebug() << "update manifest not available:" << error << status;
    }
    m_reply->deleteLater();
    m_reply = nullptr;
    finish();
}

void UpdateCheck::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_deadline->stop();
    emit finished();
}

bool UpdateCheck::read(UpdateInfo& info) const
{
    if (!m_answered)
        return false;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(m_body, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return false;
    if (!document.isObject())
        return true;

    const QJsonObject manifest = document.object();
    const std::pair<const char*, QString*> members[] = {
        {"version", &info.version}, {"fileName", &info.fileName}, {"downPath", &info.downPath}, {"md5", &info.md5}};
    for (const auto& [name, output] : members) {
        if (!manifest.contains(name))
            continue;
        *output = manifest.value(name).toString();
        qDebug() << name << logText(*output);
    }
    return true;
}

UpdateInfo UpdateCheck::info() const
{
    UpdateInfo info;
    read(info);
    return info;
}

void UpdateCheck::sendAtStartup()
{
    if (!startupCheck())
        startupCheck() = new UpdateCheck(startupTimeoutMs, QCoreApplication::instance());
}

void UpdateCheck::setStartupTimeout(int milliseconds) { startupTimeoutMs = milliseconds; }

UpdateCheck* UpdateCheck::takeStartupCheck(QObject* parent)
{
    UpdateCheck* check = startupCheck();
    startupCheck() = nullptr;
    if (!check)
        return new UpdateCheck(startupTimeoutMs, parent);
    check->setParent(parent);
    return check;
}
