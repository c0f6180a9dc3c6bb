#include "reservationmeetwidget.h"
#include "ui_reservationmeetwidget.h"

#include <QRegularExpressionValidator>

#include <algorithm>

#include "Dialogs/calendarwidget.h"
#include "Dialogs/messagebox.h"
#include "Home/homerules.h"
#include "Tools/commonhelper.h"
#include "Tools/iconhelper.h"
#include "cglobalinstance.h"

namespace {

constexpr int kSubjectLength = 20;
constexpr int kPeriodicRowsHeight = 70;
const char kDateFormat[] = "yyyy-MM-dd dddd";

}  // namespace

ReservationMeetWidget::ReservationMeetWidget(QString userName, QWidget* parent)
    : QWidget(parent),
      ui(new Ui::ReservationMeetWidget),
      m_userName(std::move(userName)),
      m_startDay(QDateTime::currentDateTime()),
      m_endDay(m_startDay)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    setAttribute(Qt::WA_ShowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    ui->autoRecordCheckBox->hide();

    IconHelper::Instance()->SetIcon(ui->btnLeft, QChar(0xf104), QString(), 16);
    IconHelper::Instance()->SetIcon(ui->btnRight, QChar(0xf105), QString(), 16);
    IconHelper::Instance()->SetIcon(ui->btnCalendar, QChar(0xf073), QString(), 16);
    IconHelper::Instance()->SetIcon(ui->btnCalendar_2, QChar(0xf073), QString(), 16);

    ui->edtMeetSubject->setMaxLength(kSubjectLength);
    ui->dailyRadioButton->setChecked(true);
    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]+$"), this);
    ui->edtMeetPassword->setValidator(digits);
    ui->edtModeratorPassword->setValidator(digits);
    ui->edtMaxVideoNum->setValidator(digits);
    ui->edtMeetPassword->setMaxLength(8);
    ui->edtModeratorPassword->setMaxLength(8);
    ui->edtMaxVideoNum->setText(QString::number(CGlobalInstance::userInfo.videoNum));

    for (int hour = 0; hour <= 4; ++hour)
        ui->hourComboBox->addItem(QString::number(hour));
    ui->hourComboBox->setCurrentIndex(1);
    for (int minute = 0; minute < 60; ++minute)
        ui->minComboBox->addItem(QString::number(minute));
    setIntervalComboBox(m_startDay);
    applyTexts();
    ui->edtMeetSubject->setText(home::defaultSubject(m_userName, tr(" Reservation Meeting"), kSubjectLength));

    ui->priodicWidget->hide();
    m_fullHeight = height();
    setFixedHeight(m_fullHeight - kPeriodicRowsHeight);

    connect(ui->periodicCheckBox, &QCheckBox::toggled, this, &ReservationMeetWidget::setPeriodic);
    connect(ui->btnLeft, &QToolButton::clicked, this, [this] { moveStartDay(-1); });
    connect(ui->btnRight, &QToolButton::clicked, this, [this] { moveStartDay(1); });
    connect(ui->btnCalendar, &QToolButton::clicked, this, [this] {
        const QRect area = ui->startTimeWidget->geometry();
        const QPoint at(area.x(), area.bottom());
        CalendarWidget* calendar =
            openCalendar(m_startDay.date(), at, frameGeometry().topLeft() + QPoint(area.x(), area.bottom() + 30));
        connect(calendar, &CalendarWidget::sigSelectedDate, this, [this](const QDate& date) {
            m_startDay.setDate(date);
            showDates();
            setIntervalComboBox(m_startDay);
            ui->btnReservationCommit->setFocus();
        });
    });
    connect(ui->btnCalendar_2, &QToolButton::clicked, this, [this] {
        const int left = ui->startTimeWidget->geometry().x();
        const int top = ui->edtMeetPassword->mapTo(this, QPoint(0, 0)).y();
        CalendarWidget* calendar = openCalendar(m_startDay.date().addDays(1), QPoint(left, top - 20),
                                                frameGeometry().topLeft() + QPoint(left, top + 10));
        connect(calendar, &CalendarWidget::sigSelectedDate, this, [this](const QDate& date) {
            m_endDay = QDateTime(date, QTime(0, 0));
            showDates();
            ui->btnReservationCommit->setFocus();
        });
    });
    connect(ui->btnReservationCommit, &QPushButton::clicked, this, &ReservationMeetWidget::commitReservation);
}

