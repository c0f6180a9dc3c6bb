#pragma once

#include <QDateTime>
#include <QMainWindow>
#include <QPoint>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "VeltoInterface.h"
#include "cglobalinstance.h"
#include "Tools/sqlite3.h"

namespace Ui {
class MainWindow;
}
class CalendarWidget;
class DetailReservationWidget;
class DetailWidget;
class LoginWidget;
class QBaseContactsWidget;
class QBaseSearchLineEdit;
class QListWidget;
class RingCallWidget;
class MessageBox;
class QAction;
class QMenu;
class QMenuBar;
class QTcpSocket;
class QTimer;
class SystemTray;
class UpdateCheck;
struct UpdateInfo;
class VideoWidget;
class WhiteboardWidget;

// The running version, compared with the update manifest's.
inline constexpr char kAppVersion[] = "1.0.9";
// The conference server used when the user names none: the local conference
// server that the run script starts.
inline constexpr char kDefaultServer[] = "localhost:8443";
// The server the user named, or the default one when the field was left empty.
inline std::string serverOrDefault(const std::string& server) { return server.empty() ? kDefaultServer : server; }

// The five home pages.
enum ePAGE { HOME_PAGE = 0, MEET_PAGE = 1, RESERVATION_PAGE = 2, RECENTS_PAGE = 3, CONTACTS_PAGE = 4 };

// One pending one-to-one call of the call book.
struct RINGCALLITEM {
    std::string nickname;
    int64_t starttime = 0;  // seconds since the epoch
    int64_t endtime = 0;    // 0 until the call ends
    int calltype = 0;       // 0 incoming, 1 outgoing
};

// The home window after a login, and the hub of the program's events: the
// callback bridge turns every SDK event into one of its signals, which it
// handles itself or passes on to the meeting window it creates.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void selectedPage(ePAGE page);
    void unselectedPage(ePAGE page);
    void setHomePageBtnStatus(bool enable);

    // The call book: one entry per user id from ringing to the end of a call.
    void insertRingCallList(std::string userId, std::string nickName, int callType);
    void removeRingCallList(std::string userId, bool answered);

    // Stops the periodic network check; a login that succeeded needs none.
    void stopNetworkCheck();
    // Interval of the network check; 5000 ms unless a test shortens it.
    static void setNetworkCheckInterval(int milliseconds);

    // True when the update manifest's version calls for the update dialog.
    static bool offersUpdate(const QString& latestVersion);
    // True once the first window (login page or update dialog) is shown; it
    // waits for the update check that start-up sent.
    bool startPageShown() const { return m_startPageShown; }

    // Message boxes of the shell: modal, parentless, deleting themselves.
    // Default keeps the box's own look; Notice has OK only, Question OK and Cancel.
    enum class PromptKind { Default, Notice, Question };
    static MessageBox* showMessageBox(int code, PromptKind kind);
    // Device gate before a meeting: a missing camera asks whether to go on
    // without video, any other missing device stops with a message; next runs
    // (within context's lifetime) when the meeting may start.
    static void runAfterDeviceCheck(QObject* context, const std::function<void()>& next);

#ifdef Q_OS_MACOS
    static void setupDockClickHandler();
#endif

    // Puts the window, before it is first shown, where it was when its
    // position was last saved; without a saved position Qt places it.
    void restorePosition();

    LoginWidget* loginWidget() const { return m_loginWidget; }
    SystemTray* systemTray() const { return m_tray; }
    ePAGE currentPage() const { return m_currentPage; }
    // The number of the user's personal meeting room, as the Meet page shows it.
    std::string personalRoom() const;

