#include "sqlite3.h"

#include "cglobalinstance.h"
#include "secretstore.h"

#include <QDebug>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <initializer_list>

namespace {

const char* const kConnectionName = "velto_connection";

// Keeps the connection open for the lifetime of one operation; inside an
// outer scope it leaves the connection to that scope.
class OpenScope
{
public:
    explicit OpenScope(QSqlDatabase& db) : m_db(db), m_owner(!db.isOpen()), m_open(db.isOpen() || db.open()) {}
    ~OpenScope()
    {
        if (m_owner)
            m_db.close();
    }
    explicit operator bool() const { return m_open; }

private:
    QSqlDatabase& m_db;
    const bool m_owner;
    const bool m_open;
};

// Prepares `statement`, binds `values` in order and runs it; logs `failure` with
// the query's error when any step fails.
bool run(QSqlQuery& query, const QString& statement, std::initializer_list<QVariant> values,
         const char* failure)
{
    bool ok = query.prepare(statement);
    if (ok) {
        for (const QVariant& value : values)
            query.addBindValue(value);
        ok = query.exec();
    }
    if (!ok)
        qDebug() << failure << query.lastError();
    return ok;
}

} // namespace

Sqlite3* Sqlite3::instance()
{
    // Created once, thread-safely, and kept until the process ends.
    static Sqlite3* const s_instance = new Sqlite3();
    return s_instance;
}

Sqlite3::Sqlite3(QObject* parent)
    : QObject(parent)
    , m_connectionName(kConnectionName)
{
    if (contains(m_connectionName))
        m_database = QSqlDatabase::database(m_connectionName);
    else
        createDatabase(m_connectionName);

    // One open and one commit for the whole schema: each table made on its
    // own would be a write to disk of its own, and a new user waits for it.
    OpenScope scope(m_database);
    const bool batched = scope && m_database.transaction();
    createTable("user",
                "create table user (id integer primary key autoincrement,username varchar(32),"
                "password varchar(32),server varchar(255))");
    createTable("recents",
                "create table recents (id integer primary key autoincrement,room varchar(32),"
                "userid varchar(32),username varchar(32),duration integer,starttime varchar(32),"
                "calltype integer)");
    createTable("photos",
                "create table photos (id integer primary key autoincrement, userid varchar(32),"
                "photo varchar(255))");
    if (batched && !m_database.commit())
        qDebug() << "Error failed to create tables" << m_database.lastError();
}

void Sqlite3::createDatabase(QString connectionName)
{
    const QString path = CGlobalInstance::getDocumentPath() + "/user.db";
    // The file holds a saved password: make it private before SQLite first writes to it.
    QFile file(path);
    if (!file.exists())
        file.open(QIODevice::WriteOnly);
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);

    m_database = QSqlDatabase::addDatabase("QSQLITE", connectionName);
    m_database.setDatabaseName(path);
    m_database.setUserName("root");
    m_database.setPassword("4hxw!QJD");
}

bool Sqlite3::createTable(QString tableName, QString createStatement)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;

    QSqlQuery query(m_database);
    if (!run(query, "select count(*) from sqlite_master where type='table' and name=?",
             {tableName}, "Error failed to get table"))
        return false;
    if (query.next() && query.value(0).toInt() != 0)
        return true;
    return run(query, createStatement, {}, "Error failed to create table");
}

bool Sqlite3::updateUserTable(QString username, QString password, QString server, bool autoLogin)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;
    QString previousUser, previousPassword, previousServer;
    readUserRow(previousUser, previousPassword, previousServer);
    const QString key = secretstore::accountKey(username, server);

    // The secret service first: the column keeps the password only where no
    // service took it.
    const bool kept = autoLogin && !password.isEmpty();
    const bool inService = kept && secretstore::write(key, password) == secretstore::Result::Done;
    QSqlQuery query(m_database);
    // A replaced account's password leaves the file with its row.
    run(query, "pragma secure_delete = on", {}, "Error failed to set secure delete");
    if (!m_database.transaction())
        return false;
    const QString deleteStatement = "delete from user";
    bool ok = run(query, deleteStatement, {}, "Error failed to update user");
    if (ok) {
        qDebug() << "updateUserTable==" << deleteStatement;
        ok = run(query, "insert into user (username,password,server) values (?,?,?)",
                 {username, kept && !inService ? password : QString(""), server},
                 "Error failed to insert user");
    }
    if (!ok || !m_database.commit()) {
        m_database.rollback();
        // The old account stays, and with it its own entry.
        if (inService && key != secretstore::accountKey(previousUser, previousServer))
            secretstore::remove(key);
        return false;
    }
    if (!inService)
        secretstore::remove(key);
    if (!previousUser.isEmpty() && secretstore::accountKey(previousUser, previousServer) != key)
        secretstore::remove(secretstore::accountKey(previousUser, previousServer));
    return true;
}

