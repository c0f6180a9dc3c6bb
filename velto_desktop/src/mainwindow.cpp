#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDesktopServices>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QTcpSocket>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

#include <type_traits>

#include "Base/qbaselabel.h"
#include "Base/qbasecontactswidget.h"
#include "Dialogs/calendarwidget.h"
#include "Dialogs/detailreservationwidget.h"
#include "Dialogs/detailwidget.h"
#include "Dialogs/joinmeetwidget.h"
#include "Dialogs/meetingdialog.h"
#include "Dialogs/messagebox.h"
#include "Dialogs/preferenceswidget.h"
#include "Dialogs/profilewidget.h"
#include "Dialogs/qconferencedelaywidget.h"
#include "Dialogs/reservationmeetwidget.h"
#include "Dialogs/updaterules.h"
#include "Dialogs/veltoupdate.h"
#include "Dialogs/videowidget.h"
#include "Tools/commonhelper.h"
#include "Tools/iconhelper.h"
#include "Tools/settings.h"
#include "Tools/updatecheck.h"
#include "Home/homerules.h"
#include "cveltocallback.h"
#include "loginwidget.h"
#include "systemtray.h"
#include "Tools/logtext.h"

#ifdef Q_OS_MACOS
#include <objc/message.h>
#include <objc/runtime.h>
#endif

namespace {

int networkCheckInterval = 5000;
// A probe that has not connected by then counts as a failure.
constexpr int kProbeTimeoutMs = 3000;
// The position is written once the window has rested this long.
constexpr int kPositionSettleMs = 400;

struct Tab {
    QBaseLabel* Ui::MainWindow::*label;
    QWidget* Ui::MainWindow::*page;
    const char* icon;
    const char* selectedIcon;
    const char* text;
};

// Indexed by ePAGE.
const Tab kTabs[] = {
    {&Ui::MainWindow::lblHome, &Ui::MainWindow::homePage, ":/icons/home_1", ":/icons/home", QT_TRANSLATE_NOOP("MainWindow", "Home")},
    {&Ui::MainWindow::lblMeet, &Ui::MainWindow::meetPage, ":/icons/Calendar_1", ":/icons/Calendar", QT_TRANSLATE_NOOP("MainWindow", "Meet")},
    {&Ui::MainWindow::lblReservation, &Ui::MainWindow::reservationPage, ":/icons/book_1", ":/icons/book", QT_TRANSLATE_NOOP("MainWindow", "Reservation")},
    {&Ui::MainWindow::lblRecents, &Ui::MainWindow::recentsPage, ":/icons/TimeMachine_1", ":/icons/TimeMachine", QT_TRANSLATE_NOOP("MainWindow", "Recents")},
    {&Ui::MainWindow::lblContacts, &Ui::MainWindow::contactsPage, ":/icons/Address_1", ":/icons/Address", QT_TRANSLATE_NOOP("MainWindow", "Contacts")},
};

bool validPage(ePAGE page) { return page >= HOME_PAGE && page <= CONTACTS_PAGE; }

// A minimised window comes back at its normal size, a hidden one is shown;
// either way it ends up in front.
void bringToFront(QWidget* window)
{
    if (window->isMinimized()) {
        window->showNormal();
    } else {
        if (window->isHidden())
            window->show();
        window->activateWindow();
    }
    window->raise();
}

}  // namespace

MessageBox* MainWindow::showMessageBox(int code, PromptKind kind)
{
    auto* box = new MessageBox(code, true, nullptr);
    if (kind != PromptKind::Default)
        box->setPromptText(kind == PromptKind::Question);
    box->showWidget();
    return box;
}

