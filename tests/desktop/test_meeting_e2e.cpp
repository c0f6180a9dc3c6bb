// A real meeting: the program with the real SDK, logged in to the local
// conference server, meets a second SDK client in the same process (the
// in-process signalling hub). The meeting window shows the guest's moving
// video in a tile, chat goes both ways, and leaving brings the main window back.
#include "AppTestSupport.h"
#include "LocalServer.h"
#include "RecordingCallback.h"

#include "Base/qbaselineedit.h"
#include "QGLRenderInterface.h"
#include "cglobalinstance.h"
#include "loginwidget.h"
#include "mainwindow.h"
#include "screensharewidget.h"
#include "subvideowidget.h"
#include "videocontrolwidget.h"
#include "videowidget.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <QApplication>
#include <QListWidget>
#include <QOpenGLWidget>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <QTextEdit>
#include <QToolButton>

#include <memory>

using namespace velto::test;

namespace {

VideoWidget* meetingWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (auto* video = qobject_cast<VideoWidget*>(widget); video && video->isVisible())
            return video;
    return nullptr;
}

SubVideoWidget* tileOf(VideoWidget* video, const std::string& jid)
{
    for (SubVideoWidget* tile : video->tiles())
        if (tile->isVisible() && tile->getUserJid() == jid)
            return tile;
    return nullptr;
}

QImage grabTile(SubVideoWidget* tile)
{
    auto* view = qobject_cast<QOpenGLWidget*>(tile->renderer()->getSelfWidget());
    return view ? view->grabFramebuffer() : QImage();
}

bool isBlack(const QImage& image)
{
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            if (qGray(image.pixel(x, y)) > 16)
                return false;
    return true;
}

