// Contact photos from the local conference server: a photo is fetched once
// and then served from the cache; failed, refused and over-size downloads
// leave neither a file nor a table row.
#include "DesktopTestUtil.h"
#include "Home/photocache.h"
#include "LocalServer.h"
#include "Tools/sqlite3.h"
#include "cglobalinstance.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <optional>

using namespace velto::test;

namespace {

// A 2 x 2 picture in the text form of PPM.
const char kPicture[] = "P3\n2 2\n255\n255 0 0  0 255 0\n0 0 255  255 255 255\n";

// Serves the picture to every request over plain HTTP and counts connections.
class PlainHttpServer {
public:
    PlainHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++m_connections;
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    const QByteArray picture(kPicture);
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: image/x-portable-pixmap\r\nContent-Length: " +
                                  QByteArray::number(picture.size()) + "\r\nConnection: close\r\n\r\n" + picture);
                    socket->disconnectFromHost();
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
    }
    std::string url(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_server.serverPort()) + path;
    }
    int connections() const { return m_connections; }

private:
    QTcpServer m_server;
    int m_connections = 0;
};

class HomePhotos : public ::testing::Test {
protected:
    void SetUp() override
    {
        server.setCaBundleEnv();
        QDir(CGlobalInstance::getDocumentPath() + "/photos").removeRecursively();
    }

    std::string url(const std::string& path) const { return "https://" + server.localhost() + path; }

    // Downloads and waits for the answer; the saved path (empty: nothing saved).
    QString download(const QString& userId, const std::string& photoUrl)
    {
        std::optional<QString> result;
        QObject context;
        PhotoCache::instance()->download(userId, QString::fromStdString(photoUrl), &context,
                                         [&](const QString& path) { result = path; });
        QDeadlineTimer deadline(20000);
        while (!result && !deadline.hasExpired())
            QTest::qWait(10);
        EXPECT_TRUE(result.has_value());
        return result.value_or(QString());
    }

    static QString storedPath(const QString& userId)
    {
        QString path;
        Sqlite3::instance()->getPhotoByUserId(userId, path);
        return path;
    }

    LocalServer server;
};

}  // namespace

TEST_F(HomePhotos, FirstUseDownloadsThenTheCacheAnswers)
{
    const std::string photo = url("/photos/alice.ppm?r=7");
    server.forceNext("/photos/alice.ppm", 200, kPicture, 1, "image/x-portable-pixmap");
    EXPECT_TRUE(PhotoCache::cachedPath("alice", QString::fromStdString(photo)).isEmpty());

    const QString saved = download("alice", photo);
    ASSERT_FALSE(saved.isEmpty());
    EXPECT_TRUE(saved.endsWith("/photos/alice7.ppm")) << saved.toStdString();
    EXPECT_EQ(QImage(saved).size(), QSize(80, 80));
    EXPECT_EQ(storedPath("alice"), saved);
    EXPECT_EQ(server.requests("/photos/alice.ppm").size(), 1u);

    // The second build of a row finds the file and asks nothing.
    EXPECT_EQ(PhotoCache::cachedPath("alice", QString::fromStdString(photo)), saved);
    // Another photo URL of the same user is fetched anew.
    EXPECT_TRUE(PhotoCache::cachedPath("alice", QString::fromStdString(url("/photos/alice.ppm?r=8"))).isEmpty());
}

TEST_F(HomePhotos, FailedDownloadsWriteNoRow)
{
    PlainHttpServer plain;
    const std::string photo = url("/photos/bob.ppm?r=1");
    const struct {
        const char* name;
        std::function<void()> arrange;
        std::string address;
    } cases[] = {
        {"not found", [&] { server.forceNext("/photos/bob.ppm", 404, "<html>no</html>", 1, "text/html"); }, photo},
        {"no picture", [&] { server.forceNext("/photos/bob.ppm", 200, "{\"code\":200}"); }, photo},
        {"over size", [&] {
             server.forceNext("/photos/bob.ppm", 200, std::string(PhotoCache::kMaxBytes + 1024, '7'), 1,
                              "image/x-portable-pixmap");
         }, photo},
        {"closed", [&] { server.forceClose("/photos/bob.ppm"); }, photo},
        {"plain http", [] {}, plain.url("/photos/bob.ppm?r=1")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        EXPECT_TRUE(download("bob", c.address).isEmpty());
        EXPECT_TRUE(storedPath("bob").isEmpty());
        EXPECT_FALSE(QFile::exists(CGlobalInstance::getFullImagePath("bob1.ppm")));
    }
    EXPECT_EQ(plain.connections(), 0) << "nothing is asked without TLS";
}

// A certificate nobody vouches for, or one issued to another host name.
TEST_F(HomePhotos, UntrustedServerIsRefused)
{
    LocalServer::Options selfSigned;
    selfSigned.untrustedCertificate = true;
    LocalServer::Options otherHost;
    otherHost.certificateHost = "photos.other.example";
    for (const LocalServer::Options& options : {selfSigned, otherHost}) {
        SCOPED_TRACE(options.certificateHost.empty() ? "self-signed" : "another host");
        LocalServer untrusted(options);
        untrusted.forceNext("/photos/eve.ppm", 200, kPicture, 1, "image/x-portable-pixmap");
        EXPECT_TRUE(download("eve", "https://" + untrusted.localhost() + "/photos/eve.ppm").isEmpty());
        EXPECT_TRUE(untrusted.requests("/photos/eve.ppm").empty());
        EXPECT_TRUE(storedPath("eve").isEmpty());
    }
}
