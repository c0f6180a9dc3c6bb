#pragma once
// The automatic-logon password in the desktop's secret service (the Secret
// Service of GNOME Keyring or KWallet, reached through QtKeychain), one entry
// per account under the service name "velto_desktop". Where no such service
// runs, every call answers Unavailable at once and the caller keeps the
// password in the owner-only database file instead.
//
// QtKeychain works asynchronously; each call here waits for its answer on a
// local event loop (user input is held back meanwhile), at most kTimeoutMs, so
// that a service that asks the user to unlock the keyring has time for it and a
// hung one cannot stall the program. Main thread only.

#include <QString>

namespace secretstore {

enum class Result {
    Done,         // written, read or removed
    Missing,      // the service runs but holds no entry for the account
    Unavailable,  // no service, refused, or no answer in time
};

constexpr int kTimeoutMs = 30000;

// The entry of one saved account: its user name and server.
QString accountKey(const QString& username, const QString& server);

Result write(const QString& key, const QString& password);
Result read(const QString& key, QString& password);
Result remove(const QString& key);

}  // namespace secretstore
