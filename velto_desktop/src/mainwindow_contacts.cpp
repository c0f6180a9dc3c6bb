// The Contacts and Recents pages: the contact list with presence and search,
// the add-contact dialog, the recent calls and the own photo.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QCursor>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "Base/contactitem.h"
#include "Base/qbasecontactswidget.h"
#include "Base/qbasesearchlineedit.h"
#include "Base/recentsitem.h"
#include "Dialogs/addcontactswidget.h"
#include "Dialogs/messagebox.h"
#include "Home/homerules.h"
#include "Home/photocache.h"
#include "Tools/iconhelper.h"
#include "systemtray.h"

namespace {

constexpr int kContactRowHeight = 45;
// Presence events within this pause share one contact reload.
constexpr int kPresenceCoalesceMs = 400;

}  // namespace

void MainWindow::initRecentsPage()
{
    ui->recentsListWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(ui->btnClear, &QPushButton::clicked, this, [this] {
        if (ui->recentsListWidget->count() == 0)
            return;
        auto* box = new MessageBox(0, true, nullptr);
        box->setChoiceText(tr("Clear all recent calls?"));
        connect(box, &MessageBox::sigOk, this, &MainWindow::clearRecents);
        box->showWidget();
    });
}

void MainWindow::clearRecents()
{
    Sqlite3::instance()->deleteRecents();
    clearListWidget(ui->recentsListWidget);
}

void MainWindow::initContactsPage()
{
    auto* layout = new QVBoxLayout;
    searchContainer = new QWidget;
    searchContainer->setObjectName("searchContainer");
    auto* searchLayout = new QVBoxLayout(searchContainer);
    searchLineEdit = new QBaseSearchLineEdit;
    contactsWidget = new QBaseContactsWidget("Contacts", "2/32", true);
    connect(m_tray, &SystemTray::sigTranslatorLanguage, searchLineEdit, &QBaseSearchLineEdit::slotTranslatorLanguage);
    connect(m_tray, &SystemTray::sigTranslatorLanguage, contactsWidget, &QBaseContactsWidget::slotTranslatorLanguage);
    connect(searchLineEdit, &QBaseSearchLineEdit::sigTextChanged, this, [this](QString text) {
        if (!text.isEmpty()) {
            contactsWidget->setContactBarVisible(false);
            searchContactByName(text);
        } else {
            contactsWidget->setContactBarVisible(true);
            requestContacts();
        }
    });
    searchLayout->addWidget(searchLineEdit);
    layout->addWidget(searchContainer);
    layout->addWidget(contactsWidget);
    layout->addStretch();
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    delete ui->contactsPage->layout();
    ui->contactsPage->setLayout(layout);

    contactsMenu = new QMenu(ui->contactsPage);
    addContactAction = contactsMenu->addAction(tr("add a new contact"));
    connect(addContactAction, &QAction::triggered, this, &MainWindow::showAddContacts);

    m_presenceTimer = new QTimer(this);
    m_presenceTimer->setSingleShot(true);
    m_presenceTimer->setInterval(kPresenceCoalesceMs);
    connect(m_presenceTimer, &QTimer::timeout, this, [this] {
        if (m_currentPage == CONTACTS_PAGE)
            requestContacts();
    });
}

