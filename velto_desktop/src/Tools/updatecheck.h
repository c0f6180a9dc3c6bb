#ifndef UPDATECHECK_H
#define UPDATECHECK_H

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

// What the update manifest says about the newest package.
struct UpdateInfo {
    QString version;
    QString fileName;
    QString downPath;
    QString md5;
};

// One fetch of the update manifest, sent when it is made, without blocking
// the caller. It ends exactly once with `finished`: when the answer is in, or
// when `timeoutMs` passed without one (a silent server counts as no answer).
// Main thread only.
class UpdateCheck : public QObject {
    Q_OBJECT
public:
    explicit UpdateCheck(int timeoutMs, QObject* parent = nullptr);
    ~UpdateCheck() override;

    bool isFinished() const { return m_finished; }
    // Writes the members the answer carries over `info` and returns true when
    // a 2xx answer parsed as JSON; otherwise returns false and leaves `info`.
    bool read(UpdateInfo& info) const;
    // The answer's members, empty where it says nothing or did not come.
    UpdateInfo info() const;

    // Start-up sends its check this early, before any window exists, so that
    // the answer is on its way while the windows are built.
    static void sendAtStartup();
    // The check sendAtStartup sent, handed over once (the caller becomes its
    // parent); a new one when none is waiting.
    static UpdateCheck* takeStartupCheck(QObject* parent);
    // The start-up decision waits this long at most, unless a test that is
    // not about the deadline lengthens it.
    static constexpr int kStartupTimeoutMs = 1500;
    static void setStartupTimeout(int milliseconds);
    // A check the user asked for may wait a little longer.
    static constexpr int kMenuTimeoutMs = 5000;

signals:
    void finished();

private:
    void send();
    void replyFinished();
    void finish();

    QNetworkAccessManager* m_manager = nullptr;
    QNetworkReply* m_reply = nullptr;
    QTimer* m_deadline = nullptr;
    bool m_finished = false;
    bool m_answered = false;  // a 2xx answer arrived
    QByteArray m_body;
};

#endif // UPDATECHECK_H
