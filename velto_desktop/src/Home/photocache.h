#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QNetworkAccessManager;

// The photo cache of the contacts, the recent calls and the own avatar: files
// in the data folder's "/photos", named by CGlobalInstance::getImageName, with
// the path of each user's photo in the photos table. One network manager for
// every download; downloads are verified TLS, bounded in time and size, and a
// table row is written only for a picture that was saved. Main thread only.
class PhotoCache : public QObject {
    Q_OBJECT
public:
    static PhotoCache* instance();

    // The cached file of the user's photo at `url`, or empty when there is
    // none (a missing file, or one cached for another URL).
    static QString cachedPath(const QString& userId, const QString& url);

    // Downloads `url` (https only), saves it scaled to 80 x 80 and records it for the user.
    // `done` runs (within `context`'s lifetime) with the saved path, or with
    // an empty path when nothing could be saved.
    void download(const QString& userId, const QString& url, QObject* context,
                  const std::function<void(const QString& path)>& done);

    // Largest answer accepted, and the time a download may take.
    static constexpr qint64 kMaxBytes = 2 * 1024 * 1024;
    static constexpr int kTimeoutMs = 15000;

private:
    explicit PhotoCache(QObject* parent = nullptr);

    QNetworkAccessManager* m_manager;
};