ReservationMeetWidget::~ReservationMeetWidget() { delete ui; }

void ReservationMeetWidget::applyTexts()
{
    setWindowTitle(tr("Reservation Meeting"));
    ui->edtMeetPassword->setPlaceholderText(tr("Please input 4-8 digit password") + "(" + tr("Optional") + ")");
    ui->edtModeratorPassword->setPlaceholderText(tr("Random Generation"));
    showDates();
}

void ReservationMeetWidget::showDates()
{
    ui->lblDateTime->setText(CGlobalInstance::getDataTimeByLanguage(m_startDay, kDateFormat));
    ui->lblDateTime_2->setText(CGlobalInstance::getDataTimeByLanguage(m_endDay, kDateFormat));
}

void ReservationMeetWidget::slotTranslatorLanguage()
{
    const QString subject = ui->edtMeetSubject->text();
    ui->retranslateUi(this);
    applyTexts();
    ui->edtMeetSubject->setText(subject);
}

bool ReservationMeetWidget::isToday(QString text)
{
    return text == CGlobalInstance::getDataTimeByLanguage(QDateTime::currentDateTime(), kDateFormat);
}

void ReservationMeetWidget::setIntervalComboBox(QDateTime day)
{
    if (isToday(CGlobalInstance::getDataTimeByLanguage(day, kDateFormat)))
        m_timeList = CommonHelper::getTimeList(day.time().hour(), day.time().minute(), true);
    else
        m_timeList = CommonHelper::getTimeList(0, 0, false);
    ui->intervalComboBox->clear();
    ui->intervalComboBox->addItems(m_timeList);
    ui->intervalComboBox->setCurrentIndex(m_timeList.isEmpty() ? -1 : 0);
}

void ReservationMeetWidget::moveStartDay(int days)
{
    m_startDay = m_startDay.addDays(days);
    showDates();
    setIntervalComboBox(m_startDay);
}

void ReservationMeetWidget::setPeriodic(bool on)
{
    ui->priodicWidget->setVisible(on);
    setFixedHeight(on ? m_fullHeight : m_fullHeight - kPeriodicRowsHeight);
}

CalendarWidget* ReservationMeetWidget::openCalendar(QDate earliest, QPoint at, QPoint global)
{
    // A new picker per opening, a child of the form; it goes (and its timer
    // stops) when it closes after a pick or once the cursor has left it.
    auto* calendar = new CalendarWidget(this);
    calendar->setAttribute(Qt::WA_DeleteOnClose);
    calendar->setMinimumDate(earliest);
    calendar->move(at);
    calendar->setXY(global.x(), global.y());
    calendar->show();
    calendar->raise();
    return calendar;
}