void MainWindow::runAfterDeviceCheck(QObject* context, const std::function<void()>& next)
{
    switch (CGlobalInstance::checkDevices()) {
    case -1: {
        MessageBox* box = showMessageBox(100020, PromptKind::Question);
        connect(box, &MessageBox::sigOk, context, next);
        return;
    }
    case -2:
    case -3:
        showMessageBox(100022, PromptKind::Notice);
        return;
    case 1:
    case 2:
        showMessageBox(100023, PromptKind::Notice);
        return;
    default:
        next();
    }
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setMouseTracking(true);
    installEventFilter(this);
    setWindowTitle(tr("Meeting"));
    setWindowIcon(QIcon(":/images/logo"));
    ui->topBar->hide();
    setFixedHeight(690);
    addMenuBar();
    ui->btnMore->hide();

    m_positionTimer = new QTimer(this);
    m_positionTimer->setSingleShot(true);
    m_positionTimer->setInterval(kPositionSettleMs);
    connect(m_positionTimer, &QTimer::timeout, this, &MainWindow::savePosition);

    // One probe per round: the next round is armed only when a probe failed.
    m_networkTimer = new QTimer(this);
    m_networkTimer->setSingleShot(true);
    connect(m_networkTimer, &QTimer::timeout, this, &MainWindow::slotCheckNetwork);

    m_loginWidget = new LoginWidget(nullptr);
    m_loginWidget->hide();
    waitForUpdateCheck();

    m_tray = new SystemTray(nullptr);
    connect(m_tray, &SystemTray::sigTranslatorLanguage, this, &MainWindow::slotTranslatorLanguage);
    connect(m_tray, &SystemTray::sigTranslatorLanguage, m_loginWidget, &LoginWidget::slotTranslatorLanguage);
    connect(m_tray, &SystemTray::sigShowMainWindow, this, &MainWindow::slotActiveWidget);
    connect(m_tray, &SystemTray::sigExitApplication, this, &MainWindow::exitApplication);

    for (const Tab& tab : kTabs)
        (ui->*tab.label)->setText(tab.icon, tr(tab.text));
    selectedPage(HOME_PAGE);

    // The style sheet first: setting one re-resolves the label's font, which
    // would drop the icon font's size.
    ui->lblImage->setStyleSheet("color:rgb(113,223,195);");
    IconHelper::Instance()->SetIcon(ui->lblImage, QChar(0xf2be), 40);

    createMenu();
    showMenuText();

    for (int page = HOME_PAGE; page <= CONTACTS_PAGE; ++page)
        connect(ui->*kTabs[page].label, &QBaseLabel::clicked, this, [this, page] { switchPage(ePAGE(page)); });

    initHomePage();
    initMeetPage();
    initReservationPage();
    initRecentsPage();
    initContactsPage();

    // Every record that travels in the window's signals, registered once.
    qRegisterMetaType<std::string>("std::string");
    qRegisterMetaType<user_info>("user_info");
    qRegisterMetaType<conferences>("conferences");
    qRegisterMetaType<conference_contacts>("conference_contacts");
    qRegisterMetaType<RECENTITEM>("RECENTITEM");
    connect(this, &MainWindow::sigStartConference, this, &MainWindow::slotStartConference);
    connect(this, &MainWindow::sigSetConferenceInfo, this, &MainWindow::slotSetConferenceInfo);
    connect(this, &MainWindow::sigUpdateMyConferences, this, &MainWindow::slotUpdateMyConferences);
    connect(this, &MainWindow::sigGetContacts, this, &MainWindow::slotShowContacts);
    connect(this, &MainWindow::sigRingCall, this, &MainWindow::slotRingCall);
    connect(this, &MainWindow::sigPresence, this, &MainWindow::slotPresence);
    connect(this, &MainWindow::sigUpdateRecentItem, this, &MainWindow::slotUpdateRecentItem);
    connect(this, &MainWindow::sigMessageBox, this, &MainWindow::slotMessageBox);
    connect(this, &MainWindow::sigDownloadImage, this, &MainWindow::slotDownloadImage);
    connect(this, &MainWindow::sigDelayConference, this, &MainWindow::slotDelayConference);
    connect(this, qOverload<bool>(&MainWindow::sigMuteVideo), this, &MainWindow::slotMuteVideo);
    connect(this, &MainWindow::sigKickout, this, &MainWindow::slotKickout);
    connect(this, &MainWindow::sigAddUser, this, &MainWindow::slotAddUser);
    connect(this, &MainWindow::sigRemoveUser, this, &MainWindow::slotRemoveUser);
    connect(this, &MainWindow::sigLeaveConference, this, &MainWindow::slotLeaveConference);
    connect(this, &MainWindow::sigNetworkError, this, &MainWindow::slotNetworkError);
    connect(this, &MainWindow::sigActiveWidget, this, &MainWindow::slotActiveWidget);
    connect(this, &MainWindow::sigWhiteBoard, this, &MainWindow::slotWhiteBoard);

#ifdef Q_OS_MACOS
    setupDockClickHandler();
#endif
}