signals:
    void sigStartConference();
    void sigSetConferenceInfo(std::string conferenceId);
    void sigAddStream(std::string label, bool screen);
    void sigRemoveStream(std::string label);
    void sigUpdateMyConferences(conferences data);
    void sigGetContacts(conference_contacts& data);
    void sigGetSearchContacts(conference_contacts& data);
    void sigRingCall(std::string userJid, std::string type, std::string roomId, std::string nickname,
                     int callType, int isCaller, std::string meetPassword);
    void sigUpdateMasterScreen(std::string label, std::string username, bool screen);
    void sigLeaveConference();
    void sigNotifyRecord(bool isRecord);
    void sigAddUser(user_info user);
    void sigRemoveUser(std::string userJid);
    void sigGrantAdmin();
    void sigTransferModerator(std::string userJid);
    void sigKickout();
    void sigMuteAudio(bool isMute);
    void sigMuteVideo(bool isMute);
    void sigMuteVideo(std::string label, bool isMute);
    void sigLockConference(bool isLock);
    void sigCloseRingCallWidget(std::string userJid);
    void sigRingClose(std::string type, std::string userJid);
    // The callee of a call placed from here joined the meeting: the meeting window shows him.
    void sigShowCallee(std::string userJid);
    void sigRingingStatus(std::string userId);
    void sigPresence(std::string userId, bool onLine);
    void sigUpdateRecentItem(RECENTITEM item);
    void sigUpdateRecentItemStatus(std::string userId, bool onLine);
    void sigMessageBox(int code);
    void sigNotice(int notice);
    void sigChangeNickname(std::string nickname);
    void sigActiveVideoWidget();
    void sigDownloadImage(QString url);
    void sigSplitScreen(int splitScreen);
    void sigShowSubWidget(std::string stageJid, bool screen, std::string ssrc, int splitScreen,
                          std::string partipants);
    void sigCloseSubWidget(int count);
    void sigWhiteBoard(std::string action, std::string data);
    void sigAnnotate(std::string action, std::string data, std::string userjid);
    void sigDrawWhiteboard(QPoint start, QPoint end, QString penType, QString penColor, int penSize);
    void sigTextWhiteboard(QPoint point, QString text);
    void sigClearWhiteboard();
    void sigGetInit();
    void sigShowVideoWidget(bool isVisible);
    void sigStat(std::string userJid, int download, int upload);
    void sigUpdateLayout();
    void sigHandsUp(std::string action, std::string userjid, std::string nickname);
    void sigChat(std::string nickname, std::string msg);
    void sigDelayConference(std::string msg);
    void sigNetworkError();
    void sigSip(std::string sip);
    void sigActiveWidget();
    void sigMinOrHideVideoWidget(bool isHide);
    void sigLostModerator(bool isLost);
    void sigMacVideoWidget();

public slots:
    void slotTranslatorLanguage();
    void slotReceiveMessage(QString message);
    void slotActiveWidget();
    void slotQuit();

    void slotStartConference();
    void slotSetConferenceInfo(std::string conferenceId);
    void slotMessageBox(int code);
    void slotDelayConference(std::string msg);
    void slotMuteVideo(bool isMute);
    void slotKickout();
    void slotAddUser(user_info user);
    void slotRemoveUser(std::string userJid);
    void slotLeaveConference();
    // After the meeting window has gone: brings back the main window, or the
    // login page after an anonymous join (not on macOS, which has the dock).
    void showAfterMeeting();
    void slotCreateConference();
    void slotJoinConference();

    void slotNetworkError();
    void slotCheckNetwork();

    // Meet and Reservation pages
    void slotUpdateMyConferences(const conferences& data);

    // Contacts, presence, recents and the own photo
    void slotShowContacts(conference_contacts& data);
    void slotPresence(std::string userId, bool onLine);
    void slotUpdateRecentItem(RECENTITEM item);
    void slotDownloadImage(QString url);

    // Ring calls
    void slotRingCall(std::string userJid, std::string type, std::string roomId, std::string nickName,
                      int callType, int isCaller, std::string meetPassword);
    void slotRinging(std::string userId, int callType, std::string nickName, int64_t time);
    void slotRingTimeout(std::string nickName);

public:
    // Meet and Reservation pages
    void getConferences(int count, std::string date, QListWidget* list, int page, QString status);
    // Removes every row of a list together with its row widget.
    static void clearListWidget(QListWidget* list);
    void createReservationMeetWidget(const conferences_info* info);
    void setUserOnline();
    void searchContactByName(QString text);
    void updateRecentItems();

public slots:
    // The whiteboard relay: opens, feeds and closes the read-only whiteboard.
    void slotWhiteBoard(std::string action, std::string data);

