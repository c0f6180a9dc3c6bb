#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class QUserInfoWidget;
}

// One row of a participant list: name, moderator star, client icon, the
// participant's microphone and camera, and for the moderator the hand-over and
// remove buttons. On the own row the media buttons switch the user's own media;
// on another row they ask the server to mute or unmute that participant. The
// list that shows the row owns it.
class QUserInfoWidget : public QWidget {
    Q_OBJECT
public:
    QUserInfoWidget(std::string jid, std::string nickname, bool isSelf, bool isModerator, bool videoMute,
                    bool audioMute, QWidget* parent = nullptr);
    ~QUserInfoWidget() override;

    void setUser(std::string name);
    void setNickName(std::string nickname);
    std::string getUserJid() const { return m_jid; }
    std::string getNickName() const { return m_nickname; }
    bool isSelf() const { return m_isSelf; }
    bool isModeratorShown() const;
    void updateStatus(bool isModerator, bool videoMute, bool audioMute);
    void changeModerator(bool isModerator);
    void grantModeratorBtn();
    void transferMorderatorBtn();

    // Client icon resource for an endpoint, empty when none matches.
    static QString clientIcon(const std::string& endpoint);

signals:
    void sigMuteAudio(bool mute);
    void sigMuteVideo(bool mute);
    void sigTransferModerator(std::string userJid);
    void sigKickout(std::string userJid);
    void sigEnterWidget(std::string name, QPoint point);
    void sigLeaveWidget();

public slots:
    void slotMuteAudio(bool mute);
    void slotMuteVideo(std::string label, bool mute);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void onMuteAudio();
    void onMuteVideo();
    void onTransfer();
    void onKickout();
    void showStar(bool shown);
    void showHandOver(bool shown);

    Ui::QUserInfoWidget* ui;
    std::string m_jid;
    std::string m_nickname;
    bool m_isSelf;
    bool m_isModerator;
    bool m_videoMute;
    bool m_audioMute;
};
