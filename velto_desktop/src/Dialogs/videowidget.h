#pragma once

#include <QMutex>
#include <QPoint>
#include <QRect>
#include <QWidget>

#include <functional>
#include <string>
#include <vector>

#include "VeltoInterface.h"

class QLabel;
class QListWidgetItem;
class QNicknameWidget;
class QNoticeWidget;
class QScreenshareWhiteboard;
class QStaticsWidget;
class QTimer;
class QTopWidget;
class QUserInfoWidget;
class QWindow;
class SubVideoWidget;
class TipWidget;
class VideoControlWidget;

namespace Ui {
class VideoWidget;
}

// The in-meeting window. The main window builds one per meeting (inside the
// SDK's create or join call), wires its signals to it and calls showWidget();
// the window deletes itself when it closes (WA_DeleteOnClose, so always through
// the event loop).
//
// It owns the toolbar, the statistics panel, the self view and the tooltip
// (top-level windows without a Qt parent) and deletes them; the tiles, the
// picture label and the nickname label are its Qt children. It starts the own
// media when it opens and runs the leave sequence once: every render it started
// is stopped before any renderer goes, and the meeting state of CGlobalInstance
// is reset there, not in the destructor, so that a meeting that starts before
// this window's deferred deletion keeps its state. Main thread only.
//
// One concern per file: videowidget.cpp (frame, start, leave, notices),
// _layout (tile pool and geometry, side panels), _stage (stage and main view),
// _participants, _chat, _hover (control bar and statistics panel), _share
// (screen share and annotation).
class VideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit VideoWidget(QWidget* parent = nullptr);
    ~VideoWidget() override;

    // Starts the own media with the stored devices and shows the window.
    void showWidget();
    void setConferenceInfo();
    // Texts of the meeting-data panel (also the information panel's).
    static QString meetingTypeText(int type);
    static QString roleText(bool moderator);

    // Video wall
    void createSubVideoWidget(int);
    void calcSubVideoWidget(SubVideoWidget* tile, int index);
    void calcSubVideoWidget(SubVideoWidget* tile, int count, int index);
    void resizeWidget();
    SubVideoWidget* getVideoWidgetByJid(std::string jid);
    void removeAllStream();

    // Participant list
    void setUserListWidget();
    void addItemWidget(std::string jid, std::string nickname, bool isSelf, bool isModerator, bool videoMute,
                       bool audioMute);
    void closeAllWidgets();
    void updateUserName(user_info user);

    // Chat
    void sendMessage();
    static QString getMessage(QString nickname, QString text);
    static QString stringToHtmlFilter(QString text);

    // Control bar
    void isVisibleControlWidget(bool visible);

    // What the window holds (tests and benchmarks look at it).
    VideoControlWidget* toolbar() const { return m_toolbar; }
    QStaticsWidget* staticsWidget() const { return m_statics; }
    QNicknameWidget* nicknameWidget() const { return m_nickname; }
    QTopWidget* selfView() const { return m_topWidget; }
    const std::vector<SubVideoWidget*>& tiles() const { return m_tiles; }
    std::vector<QUserInfoWidget*> participantRows() const;
    const rtc_render& ownRender() const { return m_ownRender; }
    const rtc_render& masterRender() const { return m_masterRender; }
    unsigned selfViewRenderId() const { return m_selfRenderId; }
    int tileCount() const { return m_tileCount; }

signals:
    void sigMessageBox(int code);
    void sigGrantAdmin();
    void sigMuteAudio(bool isMute);
    void sigMuteVideo(std::string label, bool isMute);
    void sigAddUser(user_info user);
    void sigCreateAnnotate(std::string userjid);
    void sigNotifyRecord(bool isRecord);
    void sigLockConference(bool isLock);
    void sigTranslatorLanguage();
    void sigGetInit();
    void sigAnnotateGetInit(std::string userjid);
    void sigUpdateLayout();
    void sigHandsUp(std::string action, std::string userjid, std::string nickname);
    void sigChangeNickname(std::string nickname);
    void sigSip(std::string sip);
    void sigDrawLine(QPoint start, QPoint end, QString penType, QString penColor, int penSize);
    void sigDrawText(QPoint point, QString text);
    void sigClear();
    void sigLostModerator(bool isLost);
    void sigKickout(int);
    void sigRemoveUser(std::string);
    // The toolbar opened (true) or closed (false) the drawer whiteboard.
    void sigWhiteboard(bool open);

