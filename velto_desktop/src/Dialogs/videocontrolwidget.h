#pragma once

#include <QMutex>
#include <QWidget>

#include <string>
#include <vector>

class QTimer;
class QToolButton;
class TipWidget;

namespace Ui {
class VideoControlWidget;
}

// The control bar of a running meeting: a frameless, always-on-top tool window
// with one row of icon buttons. The meeting window creates exactly one without
// a parent, places, shows, hides and deletes it. The toolbar keeps the state of
// its toggle buttons, reports view changes by signals, and calls the SDK
// directly for the own media, whiteboard messages, recording, lock, hands-up
// and leaving. Main thread only.
//
// The meeting's one-shot dialogs (layout manager, call-out, hands-up list,
// moderator claim) and the drawer whiteboard window are opened by whoever
// connects the request signals below (sigLayoutManager, sigCallOut,
// sigHandsUpList, sigGetModerator, sigWhiteboard); outgoing-call panels are
// handed to placeCallPanel() and given back with removeCallPanel().
class VideoControlWidget : public QWidget {
    Q_OBJECT
public:
    explicit VideoControlWidget(QWidget* parent = nullptr);
    ~VideoControlWidget() override;

    void setBtnVisible(bool isModerator);
    void setShareBtnStatus(bool isShare);
    void showAnnotate(bool show);
    void setHandsUpVisible(bool visible);
    void setFullScreen(bool isFullScreen);
    void hasChatMessage();
    void hideWidget();
    void setUsername(std::string name);
    void messgebox(int code);

    // Leaves the meeting through the SDK; an anonymous user is logged out too.
    // Returns LeaveConference's result.
    static int leaveConference();
    // Logs an anonymous user out after the leave.
    static void endAnonymousSession();

    // Outgoing-call panels stack upward from the bottom-right screen corner.
    void placeCallPanel(QWidget* panel);
    void removeCallPanel(QWidget* panel);
    std::vector<QWidget*> callPanels() const;

    bool isSharing() const { return m_sharing; }
    bool isRecording() const { return m_recording; }
    bool isLocked() const { return m_locked; }

signals:
    void sigMicPhone(bool mute);
    void sigVideoMute(std::string label, bool mute);
    void sigShareStream(bool isShare);
    void sigUserInfo(bool isVisible);
    void sigSubVideoVisible(bool isVisible);
    void sigRecordVisible(bool isVisible);
    void sigGetInit();
    void sigVideoWidgetVisible(bool isVisible);
    void sigUpdateLayout();
    // The pending hands-up requests changed: "apply" for a new one, "agree",
    // "refuse" or "cancel" for one that is gone (CGlobalInstance::handsup_list
    // holds them).
    void sigHandsUp(std::string action, std::string userjid, std::string nickname);
    void sigLocalVideo(bool isVisible);
    void sigFullscreen(bool isFullScreen);
    void sigChatVisible(bool isVisible);
    void sigSip(std::string sip);
    void sigAnnotate(bool isAnnotate);
    // Requests for the meeting's dialogs and the whiteboard window.
    void sigLayoutManager();
    void sigCallOut(int kind);  // 0 SIP / H.323 address, 1 telephone number
    void sigHandsUpList();
    void sigGetModerator();
    void sigWhiteboard(bool open);  // after a successful "create" (true) or "destroy" (false)
    // The SDK refused the leave (no media engine): the meeting window closes by itself.
    void sigLeaveRefused();

public slots:
    void slotMicPhone(bool mute);
    void slotMuteAudio(bool isMute);
    void slotMuteVideo(bool isMute);
    void slotNotifyRecord(bool isRecord);
    void slotGrantAdmin();
    void slotTransferModerator();
    void slotLockConference(bool isLock);
    void slotHandsUp(std::string action, std::string userjid, std::string nickname);
    void slotShowCallWidget(std::string sip);
    void slotLostModerator(bool isLost);
    // The hands-up list reports that no request is left.
    void slotHideHandsUpRing();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEvent*) override {}
    void leaveEvent(QEvent*) override {}

private:
    void connectButtons();
    static void setActive(QToolButton* button, bool active);
    void onMicPhone();
    void onVideo();
    void onPatipants();
    void onChat();
    void onShare();
    void onAnnotate();
    void onWhiteboard();
    void onLayout();
    void onCall(int kind);
    void onScreen();
    void onLocal();
    void onFullScreen();
    void onClose();
    // Record, hands-up, ring and lock (videocontrolwidget_record.cpp).
    void onRecord();
    void onHandsUp();
    void onRing();
    void onLock();
    void onRecordBlink();
    void onRecordRequestTimeout();
    void onRecordReenable();
    void onRingBlink();
    void setRecordLook(bool recording);
    void closeWhiteboard();

    Ui::VideoControlWidget* ui;
    int m_recordBlink = 0;
    int m_ringBlink = 0;
    bool m_sharing = false;
    bool m_patipants = false;
    bool m_locked = false;
    bool m_recording = false;
    bool m_local = false;
    bool m_fullScreen = false;
    bool m_chat = false;
    bool m_stripHidden = false;
    bool m_annotating = false;
    bool m_whiteboardOpen = false;  // this toolbar opened the drawer whiteboard
    std::string m_username;
    QTimer* m_recordBlinkTimer;
    QTimer* m_recordRequestTimer;
    QTimer* m_recordReenableTimer;
    QTimer* m_ringBlinkTimer;
    TipWidget* m_tip;
    std::vector<QWidget*> m_callPanels;  // owned; oldest first
    mutable QMutex m_callMutex;
};