TEST(MeetingEndToEnd, TwoClientsSeeEachOtherChatAndLeave)
{
    LocalServer server;
    server.setProgramEnv();
    const Account account = server.demoAccount();
    ASSERT_NE(CGlobalInstance::getVeltoInterface(), nullptr);

    RecordingCallback guestCallback;
    std::unique_ptr<VeltoInterface> guest(getVeltoInterface());
    guest->setCallback(&guestCallback);
    {
        MainWindow window;
        CGlobalInstance::setMainWindow(&window);
        LoginWidget* login = window.loginWidget();
        login->findChild<QPushButton*>("btnLogin")->click();
        login->findChild<QBaseLineEdit*>("edtDomain_2")->setText(QString::fromStdString(server.localhost()));
        login->findChild<QBaseLineEdit*>("edtUsername")->setText(QString::fromStdString(account.userName));
        login->findChild<QBaseLineEdit*>("edtPassword_2")->setText(QString::fromStdString(account.password));
        login->findChild<QPushButton*>("btnLogin_2")->click();
        ASSERT_TRUE(CGlobalInstance::isLogin);
        window.findChild<QToolButton*>("btnInstantMeet")->click();
        ASSERT_TRUE(CGlobalInstance::isJoinConference);
        VideoWidget* video = meetingWindow();
        ASSERT_NE(video, nullptr);
        const std::string hostJid = CGlobalInstance::userInfo.myJid;

        // The guest joins with a camera stream of its own, started inside the
        // join as the program does, before the signalling room is joined.
        std::vector<velto_webrtc::rtc_device_> cameras, microphones, speakers;
        guest->getVideoCaptureDevices(cameras);
        guest->getAudioRecordingDevices(microphones);
        guest->getAudioPlayoutDevices(speakers);
        ASSERT_FALSE(cameras.empty() || microphones.empty() || speakers.empty());
        QWidget guestView;
        guestView.resize(320, 180);
        rtc_render guestRender;
        guestRender.window = QGLRenderInterface::CreateRender(&guestView);
        guestCallback.onEvent("onCreateOrJoinConference", [&](const Event&) {
            guest->ShowLocalPreview(guestRender, cameras[0], microphones[0], speakers[0], 640, 360, 15, 512);
        });
        ASSERT_EQ(guest->AnonymousJoinConference(server.host(), account.room, account.meetPassword, "Guest"), 0);

        // The host learns the guest's camera source, then the server puts the
        // guest into the strip.
        user_info guestInfo;
        ASSERT_TRUE(waitUntil([&] {
            for (const auto& [endpoint, user] : CGlobalInstance::user_list)
                if (user.nickname == "Guest" && !user.ssrc.empty())
                    guestInfo = user;
            return !guestInfo.ssrc.empty();
        }, 20000)) << "the guest never showed its camera; " << CGlobalInstance::user_list.size() << " known";
        const std::string stage = CGlobalInstance::getEndpointByJid(hostJid) + "_1,"
                                  + CGlobalInstance::getEndpointByJid(guestInfo.jid) + "_" + guestInfo.ssrc;
        const QJsonObject participants{{"type", "participants"},
                                       {"stage", QString::fromStdString(hostJid)},
                                       {"screen", false},
                                       {"splitScreen", 0},
                                       {"participants", QString::fromStdString(stage)}};
        ASSERT_TRUE(server.pushSignals(
            hostJid, {QJsonDocument(participants).toJson(QJsonDocument::Compact).toStdString()}));
        SubVideoWidget* tile = nullptr;
        ASSERT_TRUE(waitUntil([&] { return (tile = tileOf(video, guestInfo.jid)) != nullptr; }));
        EXPECT_EQ(tile->getLabel(), guestInfo.label);
        QImage first;
        ASSERT_TRUE(waitUntil([&] {
            first = grabTile(tile);
            return !first.isNull() && !isBlack(first);
        })) << "the guest's tile stays black";
        QImage second;
        EXPECT_TRUE(waitUntil([&] {
            second = grabTile(tile);
            return second != first;
        })) << "the guest's video does not move";

        // Chat both ways.
        video->slotShowChatWidget(true);
        auto* input = video->findChild<QTextEdit*>("textEdit");
        input->setPlainText("hello guest");
        QTest::keyClick(input, Qt::Key_Return);
        EXPECT_TRUE(guestCallback.waitFor([](const std::vector<Event>& events) {
            return std::any_of(events.begin(), events.end(), [](const Event& e) {
                return e.name == "onChatMessage" && e.args.size() > 1 && e.args[1] == "hello guest";
            });
        }));
        guest->SendChatMessage("hello host");
        auto* history = video->findChild<QTextBrowser*>("textBrowser");
        EXPECT_TRUE(waitUntil([&] { return history->toPlainText().contains("hello host"); }));

        // Screen share: a screen picked in the picker goes out and is marked
        // on the toolbar; stopping it takes the mark away.
        video->slotShareStream(true);
        ScreenShareWidget* picker = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* found = qobject_cast<ScreenShareWidget*>(w); found && found->isVisible())
                picker = found;
        ASSERT_NE(picker, nullptr);
        picker->findChild<QListWidget*>("screenListWidget")->setCurrentRow(0);
        picker->findChild<QPushButton*>("btnScreenShare")->click();
        EXPECT_TRUE(video->toolbar()->isSharing());
        EXPECT_TRUE(CGlobalInstance::isSecondStreamModel);
        video->slotShareStream(false);
        EXPECT_FALSE(video->toolbar()->isSharing());

        // Leave: the main window comes back.
        QPointer<VideoWidget> closing = video;
        video->toolbar()->findChild<QToolButton*>("m_btnClose")->click();
        EXPECT_TRUE(waitUntil([&] {
            // No event loop runs here: the closed window goes now.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return !closing;
        }));
        EXPECT_FALSE(CGlobalInstance::isJoinConference);
        EXPECT_TRUE(waitUntil([&] { return window.isVisible(); }));

        guest->LeaveConference();
        guest->Logout();
        CGlobalInstance::veltoSdk->Logout();
    }
    guest.reset();
    delete CGlobalInstance::veltoSdk;
    CGlobalInstance::veltoSdk = nullptr;
}

}  // namespace
