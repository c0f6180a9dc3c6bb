// Local database: schema, privacy, round trips of hostile values, transactions.
#include "cglobalinstance.h"
#include "sqlite3.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

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

}  // namespace
