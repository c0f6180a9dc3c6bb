#include "meetitem.h"
#include "ui_meetitem.h"

#include <QEvent>
#include <QFontMetrics>
#include <QTextDocument>
#include <QTimer>

namespace {

constexpr int kTitleWidth = 140;
constexpr int kPressPauseMs = 300;

}  // namespace

MeetItem::MeetItem(std::string meetId, QString title, QString number, QString timeText, QWidget* parent)
    : QWidget(parent), ui(new Ui::MeetItem), m_meetId(std::move(meetId)), m_title(std::move(title)),
      m_timeText(std::move(timeText))
{
    ui->setupUi(this);
    setMouseTracking(true);
    installEventFilter(this);
    // The labels pass their presses on to the row, which sees them here.
    for (QWidget* label : {static_cast<QWidget*>(ui->lblMeetName), static_cast<QWidget*>(ui->lblMeet),
                           static_cast<QWidget*>(ui->lblMeetId), static_cast<QWidget*>(ui->lblMeetTime)})
        label->installEventFilter(this);
    const QFontMetrics metrics(ui->lblMeetName->font());
    const QString shown = metrics.horizontalAdvance(m_title) >= kTitleWidth
                              ? metrics.elidedText(m_title, Qt::ElideRight, kTitleWidth)
                              : m_title;
    ui->lblMeetName->setText(shown);
    ui->lblMeetName->setToolTip(Qt::convertFromPlainText(m_title));
    ui->lblMeetId->setText(number);
    ui->lblMeetTime->setText(m_timeText);
    ui->lblMeetTime->setVisible(!m_timeText.isEmpty());
}

MeetItem::~MeetItem() { delete ui; }

void MeetItem::leaveEvent(QEvent* event)
{
    emit sigLeaveMeetItem(m_meetId);
    QWidget::leaveEvent(event);
}

bool MeetItem::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress && !m_busy) {
        m_busy = true;
        QTimer::singleShot(kPressPauseMs, this, [this] { m_busy = false; });
        emit sigEnterMeetItem(m_meetId);
    }
    return QWidget::eventFilter(watched, event);
}
