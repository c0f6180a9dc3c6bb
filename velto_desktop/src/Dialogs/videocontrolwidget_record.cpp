// The toolbar's stateful flows: recording, hands-up with the ring button, the
// room lock and the stack of outgoing-call panels.
#include "videocontrolwidget.h"
#include "ui_videocontrolwidget.h"

#include <QDebug>
#include <QTimer>

#include <algorithm>

#include "cglobalinstance.h"
#include "meetinglayout.h"
#include "meetingprompt.h"
#include "messagebox.h"
#include "Tools/logtext.h"

// ---------------------------------------------------------------------------
// Recording: idle -> requested (disabled, request time-out) -> recording
// (blinking) -> stopped (re-enable timer) -> idle. A notification may move
// straight between idle and recording.

void VideoControlWidget::setRecordLook(bool recording)
{
    ui->m_btnRecord->setIcon(QIcon(recording ? ":/icons/recording" : ":/icons/record"));
    setActive(ui->m_btnRecord, recording);
}

void VideoControlWidget::onRecord()
{
    if (!CGlobalInstance::veltoSdk->isModerator())
        return;
    if (m_recording) {
        connect(showMeetingQuestion(100008), &MessageBox::sigOk, this, [this] {
            if (CGlobalInstance::veltoSdk->StopRecord() != 0)
                return;
            setRecordLook(false);
            m_recordBlinkTimer->stop();
            ui->m_btnRecord->setEnabled(true);
            m_recording = false;
            if (!m_recordReenableTimer->isActive())
                m_recordReenableTimer->start();
        });
        return;
    }
    if (CGlobalInstance::veltoSdk->StartRecord("recording") != 0) {
        setRecordLook(false);
        ui->m_btnRecord->setEnabled(true);
        return;
    }
    setRecordLook(true);
    ui->m_btnRecord->setEnabled(false);
    m_recordRequestTimer->start();
}

void VideoControlWidget::slotNotifyRecord(bool isRecord)
{
    if (isRecord == m_recording)
        return;
    m_recording = isRecord;
    if (isRecord) {
        ui->m_btnRecord->show();
        setRecordLook(true);
        if (!m_recordBlinkTimer->isActive()) {
            m_recordBlinkTimer->start();
            if (m_recordRequestTimer->isActive()) {
                m_recordRequestTimer->stop();
                ui->m_btnRecord->setEnabled(true);
            }
        }
        return;
    }
    if (!CGlobalInstance::veltoSdk->isModerator())
        ui->m_btnRecord->hide();
    ui->m_btnRecord->setEnabled(true);
    setRecordLook(false);
    m_recordBlinkTimer->stop();
    m_recordRequestTimer->stop();
    if (!m_recordReenableTimer->isActive())
        m_recordReenableTimer->start();
}

void VideoControlWidget::onRecordBlink()
{
    if (!isVisible())
        return;
    ui->m_btnRecord->setIcon(QIcon(m_recordBlink % 2 ? ":/icons/recording" : ":/icons/record"));
    ++m_recordBlink;
}

void VideoControlWidget::onRecordRequestTimeout()
{
    if (!m_recording)
        setRecordLook(false);
    ui->m_btnRecord->setEnabled(true);
    m_recordRequestTimer->stop();
}

void VideoControlWidget::onRecordReenable()
{
    ui->m_btnRecord->setEnabled(true);
    m_recordReenableTimer->stop();
}

// ---------------------------------------------------------------------------
// Hands-up and the ring button

void VideoControlWidget::onHandsUp()
{
    const UserInfo& user = CGlobalInstance::userInfo;
    CGlobalInstance::veltoSdk->HandsUp("apply", user.myJid, user.mUserName);
}

