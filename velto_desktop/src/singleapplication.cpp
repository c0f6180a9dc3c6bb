#include "singleapplication.h"

#include <QDateTime>
#include <QDebug>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QMutex>
#include <QThread>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#include "cglobalinstance.h"

namespace {

constexpr int kWaitMs = 1000;

// Self-pipe that carries a quit signal from the signal handler to the event loop.
int quitPipe[2] = {-1, -1};

void onQuitSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(quitPipe[1], &byte, 1);
}

}  // namespace

void myMessageOutput(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    static QMutex mutex;
    // A message raised while a line is being written (say, by the file system
    // layer) would wait on the mutex this thread holds; drop it instead.
    static thread_local bool writing = false;
    if (writing)
        return;
    QMutexLocker lock(&mutex);
    writing = true;

    // One clock reading: a line written at midnight goes to the file of its own day.
    const QDateTime now = QDateTime::currentDateTime();
    // One substitution pass, so a "%1" inside a file name or message stays as it is.
    const QString line = QString("%1 (%2:%3) %4")
                             .arg(now.toString("hh:mm:ss"), QString::fromUtf8(context.file ? context.file : ""),
                                  QString::number(context.line), message);
    QFile file(CGlobalInstance::getLogPath() + now.toString("yyyy-MM-dd") + "_log.txt");
    if (file.open(QIODevice::ReadWrite | QIODevice::Append)) {
        QTextStream stream(&file);
        stream.setCodec("UTF-8");
        stream << line << "\r\n";
        stream.flush();
        file.close();
    }
    writing = false;
}

SingleApplication::SingleApplication(int& argc, char** argv, const QString& key)
    : QApplication(argc, argv), m_key(key + "-" + QString::number(::getuid()))
{
    m_lock = new QLockFile(QDir::tempPath() + "/" + m_key + ".lock");
    // Only a holder that has died leaves a stale lock, however long it ran.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        startServer();
        return;
    }
    if (m_lock->error() == QLockFile::LockFailedError) {
        m_isRunning = true;
        return;
    }
    qDebug() << "Unable to create single instance.";
    watchQuitSignals();
}

SingleApplication::~SingleApplication()
{
    if (quitPipe[0] >= 0) {
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        ::close(quitPipe[0]);
        ::close(quitPipe[1]);
        quitPipe[0] = quitPipe[1] = -1;
    }
    delete m_lock;  // unlocks
}

bool SingleApplication::connectToRunning()
{
    if (!m_peer)
        m_peer = new QLocalSocket(this);
    if (m_peer->state() == QLocalSocket::ConnectedState)
        return true;
    const QDeadlineTimer deadline(kWaitMs);
    for (;;) {
        m_peer->connectToServer(m_key, QIODevice::WriteOnly);
        if (m_peer->waitForConnected(int(deadline.remainingTime())))
            return true;
        if (deadline.hasExpired())
            break;
        m_peer->abort();
        QThread::msleep(20);
    }
    qDebug() << "waitForConnected == " << m_peer->errorString();
    return false;
}

void SingleApplication::startServer()
{
    m_localServer = new QLocalServer(this);
    m_localServer->setSocketOptions(QLocalServer::UserAccessOption);
    // Only the lock's holder gets here: a socket of that name is a dead one's.
    QLocalServer::removeServer(m_key);
    connect(m_localServer, &QLocalServer::newConnection, this, &SingleApplication::receiveMessage);
    if (!m_localServer->listen(m_key))
        qDebug() << "listen == " << m_localServer->errorString();
    watchQuitSignals();
}

void SingleApplication::watchQuitSignals()
{
    if (quitPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, quitPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(quitPipe[0], &byte, 1);
        emit sigQuit();
    });
    struct sigaction action = {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

bool SingleApplication::sendMessage(const QString& message)
{
    if (!m_isRunning || !connectToRunning())
        return false;
    m_peer->write(message.toUtf8());
    if (!m_peer->waitForBytesWritten(kWaitMs)) {
        qDebug() << "waitForBytesWritten == " << m_peer->errorString();
        return false;
    }
    m_peer->disconnectFromServer();
    return true;
}

void SingleApplication::receiveMessage()
{
    QLocalSocket* socket = m_localServer->nextPendingConnection();
    if (!socket)
        return;
    if (!socket->waitForReadyRead(kWaitMs)) {
        qDebug() << socket->errorString();
        socket->deleteLater();
        return;
    }
    const QByteArray bytes = socket->readAll();
    const int end = bytes.indexOf('\0');
    emit messageAvailable(QString::fromUtf8(end < 0 ? bytes : bytes.left(end)));
    socket->disconnectFromServer();
    socket->deleteLater();
}

bool SingleApplication::event(QEvent* event)
{
    if (event->type() == QEvent::Close) {
        emit sigQuit();
        return true;
    }
    return QApplication::event(event);
}