MainWindow::~MainWindow()
{
    // Events still in flight must find no window to emit on.
    if (CGlobalInstance::mainWindow == this)
        CGlobalInstance::setMainWindow(nullptr);
    if (m_positionTimer->isActive())
        savePosition();
    stopNetworkCheck();
    deleteWhiteboards();
    delete ui;
    delete m_tray;
    delete m_popupMenu;
    delete m_loginWidget;
    for (QWidget* popup : {static_cast<QWidget*>(detailWidget), static_cast<QWidget*>(detailReservationWidget)}) {
        if (popup && popup->isVisible())
            popup->close();
        delete popup;
    }
#ifdef Q_OS_MACOS
    delete m_menuBar;
#endif
}

void MainWindow::waitForUpdateCheck()
{
    // Start-up sent the check early; the first window waits for its answer
    // (or its short deadline) without holding the GUI thread.
    UpdateCheck* check = UpdateCheck::takeStartupCheck(this);
    const auto decide = [this, check] {
        check->deleteLater();
        showStartPage(check->info());
    };
    if (check->isFinished())
        decide();
    else
        connect(check, &UpdateCheck::finished, this, decide);
}

void MainWindow::showStartPage(UpdateInfo info)
{
    m_startPageShown = true;
    if (!offersUpdate(info.version)) {
        m_loginWidget->show();
        return;
    }
    auto* dialog = new VeltoUpdate(kAppVersion, info.version, info.fileName, info.downPath, info.md5, true, nullptr);
    connect(dialog, &VeltoUpdate::sigCancel, m_loginWidget, &QWidget::show);
    dialog->show();
}

bool MainWindow::offersUpdate(const QString& latestVersion)
{
    return updaterules::isNewerVersion(kAppVersion, latestVersion);
}

void MainWindow::selectedPage(ePAGE page)
{
    m_currentPage = page;
    if (!validPage(page))
        return;
    const Tab& tab = kTabs[page];
    (ui->*tab.label)->select(tab.icon, tab.selectedIcon, true);
    ui->mainStackedWidget->setCurrentWidget(ui->*tab.page);
}

void MainWindow::unselectedPage(ePAGE page)
{
    if (!validPage(page))
        return;
    const Tab& tab = kTabs[page];
    (ui->*tab.label)->select(tab.icon, tab.selectedIcon, false);
}

void MainWindow::switchPage(ePAGE page)
{
    if (page == m_currentPage)
        return;
    unselectedPage(m_currentPage);
    selectedPage(page);
    switch (page) {
    case MEET_PAGE:
        reloadMeetList();
        break;
    case RESERVATION_PAGE:
        reloadReservationList();
        break;
    case RECENTS_PAGE:
        if (!contactsSeeded)
            requestContacts();
        updateRecentItems();
        break;
    case CONTACTS_PAGE:
        contactsWidget->setMaxHeight(ui->contactsPage->height() - searchContainer->height());
        requestContacts();
        break;
    default:
        break;
    }
}

void MainWindow::addMenuBar()
{
#ifdef Q_OS_MACOS
    // A parentless menu bar is the application's menu bar there.
    m_menuBar = new QMenuBar(nullptr);
#else
    // Elsewhere only a window's own menu bar is reachable; Qt still hands it
    // to a global menu where the desktop offers one.
    m_menuBar = menuBar();
#endif
    QMenu* windowMenu = m_menuBar->addMenu(tr("Window"));
    QAction* minAction = windowMenu->addAction(tr("Min"));
    minAction->setShortcut(QKeySequence(tr("Ctrl+M")));
    connect(minAction, &QAction::triggered, this, [this] { minimiseOrHideCurrentWindow(false); });
    QAction* closeAction = windowMenu->addAction(tr("Close"));
    connect(closeAction, &QAction::triggered, this, [this] { minimiseOrHideCurrentWindow(true); });
    QMenu* helpMenu = m_menuBar->addMenu(tr("Help"));
    QAction* websiteAction = helpMenu->addAction(tr("Website"));
    connect(websiteAction, &QAction::triggered, this, [] {
        const std::string server = serverOrDefault(CGlobalInstance::userInfo.server);
        QDesktopServices::openUrl(QUrl("https://" + QString::fromStdString(server) + "/index.html"));
    });
}

void MainWindow::minimiseOrHideCurrentWindow(bool hideIt)
{
    if (CGlobalInstance::isLogin && CGlobalInstance::isJoinConference) {
        emit sigMinOrHideVideoWidget(hideIt);
        return;
    }
    QWidget* current = CGlobalInstance::isLogin ? static_cast<QWidget*>(this) : m_loginWidget;
    if (hideIt)
        current->close();
    else
        current->showMinimized();
}