public:
    // Closes the read-only whiteboard, if one is open, without a signal.
    void clearWhiteboard();
    WhiteboardWidget* viewerWhiteboard() const { return whiteboardWidget; }
    WhiteboardWidget* drawerWhiteboard() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void addMenuBar();
    // The menu bar's Min and Close: they act on the login page, the meeting
    // window or this window, whichever is the user's current window.
    void minimiseOrHideCurrentWindow(bool hideIt);
    // A window opened from here: a new one per request, deleted when it
    // closes, closed when the network is lost, following the tray's language.
    template <typename Window>
    Window* openWindow(Window* window);
    void showOverThis(QWidget* window);
    void createMenu();
    void showMenuText();
    void initHomePage();
    void waitForUpdateCheck();
    void showStartPage(UpdateInfo info);
    void switchPage(ePAGE page);
    bool cameraBusy();
    void endAnsweredCall();
    void initVideoWidget();
    // Opens and closes the drawer's whiteboard as the meeting's toolbar asks.
    void connectDrawerWhiteboard(VideoWidget* video);
    void deleteWhiteboards();
    void logout();
    void exitApplication();
    // What a logout and a lost meeting share: the call book, the meeting and
    // the recents rows go, the login flags drop.
    void dropSession();
    void checkNetwork();
    void finishProbe(bool reachable);
    void savePosition();
    void showProfile();
    void showPreferences();
    void showUpdate();

    // Meet and Reservation pages (mainwindow_meetings.cpp)
    void initMeetPage();
    void initReservationPage();
    void reloadMeetList();
    void reloadReservationList();
    void setPageDate(bool reservation, const QDateTime& date);
    void moveMeetDate(int days);
    void moveReservationDate(int days);
    void openCalendar(bool reservation);
    void slotSelectedDate(const QDate& date);
    void showMeetingDetails(QListWidget* list, const std::string& meetId);
    void copyPersonalShareLink();
    void appendRow(QListWidget* list, QWidget* row, bool atTop = false);
    // Rows as wide as their list's viewport, which a vertical scroll bar narrows.
    void fitRows(QListWidget* list);
    QList<QListWidget*> m_rowLists;  // lists whose viewport resizes refit their rows

    // Contacts and recents (mainwindow_contacts.cpp)
    void initRecentsPage();
    void initContactsPage();
    void clearRecents();
    void addContactRow(const conference_contact& contact, bool online);
    void showAddContacts();
    void requestContacts();
    void showOwnPhoto(const QString& path);
    void showDefaultPhoto();

    // Ring calls (mainwindow_ringcall.cpp)
    void sendProcessed();
    // The book holds a call with this user in this direction (0 incoming, 1 outgoing).
    bool hasPendingCall(const std::string& id, int callType) const;

    Ui::MainWindow* ui;
    SystemTray* m_tray = nullptr;
    LoginWidget* m_loginWidget = nullptr;
    bool m_startPageShown = false;
    QPointer<UpdateCheck> m_menuUpdateCheck;
    CalendarWidget* m_calendar = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_popupMenu = nullptr;
    QAction* m_actProfile = nullptr;
    QAction* m_actPreference = nullptr;
    QAction* m_actUpdate = nullptr;
    QAction* m_actLogout = nullptr;
    QAction* m_actExit = nullptr;
    ePAGE m_currentPage = ePAGE(0);
    bool m_dragging = false;
    QPoint m_pressPoint;
    bool m_homeButtonsEnabled = true;
    std::map<std::string, RINGCALLITEM> ringCallList;
    // Arms the next network probe after a loss.
    QTimer* m_networkTimer = nullptr;
    QTcpSocket* m_probe = nullptr;
    // Writes the window position once the window has stopped moving.
    QTimer* m_positionTimer = nullptr;
    // The read-only whiteboard while another participant draws; owned here.
    WhiteboardWidget* whiteboardWidget = nullptr;
    // The drawer's whiteboard while the meeting toolbar has one open; owned
    // here, opened and closed by the toolbar's whiteboard signal.
    QPointer<WhiteboardWidget> m_drawerWhiteboard;

    // Meet and Reservation pages: each page's day and the day its queries send.
    QDateTime meetDate;
    QDateTime reservationDate;
    QString meetDateText;
    QString reservationDateText;
    // Built on the first row press of their page, reused for every later
    // one, deleted with the main window.
    DetailWidget* detailWidget = nullptr;
    DetailReservationWidget* detailReservationWidget = nullptr;
    // One details record per popup: Edit opens the meeting its popup shows.
    conferences_info detailInfo;
    conferences_info reservationDetailInfo;

    // Contacts page
    std::vector<conference_contact> contactList;  // the last list delivered, sorted
    bool contactsSeeded = false;
    QBaseSearchLineEdit* searchLineEdit = nullptr;
    QWidget* searchContainer = nullptr;
    QBaseContactsWidget* contactsWidget = nullptr;
    QMenu* contactsMenu = nullptr;
    QAction* addContactAction = nullptr;
    // Presence events come in bursts: one contact reload per burst.
    QTimer* m_presenceTimer = nullptr;

    // Ring calls: the open incoming-call window of each caller address, and
    // the callers whose call this device accepted (only they may send "join").
    std::map<std::string, QObject*> m_incomingCalls;  // entries leave when their window is destroyed
    std::set<std::string> m_acceptedCallers;
};
