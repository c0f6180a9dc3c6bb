// The Meet and Reservation pages: date bars, meeting queries, list rows, the
// details popups, the reservation form, the personal settings and share link.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QDebug>
#include <QListWidget>

#include "Base/meetitem.h"
#include "Dialogs/calendarwidget.h"
#include "Dialogs/detailreservationwidget.h"
#include "Dialogs/detailwidget.h"
#include "Dialogs/meetsetwidget.h"
#include "Dialogs/messagebox.h"
#include "Dialogs/reservationmeetwidget.h"
#include "Home/homerules.h"
#include "Tools/iconhelper.h"
#include "systemtray.h"

namespace {

const char kDayFormat[] = "yyyy-MM-dd dddd";
const char kQueryFormat[] = "yyyy-MM-dd";
const char kReservationStatus[] = "MSA0";

void setDateBarGlyphs(QToolButton* left, QToolButton* right, QToolButton* calendar, QToolButton* refresh)
{
    IconHelper* icons = IconHelper::Instance();
    icons->SetIcon(left, QChar(0xf104), QString(), 16);
    icons->SetIcon(right, QChar(0xf105), QString(), 16);
    icons->SetIcon(calendar, QChar(0xf073), QString(), 16);
    icons->SetIcon(refresh, QChar(0xf01e), QString(), 16);
}

}  // namespace

void MainWindow::initMeetPage()
{
    ui->meetListWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setDateBarGlyphs(ui->btnLeft, ui->btnRight, ui->btnCalendar, ui->btnRefresh);
    IconHelper::Instance()->SetIcon(ui->btnMore, QChar(0xf107), 16);
    setPageDate(false, QDateTime::currentDateTime());

    connect(ui->btnSet, &QPushButton::clicked, this,
            [this] { showOverThis(new MeetSetWidget(ui->lblMeetId->text().toStdString(), nullptr)); });
    connect(ui->btnCopy, &QPushButton::clicked, this, &MainWindow::copyPersonalShareLink);
    connect(ui->btnLeft, &QToolButton::clicked, this, [this] { moveMeetDate(-1); });
    connect(ui->btnRight, &QToolButton::clicked, this, [this] { moveMeetDate(1); });
    connect(ui->btnCalendar, &QToolButton::clicked, this, [this] { openCalendar(false); });
    connect(ui->btnRefresh, &QToolButton::clicked, this, &MainWindow::reloadMeetList);
}

void MainWindow::initReservationPage()
{
    ui->reservationListWidget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setDateBarGlyphs(ui->btnLeft_2, ui->btnRight_2, ui->btnCalendar_2, ui->btnRefresh_2);
    IconHelper::Instance()->SetIcon(ui->btnAddReservation, QChar(0xf067), QString(), 16);
    setPageDate(true, QDateTime::currentDateTime());
    ui->btnLeft_2->setEnabled(false);

    connect(ui->btnLeft_2, &QToolButton::clicked, this, [this] { moveReservationDate(-1); });
    connect(ui->btnRight_2, &QToolButton::clicked, this, [this] { moveReservationDate(1); });
    connect(ui->btnCalendar_2, &QToolButton::clicked, this, [this] { openCalendar(true); });
    connect(ui->btnRefresh_2, &QToolButton::clicked, this, &MainWindow::reloadReservationList);
    connect(ui->btnAddReservation, &QToolButton::clicked, this, [this] { createReservationMeetWidget(nullptr); });
}

void MainWindow::setPageDate(bool reservation, const QDateTime& date)
{
    (reservation ? reservationDate : meetDate) = date;
    (reservation ? reservationDateText : meetDateText) = date.toString(kQueryFormat);
    (reservation ? ui->lblDateTime_2 : ui->lblDateTime)
        ->setText(CGlobalInstance::getDataTimeByLanguage(date, kDayFormat));
}

void MainWindow::reloadMeetList()
{
    getConferences(0, meetDateText.toStdString(), ui->meetListWidget, 1, QString());
}

void MainWindow::reloadReservationList()
{
    getConferences(0, reservationDateText.toStdString(), ui->reservationListWidget, 1, kReservationStatus);
}

void MainWindow::moveMeetDate(int days)
{
    setPageDate(false, meetDate.addDays(days));
    reloadMeetList();
}