void MainWindow::createMenu()
{
    m_popupMenu = new QMenu(nullptr);
    m_actProfile = m_popupMenu->addAction(QString());
    m_popupMenu->addSeparator();
    m_actPreference = m_popupMenu->addAction(QString());
    m_actUpdate = m_popupMenu->addAction(QString());
    m_popupMenu->addSeparator();
    m_actLogout = m_popupMenu->addAction(QString());
    m_actExit = m_popupMenu->addAction(QString());
    ui->btnName->setMenu(m_popupMenu);

    connect(m_actProfile, &QAction::triggered, this, &MainWindow::showProfile);
    connect(m_actPreference, &QAction::triggered, this, &MainWindow::showPreferences);
    connect(m_actUpdate, &QAction::triggered, this, &MainWindow::showUpdate);
    connect(m_actLogout, &QAction::triggered, this, &MainWindow::logout);
    // Leaving the program from here must not leave a meeting or a login open
    // on the server, so it ends like the tray's Exit.
    connect(m_actExit, &QAction::triggered, this, &MainWindow::exitApplication);
}

void MainWindow::showMenuText()
{
    m_actProfile->setText(tr("Profile"));
    m_actPreference->setText(tr("Preference"));
    m_actUpdate->setText(tr("Update"));
    m_actLogout->setText(tr("Logout"));
    m_actExit->setText(tr("Exit"));
}

template <typename Window>
Window* MainWindow::openWindow(Window* window)
{
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(this, &MainWindow::sigNetworkError, window, &QWidget::close);
    if constexpr (!std::is_same_v<Window, VeltoUpdate>)
        connect(m_tray, &SystemTray::sigTranslatorLanguage, window, &Window::slotTranslatorLanguage);
    showOverThis(window);
    return window;
}

void MainWindow::showOverThis(QWidget* window)
{
    // Opened from this window, a form belongs over it, not wherever the
    // window manager finds room; with this window hidden (the tray's menu)
    // the window manager places it.
    if (isVisible() && !isMinimized())
        placeOverWindow(window, this);
    window->show();
}

void MainWindow::showProfile()
{
    const UserInfo& user = CGlobalInstance::userInfo;
    openWindow(new ProfileWidget(user.username, user.email, user.mUserName, user.phone, nullptr));
}

void MainWindow::showPreferences() { openWindow(new PreferencesWidget(nullptr)); }

void MainWindow::showUpdate()
{
    if (VeltoUpdate* open = VeltoUpdate::current()) {
        open->raise();
        open->activateWindow();
        return;
    }
    // The dialog opens once the manifest is in; the windows stay responsive
    // meanwhile, and a second click during the wait adds nothing.
    if (m_menuUpdateCheck)
        return;
    auto* check = new UpdateCheck(UpdateCheck::kMenuTimeoutMs, this);
    m_menuUpdateCheck = check;
    connect(check, &UpdateCheck::finished, this, [this, check] {
        check->deleteLater();
        UpdateInfo info = check->info();
        openWindow(new VeltoUpdate(kAppVersion, info.version, info.fileName, info.downPath, info.md5, false, nullptr));
    });
}

void MainWindow::initHomePage()
{
    ui->btnInstantMeet->setIcon(QIcon(":/icons/Conference_big"));
    ui->btnJoinMeet->setIcon(QIcon(":/icons/JoinConference_big"));
    ui->btnReservationMeet->setIcon(QIcon(":/icons/Calender_big"));
    connect(ui->btnInstantMeet, &QToolButton::clicked, this,
            [this] { runAfterDeviceCheck(this, [this] { slotCreateConference(); }); });
    connect(ui->btnStart, &QPushButton::clicked, this,
            [this] { runAfterDeviceCheck(this, [this] { slotCreateConference(); }); });
    connect(ui->btnJoinMeet, &QToolButton::clicked, this,
            [this] { runAfterDeviceCheck(this, [this] { slotJoinConference(); }); });
    connect(ui->btnReservationMeet, &QToolButton::clicked, this, [this] { createReservationMeetWidget(nullptr); });
}

