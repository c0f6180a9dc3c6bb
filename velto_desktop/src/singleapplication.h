#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;
class QLockFile;
class QLocalSocket;

// The application object: lets one instance of the program run per user and
// hands the text of a second start to the first. The guard is a lock file of
// the user's (only the death of its holder frees it, so two starts at once
// cannot both win), and the message socket is named per user and open to
// that user only. It also turns the platform's
// quit requests (the application's close event, and SIGTERM, SIGINT or SIGHUP
// from the session) into sigQuit.
class SingleApplication : public QApplication {
    Q_OBJECT
public:
    SingleApplication(int& argc, char** argv, const QString& key);
    ~SingleApplication() override;

    // True when another instance answers under the key.
    bool isRunning() const { return m_isRunning; }
    // Sends the text to the running instance; true when it was written.
    bool sendMessage(const QString& message);

signals:
    void messageAvailable(QString message);
    void sigQuit();

public slots:
    void receiveMessage();

protected:
    bool event(QEvent* event) override;

private:
    // Connects to the running instance's server, within 1000 ms (the first
    // instance may still be setting its server up).
    bool connectToRunning();
    void startServer();
    void watchQuitSignals();

    bool m_isRunning = false;
    QString m_key;  // the given key and the user: the lock's and the server's name
    QLockFile* m_lock = nullptr;
    QLocalServer* m_localServer = nullptr;
    // The connection to the running instance, made while telling a live guard
    // from one a crashed process left behind.
    QLocalSocket* m_peer = nullptr;
};

// Writes every message of the program and of Qt to the daily log file, one
// whole line per message, from any thread.
void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& message);
