// Local database: schema, privacy, round trips of hostile values, transactions,
// the saved password with and without a secret service.
#include "SessionBus.h"
#include "cglobalinstance.h"
#include "secretstore.h"
#include "sqlite3.h"

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QVariant>

#include <functional>

namespace {

QString databasePath()
{
    return CGlobalInstance::getDocumentPath() + "/user.db";
}

// Runs `statement` on a connection of the test's own and returns the first
// column of every row.
QStringList inspect(const QString& statement)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "inspect");
        db.setDatabaseName(databasePath());
        EXPECT_TRUE(db.open());
        QSqlQuery query(db);
        EXPECT_TRUE(query.exec(statement)) << statement.toStdString();
        while (query.next())
            rows << query.value(0).toString();
    }
    QSqlDatabase::removeDatabase("inspect");
    return rows;
}

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = Sqlite3::instance();
        inspect("delete from user");
        inspect("delete from recents");
        inspect("delete from photos");
    }
    Sqlite3* db = nullptr;
};

const QString kHostile[] = {"it's", "pa%1ss", "%2%1", "用户名 ü", "", "a'); drop table user; --", "\"quoted\"",
                            QString(300, 'x')};

TEST_F(DatabaseTest, FirstStartCreatesAPrivateFileWithThreeTables)
{
    EXPECT_TRUE(QFileInfo::exists(databasePath()));
    EXPECT_EQ(QFileInfo(databasePath()).permissions() & 0x0077, 0) << "database readable by others";
    EXPECT_EQ(inspect("select name from sqlite_master where type='table' and name not like 'sqlite_%' order by name"),
              (QStringList{"photos", "recents", "user"}));
}

TEST_F(DatabaseTest, SecondStartCreatesNothing)
{
    ASSERT_TRUE(db->updateUserTable("ann", "pw", "server", true));
    const QStringList schema = inspect("select sql from sqlite_master order by name");
    Sqlite3 again;
    EXPECT_EQ(inspect("select sql from sqlite_master order by name"), schema);
    QString user, password, server;
    EXPECT_TRUE(again.getUserTable(user, password, server));
    EXPECT_EQ(user, "ann");
}

TEST_F(DatabaseTest, AccountRoundTripsHostileValues)
{
    for (const QString& value : kHostile) {
        SCOPED_TRACE(value.left(40).toStdString());
        ASSERT_TRUE(db->updateUserTable(value, value, value, true));
        QString user = "x", password = "x", server = "x";
        ASSERT_TRUE(db->getUserTable(user, password, server));
        EXPECT_EQ(user, value);
        EXPECT_EQ(password, value);
        EXPECT_EQ(server, value);
    }
    EXPECT_EQ(inspect("select count(*) from user"), QStringList{"1"}) << "one saved account at most";
}

TEST_F(DatabaseTest, PasswordIsKeptOnlyForAutomaticLogon)
{
    ASSERT_TRUE(db->updateUserTable("ann", "secret", "srv", false));
    QString user, password = "untouched", server;
    ASSERT_TRUE(db->getUserTable(user, password, server));
    EXPECT_EQ(user, "ann");
    EXPECT_EQ(password, "");
    EXPECT_EQ(server, "srv");
    EXPECT_EQ(inspect("select count(*) from user where password like '%secret%'"), QStringList{"0"});
}

// No secret service runs here (the tests have no session bus): the password of
// automatic logon stays in the owner-only file, and what an earlier version
// saved there is read as it is.
TEST_F(DatabaseTest, WithoutASecretServiceThePasswordStaysInThePrivateFile)
{
    inspect("insert into user (username,password,server) values ('ann','old-secret','srv')");
    QString user, password, server;
    ASSERT_TRUE(db->getUserTable(user, password, server));
    EXPECT_EQ(password, "old-secret");
    EXPECT_EQ(inspect("select password from user"), QStringList{"old-secret"});

    ASSERT_TRUE(db->updateUserTable("ann", "new-secret", "srv", true));
    ASSERT_TRUE(db->getUserTable(user, password, server));
    EXPECT_EQ(password, "new-secret");
}