int Sqlite3::readUserRow(QString& username, QString& password, QString& server)
{
    QSqlQuery query(m_database);
    if (!run(query, "select username,password,server from user", {}, "Error failed to select user"))
        return -1;
    int rows = 0;
    while (query.next()) {
        rows = 1;
        username = query.value(0).toString();
        password = query.value(1).toString();
        server = query.value(2).toString();
    }
    return rows;
}

bool Sqlite3::getUserTable(QString& username, QString& password, QString& server)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;
    QString storedUser, storedPassword, storedServer;
    const int rows = readUserRow(storedUser, storedPassword, storedServer);
    if (rows <= 0)
        return rows == 0;
    const QString key = secretstore::accountKey(storedUser, storedServer);
    if (!storedPassword.isEmpty()) {
        // Saved in the file by an earlier version, or where no secret service
        // ran: moved into the service once one takes it.
        if (secretstore::write(key, storedPassword) == secretstore::Result::Done)
            clearStoredPassword();
    } else if (!storedUser.isEmpty()) {
        secretstore::read(key, storedPassword);
    }
    username = storedUser;
    password = storedPassword;
    server = storedServer;
    return true;
}

void Sqlite3::clearStoredPassword()
{
    QSqlQuery query(m_database);
    // The freed bytes are overwritten too, so the password leaves the file.
    run(query, "pragma secure_delete = on", {}, "Error failed to set secure delete");
    run(query, "update user set password = ''", {}, "Error failed to clear password");
}

bool Sqlite3::insertRecentsTable(RECENTITEM item)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;

    QSqlQuery query(m_database);
    const QString statement = "insert into recents(room,userid,username,duration,starttime,calltype)"
                              " values (?,?,?,?,?,?)";
    if (!run(query, statement,
             {item.room, item.userid, item.username, item.duration, item.starttime, item.calltype},
             "Error failed to insert recents"))
        return false;
    qDebug() << "insertRecentsTable==" << statement;
    return true;
}

bool Sqlite3::getRecentsTable(std::vector<RECENTITEM>& items, QString room)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;

    QSqlQuery query(m_database);
    if (!run(query,
             "select room,userid,username,duration,starttime,calltype from recents where room = ?"
             " order by id",
             {room}, "Error failed to select recents"))
        return false;
    while (query.next()) {
        RECENTITEM item;
        item.room = query.value(0).toString();
        item.userid = query.value(1).toString();
        item.username = query.value(2).toString();
        item.duration = query.value(3).toInt();
        item.starttime = query.value(4).toLongLong();
        item.calltype = query.value(5).toInt();
        items.push_back(item);
    }
    return true;
}

bool Sqlite3::deleteRecents()
{
    OpenScope scope(m_database);
    if (!scope)
        return false;

    QSqlQuery query(m_database);
    const QString statement = "delete from recents";
    if (!run(query, statement, {}, "Error failed to delete recents"))
        return false;
    qDebug() << "deleteRecents==" << statement;
    return true;
}

bool Sqlite3::updatePhotoTable(QString userid, QString photo)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;

    QSqlQuery query(m_database);
    if (!query.prepare("select count(*) from photos where userid=?"))
        return false;
    query.addBindValue(userid);
    if (!query.exec() || !query.next())
        return false;

    const QString statement = query.value(0).toInt() != 0
                                  ? "update photos set photo=? where userid=?"
                                  : "insert into photos(photo,userid) values (?,?)";
    if (!run(query, statement, {photo, userid}, "Error failed to insert photos"))
        return false;
    qDebug() << "updatePhotoTable==" << statement;
    return true;
}

bool Sqlite3::getPhotoByUserId(QString userid, QString& photo)
{
    OpenScope scope(m_database);
    if (!scope)
        return false;

    QSqlQuery query(m_database);
    if (!run(query, "select photo from photos where userid=?", {userid},
             "Error failed to select photos"))
        return false;
    while (query.next())
        photo = query.value(0).toString();
    return true;
}

bool Sqlite3::openDatabase()
{
    return m_database.open();
}

void Sqlite3::closeDatabase()
{
    m_database.close();
}

bool Sqlite3::contains(QString connectionName)
{
    return QSqlDatabase::contains(connectionName);
}
