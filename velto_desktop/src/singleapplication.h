#pragma once

#include <QApplication>
#include <QSharedMemory>
#include <QString>

class QLocalServer;
class QLocalSocket;

// The application object: lets one instance of the program run per user and
// hands the text of a second start to the first. It also turns the platform's
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
    // Connects to the running instance's server, within 1000 ms.
    bool connectToRunning();
    void startServer();
    void watchQuitSignals();

    bool m_isRunning = false;
    QString m_key;
    QSharedMemory m_sharedMemory;
    QLocalServer* m_localServer = nullptr;
    // The connection to the running instance, made while telling a live guard
    // from one a crashed process left behind.
    QLocalSocket* m_peer = nullptr;
};

// Writes every message of the program and of Qt to the daily log file, one
// whole line per message, from any thread.
void myMessageOutput(QtMsgType type, const QMessageLogContext& context, const QString& message);