TEST_F(DatabaseTest, EmptyTableLeavesTheCallersValues)
{
    QString user = "u", password = "p", server = "s";
    EXPECT_TRUE(db->getUserTable(user, password, server));
    EXPECT_EQ(user + password + server, "ups");
}

TEST_F(DatabaseTest, FailedReplaceKeepsTheOldAccount)
{
    ASSERT_TRUE(db->updateUserTable("old", "old-pw", "old-server", true));
    inspect("create trigger refuse before insert on user when new.username = 'boom' "
            "begin select raise(abort, 'refused'); end");
    EXPECT_FALSE(db->updateUserTable("boom", "pw", "server", true));
    inspect("drop trigger refuse");

    QString user, password, server;
    ASSERT_TRUE(db->getUserTable(user, password, server));
    EXPECT_EQ(user, "old");
    EXPECT_EQ(password, "old-pw");
    EXPECT_EQ(server, "old-server");
}

TEST_F(DatabaseTest, RecentsRoundTripPerRoom)
{
    std::vector<RECENTITEM> written;
    for (const QString& value : kHostile)
        written.push_back({"1001", value, value, 65, 4102444800LL /* 2100-01-01, past 32 bits */, 1});
    written.push_back({"1001", "u0", "unanswered", 0, 1700000000, 0});
    for (const RECENTITEM& item : written)
        ASSERT_TRUE(db->insertRecentsTable(item));
    ASSERT_TRUE(db->insertRecentsTable({"2002", "other", "Other room", 5, 1, 1}));
    ASSERT_TRUE(db->insertRecentsTable({"it's", "q", "quoted room", 5, 1, 1}));

    std::vector<RECENTITEM> read{{"kept", "kept", "kept", 1, 1, 1}};
    ASSERT_TRUE(db->getRecentsTable(read, "1001"));
    ASSERT_EQ(read.size(), written.size() + 1) << "existing records stay, rows are appended";
    EXPECT_EQ(read[0].room, "kept");
    for (size_t i = 0; i < written.size(); ++i) {
        const RECENTITEM& a = written[i];
        const RECENTITEM& b = read[i + 1];
        EXPECT_EQ(std::tie(a.room, a.userid, a.username, a.duration, a.starttime, a.calltype),
                  std::tie(b.room, b.userid, b.username, b.duration, b.starttime, b.calltype))
            << i;
    }

    std::vector<RECENTITEM> quoted;
    ASSERT_TRUE(db->getRecentsTable(quoted, "it's"));
    ASSERT_EQ(quoted.size(), 1u);
    EXPECT_EQ(quoted[0].username, "quoted room");

    std::vector<RECENTITEM> none;
    EXPECT_TRUE(db->getRecentsTable(none, ""));
    EXPECT_TRUE(none.empty());

    ASSERT_TRUE(db->deleteRecents());
    std::vector<RECENTITEM> after;
    EXPECT_TRUE(db->getRecentsTable(after, "2002"));
    EXPECT_TRUE(after.empty()) << "every room is emptied";
}

TEST_F(DatabaseTest, PhotoPathPerUser)
{
    for (const QString& value : kHostile) {
        SCOPED_TRACE(value.left(40).toStdString());
        ASSERT_TRUE(db->updatePhotoTable(value, "/first/" + value));
        ASSERT_TRUE(db->updatePhotoTable(value, "/second/" + value));
        QString photo = "untouched";
        ASSERT_TRUE(db->getPhotoByUserId(value, photo));
        EXPECT_EQ(photo, "/second/" + value);
    }
    EXPECT_EQ(inspect("select count(*) from photos"), QStringList{QString::number(std::size(kHostile))});

    QString photo = "untouched";
    EXPECT_TRUE(db->getPhotoByUserId("nobody", photo));
    EXPECT_EQ(photo, "untouched");
}

