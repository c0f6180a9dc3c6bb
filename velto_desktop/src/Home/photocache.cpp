#include "photocache.h"

#include <QCoreApplication>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>

#include "Tools/commonhelper.h"
#include "Tools/sqlite3.h"
#include "cglobalinstance.h"

PhotoCache* PhotoCache::instance()
{
    static PhotoCache* cache = new PhotoCache(QCoreApplication::instance());
    return cache;
}

PhotoCache::PhotoCache(QObject* parent) : QObject(parent), m_manager(new QNetworkAccessManager(this)) {}

QString PhotoCache::cachedPath(const QString& userId, const QString& url)
{
    if (url.isEmpty())
        return QString();
    QString stored;
    Sqlite3::instance()->getPhotoByUserId(userId, stored);
    const QString name = CGlobalInstance::getImageName(url);
    if (stored.isEmpty() || !stored.contains(name) || !CGlobalInstance::isFileExist(stored))
        return QString();
    return stored;
}

void PhotoCache::download(const QString& userId, const QString& url, QObject* context,
                          const std::function<void(const QString& path)>& done)
{
    // Verified TLS like every other download of the program: an address of any
    // other scheme is refused before a request goes out.
    if (QUrl(url).scheme() != QLatin1String("https")) {
        QPointer<QObject> receiver = context;
        QMetaObject::invokeMethod(
            this, [receiver, done] {
                if (receiver)
                    done(QString());
            },
            Qt::QueuedConnection);
        return;
    }
    QNetworkRequest request{QUrl(url)};
    request.setSslConfiguration(CommonHelper::sslConfiguration());
    request.setTransferTimeout(kTimeoutMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply* reply = m_manager->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > kMaxBytes || total > kMaxBytes)
            reply->abort();
    });
    QPointer<QObject> receiver = context;
    connect(reply, &QNetworkReply::finished, this, [reply, userId, url, receiver, done] {
        reply->deleteLater();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        QString saved;
        if (reply->error() == QNetworkReply::NoError && status >= 200 && status < 300) {
            const QByteArray body = reply->read(kMaxBytes + 1);
            QImage image;
            if (body.size() <= kMaxBytes && image.loadFromData(body)) {
                const QString path = CGlobalInstance::getFullImagePath(CGlobalInstance::getImageName(url));
                const QImage scaled = image.scaled(80, 80, Qt::IgnoreAspectRatio, Qt::FastTransformation);
                // A name without a known picture suffix is written as PNG.
                if ((scaled.save(path) || scaled.save(path, "PNG")) &&
                    Sqlite3::instance()->updatePhotoTable(userId, path))
                    saved = path;
            }
        }
        if (receiver)
            done(saved);
    });
}
