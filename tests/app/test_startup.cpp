// Start-up services: the daily log and the single-instance guard.
#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSharedMemory>
#include <QTest>

#include <csignal>
#include <thread>
#include <vector>

#include "Tools/logtext.h"
#include "cglobalinstance.h"
#include "singleapplication.h"

namespace {

const QRegularExpression kLine(R"(^\d\d:\d\d:\d\d \(([^:]*):(\d+)\) (.*)$)",
                               QRegularExpression::DotMatchesEverythingOption);

// The entries of today's log file, split at the line ends the handler writes.
QStringList logEntries()
{
    QFile file(CGlobalInstance::getLogPath() + QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList entries = QString::fromUtf8(file.readAll()).split("\r\n");
    EXPECT_EQ(entries.takeLast(), "");  // every entry ends with a line end
    return entries;
}

class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(CGlobalInstance::getLogPath() + QDate::currentDate().toString("yyyy-MM-dd") + "_log.txt");
        previous = qInstallMessageHandler(myMessageOutput);
    }
    void TearDown() override { qInstallMessageHandler(previous); }
    QtMessageHandler previous = nullptr;
};

}  // namespace

TEST_F(LogTest, EachMessageIsOneEntryWithTimeSourceAndLine)
{
    // Messages from the main thread, from Qt itself (no source), and from
    // several threads at once, as the SDK's threads write them.
    const int line = __LINE__ + 1;
    qDebug().noquote() << "plain";
    qWarning().noquote() << "two\nlines with %1 and %2";
    qDebug() << "nickName==" << logText(std::string("Eve\r\n00:00:00 (forged.cpp:1) forged"));
    myMessageOutput(QtInfoMsg, QMessageLogContext(), "from Qt itself");
    constexpr int kThreads = 8;
    constexpr int kMessages = 100;
    const int threadLine = __LINE__ + 5;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([t] {
            for (int m = 0; m < kMessages; ++m)
                qDebug().noquote() << QString("t%1 m%2\n%3 %1 end").arg(t).arg(m).arg(QString(200, 'x'));
        });
    for (std::thread& thread : threads)
        thread.join();

    struct Entry {
        QString file, line, text;
    };
    std::vector<Entry> expected{
        {__FILE__, QString::number(line), "plain"},
        {__FILE__, QString::number(line + 1), "two\nlines with %1 and %2"},
        {__FILE__, QString::number(line + 2), "nickName== Eve\\r\\n00:00:00 (forged.cpp:1) forged"},
        {"", "0", "from Qt itself"},
    };
    const QStringList entries = logEntries();
    ASSERT_EQ(entries.size(), int(expected.size()) + kThreads * kMessages) << entries.join("|").toStdString();
    for (size_t i = 0; i < expected.size(); ++i) {
        const QRegularExpressionMatch match = kLine.match(entries[int(i)]);
        ASSERT_TRUE(match.hasMatch()) << entries[int(i)].toStdString();
        EXPECT_EQ(match.captured(1), expected[i].file);
        EXPECT_EQ(match.captured(2), expected[i].line);
        EXPECT_EQ(match.captured(3), expected[i].text);
    }
    // Each thread's lines come whole and in its own order.
    const QRegularExpression message("^t(\\d) m(\\d+)\nx{200} \\1 end$");
    std::vector<int> next(kThreads);
    for (int i = int(expected.size()); i < entries.size(); ++i) {
        const QRegularExpressionMatch match = kLine.match(entries[i]);
        ASSERT_TRUE(match.hasMatch()) << entries[i].toStdString();
        EXPECT_EQ(match.captured(1), __FILE__);
        EXPECT_EQ(match.captured(2), QString::number(threadLine));
        const QRegularExpressionMatch body = message.match(match.captured(3));
        ASSERT_TRUE(body.hasMatch()) << entries[i].toStdString();
        const int thread = body.captured(1).toInt();
        EXPECT_EQ(body.captured(2).toInt(), next[size_t(thread)]++);
    }
    EXPECT_EQ(next, std::vector<int>(kThreads, kMessages));
}

namespace {

class InstanceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        key = QString("velto_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    // Starts the probe program; the returned process is running.
    std::unique_ptr<QProcess> start()
    {
        auto process = std::make_unique<QProcess>();
        // The probe shows no window; the minimal platform leaves nothing
        // behind for the leak checker either.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "minimal");
        process->setProcessEnvironment(environment);
        process->setProgram(VELTO_INSTANCE_PROBE);
        process->setArguments({key});
        process->start();
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }

    static QString readLine(QProcess& process)
    {
        while (!process.canReadLine())
            if (!process.waitForReadyRead(10000))
                return QString();
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    // A second start: delivers its text and ends with code 0.
    void expectSecondStartDelivers(QProcess& first)
    {
        auto second = start();
        ASSERT_TRUE(second->waitForFinished(10000));
        EXPECT_EQ(second->exitCode(), 0);
        EXPECT_EQ(QString::fromUtf8(second->readAllStandardOutput()).trimmed(), "sent:1");
        EXPECT_EQ(readLine(first), "message:message from other instance.");
    }

    void expectQuitOnSigterm(QProcess& first)
    {
        ::kill(pid_t(first.processId()), SIGTERM);
        EXPECT_EQ(readLine(first), "quit");
        ASSERT_TRUE(first.waitForFinished(10000));
        EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(first.exitCode(), 0);
        // Exactly one message arrived per second start.
        EXPECT_EQ(QString::fromUtf8(first.readAllStandardOutput()).trimmed(), "");
    }

    QString key;
};

}  // namespace

TEST_F(InstanceTest, SecondStartHandsItsMessageToTheFirstOnce)
{
    auto first = start();
    ASSERT_EQ(readLine(*first), "first");
    expectSecondStartDelivers(*first);
    expectSecondStartDelivers(*first);
    expectQuitOnSigterm(*first);
}

TEST_F(InstanceTest, GuardLeftByACrashedProcessDoesNotBlockTheStart)
{
    QSharedMemory leftBehind(key);
    ASSERT_TRUE(leftBehind.create(1));  // held, but nobody serves under the key

    auto first = start();
    ASSERT_EQ(readLine(*first), "first");
    expectSecondStartDelivers(*first);
    expectQuitOnSigterm(*first);
}

TEST_F(InstanceTest, StartsAtTheSameTimeLeaveExactlyOneFirstInstance)
{
    std::vector<std::unique_ptr<QProcess>> starts;
    for (int i = 0; i < 4; ++i)
        starts.push_back(start());
    QProcess* first = nullptr;
    int firsts = 0;
    int delivered = 0;
    for (auto& process : starts) {
        const QString line = readLine(*process);
        if (line == "first") {
            first = process.get();
            ++firsts;
        } else {
            delivered += line == "sent:1";
            EXPECT_TRUE(process->waitForFinished(10000));
        }
    }
    ASSERT_EQ(firsts, 1);
    EXPECT_EQ(delivered, 3);
    for (int i = 0; i < delivered; ++i)
        EXPECT_EQ(readLine(*first), "message:message from other instance.");
    expectQuitOnSigterm(*first);
}