// A secret service of the test's own: a private session bus (no service is
// started on demand) with GNOME Keyring's secret service on it, its login
// keyring unlocked, in a temporary home.
class SecretServiceTest : public DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        QFile config(home.filePath("bus.conf"));
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
</policy></busconfig>)");
        config.close();
        bus.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
        ASSERT_TRUE(bus.waitForReadyRead(10000)) << "dbus-daemon (scripts/install-deps.sh installs it)";
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
        ASSERT_TRUE(velto::test::holdSessionBus());

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        keyring.setProcessEnvironment(environment);
        keyring.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
        ASSERT_TRUE(keyring.waitForStarted(10000)) << "gnome-keyring (scripts/install-deps.sh installs it)";
        keyring.write("keyring-password");
        keyring.closeWriteChannel();
        QString unused;
        QDeadlineTimer ready(10000);
        while (secretstore::read("probe", unused) == secretstore::Result::Unavailable && !ready.hasExpired())
            QTest::qWait(50);
        ASSERT_FALSE(ready.hasExpired()) << "the secret service did not come up";
    }

    void TearDown() override
    {
        keyring.kill();
        keyring.waitForFinished();
        bus.kill();
        bus.waitForFinished();
        velto::test::releaseSessionBus();
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    static QByteArray fileBytes()
    {
        QFile file(databasePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir home;
    QProcess bus;
    QProcess keyring;
};

// One test: GLib keeps its first session bus connection for the whole process.
TEST_F(SecretServiceTest, ThePasswordLivesInTheServiceAndLeavesTheFile)
{
    const QString key = secretstore::accountKey("ann", "srv");
    const struct {
        const char* name;
        std::function<void()> save;
        QString column;  // what the file holds before the first read
    } saved[] = {
        {"saved by this version", [&] { EXPECT_TRUE(db->updateUserTable("ann", "s3cret-pw", "srv", true)); }, ""},
        {"left in the file by an earlier version",
         [&] { inspect("insert into user (username,password,server) values ('ann','s3cret-pw','srv')"); },
         "s3cret-pw"},
    };
    for (const auto& c : saved) {
        SCOPED_TRACE(c.name);
        inspect("delete from user");
        secretstore::remove(key);
        c.save();
        EXPECT_EQ(inspect("select password from user"), QStringList{c.column});
        for (int start = 0; start < 2; ++start) {
            QString user, password, server;
            ASSERT_TRUE(db->getUserTable(user, password, server));
            EXPECT_EQ(password, "s3cret-pw");
            EXPECT_EQ(user + "@" + server, "ann@srv");
        }
        EXPECT_EQ(inspect("select password from user"), QStringList{""});
        EXPECT_FALSE(fileBytes().contains("s3cret-pw")) << "not even in freed space";
        QString held;
        EXPECT_EQ(secretstore::read(key, held), secretstore::Result::Done);
        EXPECT_EQ(held, "s3cret-pw");
    }

    // Another account replaces the entry; automatic logon turned off removes it.
    ASSERT_TRUE(db->updateUserTable("bob", "bob-pw", "srv", true));
    QString held;
    EXPECT_EQ(secretstore::read(key, held), secretstore::Result::Missing);
    ASSERT_TRUE(db->updateUserTable("bob", "bob-pw", "srv", false));
    EXPECT_EQ(secretstore::read(secretstore::accountKey("bob", "srv"), held), secretstore::Result::Missing);
    QString user, password = "untouched", server;
    ASSERT_TRUE(db->getUserTable(user, password, server));
    EXPECT_EQ(password, "");

    // A replacement the file refuses leaves no entry behind.
    inspect("create trigger refuse before insert on user when new.username = 'boom' "
            "begin select raise(abort, 'refused'); end");
    EXPECT_FALSE(db->updateUserTable("boom", "boom-pw", "srv", true));
    inspect("drop trigger refuse");
    EXPECT_EQ(secretstore::read(secretstore::accountKey("boom", "srv"), held), secretstore::Result::Missing);
}

}  // namespace