void MainWindow::slotTranslatorLanguage()
{
    setWindowTitle(tr("Velto"));
    showMenuText();
    for (const Tab& tab : kTabs)
        (ui->*tab.label)->setText(tr(tab.text));
    // Form texts one by one: retranslating the whole form would also empty
    // the name and the meeting number that a login filled in.
    ui->lblMeetIdText->setText(tr("Personal Meeting ID :"));
    ui->btnStart->setText(tr("Start"));
    ui->btnSet->setText(tr("Set"));
    ui->btnCopy->setText(tr("Copy"));
    ui->lblReservationTitle->setText(tr("Reservation Meetings"));
    ui->btnClear->setText(tr("Clear"));
    ui->lblRecentsTitle->setText(tr("Recents"));
    ui->lblInstantMeet->setText(tr("Instant Meeting"));
    ui->lblJoinMeet->setText(tr("Join Meeting"));
    ui->lblReservationMeet->setText(tr("Reservation Meeting"));
    addContactAction->setText(tr("add a new contact"));
    setPageDate(false, meetDate);
    setPageDate(true, reservationDate);
}

void MainWindow::slotReceiveMessage(QString message)
{
    qDebug() << "slotReceiveMessage == " << logText(message);
    slotActiveWidget();
}

void MainWindow::slotActiveWidget()
{
    if (!CGlobalInstance::isLogin) {
        bringToFront(m_loginWidget);
        return;
    }
    if (CGlobalInstance::isJoinConference) {
        emit sigMacVideoWidget();
        return;
    }
    bringToFront(this);
}

void MainWindow::slotQuit()
{
    emit sigLeaveConference();
    QCoreApplication::exit(0);
}

void MainWindow::exitApplication()
{
    emit sigLeaveConference();
    CGlobalInstance::veltoSdk->Logout();
    QCoreApplication::exit(0);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    hide();
    event->ignore();
#ifndef Q_OS_MACOS
    // Hidden without a tray host, the program could not be reached again.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        QTimer::singleShot(0, this, &MainWindow::exitApplication);
#endif
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressPoint = event->pos();
        m_dragging = ui->topBar->geometry().contains(m_pressPoint);
    }
    QMainWindow::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        move(event->globalPos() - m_pressPoint);
    QMainWindow::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QMainWindow::mouseReleaseEvent(event);
}

void MainWindow::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    m_positionTimer->start();
}

void MainWindow::savePosition()
{
    m_positionTimer->stop();
    // The client area's position: unlike the frame's, it can be restored
    // before the window manager has framed the window (restorePosition).
    Settings settings;
    settings.setValue("/Geometry/x", geometry().x());
    settings.setValue("/Geometry/y", geometry().y());
}

void MainWindow::restorePosition()
{
    const QPoint saved = CGlobalInstance::mainPos;
    if (saved.x() == CGlobalInstance::NO_POSITION || saved.y() == CGlobalInstance::NO_POSITION)
        return;
#ifdef Q_OS_MACOS
    move(saved);  // the stored point already stands a title bar higher there
#else
    // Not move(): on X11 the frame of a window not yet shown is unknown, so a
    // frame position would land the client area there, and the window would
    // climb by its title bar at every start.
    setGeometry(QRect(saved, size()));
#endif
}

// ---------------------------------------------------------------------------
// Logout and network loss

void MainWindow::dropSession()
{
    hide();
    ringCallList.clear();
    m_acceptedCallers.clear();
    CGlobalInstance::veltoSdk->LeaveConference();
    clearListWidget(ui->recentsListWidget);
    // The next account starts from its own contacts' presence.
    CGlobalInstance::userOnline.clear();
    contactsSeeded = false;
    CGlobalInstance::preferences.autoLogin = false;
}

void MainWindow::logout()
{
    dropSession();
    stopNetworkCheck();
    CGlobalInstance::veltoSdk->Logout();
    CGlobalInstance::isLogin = false;
    m_loginWidget->show();
}

void MainWindow::slotNetworkError()
{
    if (!CGlobalInstance::isJoinConference) {
        // Only a running account login is logged in again: not one the user
        // ended meanwhile, and not an anonymous join, whose nickname and
        // meeting password are no account.
        if (CGlobalInstance::isLogin && !CGlobalInstance::isAnonymousLogin)
            checkNetwork();
        return;
    }
    dropSession();
    CGlobalInstance::isLogin = false;
    MessageBox* box = showMessageBox(100015, PromptKind::Question);
    connect(box, &MessageBox::sigOk, m_loginWidget, &QWidget::show);
    connect(box, &MessageBox::sigCancel, qApp, [] { QCoreApplication::exit(0); });
}