public slots:
    void slotUpdateMasterScreen(std::string label, std::string username, bool screen);
    void slotLeaveConference();
    void slotShareStream(bool isShare);
    void slotShowUserInfoWidget(bool isVisible);
    void slotShowChatWidget(bool isVisible);
    void slotShowSubVideoWidget(bool isVisible);
    void slotAddSecondStream(std::string label);
    void slotRemoveSecondStream(std::string label);
    void slotVideoMute(std::string label, bool isMute);
    void slotNotice(int notice);
    void slotChangeNickname(std::string nickname);
    void slotShowSubWidget(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                           std::string partipants);
    void slotShowWidget(bool isVisible);
    void slotTranferModerator(std::string userJid);
    void slotAddUser(user_info user);
    void slotRemoveUser(std::string userJid);
    // `userJid` answered a call placed from here into this meeting: shown
    // once the stage tells where (see showCalleeIfLeftOut).
    void showCallee(std::string userJid);
    void slotChatMessage(std::string nickname, std::string message);
    void slotAnnotate(bool isAnnotate);
    void slotAnnotate(std::string action, std::string data, std::string userjid);
    void slotMacVideoWidget();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent*) override {}
    void enterEvent(QEvent*) override {}
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // A moderator's chosen list leaves out whoever joins later: the answered
    // callee is added to it once (videowidget_stage.cpp).
    void showCalleeIfLeftOut();
    void connectToolbar();
    // The meeting tools' dialogs on the toolbar's requests (videowidget_tools.cpp).
    void connectTools();
    void showCallPanel(std::string sip);
    // The annotation overlay, made with every connection on first use
    // (videowidget_share.cpp); closed and deleted later.
    QScreenshareWhiteboard* annotationOverlay();
    void adoptAnnotationOverlay(QScreenshareWhiteboard* overlay);
    void closeAnnotationOverlay();
    void connectStatics();
    void closeOwnStream();
    void resetMeetingState();
    void showMainPicture(const char* resource);
    void showMainVideo();
    void onSelfView(bool isVisible);
    void startSelfViewRender();
    void stopSelfViewRender();
    void onGrantAdmin();
    void onParticipant(user_info user);
    void pollCursor();
    void showToolbarWindow();
    void keepToolbarOnScreen();
    void hideControlBarTimeout();
    // The focus comes back to the meeting when a window of the program that
    // held it goes (a dialog or the share picker closed), with or without a
    // window manager to hand it back.
    void followFocus(QWindow* focus);
    void onFocusWindowHidden(bool visible);
    void onTileEnter(int x, int y, int width);
    void onNicknameEnter(int x, int y);
    // anchor: the hovered tile or name on the screen, which keeps the panel.
    void showStatistics(const std::string& jid, unsigned renderId, const QRect& anchor,
                        const std::function<QRect(bool moderator, int height)>& place);
    void armStatsHide();
    void hideStatsUnlessHovered();
    void onTileStat(std::string userJid, int download, int upload);
    void removeSecondStream();
    void openSharePicker();
    void resetVideoWidgetPosX(rtc_render render, int i);
    void startHoverTimer();
    void stopHoverTimer();
    int videoAreaWidth() const;
    void showPanel(QWidget* panel, bool isVisible);

    Ui::VideoWidget* ui;
    rtc_render m_ownRender;     // id 0 until the own stream renders
    rtc_render m_masterRender;  // what the main view renders now
    VideoControlWidget* m_toolbar;
    QStaticsWidget* m_statics;
    QLabel* m_pictureLabel;
    QTopWidget* m_topWidget;
    unsigned m_selfRenderId = 0;
    QNicknameWidget* m_nickname;
    TipWidget* m_tip;
    std::string m_shareLabel;
    QWidget* m_annotation = nullptr;  // the annotation overlay while one exists
    std::vector<SubVideoWidget*> m_tiles;
    std::vector<QNoticeWidget*> m_notices;
    std::vector<QListWidgetItem*> m_items;
    QTimer* m_pollTimer;
    QTimer* m_hideTimer;
    QTimer* m_statsHideTimer;
    QRect m_statsAnchor;  // what the statistics panel describes, on the screen
    QPoint m_lastCursor;
    std::string m_ownNickname;
    std::string m_calleeToShow;  // an answered callee, until a stage update showed him
    bool m_audioOnly = false;
    bool m_tilesShown = true;
    int m_tileCount = 0;
    int m_toolbarX = 0;
    int m_widthBeforeWidening = 0;
    // Minimised once: X may still hold the hint to map it minimised.
    bool m_iconicHintMayStay = false;
    QMutex m_chatMutex;
    QMutex m_layoutMutex;
    bool m_starting = false;    // inside showWidget(), itself inside the SDK's join call
    bool m_streamOpen = false;  // the own stream runs
    bool m_left = false;        // the leave sequence has run
};