void VideoControlWidget::slotHandsUp(std::string action, std::string userjid, std::string nickname)
{
    qDebug() << "slotHandsUp==" << logText(action) << logText(userjid) << logText(nickname);
    if (action == "apply") {
        if (CGlobalInstance::handsup_list.emplace(userjid, nickname).second)
            emit sigHandsUp(action, userjid, nickname);
        ui->m_btnRing->show();
        m_ringBlinkTimer->start();
        return;
    }
    // Only the participant whose hand was granted stops asking.
    if (action == "agree" && userjid == CGlobalInstance::userInfo.myJid)
        ui->m_btnHandsUp->hide();
    // A request answered or withdrawn, by whoever did it, is no longer pending.
    if ((action == "agree" || action == "refuse" || action == "cancel")
        && CGlobalInstance::handsup_list.erase(userjid) != 0) {
        emit sigHandsUp(action, userjid, nickname);
        if (CGlobalInstance::handsup_list.empty())
            slotHideHandsUpRing();
    }
}

void VideoControlWidget::onRingBlink()
{
    setActive(ui->m_btnRing, m_ringBlink % 2 == 0);
    ++m_ringBlink;
}

void VideoControlWidget::onRing() { emit sigHandsUpList(); }

void VideoControlWidget::slotHideHandsUpRing()
{
    ui->m_btnRing->hide();
    m_ringBlinkTimer->stop();
}

// ---------------------------------------------------------------------------
// Role changes

void VideoControlWidget::slotGrantAdmin()
{
    setBtnVisible(true);
    ui->m_btnHandsUp->hide();
    slotHideHandsUpRing();
}

void VideoControlWidget::slotTransferModerator()
{
    setBtnVisible(false);
    slotHideHandsUpRing();
}

void VideoControlWidget::slotLostModerator(bool isLost) { ui->m_btnModerator->setVisible(isLost); }

// ---------------------------------------------------------------------------
// Lock

void VideoControlWidget::onLock()
{
    if (!CGlobalInstance::veltoSdk->isModerator())
        return;
    const bool lock = !m_locked;
    if (CGlobalInstance::veltoSdk->LockConference(lock) != 0)
        return;
    m_locked = lock;
    ui->m_btnLock->setIcon(QIcon(lock ? ":/icons/lock" : ":/icons/unlock"));
    setActive(ui->m_btnLock, lock);
}

void VideoControlWidget::slotLockConference(bool isLock)
{
    m_locked = isLock;
    // The icon follows the state too: a lock set by another moderator shows as such.
    ui->m_btnLock->setIcon(QIcon(isLock ? ":/icons/lock" : ":/icons/unlock"));
    setActive(ui->m_btnLock, isLock);
}

// ---------------------------------------------------------------------------
// Outgoing-call panels: positions are recomputed from the list on every change.

void VideoControlWidget::slotShowCallWidget(std::string sip)
{
    // The call-out dialogs connect here; the panel itself comes from the
    // meeting tools, which hand it to placeCallPanel().
    qDebug() << "slotShowCallWidget" << logText(sip);
}

namespace {
void layoutCallPanels(const std::vector<QWidget*>& panels)
{
    if (panels.empty())
        return;
    std::vector<int> heights;
    for (QWidget* panel : panels)
        heights.push_back(panel->height());
    const QRect available = CGlobalInstance::getAvailableScreenRect();
    const auto positions =
        MeetingLayout::callPanelPositions(available.size(), panels.back()->width(), heights);
    for (size_t i = 0; i < panels.size(); ++i)
        panels[i]->move(available.width() - panels[i]->width() - 6, positions[i].y());
}
}  // namespace

void VideoControlWidget::placeCallPanel(QWidget* panel)
{
    panel->show();
    QMutexLocker lock(&m_callMutex);
    m_callPanels.push_back(panel);
    layoutCallPanels(m_callPanels);
}

void VideoControlWidget::removeCallPanel(QWidget* panel)
{
    QMutexLocker lock(&m_callMutex);
    const auto found = std::find(m_callPanels.begin(), m_callPanels.end(), panel);
    if (found == m_callPanels.end())
        return;
    m_callPanels.erase(found);
    panel->deleteLater();
    layoutCallPanels(m_callPanels);
}

std::vector<QWidget*> VideoControlWidget::callPanels() const
{
    QMutexLocker lock(&m_callMutex);
    return m_callPanels;
}