void MainWindow::setNetworkCheckInterval(int milliseconds) { networkCheckInterval = milliseconds; }

void MainWindow::stopNetworkCheck()
{
    m_networkTimer->stop();
    if (m_probe) {
        m_probe->disconnect(this);
        m_probe->abort();
        m_probe->deleteLater();
        m_probe = nullptr;
    }
}

void MainWindow::checkNetwork()
{
    stopNetworkCheck();
    m_networkTimer->start(networkCheckInterval);
}

void MainWindow::slotCheckNetwork()
{
    stopNetworkCheck();
    // The network counts as back once the conference server's HTTPS port
    // accepts a connection again.
    const QUrl url("https://" + QString::fromStdString(serverOrDefault(CGlobalInstance::userInfo.server)));
    m_probe = new QTcpSocket(this);
    QTcpSocket* probe = m_probe;
    connect(probe, &QTcpSocket::connected, this, [this, probe] {
        if (m_probe == probe)
            finishProbe(true);
    });
    connect(probe, &QTcpSocket::errorOccurred, this, [this, probe] {
        if (m_probe == probe)
            finishProbe(false);
    });
    QTimer::singleShot(kProbeTimeoutMs, probe, [this, probe] {
        if (m_probe == probe)
            finishProbe(false);
    });
    probe->connectToHost(url.host(), quint16(url.port(443)));
}

void MainWindow::finishProbe(bool reachable)
{
    stopNetworkCheck();
    qDebug() << "slotCheckNetwork == " << (reachable ? "reachable" : "unreachable");
    if (!reachable) {
        checkNetwork();
        return;
    }
    setHomePageBtnStatus(true);
    const UserInfo& user = CGlobalInstance::userInfo;
    const int result = CGlobalInstance::veltoCallback->loginAccount(user.server, user.username, user.password);
    qDebug() << "network reconnect = " << result;
    // A login the server accepted but that could not connect was taken back:
    // without it the user needs the login page.
    if (!CGlobalInstance::isLogin)
        m_loginWidget->show();
}

// ---------------------------------------------------------------------------
// Meetings

bool MainWindow::cameraBusy()
{
    if (!CGlobalInstance::CheckVideoOccupied(-1))
        return false;
    showMessageBox(100024, PromptKind::Notice);
    return true;
}

void MainWindow::slotCreateConference()
{
    if (cameraBusy())
        return;
    setHomePageBtnStatus(false);
    if (CGlobalInstance::isJoinConference)
        return;
    const auto result = CGlobalInstance::veltoCallback->enterConference(
        [] { return CGlobalInstance::veltoSdk->CreateConference(); });
    switch (result) {
    case CVeltoCallback::EntryResult::Entered:
        break;
    case CVeltoCallback::EntryResult::Refused:
        // The server's answer is already on screen; the network is fine.
        setHomePageBtnStatus(true);
        break;
    case CVeltoCallback::EntryResult::Failed:
        qDebug() << "===CreateConference failed====";
        slotNetworkError();
        break;
    }
}

void MainWindow::slotJoinConference()
{
    if (cameraBusy())
        return;
    auto* dialog = new JoinMeetWidget(nullptr);
    connect(dialog, &JoinMeetWidget::sigMessageBox, this, &MainWindow::slotMessageBox);
    connect(dialog, &JoinMeetWidget::sigNetworkError, this, &MainWindow::slotNetworkError);
    openWindow(dialog);
}

void MainWindow::slotStartConference()
{
    hide();
    setHomePageBtnStatus(false);
    initVideoWidget();
}

