// The update dialog's download against the local conference server: only a
// verified package over verified HTTPS reaches the downloads folder and the
// system's opener.
#include "DesktopTestUtil.h"
#include "LocalServer.h"
#include "messagebox.h"
#include "veltoupdate.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QStandardPaths>
#include <QTest>
#include <QUrl>

using velto::test::LocalServer;

namespace {

const char* const kPackageRoute = "/download/velto-2.0.0.pkg";

QString md5Of(const std::string& bytes)
{
    return QCryptographicHash::hash(QByteArray::fromStdString(bytes), QCryptographicHash::Md5).toHex();
}

QString downloads() { return QStandardPaths::writableLocation(QStandardPaths::DownloadLocation); }

std::vector<QWidget*> messageBoxes()
{
    std::vector<QWidget*> boxes;
    for (QWidget* window : QApplication::topLevelWidgets())
        if (qobject_cast<MessageBox*>(window) && window->isVisible())
            boxes.push_back(window);
    return boxes;
}

enum class Outcome { Ready, Failed, Closed };

struct Run {
    QPointer<VeltoUpdate> dialog;
    std::vector<QUrl> opened;
    Outcome outcome = Outcome::Failed;
};

class UpdateDownload : public ::testing::Test {
protected:
    // A downloads folder of this process's own: test processes run in parallel.
    static void SetUpTestSuite()
    {
        const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
        QDir().mkpath(config);
        QFile dirs(config + "/user-dirs.dirs");
        ASSERT_TRUE(dirs.open(QIODevice::WriteOnly));
        dirs.write("XDG_DOWNLOAD_DIR=\"" + QFile::encodeName(config) + "/Downloads\"\n");
    }
    void SetUp() override
    {
        ASSERT_TRUE(downloads().startsWith(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)));
        QDir(downloads()).removeRecursively();
        VeltoUpdate::setOpener([this](const QUrl& url) {
            opened.push_back(url);
            return true;
        });
    }
    void TearDown() override
    {
        VeltoUpdate::setOpener(nullptr);
        VeltoUpdate::setMaxPackageSize(qint64(1) << 30);
        for (QWidget* box : messageBoxes())
            delete box;
        QDir(downloads()).removeRecursively();
    }

    // Opens the dialog, presses Upgrade and waits until the download ends.
    Outcome upgrade(const LocalServer& server, QString fileName, QString md5, QString address = QString())
    {
        server.setCaBundleEnv();
        QString version = "2.0.0";
        if (address.isEmpty())
            address = QString::fromStdString("https://" + server.localhost() + kPackageRoute);
        dialog = new VeltoUpdate("1.0.9", version, fileName, address, md5, false, nullptr);
        dialog->show();
        dialog->findChild<QAbstractButton*>("btnUpgrade")->click();
        auto* prompt = dialog->findChild<QLabel*>("lblTextPromt");
        // The checks that follow tell what the download came to, or that it never ended.
        (void)QTest::qWaitFor([&] { return !dialog || prompt->text() != VeltoUpdate::tr("Download..."); }, 10000);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!dialog)
            return Outcome::Closed;
        return prompt->text() == VeltoUpdate::tr("Download completed!") ? Outcome::Ready : Outcome::Failed;
    }

    QStringList downloaded() const { return QDir(downloads()).entryList(QDir::Files | QDir::Hidden); }

    QPointer<VeltoUpdate> dialog;
    std::vector<QUrl> opened;
};

