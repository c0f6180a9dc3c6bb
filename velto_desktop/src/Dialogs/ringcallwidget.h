#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class RingCallWidget;
}

// The incoming-call window: who calls and how, the ring tone, Accept and
// Reject. Slides up into the bottom-right corner. Parentless, one per
// received invite; deletes itself when it closes, and stops its own share
// of the ring tone exactly once.
class RingCallWidget : public QWidget {
    Q_OBJECT
public:
    RingCallWidget(std::string userJid, std::string roomId, int callType, std::string nickname,
                   std::string meetPassword, QWidget* parent = nullptr);
    ~RingCallWidget() override;

    void showWidget();
    void closeWidget();
    const std::string& callerJid() const { return m_userJid; }

signals:
    // "accept" went out to this caller: its "join" is expected.
    void sigCallAccepted(std::string userJid);
    // "reject" went out to this caller: the call is over on this side.
    void sigCallRefused(std::string userJid);

public slots:
    void slotTranslatorLanguage();
    void slotCloseRingCallWidget(std::string userJid);
    void slotJoin();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void accept();
    void reject();
    void stopTone();
    void applyTitle();

    Ui::RingCallWidget* ui;
    std::string m_userJid;
    std::string m_roomId;
    std::string m_password;
    int m_callType;
    std::string m_nickname;
    bool m_ringing = false;
};