void MainWindow::initVideoWidget()
{
    auto* video = new VideoWidget(nullptr);
    connectDrawerWhiteboard(video);
    // Every connection below has the meeting window as receiver or context, so
    // it ends with that window: the next meeting's window starts clean.
    connect(m_tray, &SystemTray::sigTranslatorLanguage, video, &VideoWidget::sigTranslatorLanguage);
    connect(video, &VideoWidget::sigMessageBox, this, &MainWindow::slotMessageBox);
    connect(this, &MainWindow::sigUpdateMasterScreen, video, &VideoWidget::slotUpdateMasterScreen);
    connect(this, &MainWindow::sigLeaveConference, video, &VideoWidget::slotLeaveConference);
    connect(this, &MainWindow::sigChangeNickname, video, &VideoWidget::slotChangeNickname);
    connect(this, &MainWindow::sigChat, video, &VideoWidget::slotChatMessage);
    connect(this, &MainWindow::sigActiveVideoWidget, video, [video] {
        video->activateWindow();
        video->raise();
    });
    connect(this, &MainWindow::sigNotifyRecord, video, &VideoWidget::sigNotifyRecord);
    connect(this, &MainWindow::sigAddUser, video, &VideoWidget::sigAddUser);
    connect(this, &MainWindow::sigShowCallee, video, &VideoWidget::showCallee);
    connect(this, &MainWindow::sigRemoveUser, video, &VideoWidget::slotRemoveUser);
    connect(this, &MainWindow::sigGrantAdmin, video, &VideoWidget::sigGrantAdmin);
    connect(this, &MainWindow::sigKickout, video, &VideoWidget::slotLeaveConference);
    connect(this, &MainWindow::sigMuteAudio, video, &VideoWidget::sigMuteAudio);
    connect(this, qOverload<std::string, bool>(&MainWindow::sigMuteVideo), video, &VideoWidget::sigMuteVideo);
    connect(this, &MainWindow::sigLockConference, video, &VideoWidget::sigLockConference);
    connect(this, &MainWindow::sigNotice, video, &VideoWidget::slotNotice);
    connect(this, &MainWindow::sigShowSubWidget, video, &VideoWidget::slotShowSubWidget);
    connect(this, &MainWindow::sigGetInit, video, &VideoWidget::sigGetInit);
    connect(this, &MainWindow::sigShowVideoWidget, video, &VideoWidget::slotShowWidget);
    connect(this, &MainWindow::sigUpdateLayout, video, &VideoWidget::sigUpdateLayout);
    connect(this, &MainWindow::sigHandsUp, video, &VideoWidget::sigHandsUp);
    connect(this, &MainWindow::sigSip, video, &VideoWidget::sigSip);
    connect(this, &MainWindow::sigTransferModerator, video, &VideoWidget::slotTranferModerator);
    connect(this, &MainWindow::sigAnnotate, video,
            qOverload<std::string, std::string, std::string>(&VideoWidget::slotAnnotate));
    connect(this, &MainWindow::sigLostModerator, video, &VideoWidget::sigLostModerator);
    connect(this, &MainWindow::sigMacVideoWidget, video, &VideoWidget::slotMacVideoWidget);
    connect(this, &MainWindow::sigMinOrHideVideoWidget, video, [video](bool isHide) {
        if (isHide)
            video->hide();
        else
            video->showMinimized();
    });
    connect(video, &QObject::destroyed, this, &MainWindow::showAfterMeeting);
    video->showWidget();
}

void MainWindow::showAfterMeeting()
{
#ifdef Q_OS_MACOS
    // The dock icon, the tray or a second start brings the window back.
#else
    // No dock icon here, and many desktops have no tray host: without this the
    // program would run on invisibly. An anonymous join was logged out with
    // the leave, so its way back is the login page.
    setHomePageBtnStatus(true);
    if (CGlobalInstance::isJoinConference)
        return;  // a new meeting began meanwhile
    if (CGlobalInstance::isLogin && !CGlobalInstance::isAnonymousLogin)
        bringToFront(this);
    else
        bringToFront(m_loginWidget);
#endif
}

void MainWindow::setHomePageBtnStatus(bool enable)
{
    if (enable == m_homeButtonsEnabled)
        return;
    m_homeButtonsEnabled = enable;
    ui->btnStart->setEnabled(enable);
    ui->btnInstantMeet->setEnabled(enable);
    ui->btnJoinMeet->setEnabled(enable);
    // Enabled, they look as they did before the first meeting: an outline
    // there would read as a keyboard focus that none of them has.
    const char* style = enable ? "" : "border:1px solid grey;border-radius:16px;color:grey;";
    ui->btnInstantMeet->setStyleSheet(style);
    ui->btnJoinMeet->setStyleSheet(style);
    ui->btnInstantMeet->setIcon(QIcon(":/icons/Conference_big"));
    ui->btnJoinMeet->setIcon(QIcon(":/icons/JoinConference_big"));
}

void MainWindow::slotSetConferenceInfo(std::string conferenceId)
{
    ui->btnName->setText(QString::fromStdString(CGlobalInstance::userInfo.mUserName));
    ui->lblMeetId->setText(QString::fromStdString(conferenceId));
}