void ReservationMeetWidget::setReservationInfo(const conferences_info* info)
{
    if (!info)
        return;
    m_conferenceId = info->mConferenceId;
    ui->edtMeetSubject->setText(QString::fromStdString(info->title).left(kSubjectLength));
    ui->edtMeetPassword->setText(QString::fromStdString(info->meetPassword));
    ui->edtModeratorPassword->setText(QString::fromStdString(info->ownerPassword));

    m_storedStartMs = home::startSeconds(info->startTime) * 1000;
    m_storedLength = info->lengthTime;

    // Meetings of five hours and more keep their length: the hour box grows.
    const int hours = int(info->lengthTime / 3600);
    while (ui->hourComboBox->count() <= hours)
        ui->hourComboBox->addItem(QString::number(ui->hourComboBox->count()));
    ui->hourComboBox->setCurrentIndex(hours);
    ui->minComboBox->setCurrentIndex(int(info->lengthTime % 3600 / 60));

    // The list is built for the meeting's own day, so its time can be chosen.
    // A time off the quarter hours joins the list in its place: a commit
    // without a change keeps it.
    m_startDay = QDateTime::fromSecsSinceEpoch(home::startSeconds(info->startTime));
    showDates();
    setIntervalComboBox(m_startDay);
    const QString startText = m_startDay.toString("hh:mm");
    int index = ui->intervalComboBox->findText(startText);
    if (index < 0) {
        index = int(std::lower_bound(m_timeList.begin(), m_timeList.end(), startText) - m_timeList.begin());
        m_timeList.insert(index, startText);
        ui->intervalComboBox->insertItem(index, startText);
    }
    ui->intervalComboBox->setCurrentIndex(index);

    const bool periodic = info->cycle == 1;
    ui->periodicCheckBox->setChecked(periodic);
    setPeriodic(periodic);
    if (periodic) {
        m_endDay = QDateTime::fromSecsSinceEpoch(home::startSeconds(info->cycleEndDay));
        showDates();
        if (info->cycleDmy == 0)
            ui->dailyRadioButton->setChecked(true);
        else if (info->cycleDmy == 1)
            ui->weeklyRadioButton->setChecked(true);
        else
            ui->monthlyRadioButton->setChecked(true);
    }
}

void ReservationMeetWidget::showError(const QString& text)
{
    auto* box = new MessageBox(0, true, nullptr);
    box->setErrorText(text);
    box->showWidget();
}

void ReservationMeetWidget::commitReservation()
{
    home::ReservationFields fields;
    fields.subject = ui->edtMeetSubject->text();
    fields.startDay = m_startDay.date();
    fields.startTime = ui->intervalComboBox->currentText();
    fields.hours = ui->hourComboBox->currentText().toInt();
    fields.minutes = ui->minComboBox->currentText().toInt();
    fields.periodic = ui->periodicCheckBox->isChecked();
    fields.cycleDmy = ui->dailyRadioButton->isChecked() ? 0 : ui->weeklyRadioButton->isChecked() ? 1 : 2;
    fields.endDay = m_endDay.date();
    fields.meetPassword = ui->edtMeetPassword->text();
    fields.moderatorPassword = ui->edtModeratorPassword->text();
    fields.randomPassword = CommonHelper::randomPassword();
    fields.autoRecord = ui->autoRecordCheckBox->isChecked();
    fields.videoNum = ui->edtMaxVideoNum->text();
    fields.conferenceId = m_conferenceId;

    reservation_conference record;
    QChar bad;
    switch (home::buildReservation(fields, QDateTime::currentMSecsSinceEpoch(), record, bad)) {
    case home::ReservationError::SpecialCharacter:
        showError(tr("Subject contains special characters:") + QString("\"%1\"").arg(bad));
        return;
    case home::ReservationError::NoStartTime:
        showError(tr("Please choose a start time"));
        return;
    case home::ReservationError::NoLength:
        showError(tr("Please set length time"));
        return;
    case home::ReservationError::StartPassed:
        showError(tr("The start time has passed"));
        return;
    case home::ReservationError::EndBeforeStart:
        showError(tr("The end day lies before the start"));
        return;
    case home::ReservationError::None:
        break;
    }
    // The boxes show whole minutes: what they still show as stored keeps its
    // seconds too.
    if (!m_conferenceId.empty()) {
        if (record.startTime == m_storedStartMs / 60000 * 60000)
            record.startTime = m_storedStartMs;
        if (record.lengthTime == m_storedLength / 60 * 60)
            record.lengthTime = m_storedLength;
    }
    // The id stays until the server took the change, so a retry after a
    // failure changes the same meeting instead of reserving a second one.
    if (CGlobalInstance::veltoSdk->ReserveConference(record) != 0)
        return;
    m_conferenceId.clear();
    emit sigReserveConferenceSuccess();
    close();
}
