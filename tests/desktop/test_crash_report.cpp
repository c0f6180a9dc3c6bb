// The crash report's upload: where it goes, and what an anonymous FTP server
// started here (pyftpdlib) receives from the crash dialog; servers that cannot
// be reached only cost a log line, in bounded time.
#include "DesktopTestUtil.h"
#include "crashreportupload.h"
#include "dumpwidget.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The debug log lines of the running test.
QStringList& logLines()
{
    static QStringList lines;
    return lines;
}

void keepLog(QtMsgType, const QMessageLogContext&, const QString& message) { logLines() << message; }

bool logged(const QString& text)
{
    for (const QString& line : logLines())
        if (line.contains(text))
            return true;
    return false;
}

// An anonymous FTP server on a free loopback port whose root holds the
// "velto_desktop" folder; stopped with the object.
class FtpServer {
public:
    FtpServer()
    {
        QDir(root.path()).mkpath("velto_desktop");
        const QString python =
            QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : QStandardPaths::findExecutable("python3");
        process.start(python, {"-c", R"(import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_anonymous(sys.argv[1], perm="elradfmw")
FTPHandler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), FTPHandler)
print(server.address[1], flush=True)
server.serve_forever()
)",
                               root.path()});
        if (process.waitForStarted(5000) && process.waitForReadyRead(10000))
            port = process.readLine().trimmed().toInt();
    }
    ~FtpServer()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QString address() const { return QString("127.0.0.1:%1").arg(port); }
    QString received(const QString& name) const { return root.filePath("velto_desktop/" + name); }

    QTemporaryDir root;
    QProcess process;
    int port = 0;
};

class CrashReport : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        qunsetenv("VELTO_CRASH_REPORT_SERVER");
        logLines().clear();
        previous = qInstallMessageHandler(keepLog);
    }
    void TearDown() override
    {
        qInstallMessageHandler(previous);
        qunsetenv("VELTO_CRASH_REPORT_SERVER");
        CrashReportUpload::setStallTimeout(30000);
    }

    // Opens the crash dialog on a dump and waits for its upload to end.
    bool report(const QString& dumpPath, int timeoutMs = 15000)
    {
        const auto before = QCoreApplication::instance()->findChildren<CrashReportUpload*>();
        auto* dialog = new DumpWidget(dumpPath, "0xC0000005", "0x00401000");
        dialog->close();  // the upload goes on without the dialog
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        CrashReportUpload* upload = nullptr;
        for (CrashReportUpload* u : QCoreApplication::instance()->findChildren<CrashReportUpload*>())
            if (!before.contains(u))
                upload = u;
        if (!upload)
            return false;
        QSignalSpy ended(upload, &CrashReportUpload::finished);
        return ended.wait(timeoutMs) && ended.first().first().toBool();
    }

    QtMessageHandler previous = nullptr;
    QTemporaryDir dumps;
};

TEST(CrashReportAddress, TheServerNamesHostAndPortOnly)
{
    struct Case {
        const char* server;
        const char* url;  // empty: no upload
    };
    const Case cases[] = {
        {"reports.example.com", "ftp://reports.example.com:21/velto_desktop/velto%201.dmp"},
        {"127.0.0.1:2121", "ftp://127.0.0.1:2121/velto_desktop/velto%201.dmp"},
        {"[::1]:2121", "ftp://[::1]:2121/velto_desktop/velto%201.dmp"},
        {"", ""},
        {"user:secret@reports.example.com", ""},
        {"reports.example.com/other", ""},
        {":2121", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CrashReportUpload::uploadUrl(c.server, "/var/crash/velto 1.dmp").toString(QUrl::FullyEncoded),
                  QString(c.url))
            << c.server;
}

TEST_F(CrashReport, TheEnvironmentNamesTheServerBeforeTheSettings)
{
    EXPECT_EQ(CrashReportUpload::serverAddress(), "");
    Settings().setValue("/CrashReport/server", "settings.example.com");
    EXPECT_EQ(CrashReportUpload::serverAddress(), "settings.example.com");
    qputenv("VELTO_CRASH_REPORT_SERVER", "env.example.com:2121");
    EXPECT_EQ(CrashReportUpload::serverAddress(), "env.example.com:2121");
}

TEST_F(CrashReport, WithoutAServerNothingIsSent)
{
    QTcpServer listener;
    ASSERT_TRUE(listener.listen(QHostAddress::LocalHost));
    auto* dialog = new DumpWidget(dumps.filePath("velto.dmp"), "1", "2");
    EXPECT_EQ(QCoreApplication::instance()->findChild<CrashReportUpload*>(), nullptr);
    EXPECT_FALSE(listener.waitForNewConnection(300));
    dialog->close();
}

TEST_F(CrashReport, TheDumpArrivesWholeUnderItsBaseName)
{
    FtpServer ftp;
    if (ftp.port == 0)
        GTEST_SKIP() << "no pyftpdlib: " << ftp.process.readAllStandardError().toStdString();
    qputenv("VELTO_CRASH_REPORT_SERVER", ftp.address().toUtf8());

    // Binary, with line ends and zero bytes that a text transfer would change.
    QByteArray content(700 * 1024, '\0');
    for (int i = 0; i < content.size(); ++i)
        content[i] = char(QRandomGenerator::global()->bounded(256));
    content.replace(100, 4, "\r\n\n\0", 4);
    const QString path = dumps.filePath("velto-2024-05-01.dmp");
    QFile dump(path);
    ASSERT_TRUE(dump.open(QIODevice::WriteOnly));
    dump.write(content);
    dump.close();

    ASSERT_TRUE(report(path));
    QFile arrived(ftp.received("velto-2024-05-01.dmp"));
    ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
    EXPECT_TRUE(arrived.readAll() == content);

    // A dump that cannot be read still reports, with an empty body.
    ASSERT_TRUE(report(dumps.filePath("gone.dmp")));
    EXPECT_TRUE(QFile::exists(ftp.received("gone.dmp")));
    EXPECT_EQ(QFileInfo(ftp.received("gone.dmp")).size(), 0);
}

TEST_F(CrashReport, AServerThatCannotBeReachedOnlyCostsALogLine)
{
    QFile dump(dumps.filePath("velto.dmp"));
    ASSERT_TRUE(dump.open(QIODevice::WriteOnly));
    dump.write("dump");
    dump.close();
    CrashReportUpload::setStallTimeout(1000);

    // Nobody listens on the port.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    qputenv("VELTO_CRASH_REPORT_SERVER", QString("127.0.0.1:%1").arg(port).toUtf8());
    EXPECT_FALSE(report(dump.fileName()));
    EXPECT_TRUE(logged("error ==")) << logLines().join('\n').toStdString();

    // A server that takes the connection and never says a word.
    logLines().clear();
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    qputenv("VELTO_CRASH_REPORT_SERVER", QString("127.0.0.1:%1").arg(silent.serverPort()).toUtf8());
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(report(dump.fileName(), 10000));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_TRUE(logged("error ==")) << logLines().join('\n').toStdString();
}

}  // namespace