void MainWindow::endAnsweredCall()
{
    if (CGlobalInstance::answerUserId.empty())
        return;
    removeRingCallList(CGlobalInstance::answerUserId, true);
    CGlobalInstance::answerUserId.clear();
}

void MainWindow::slotLeaveConference()
{
    clearWhiteboard();
    setHomePageBtnStatus(true);
    endAnsweredCall();
}

void MainWindow::slotKickout() { endAnsweredCall(); }

void MainWindow::slotAddUser(user_info user)
{
    const std::string id = CGlobalInstance::getUserId(user.jid);
    if (hasPendingCall(home::lowerId(id), 1))
        emit sigShowCallee(user.jid);
    emit sigRingClose("accept", id);
}

void MainWindow::slotRemoveUser(std::string userJid)
{
    removeRingCallList(CGlobalInstance::getUserId(userJid), true);
}

void MainWindow::slotMuteVideo(bool isMute) { emit sigMuteVideo(CGlobalInstance::userInfo.videoLabel, isMute); }

void MainWindow::slotDelayConference(std::string msg)
{
    auto* warning = new QConferenceDelayWidget(nullptr);
    warning->setAttribute(Qt::WA_DeleteOnClose);
    warning->setLabelText(msg);
    warning->show();
}

void MainWindow::slotMessageBox(int code)
{
    qDebug() << "message code == " << code;
    showMessageBox(code, PromptKind::Default);
}

// ---------------------------------------------------------------------------
// Call book

void MainWindow::insertRingCallList(std::string userId, std::string nickName, int callType)
{
    userId = home::lowerId(std::move(userId));
    if (ringCallList.count(userId))
        return;
    RINGCALLITEM entry;
    entry.nickname = std::move(nickName);
    entry.starttime = QDateTime::currentSecsSinceEpoch();
    entry.calltype = callType;
    ringCallList.emplace(std::move(userId), std::move(entry));
}

void MainWindow::removeRingCallList(std::string userId, bool answered)
{
    userId = home::lowerId(std::move(userId));
    const auto found = ringCallList.find(userId);
    if (found == ringCallList.end())
        return;
    RINGCALLITEM& entry = found->second;
    entry.endtime = QDateTime::currentSecsSinceEpoch();
    RECENTITEM item;
    item.room = ui->lblMeetId->text();
    item.userid = QString::fromStdString(userId);
    item.username = QString::fromStdString(entry.nickname);
    item.duration = answered ? int(entry.endtime - entry.starttime) : 0;
    item.starttime = entry.starttime;
    item.calltype = entry.calltype;
    Sqlite3::instance()->insertRecentsTable(item);
    emit sigUpdateRecentItem(item);
    ringCallList.erase(found);
}

// ---------------------------------------------------------------------------
// Dock icon

#ifdef Q_OS_MACOS
namespace {

BOOL dockClickHandler(id, SEL, ...)
{
    if (CGlobalInstance::mainWindow)
        emit CGlobalInstance::mainWindow->sigActiveWidget();
    return NO;
}

}  // namespace

void MainWindow::setupDockClickHandler()
{
    Class appClass = objc_getClass("NSApplication");
    id app = reinterpret_cast<id (*)(id, SEL)>(objc_msgSend)(reinterpret_cast<id>(appClass),
                                                              sel_registerName("sharedApplication"));
    if (!app)
        return;
    id delegate = reinterpret_cast<id (*)(id, SEL)>(objc_msgSend)(app, sel_registerName("delegate"));
    Class delegateClass = reinterpret_cast<Class (*)(id, SEL)>(objc_msgSend)(delegate, sel_registerName("class"));
    SEL selector = sel_registerName("applicationShouldHandleReopen:hasVisibleWindows:");
    const auto handler = reinterpret_cast<IMP>(dockClickHandler);
    if (class_getInstanceMethod(delegateClass, selector)) {
        if (class_replaceMethod(delegateClass, selector, handler, "B@:"))
            qDebug() << "Registered dock click handler (replaced original method)";
        else
            qDebug() << "Failed to replace method for dock click handler";
    } else if (class_addMethod(delegateClass, selector, handler, "B@:")) {
        qDebug() << "Registered dock click handler";
    } else {
        qDebug() << "Failed to register dock click handler";
    }
}
#endif
