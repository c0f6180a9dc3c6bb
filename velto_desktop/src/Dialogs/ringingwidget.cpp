#include "ringingwidget.h"
#include "ui_ringingwidget.h"

#include <QCloseEvent>
#include <QTimer>

#include "Home/homerules.h"
#include "Tools/iconhelper.h"
#include "cglobalinstance.h"

namespace {
int ringTimeoutMs = RingingWidget::kRingTimeoutMs;
}

RingingWidget::RingingWidget(std::string userId, int callType, std::string nickName, long long time, QWidget* parent)
    : QWidget(parent), ui(new Ui::RingingWidget), m_userId(std::move(userId)), m_callType(callType),
      m_nickName(std::move(nickName))
{
    Q_UNUSED(time)
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    setAttribute(Qt::WA_DeleteOnClose);
    ui->lblAudioVideo->setStyleSheet("color:rgb(113,223,195);");
    IconHelper::Instance()->SetIcon(ui->lblAudioVideo, QChar(m_callType == 1 ? 0xf130 : 0xf03d), 60);
    applyWaitingText();
    connect(ui->btnHangup, &QPushButton::clicked, this, &RingingWidget::hangUp);
    QTimer::singleShot(ringTimeoutMs, Qt::CoarseTimer, this, &RingingWidget::timeOut);
}

RingingWidget::~RingingWidget() { delete ui; }

void RingingWidget::setRingTimeout(int milliseconds) { ringTimeoutMs = milliseconds; }

void RingingWidget::applyWaitingText()
{
    ui->lblWaiting->setText(tr("Calling ") + QString::fromStdString(m_nickName) + tr(",Please waiting..."));
}

bool RingingWidget::withdraw()
{
    emit sigRingingStatus(m_userId);
    const bool sent = CGlobalInstance::veltoSdk->SendRingCall(m_userId, "reject", "", m_nickName, m_callType, 1,
                                                              "", "") == 0;
    return sent;
}

void RingingWidget::hangUp()
{
    if (!withdraw())
        return;
    m_handled = true;
    emit sigWithdrawn(m_userId);
    close();
}

void RingingWidget::timeOut()
{
    // A refusal on show has ended the call already.
    if (!isVisible() || m_handled || m_refused)
        return;
    withdraw();
    m_handled = true;
    emit sigWithdrawn(m_userId);
    emit sigRingTimeout(m_nickName);
    close();
}

void RingingWidget::slotRingClose(std::string type, std::string userId)
{
    // The callee exactly: another user whose id merely contains this one's
    // must not end this call.
    if (m_handled || home::lowerId(CGlobalInstance::getUserId(userId)) != home::lowerId(m_userId))
        return;
    if (type == "busy" || type == "reject") {
        if (m_refused)
            return;
        m_refused = true;
        const QString name = QString::fromStdString(m_nickName);
        ui->lblWaiting->setText(name + (type == "busy" ? tr("is busy,Please ring later")
                                                       : tr("is rejected,Please ring later")));
        ui->btnHangup->setText(tr("Close"));
        QTimer::singleShot(kRefusalShownMs, Qt::CoarseTimer, this, [this] {
            if (!isVisible() || m_handled)
                return;
            m_handled = true;
            close();
        });
    } else if (type == "accept") {
        m_handled = true;
        close();
    }
}

void RingingWidget::closeEvent(QCloseEvent* event)
{
    // Closed by its title bar or a lost network while still ringing.
    if (!m_handled) {
        withdraw();
        m_handled = true;
        emit sigWithdrawn(m_userId);
    }
    event->accept();
}

void RingingWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    if (!m_refused)
        applyWaitingText();
}
