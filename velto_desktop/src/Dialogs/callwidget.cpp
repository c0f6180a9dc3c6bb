#include "callwidget.h"
#include "ui_callwidget.h"

#include "cglobalinstance.h"
#include "meetingtoolrules.h"

#include <QCloseEvent>
#include <QTimer>

namespace {
int ringTimeoutMs = CallWidget::kRingTimeoutMs;
}

CallWidget::CallWidget(std::string sip, QWidget* parent) : QWidget(parent), ui(new Ui::CallWidget), m_sip(std::move(sip))
{
    ui->setupUi(this);
    // A click on it leaves the focus with the meeting (its cursor poll goes on).
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
    ui->lblSipNumber->setText(QString::fromStdString(m_sip));

    connect(ui->m_btnHangUp, &QToolButton::clicked, this, [this] {
        CGlobalInstance::veltoSdk->HangUp(m_sip);
        close();
    });
    // The panel is the timer's context: a panel already gone never fires it.
    // Only the panel goes: the call itself is left to the gateway.
    QTimer::singleShot(ringTimeoutMs, this, [this] {
        if (isVisible())
            close();
    });
}

void CallWidget::setRingTimeout(int milliseconds) { ringTimeoutMs = milliseconds; }

CallWidget::~CallWidget()
{
    delete ui;
}

void CallWidget::slotCallSuccess(std::string sip)
{
    if (meetingtools::callAnswered(m_sip, sip))
        close();
}

void CallWidget::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    emit sigCallWidgetClose(this);
}
