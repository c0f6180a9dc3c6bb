#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "VeltoInterface.h"

class QLabel;
class QNoticeWidget;

// The in-meeting window. The main window builds one per meeting, wires its
// signals to it and calls showWidget(); the window deletes itself when it
// closes and then returns the meeting state to its initial values.
//
// This build holds the main view with the own camera stream, the notices and
// the leave and close sequence; the video tiles, toolbar, participant and
// chat panels are not part of it yet, so the relayed signals reach no panel.
class VideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit VideoWidget(QWidget* parent = nullptr);
    ~VideoWidget() override;

    // Starts the own media with the stored devices and shows the window.
    void showWidget();

signals:
    void sigMessageBox(int code);
    void sigTranslatorLanguage();
    void sigNotifyRecord(bool isRecord);
    void sigAddUser(user_info user);
    void sigGrantAdmin();
    void sigMuteAudio(bool isMute);
    void sigMuteVideo(std::string label, bool isMute);
    void sigLockConference(bool isLock);
    void sigGetInit();
    void sigUpdateLayout();
    void sigHandsUp(std::string action, std::string userjid, std::string nickname);
    void sigSip(std::string sip);
    void sigLostModerator(bool isLost);

public slots:
    void slotUpdateMasterScreen(std::string label, std::string username, bool screen);
    void slotLeaveConference();
    void slotNotice(int notice);
    void slotChangeNickname(std::string nickname);
    void slotShowSubWidget(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                           std::string partipants);
    void slotShowWidget(bool isVisible);
    void slotTranferModerator(std::string userJid);
    void slotRemoveUser(std::string userJid);
    void slotChatMessage(std::string nickname, std::string message);
    void slotAnnotate(std::string action, std::string data, std::string userjid);
    void slotMacVideoWidget();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void closeOwnStream();

    QWidget* m_videoWidget;   // the main view
    QLabel* m_pictureLabel;   // shown instead of the main view while the camera is off
    rtc_render m_ownRender;
    bool m_audioOnly = false;
    bool m_streamOpen = false;  // the own stream runs and renders into the main view
    std::vector<QNoticeWidget*> m_notices;
};
