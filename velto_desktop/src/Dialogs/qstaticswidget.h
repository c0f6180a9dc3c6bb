#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class QStaticsWidget;
}

// The statistics panel that the meeting window shows next to the video under
// the mouse: packet loss and resolution of the stream, and for the moderator
// five buttons acting on the participant shown. One panel per meeting window,
// created hidden without a parent and reused for every participant.
class QStaticsWidget : public QWidget {
    Q_OBJECT
public:
    explicit QStaticsWidget(QWidget* parent = nullptr);
    ~QStaticsWidget() override;

    void setUserJid(std::string jid) { m_userJid = std::move(jid); }
    std::string getUserJid() const { return m_userJid; }
    void setPacketLoss(int download, int upload);
    void setResolution(int w, int h);
    void showWidget(bool isModerator);
    void Init();
    void audioMute(bool mute);
    void videoMute(bool mute);

signals:
    void sigMuteAudio(bool mute);
    void sigMuteVideo(bool mute);
    void sigLeaveStaticsWidget();
    void sigTransferModerator(std::string userjid);

public slots:
    void slotMuteAudio(bool mute);
    void slotMuteVideo(bool mute);

protected:
    void leaveEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool isOwnJid() const;
    void onAudio();
    void onVideo();
    void onTransfer();
    void onKickout();
    void onShowScreen();

    Ui::QStaticsWidget* ui;
    std::string m_userJid;
    bool m_audioMute = false;
    bool m_videoMute = false;
};