void MainWindow::moveReservationDate(int days)
{
    if (days < 0 && reservationDate.toSecsSinceEpoch() < QDateTime::currentSecsSinceEpoch()) {
        ui->btnLeft_2->setEnabled(false);
        return;
    }
    if (days > 0 && !ui->btnLeft_2->isEnabled())
        ui->btnLeft_2->setEnabled(true);
    setPageDate(true, reservationDate.addDays(days));
    reloadReservationList();
}

void MainWindow::openCalendar(bool reservation)
{
    // Made on first use: start-up has no need of it.
    if (!m_calendar) {
        m_calendar = new CalendarWidget(this);
        connect(m_calendar, &CalendarWidget::sigSelectedDate, this, &MainWindow::slotSelectedDate);
    }
    if (m_calendar->isVisible())
        return;
    QWidget* page = reservation ? ui->reservationPage : ui->meetPage;
    QWidget* bar = reservation ? ui->timeBar_2 : ui->timeBar;
    m_calendar->setFixedWidth(page->width());
    // Under the page's date bar, in this window's coordinates.
    const QPoint at(ui->sideWidget->width(), bar->mapTo(this, QPoint(0, bar->height() - 1)).y());
    m_calendar->move(at);
    m_calendar->setXY(geometry().x() + at.x(), geometry().y() + at.y());
    m_calendar->setMinimumDate(reservation ? QDate::currentDate() : QDate(2018, 1, 1));
    m_calendar->show();
    m_calendar->raise();
}

void MainWindow::slotSelectedDate(const QDate& date)
{
    if (m_currentPage != MEET_PAGE && m_currentPage != RESERVATION_PAGE)
        return;
    const bool reservation = m_currentPage == RESERVATION_PAGE;
    setPageDate(reservation, QDateTime(date, QTime(0, 0)));
    if (reservation)
        reloadReservationList();
    else
        reloadMeetList();
}

void MainWindow::clearListWidget(QListWidget* list)
{
    while (list->count() > 0) {
        QListWidgetItem* item = list->item(0);
        // A row may be the sender of the signal that led here: delete it later.
        if (QWidget* row = list->itemWidget(item)) {
            list->removeItemWidget(item);
            row->deleteLater();
        }
        delete list->takeItem(0);
    }
    list->clear();
}

void MainWindow::getConferences(int count, std::string date, QListWidget* list, int page, QString status)
{
    clearListWidget(list);
    const std::string state = status.toStdString();
    if (m_currentPage == MEET_PAGE) {
        CGlobalInstance::veltoSdk->GetMyConferences(count, "", page, "CTF1", state, "");
        CGlobalInstance::veltoSdk->GetMyConferences(count, date, page, "CTA0", state, "");
        CGlobalInstance::veltoSdk->GetMyConferences(count, date, page, "CTOT", state, "");
    } else {
        CGlobalInstance::veltoSdk->GetMyConferences(count, date, page, "CTA0", state, "");
    }
}

void MainWindow::appendRow(QListWidget* list, QWidget* row, bool atTop)
{
    if (!m_rowLists.contains(list)) {
        m_rowLists.append(list);
        list->viewport()->installEventFilter(this);
    }
    // Until the list is first laid out, the page's width; fitRows follows.
    const int rowWidth = list->isVisible() ? list->viewport()->width() : width() - ui->sideWidget->width();
    auto* item = new QListWidgetItem;
    item->setSizeHint(QSize(rowWidth, row->height()));
    if (atTop)
        list->insertItem(0, item);
    else
        list->addItem(item);
    list->setItemWidget(item, row);
}

void MainWindow::fitRows(QListWidget* list)
{
    const int rowWidth = list->viewport()->width();
    for (int i = 0; i < list->count(); ++i) {
        QListWidgetItem* item = list->item(i);
        if (item->sizeHint().width() != rowWidth)
            item->setSizeHint(QSize(rowWidth, item->sizeHint().height()));
    }
}

void MainWindow::slotUpdateMyConferences(const conferences& data)
{
    QListWidget* list = m_currentPage == RESERVATION_PAGE ? ui->reservationListWidget
                        : m_currentPage == MEET_PAGE      ? ui->meetListWidget
                                                          : nullptr;
    if (!list)
        return;
    for (const conferences_info& meeting : data.list) {
        auto* row = new MeetItem(meeting.mConferenceId, QString::fromStdString(meeting.title),
                                 QString::fromStdString(meeting.cNumber),
                                 home::meetingTimeText(meeting, tr("Runing")), nullptr);
        appendRow(list, row);
        connect(row, &MeetItem::sigEnterMeetItem, this,
                [this, list](std::string meetId) { showMeetingDetails(list, meetId); });
    }
}

