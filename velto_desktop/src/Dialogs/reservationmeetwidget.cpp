#include "reservationmeetwidget.h"

#include <QIcon>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <iterator>

#include "cglobalinstance.h"

namespace {

const char* const kCaptions[] = {
    QT_TRANSLATE_NOOP("ReservationMeetWidget", "Subject:"),
    QT_TRANSLATE_NOOP("ReservationMeetWidget", "Start:"),
    QT_TRANSLATE_NOOP("ReservationMeetWidget", "Length(minutes):"),
    QT_TRANSLATE_NOOP("ReservationMeetWidget", "Meeting password:"),
    QT_TRANSLATE_NOOP("ReservationMeetWidget", "Moderator password:"),
};

}  // namespace

ReservationMeetWidget::ReservationMeetWidget(QString userName, QWidget* parent)
    : QWidget(parent),
      m_userName(userName),
      m_title(new QLineEdit(this)),
      m_start(new QDateTimeEdit(QDateTime::currentDateTime().addSecs(3600), this)),
      m_lengthMinutes(new QSpinBox(this)),
      m_meetPassword(new QLineEdit(this)),
      m_ownerPassword(new QLineEdit(this)),
      m_btnReserve(new QPushButton(this))
{
    setObjectName("ReservationMeetWidget");
    setWindowIcon(QIcon(":/images/logo"));
    m_title->setText(userName + tr(" Reservation Meeting"));
    m_start->setCalendarPopup(true);
    m_start->setMinimumDateTime(QDateTime::currentDateTime());
    m_lengthMinutes->setRange(15, 24 * 60);
    m_lengthMinutes->setSingleStep(15);
    m_lengthMinutes->setValue(60);

    auto* layout = new QFormLayout(this);
    QWidget* fields[] = {m_title, m_start, m_lengthMinutes, m_meetPassword, m_ownerPassword};
    for (QWidget* field : fields)
        layout->addRow(QString(), field);
    layout->addRow(m_btnReserve);
    slotTranslatorLanguage();
    connect(m_btnReserve, &QPushButton::clicked, this, &ReservationMeetWidget::reserve);
}

void ReservationMeetWidget::setReservationInfo(const conferences_info* info)
{
    m_conferenceId = info->mConferenceId;
    m_title->setText(QString::fromStdString(info->title));
    m_start->setDateTime(QDateTime::fromMSecsSinceEpoch(QString::fromStdString(info->startTime).toLongLong()));
    m_lengthMinutes->setValue(int(info->lengthTime / 60));
    m_meetPassword->setText(QString::fromStdString(info->meetPassword));
    m_ownerPassword->setText(QString::fromStdString(info->ownerPassword));
}

void ReservationMeetWidget::slotTranslatorLanguage()
{
    setWindowTitle(tr("Reservation Meeting"));
    m_btnReserve->setText(tr("Reservation"));
    auto* form = static_cast<QFormLayout*>(layout());
    for (int row = 0; row < int(std::size(kCaptions)); ++row)
        if (auto* caption = qobject_cast<QLabel*>(form->itemAt(row, QFormLayout::LabelRole)->widget()))
            caption->setText(tr(kCaptions[row]));
}

void ReservationMeetWidget::reserve()
{
    reservation_conference conference;
    conference.title = m_title->text().trimmed().toStdString();
    conference.startTime = m_start->dateTime().toMSecsSinceEpoch();
    conference.lengthTime = unsigned(m_lengthMinutes->value()) * 60;
    conference.autoRecord = "CRAC";
    conference.meetPassword = m_meetPassword->text().trimmed().toStdString();
    conference.ownerPassword = m_ownerPassword->text().trimmed().toStdString();
    conference.mConferenceId = m_conferenceId;
    conference.videoNum = CGlobalInstance::userInfo.videoNum;
    // A refusal is reported by the SDK's answer; the form stays open to correct it.
    if (CGlobalInstance::veltoSdk->ReserveConference(conference) == 0) {
        emit sigReserveConferenceSuccess();
        close();
    }
}
