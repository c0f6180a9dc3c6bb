#ifndef SQLITE3_H
#define SQLITE3_H

#include <QMetaType>
#include <QObject>
#include <QSqlDatabase>
#include <QString>

#include <vector>

// One finished one-to-one call as the Recents page lists it.
struct RECENTITEM
{
    QString room;      // personal meeting number of the signed-in user owning the row
    QString userid;    // the other party
    QString username;  // the other party's nickname
    int duration = 0;  // seconds from the start of ringing to the end of the call; 0 = unanswered
    qint64 starttime = 0; // start of ringing, seconds since the epoch
    int calltype = 0;  // 0 incoming, 1 outgoing
};
Q_DECLARE_METATYPE(RECENTITEM)

// The local database in the data folder: the saved account, the recent calls and
// the cached photo paths. Every operation opens the connection, runs its
// statements with bound values and closes it again; main thread only. Each
// returns true when the connection opened and every statement succeeded.
class Sqlite3 : public QObject
{
    Q_OBJECT
public:
    static Sqlite3* instance();

    // Normally reached through instance(); a second object shares the same
    // named connection (and so the same file).
    explicit Sqlite3(QObject* parent = nullptr);

    // Replaces the saved account in one transaction, so a failure keeps the old one.
    // The password is kept only when the user chose automatic logon: in the
    // desktop's secret service where one runs (the column stays empty), else
    // in the column of this owner-only file.
    bool updateUserTable(QString username, QString password, QString server, bool autoLogin);
    // Out-parameters keep the caller's values when no account is saved. A
    // password found in the column (an older version kept it there) moves into
    // the secret service once one runs.
    bool getUserTable(QString& username, QString& password, QString& server);

    bool insertRecentsTable(RECENTITEM item);
    // Appends (without clearing) the rows of the given room in insertion order.
    bool getRecentsTable(std::vector<RECENTITEM>& items, QString room);
    // Empties the recents of every room.
    bool deleteRecents();

    bool updatePhotoTable(QString userid, QString photo);
    bool getPhotoByUserId(QString userid, QString& photo);

    bool openDatabase();
    void closeDatabase();
    bool contains(QString connectionName);

private:
    void createDatabase(QString connectionName);
    // 1 when a row was read, 0 when the table is empty, -1 when the select failed.
    int readUserRow(QString& username, QString& password, QString& server);
    void clearStoredPassword();
    bool createTable(QString tableName, QString createStatement);

    QSqlDatabase m_database;
    QString m_connectionName;
};

#endif // SQLITE3_H