void MainWindow::showMeetingDetails(QListWidget* list, const std::string& meetId)
{
    const bool reservation = list == ui->reservationListWidget;
    conferences_info detail;
    if (CGlobalInstance::veltoSdk->GetConferenceDetail(meetId, detail) != 0)
        return;
    QWidget* popup = nullptr;
    if (reservation) {
        reservationDetailInfo = detail;
        if (!detailReservationWidget) {
            detailReservationWidget = new DetailReservationWidget(nullptr);
            connect(detailReservationWidget, &DetailReservationWidget::sigDeleteConference, this, [this] {
                reloadReservationList();
                activateWindow();
            });
            connect(detailReservationWidget, &DetailReservationWidget::sigEditConference, this,
                    [this](std::string) { createReservationMeetWidget(&reservationDetailInfo); });
            connect(m_tray, &SystemTray::sigTranslatorLanguage, detailReservationWidget,
                    &DetailReservationWidget::slotTranslatorLanguage);
        }
        const conferences_info& d = reservationDetailInfo;
        detailReservationWidget->setDetailWidget(
            d.mConferenceId, QString::fromStdString(d.title), QString::fromStdString(d.cNumber),
            QString::fromStdString(d.startTime), int(d.lengthTime), QString::fromStdString(d.meetPassword),
            QString::fromStdString(d.ownerPassword), int(d.cycle), int(d.cycleDmy),
            QString::fromStdString(d.cycleEndDay));
        popup = detailReservationWidget;
    } else {
        detailInfo = detail;
        if (!detailWidget) {
            detailWidget = new DetailWidget(nullptr);
            connect(m_tray, &SystemTray::sigTranslatorLanguage, detailWidget, &DetailWidget::slotTranslatorLanguage);
        }
        std::string moderator;
        for (const conference_user_info& user : detailInfo.mConferenceUsers) {
            if (user.owner == "CRUO") {
                moderator = user.userName;
                break;
            }
        }
        if (detailInfo.type == "CTF1")
            moderator = detailInfo.ownerPassword;
        detailWidget->setDetailWidget(QString::fromStdString(detailInfo.title),
                                      QString::fromStdString(detailInfo.cNumber),
                                      QString::fromStdString(detailInfo.type),
                                      QString::fromStdString(detailInfo.startTime), int(detailInfo.lengthTime),
                                      QString::fromStdString(detailInfo.meetPassword),
                                      QString::fromStdString(moderator));
        popup = detailWidget;
    }

    int x = pos().x() + width();
    bool right = true;
    if (CGlobalInstance::getScreenRect().width() - x < popup->width()) {
        x = pos().x() - popup->width();
        right = false;
    }
    static_cast<DetailPopup*>(popup)->setImage(right);
    const int y = pos().y() + ui->mainStackedWidget->mapTo(this, QPoint(0, 0)).y();
    if (y < 0)
        return;
    popup->move(x, y);
    popup->show();
}

void MainWindow::createReservationMeetWidget(const conferences_info* info)
{
    auto* form = new ReservationMeetWidget(QString::fromStdString(CGlobalInstance::userInfo.mUserName), nullptr);
    connect(this, &MainWindow::sigNetworkError, form, &QWidget::close);
    connect(m_tray, &SystemTray::sigTranslatorLanguage, form, &ReservationMeetWidget::slotTranslatorLanguage);
    connect(form, &ReservationMeetWidget::sigReserveConferenceSuccess, this, &MainWindow::reloadReservationList);
    if (info)
        form->setReservationInfo(info);
    showOverThis(form);
}

void MainWindow::copyPersonalShareLink()
{
    // The link carries the meeting password: clipboard only, never the log.
    const QString link = home::shareLink(QString::fromStdString(CGlobalInstance::userInfo.server),
                                         ui->lblMeetId->text(),
                                         QString::fromStdString(CGlobalInstance::conferenceInfo.meetPassword));
    QApplication::clipboard()->setText(link);
    auto* box = new MessageBox(0, true, nullptr);
    box->setText(tr("Shared links has been copied to the clipboard"));
    box->showWidget();
    box->startTimer();
}

std::string MainWindow::personalRoom() const { return ui->lblMeetId->text().toStdString(); }
