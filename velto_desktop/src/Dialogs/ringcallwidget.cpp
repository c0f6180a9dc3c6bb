#include "ringcallwidget.h"
#include "ui_ringcallwidget.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QPropertyAnimation>
#include <QStyle>
#include <QTextDocument>

#include <algorithm>

#include "Dialogs/messagebox.h"
#include "Home/homerules.h"
#include "Home/meetingentry.h"
#include "Tools/iconhelper.h"
#include "Tools/musicplayer.h"
#include "cglobalinstance.h"
#include "mainwindow.h"

RingCallWidget::RingCallWidget(std::string userJid, std::string roomId, int callType, std::string nickname,
                               std::string meetPassword, QWidget* parent)
    : QWidget(parent),
      ui(new Ui::RingCallWidget),
      m_userJid(std::move(userJid)),
      m_roomId(std::move(roomId)),
      m_password(std::move(meetPassword)),
      m_callType(callType),
      m_nickname(std::move(nickname))
{
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);

    const QRect screen = CGlobalInstance::getAvailableScreenRect();
    const int x = screen.width() - width() - 6;
    auto* slide = new QPropertyAnimation(this, "geometry", this);
    slide->setDuration(1000);
    slide->setStartValue(QRect(x, screen.height() + height(), width(), height()));
    slide->setEndValue(QRect(x, screen.height() - height() - 6, width(), height()));
    slide->start();

    ui->btnClose->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    applyTitle();
    IconHelper::Instance()->SetIcon(ui->lblAudioVideo, QChar(m_callType == 1 ? 0xf130 : 0xf03d), 40);
    connect(ui->btnClose, &QToolButton::clicked, this, &QWidget::close);
    connect(ui->btnAccept, &QPushButton::clicked, this, &RingCallWidget::accept);
    connect(ui->btnReject, &QPushButton::clicked, this, &RingCallWidget::reject);
}

RingCallWidget::~RingCallWidget()
{
    stopTone();
    delete ui;
}

void RingCallWidget::applyTitle()
{
    const QString name = QString::fromStdString(m_nickname);
    const QString kind = m_callType == 1 ? tr(" Audio call") : tr(" Video call");
    // The caller chose the name: shown as plain text. The window keeps its
    // size: a long name is cut short, whole in the tool tip and the task bar,
    // where Qt would otherwise take "[*]" for the unsaved-changes mark.
    ui->lblRingTitle->ensurePolished();
    const QFontMetrics metrics(ui->lblRingTitle->font());
    const int room = width() - ui->btnClose->width() - 30 - metrics.horizontalAdvance(kind);
    ui->lblRingTitle->setTextFormat(Qt::PlainText);
    ui->lblRingTitle->setText(metrics.elidedText(name, Qt::ElideRight, std::max(room, 0)) + kind);
    ui->lblRingTitle->setToolTip(Qt::convertFromPlainText(name + kind));
    setWindowTitle(QString(name + kind).replace("[*]", "[*][*]"));
}

void RingCallWidget::showWidget()
{
    show();
    if (!m_ringing) {
        m_ringing = true;
        MusicPlayer::Instance()->play();
    }
}

void RingCallWidget::stopTone()
{
    if (!m_ringing)
        return;
    m_ringing = false;
    MusicPlayer::Instance()->stop();
}

void RingCallWidget::closeWidget() { close(); }

void RingCallWidget::closeEvent(QCloseEvent* event)
{
    stopTone();
    QWidget::closeEvent(event);
}

void RingCallWidget::slotCloseRingCallWidget(std::string userJid)
{
    if (userJid.empty() || userJid == m_userJid)
        close();
}

void RingCallWidget::slotJoin()
{
    if (m_callType != 2) {
        if (CGlobalInstance::veltoSdk->SendRingCall(m_userJid, "accept", m_roomId,
                                                    CGlobalInstance::userInfo.mUserName, 0, 0, "", "") == 0) {
            emit sigCallAccepted(m_userJid);
            close();
        }
        return;
    }
    CGlobalInstance::answerUserId = home::lowerId(CGlobalInstance::getUserId(m_userJid));
    if (!joinMeetingRoom(m_roomId, m_password)) {
        CGlobalInstance::answerUserId.clear();
        return;
    }
    CGlobalInstance::veltoSdk->SendRingCall(home::bareJid(CGlobalInstance::userInfo.myJid), "processed", "", "", 0,
                                            0, "", "");
    close();
}

void RingCallWidget::accept()
{
    switch (CGlobalInstance::checkDevices()) {
    case -1: {
        MessageBox* box = MainWindow::showMessageBox(100020, MainWindow::PromptKind::Question);
        connect(box, &MessageBox::sigOk, this, &RingCallWidget::slotJoin);
        connect(box, &MessageBox::sigCancel, this, &RingCallWidget::reject);
        return;
    }
    case -2:
    case -3:
        connect(MainWindow::showMessageBox(100022, MainWindow::PromptKind::Notice), &MessageBox::sigOk, this,
                &RingCallWidget::reject);
        return;
    case 1:
    case 2:
        connect(MainWindow::showMessageBox(100023, MainWindow::PromptKind::Notice), &MessageBox::sigOk, this,
                &RingCallWidget::reject);
        return;
    default:
        slotJoin();
    }
}

void RingCallWidget::reject()
{
    if (CGlobalInstance::veltoSdk->SendRingCall(m_userJid, "reject", m_roomId, CGlobalInstance::userInfo.mUserName,
                                                0, 0, "", "") != 0)
        return;
    emit sigCallRefused(m_userJid);
    close();
}

void RingCallWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    applyTitle();
}