void MainWindow::requestContacts()
{
    if (CGlobalInstance::veltoSdk)
        CGlobalInstance::veltoSdk->GetContacts();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        for (QListWidget* list : m_rowLists)
            if (watched == list->viewport())
                fitRows(list);
    }
    if (event->type() == QEvent::MouseButtonPress && m_currentPage == CONTACTS_PAGE && contactsMenu) {
        auto* press = static_cast<QMouseEvent*>(event);
        const QRect pages(ui->mainStackedWidget->mapTo(this, QPoint(0, 0)), ui->mainStackedWidget->size());
        if (press->buttons() == Qt::RightButton && pages.contains(press->pos()))
            contactsMenu->exec(QCursor::pos());
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::showAddContacts()
{
    auto* dialog = new AddContactsWidget(nullptr);
    connect(this, &MainWindow::sigNetworkError, dialog, &QWidget::close);
    connect(this, &MainWindow::sigGetSearchContacts, dialog, &AddContactsWidget::slotGetSearchContacts);
    connect(dialog, &AddContactsWidget::sigRefreshContacts, this, [this] {
        if (m_currentPage == CONTACTS_PAGE)
            requestContacts();
    });
    showOverThis(dialog);
}

void MainWindow::addContactRow(const conference_contact& contact, bool online)
{
    auto* row = new ContactItem(contact.mUserId, QString::fromStdString(contact.photo),
                                QString::fromStdString(contact.userName), online,
                                QString::fromStdString(contact.clientType), nullptr);
    connect(row, &ContactItem::sigRinging, this, &MainWindow::slotRinging);
    if (online)
        connect(this, &MainWindow::sigRingingStatus, row, &ContactItem::slotRingingStatus);
    appendRow(contactsWidget->listWidget(), row);
}

void MainWindow::slotShowContacts(conference_contacts& data)
{
    clearListWidget(contactsWidget->listWidget());
    contactsWidget->setHeight(kContactRowHeight * int(data.list.size()));
    // The SDK's record stays as it came: the sorted copy is ours.
    if (&data.list != &contactList) {
        contactList = data.list;
        std::sort(contactList.begin(), contactList.end(), vectorSort);
    }
    setUserOnline();
    // One presence per contact places its row, draws it and counts it.
    int online = 0;
    for (const conference_contact& contact : contactList) {
        if (CGlobalInstance::getUserOnline(contact.mUserId)) {
            addContactRow(contact, true);
            ++online;
        } else if (CGlobalInstance::preferences.showOffline) {
            addContactRow(contact, false);
        }
    }
    contactsWidget->setOnLineCount(online, int(data.list.size()));
}

void MainWindow::setUserOnline()
{
    // Every list the server delivers is its presence now: a map kept from an
    // earlier list (or from a participant leaving a meeting, which says
    // nothing about being on line) would disagree with the rows.
    // The recent-call rows show the same presence, however long they stood.
    for (const conference_contact& contact : contactList) {
        CGlobalInstance::updateUserOnline(home::lowerId(contact.mUserId), contact.onLine);
        emit sigUpdateRecentItemStatus(contact.mUserId, contact.onLine);
    }
    contactsSeeded = true;
}

void MainWindow::searchContactByName(QString text)
{
    clearListWidget(contactsWidget->listWidget());
    contactsWidget->setHeight(kContactRowHeight * int(contactList.size()));
    for (const conference_contact& contact : contactList) {
        if (!QString::fromStdString(contact.userName).contains(text))
            continue;
        if (contact.onLine)
            addContactRow(contact, true);
        else if (CGlobalInstance::preferences.showOffline)
            addContactRow(contact, false);
    }
}

void MainWindow::slotPresence(std::string userId, bool onLine)
{
    emit sigUpdateRecentItemStatus(userId, onLine);
    if (m_currentPage == CONTACTS_PAGE)
        m_presenceTimer->start();
}

void MainWindow::updateRecentItems()
{
    clearListWidget(ui->recentsListWidget);
    std::vector<RECENTITEM> items;
    Sqlite3::instance()->getRecentsTable(items, ui->lblMeetId->text());
    for (const RECENTITEM& item : items)
        slotUpdateRecentItem(item);
}

void MainWindow::slotUpdateRecentItem(RECENTITEM item)
{
    const bool online = CGlobalInstance::getUserOnline(item.userid.toStdString());
    auto* row = new RecentsItem(item.userid, item.username, item.duration, item.starttime, item.calltype, online,
                                nullptr);
    connect(row, &RecentsItem::sigRinging, this, &MainWindow::slotRinging);
    connect(this, &MainWindow::sigUpdateRecentItemStatus, row, &RecentsItem::slotUpdateRecentItemStatus);
    appendRow(ui->recentsListWidget, row, true);
}

void MainWindow::showDefaultPhoto()
{
    ui->lblImage->clear();
    // The style sheet first: setting one re-resolves the label's font, which
    // would drop the icon font's size.
    ui->lblImage->setStyleSheet("color:rgb(113,223,195);");
    IconHelper::Instance()->SetIcon(ui->lblImage, QChar(0xf2be), 40);
}

void MainWindow::showOwnPhoto(const QString& path)
{
    const QPixmap picture(path);
    if (picture.isNull()) {
        showDefaultPhoto();
        return;
    }
    ui->lblImage->setText(QString());
    ui->lblImage->setScaledContents(true);
    ui->lblImage->setPixmap(picture);
}

void MainWindow::slotDownloadImage(QString url)
{
    if (url.isEmpty()) {
        showDefaultPhoto();
        return;
    }
    const QString userId = QString::fromStdString(CGlobalInstance::getUserId(CGlobalInstance::userInfo.myJid));
    const QString cached = PhotoCache::cachedPath(userId, url);
    if (!cached.isEmpty()) {
        showOwnPhoto(cached);
        return;
    }
    PhotoCache::instance()->download(userId, url, this, [this](const QString& path) {
        if (path.isEmpty())
            showDefaultPhoto();
        else
            showOwnPhoto(path);
    });
}
