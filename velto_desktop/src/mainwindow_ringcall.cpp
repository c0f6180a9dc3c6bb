// One-to-one calls: the dispatch of received ring-call messages, the outgoing
// call window and the call book that turns every ended call into a recents row.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDebug>

#include "Dialogs/ringcallwidget.h"
#include "Dialogs/ringingwidget.h"
#include "Home/homerules.h"
#include "Home/meetingentry.h"
#include "systemtray.h"
#include "Tools/logtext.h"

void MainWindow::sendProcessed()
{
    CGlobalInstance::veltoSdk->SendRingCall(home::bareJid(CGlobalInstance::userInfo.myJid), "processed", "", "", 0, 0,
                                            "", "");
}

bool MainWindow::hasPendingCall(const std::string& id, int callType) const
{
    const auto entry = ringCallList.find(id);
    return entry != ringCallList.end() && entry->second.calltype == callType;
}

void MainWindow::slotRingCall(std::string userJid, std::string type, std::string roomId, std::string nickName,
                              int callType, int isCaller, std::string meetPassword)
{
    const std::string id = home::lowerId(CGlobalInstance::getUserId(userJid));
    switch (home::ringWord(type)) {
    case home::RingWord::Invite: {
        qDebug() << "slotRingCall invite== " << logText(userJid) << ",nickName==" << logText(nickName);
        insertRingCallList(id, nickName, 0);
        if (CGlobalInstance::isJoinConference) {
            CGlobalInstance::veltoSdk->SendRingCall(userJid, "busy", roomId, nickName, 0, 0, "", "");
            // The caller ends its side on the "busy"; this side ends here.
            removeRingCallList(id, false);
            return;
        }
        // One window per caller: a repeated invite keeps ringing in the first.
        if (m_incomingCalls.count(userJid))
            return;
        auto* window = new RingCallWidget(userJid, roomId, callType, nickName, meetPassword, nullptr);
        m_incomingCalls[userJid] = window;
        connect(this, &MainWindow::sigCloseRingCallWidget, window, &RingCallWidget::slotCloseRingCallWidget);
        connect(m_tray, &SystemTray::sigTranslatorLanguage, window, &RingCallWidget::slotTranslatorLanguage);
        connect(window, &RingCallWidget::sigCallAccepted, this,
                [this](std::string caller) { m_acceptedCallers.insert(caller); });
        connect(window, &RingCallWidget::sigCallRefused, this, [this](std::string caller) {
            removeRingCallList(CGlobalInstance::getUserId(caller), false);
        });
        connect(window, &QObject::destroyed, this, [this, userJid](QObject* gone) {
            const auto found = m_incomingCalls.find(userJid);
            if (found != m_incomingCalls.end() && found->second == gone)
                m_incomingCalls.erase(found);
        });
        window->showWidget();
        return;
    }
    case home::RingWord::Accept: {
        qDebug() << "slotRingCall accept== " << logText(userJid) << ",nickName==" << logText(nickName);
        // Only an answer to a call this side placed starts a meeting.
        if (!hasPendingCall(id, 1))
            return;
        emit sigRingingStatus(id);
        if (!CGlobalInstance::isJoinConference && !createMeetingRoom())
            return;
        const std::string password = runningMeetingPassword(personalRoom());
        if (CGlobalInstance::veltoSdk->SendRingCall(userJid, "join", CGlobalInstance::conferenceInfo.room,
                                                    CGlobalInstance::userInfo.mUserName, 0, 0, "", password) != 0)
            return;
        emit sigRingClose("accept", userJid);
        return;
    }
    case home::RingWord::Reject:
        qDebug() << "slotRingCall reject== " << logText(userJid) << ",nickName==" << logText(nickName);
        // A withdrawal comes only from a caller ringing here, a refusal only from
        // a callee this side rang: anyone else's "reject" settles nothing.
        if (isCaller == 1 ? !m_incomingCalls.count(userJid) && !hasPendingCall(id, 0) : !hasPendingCall(id, 1))
            return;
        emit sigRingingStatus(id);
        if (isCaller == 1) {
            emit sigCloseRingCallWidget(userJid);
            m_acceptedCallers.erase(userJid);
        } else {
            emit sigRingClose("reject", userJid);
            sendProcessed();
        }
        removeRingCallList(id, false);
        return;
    case home::RingWord::Busy:
        qDebug() << "slotRingCall busy== " << logText(userJid) << ",nickName==" << logText(nickName);
        if (!hasPendingCall(id, 1))
            return;
        emit sigRingingStatus(id);
        emit sigRingClose("busy", userJid);
        sendProcessed();
        removeRingCallList(id, false);
        return;
    case home::RingWord::Join: {
        qDebug() << "slotRingCall join== " << logText(userJid) << ",nickName==" << logText(nickName)
                 << "room == " << logText(roomId);
        // Only the caller whose call this device accepted may pull it into a room.
        if (!m_acceptedCallers.erase(userJid))
            return;
        CGlobalInstance::answerUserId = id;
        if (joinMeetingRoom(roomId, meetPassword))
            sendProcessed();
        else
            CGlobalInstance::answerUserId.clear();
        return;
    }
    case home::RingWord::Processed: {
        qDebug() << "slotRingCall processed";
        // Only the own account's other devices settle calls for this one.
        if (home::lowerId(home::bareJid(userJid)) != home::lowerId(home::bareJid(CGlobalInstance::userInfo.myJid)))
            return;
        emit sigCloseRingCallWidget(std::string());
        m_acceptedCallers.clear();
        slotMessageBox(600109);
        return;
    }
    case home::RingWord::None:
        return;
    }
}

void MainWindow::slotRinging(std::string userId, int callType, std::string nickName, int64_t time)
{
    auto* window = new RingingWidget(userId, callType, nickName, time, nullptr);
    connect(this, &MainWindow::sigNetworkError, window, &QWidget::close);
    connect(m_tray, &SystemTray::sigTranslatorLanguage, window, &RingingWidget::slotTranslatorLanguage);
    connect(window, &RingingWidget::sigRingTimeout, this, &MainWindow::slotRingTimeout);
    connect(window, &RingingWidget::sigRingingStatus, this, &MainWindow::sigRingingStatus);
    connect(window, &RingingWidget::sigWithdrawn, this,
            [this](std::string callee) { removeRingCallList(callee, false); });
    connect(this, &MainWindow::sigRingClose, window, &RingingWidget::slotRingClose);
    window->show();
    insertRingCallList(userId, nickName, 1);
}

void MainWindow::slotRingTimeout(std::string nickName)
{
    Q_UNUSED(nickName)
    slotMessageBox(600111);
}