TEST_F(UpdateDownload, OnlyAVerifiedPackageIsKept)
{
    const std::string package(200000, 'p');
    struct Case {
        const char* name;
        int status;
        std::string body;
        QString md5;
        qint64 limit;
        Outcome outcome;
        bool messageBox;
    };
    const Case cases[] = {
        {"good package", 200, package, md5Of(package), qint64(1) << 30, Outcome::Ready, false},
        {"digest in capitals", 200, package, md5Of(package).toUpper(), qint64(1) << 30, Outcome::Ready, false},
        {"bad digest", 200, package, md5Of("other"), qint64(1) << 30, Outcome::Failed, false},
        {"not found", 404, "<html>no</html>", md5Of(package), qint64(1) << 30, Outcome::Closed, true},
        {"larger than allowed", 200, package, md5Of(package), 100000, Outcome::Failed, false},
    };
    LocalServer server;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        opened.clear();
        VeltoUpdate::setMaxPackageSize(c.limit);
        server.forceNext(kPackageRoute, c.status, c.body, 1, "application/octet-stream");
        EXPECT_EQ(upgrade(server, "velto-2.0.0.pkg", c.md5), c.outcome);
        EXPECT_EQ(messageBoxes().size(), c.messageBox ? 1u : 0u);
        EXPECT_EQ(downloaded(), c.outcome == Outcome::Ready ? QStringList{"velto-2.0.0.pkg"} : QStringList{});
        if (c.outcome == Outcome::Ready) {
            // A system that cannot open the package leaves the program running and says so.
            VeltoUpdate::setOpener([](const QUrl&) { return false; });
            dialog->findChild<QAbstractButton*>("btnUpgrade")->click();  // Install
            EXPECT_TRUE(dialog->findChild<QLabel*>("lblTextPromt")->text().contains("velto-2.0.0.pkg"));
            VeltoUpdate::setOpener([this](const QUrl& url) {
                opened.push_back(url);
                return true;
            });
            dialog->findChild<QAbstractButton*>("btnUpgrade")->click();
            const QString path = downloads() + "/velto-2.0.0.pkg";
            ASSERT_EQ(opened.size(), 1u);
            EXPECT_EQ(opened.front().toLocalFile(), path);
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll().toStdString(), package);
        }
        EXPECT_TRUE(opened.size() <= 1u);
        for (QWidget* box : messageBoxes())
            delete box;
        delete dialog.data();
        QDir(downloads()).removeRecursively();
    }
}

TEST_F(UpdateDownload, UnsafeNamesAndAddressesAreRefusedBeforeAnyRequest)
{
    LocalServer server;
    const std::pair<const char*, const char*> cases[] = {
        {"../x", nullptr},
        {"a/b.pkg", nullptr},
        {"..", nullptr},
        {"velto.pkg", "http://localhost/velto.pkg"},
    };
    for (const auto& [name, address] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(upgrade(server, name, md5Of("x"), address ? QString(address) : QString()), Outcome::Failed);
        EXPECT_TRUE(server.requests(kPackageRoute).empty());
        EXPECT_TRUE(downloaded().isEmpty());
        EXPECT_FALSE(QFile::exists(QDir(downloads()).absoluteFilePath("../x")));
        delete dialog.data();
    }
}

// A certificate nobody vouches for, or one issued to another host name.
TEST_F(UpdateDownload, UntrustedCertificateIsRefused)
{
    LocalServer::Options selfSigned;
    selfSigned.untrustedCertificate = true;
    LocalServer::Options otherHost;
    otherHost.certificateHost = "updates.other.example";
    for (const LocalServer::Options& options : {selfSigned, otherHost}) {
        SCOPED_TRACE(options.certificateHost.empty() ? "self-signed" : "another host");
        for (QWidget* box : messageBoxes())
            delete box;
        LocalServer server(options);
        const std::string package = "package";
        server.forceNext(kPackageRoute, 200, package, 1, "application/octet-stream");
        EXPECT_EQ(upgrade(server, "velto-2.0.0.pkg", md5Of(package)), Outcome::Closed);
        EXPECT_EQ(messageBoxes().size(), 1u);
        EXPECT_TRUE(downloaded().isEmpty());
        EXPECT_TRUE(opened.empty());
    }
}

TEST_F(UpdateDownload, PresentPackageWithTheRightDigestNeedsNoDownload)
{
    LocalServer server;
    const std::string package = "already here";
    QDir().mkpath(downloads());
    for (const auto& [content, ready] : {std::pair<std::string, bool>{package, true}, {"tampered", false}}) {
        SCOPED_TRACE(content);
        QFile file(downloads() + "/velto-2.0.0.pkg");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content.data(), qint64(content.size()));
        file.close();
        server.clearRequests();
        // The tampered copy is replaced by a fresh download that fails here.
        server.forceNext(kPackageRoute, 200, "other", 1, "application/octet-stream");
        EXPECT_EQ(upgrade(server, "velto-2.0.0.pkg", md5Of(package)), ready ? Outcome::Ready : Outcome::Failed);
        EXPECT_EQ(server.requests(kPackageRoute).size(), ready ? 0u : 1u);
        EXPECT_EQ(downloaded().size(), ready ? 1u : 0u);
        delete dialog.data();
    }
}

TEST_F(UpdateDownload, OnlyOneDialogAtATime)
{
    QString version = "2.0.0", name = "v.pkg", address = "https://localhost/v.pkg", md5 = md5Of("v");
    auto* first = new VeltoUpdate("1.0.9", version, name, address, md5, false, nullptr);
    EXPECT_EQ(VeltoUpdate::current(), first);
    delete first;
    EXPECT_EQ(VeltoUpdate::current(), nullptr);
}

}  // namespace
