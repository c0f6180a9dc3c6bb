// Every window and dialog of the program opens, shows, takes the clicks that need
// no server, and closes without a crash. Runs on a real X server (Xvfb), because
// the meeting windows hold OpenGL renderers.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "cglobalinstance.h"

#include "addcontactswidget.h"
#include "avcheckwidget.h"
#include "calendarwidget.h"
#include "contactitem.h"
#include "detailreservationwidget.h"
#include "detailwidget.h"
#include "dumpwidget.h"
#include "joinmeetwidget.h"
#include "loginwidget.h"
#include "meetitem.h"
#include "meetsetwidget.h"
#include "messagebox.h"
#include "preferenceswidget.h"
#include "callwidget.h"
#include "qcallsipwidget.h"
#include "profilewidget.h"
#include "qbasecontactswidget.h"
#include "qconferencedelaywidget.h"
#include "qconferenceinfowidget.h"
#include "qgetmoderatorwidget.h"
#include "qhandsupwidget.h"
#include "qlayoutmanagerwidget.h"
#include "qnicknamewidget.h"
#include "qnoticewidget.h"
#include "qscreensharewhiteboard.h"
#include "qsecondstreamwidget.h"
#include "qstaticswidget.h"
#include "qtopwidget.h"
#include "quserinfowidget.h"
#include "screensharewidget.h"
#include "recentsitem.h"
#include "reservationmeetwidget.h"
#include "ringcallwidget.h"
#include "ringingwidget.h"
#include "subvideowidget.h"
#include "veltoupdate.h"
#include "videocontrolwidget.h"
#include "videowidget.h"
#include "whiteboardmenuwidget.h"
#include "whiteboardwidget.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QPointer>
#include <QTest>

#include <functional>
#include <vector>

namespace {

struct WindowCase {
    const char* name;
    std::function<QWidget*()> open;
    // Buttons (object names) clicked after the window shows; they must need no server.
    std::vector<const char*> clicks;
};

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QApplication::processEvents();
    }
}

std::vector<WindowCase> windows()
{
    std::vector<WindowCase> cases = {
        // --- shell
        {"MessageBox", [] { return new MessageBox(300103, false, nullptr); }, {}},
        {"QNoticeWidget", [] { return new QNoticeWidget(0, 100023, QRect(0, 0, 800, 600)); }, {}},
        {"LoginWidget", [] { return new LoginWidget(); }, {}},
        // --- meeting room
        {"VideoWidget", [] { return new VideoWidget(); }, {}},
        {"VideoControlWidget", [] { return new VideoControlWidget(); },
         {"m_btnMicPhone", "m_btnVideo", "m_btnPatipants", "m_btnChat", "m_btnScreen", "m_btnLocal",
          "m_btnFullScreen", "m_btnClose", "m_btnHandsUp", "m_btnClose"}},
        {"SubVideoWidget", [] { return new SubVideoWidget(); }, {}},
        {"QUserInfoWidget (own row)",
         [] { return new QUserInfoWidget("me@host/pc-1", "Me", true, true, false, false); },
         {"m_btnMuteAudio", "m_btnMuteVideo"}},
        {"QUserInfoWidget", [] { return new QUserInfoWidget("a@host/web-2", "Alice", false, false, true, true); }, {}},
        {"QStaticsWidget", [] { return new QStaticsWidget(); }, {"m_btnShowscreen"}},
        {"QTopWidget", [] { return new QTopWidget(); }, {}},
        {"QNicknameWidget", [] { return new QNicknameWidget(); }, {}},
        {"QConferenceInfoWidget",
         [] {
             auto* panel = new QConferenceInfoWidget();
             panel->showInfoWidget();
             return panel;
         },
         {"m_btnClose"}},
        // --- meeting tools
        {"QConferenceDelayWidget", [] { return new QConferenceDelayWidget(); }, {"btnDelay"}},
        {"ScreenShareWidget", [] { return new ScreenShareWidget(0); }, {"btnScreenShare", "btnScreenCancel"}},
        {"QLayoutManagerWidget",
         [] {
             CGlobalInstance::user_subwidgets = {"ep1_1", "ep2_2", "ep3_3"};
             auto* dialog = new QLayoutManagerWidget();
             dialog->showWidget();
             return dialog;
         },
         {"btnOk"}},
        {"QCallSipWidget sip", [] { return new QCallSipWidget(0); }, {"btnSipOk", "btnSipCancel"}},
        {"QCallSipWidget phone", [] { return new QCallSipWidget(1); }, {"btnSipOk", "btnSipCancel"}},
        {"CallWidget", [] { return new CallWidget("sip:1234"); }, {}},
        {"QHandsUpWidget",
         [] {
             CGlobalInstance::handsup_list = {{"a@x/1", "Alice"}, {"b@x/2", "Bob"}};
             return new QHandsUpWidget();
         },
         {}},
        {"QGetModeratorWidget", [] { return new QGetModeratorWidget(); }, {"btnOK", "btnCancel"}},
        {"QSecondStreamWidget",
         [] {
             auto* panel = new QSecondStreamWidget();
             panel->showSecondStreamWidget(QRect(200, 200, 520, 460));
             return panel;
         },
         {"m_btnRefresh", "m_btnShare", "m_btnClose"}},
        // --- home pages and calls
        {"JoinMeetWidget", [] { return new JoinMeetWidget(); }, {}},
        {"CalendarWidget", [] { return new CalendarWidget(); }, {}},
        {"ProfileWidget", [] { return new ProfileWidget("demo", "demo@example.org", "Demo User", "555"); }, {}},
        {"ReservationMeetWidget", [] { return new ReservationMeetWidget("Demo"); },
         {"periodicCheckBox", "btnRight", "btnLeft", "btnCalendar", "btnCalendar_2", "periodicCheckBox"}},
        {"ReservationMeetWidget filled",
         [] {
             auto* form = new ReservationMeetWidget("Demo");
             conferences_info meeting;
             meeting.title = "Weekly";
             meeting.startTime = std::to_string((QDateTime::currentSecsSinceEpoch() + 86400) * 1000);
             meeting.lengthTime = 6 * 3600;
             meeting.cycle = 1;
             meeting.cycleDmy = 1;
             meeting.cycleEndDay = std::to_string((QDateTime::currentSecsSinceEpoch() + 30 * 86400) * 1000);
             form->setReservationInfo(&meeting);
             return form;
         },
         {}},
        {"MeetSetWidget", [] { return new MeetSetWidget("10000001"); }, {"btnRandom", "btnRandom", "btnCancel"}},
        {"DetailWidget",
         [] {
             auto* popup = new DetailWidget();
             popup->setDetailWidget("Fixed", "10000001", "CTF1", "0", 0, "1234", "4321");
             popup->setDetailWidget("Review", "30000001", "CTA0", "4102444800000", 3600, "", "Demo");
             return popup;
         },
         {}},
        {"DetailReservationWidget",
         [] {
             auto* popup = new DetailReservationWidget();
             popup->setImage(false);
             popup->setDetailWidget("c1", "Weekly", "30000002", "4102444800000", 3600, "", "4321", 1, 1,
                                    "4105036800000");
             return popup;
         },
         {}},
        {"MeetItem", [] { return new MeetItem("c1", "A rather long meeting title here", "30000001", "12-10 18:00"); },
         {}},
        {"QBaseContactsWidget", [] { return new QBaseContactsWidget("Contacts", "2/32", true); }, {}},
        {"ContactItem", [] { return new ContactItem("Alice", "", "Alice Chen", true, "pc-win"); }, {}},
        {"RecentsItem", [] { return new RecentsItem("alice", "Alice Chen", 0, 1700000000, 1, false); }, {}},
        {"AddContactsWidget", [] { return new AddContactsWidget(); }, {"btnAddContact"}},
        {"RingCallWidget",
         [] {
             auto* window = new RingCallWidget("alice@127.0.0.1/pc", "", 1, "Alice Chen", "");
             window->showWidget();
             return window;
         },
         {"btnClose"}},
        {"RingingWidget", [] { return new RingingWidget("alice", 0, "Alice Chen", 0); }, {}},
        // --- whiteboard and annotation
        {"WhiteboardWidget", [] { return new WhiteboardWidget(true); },
         {"btnText", "btnLine", "btnErase", "btnRed", "btnX", "btnXXXL", "btnClear"}},
        {"WhiteboardMenuWidget", [] { return new WhiteboardMenuWidget(); },
         {"btnClear", "btnText", "btnLine", "btnErase", "btnBlue", "btnXL", "btnExit"}},
        {"QScreenshareWhiteboard",
         [] {
             auto* overlay = new QScreenshareWhiteboard();
             overlay->setParentAndShow(0, true);
             return overlay;
         },
         {}},
        // --- device settings and updates
        {"AVCheckWidget", [] { CGlobalInstance::getVideoAudioDevices(); return new AVCheckWidget(); }, {"refreshCamera", "audioPlay"}},
        {"PreferencesWidget", [] { return new PreferencesWidget(); },
         {"btnPreferencesAudio", "btnTestSpeaker", "btnTestMicphone", "btnPreferencesVideo", "btnPreferencesGerenal"}},
        {"VeltoUpdate up to date", [] {
             QString latest = "1.0.9", name, address, md5;
             return new VeltoUpdate("1.0.9", latest, name, address, md5, false, nullptr);
         }, {}},
        {"VeltoUpdate offering", [] {
             QString latest = "2.0.0", name = "../x", address = "https://localhost:1/x", md5;
             return new VeltoUpdate("1.0.9", latest, name, address, md5, true, nullptr);
         }, {"btnUpgrade"}},
        {"DumpWidget", [] { return new DumpWidget("/nonexistent/velto.dmp", "0xC0000005", "0x00401000"); }, {}},
    };
    return cases;
}

class WindowSmoke : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
    }
    void TearDown() override { CGlobalInstance::veltoSdk = nullptr; }

    velto::test::FakeVeltoInterface sdk;
};

TEST_F(WindowSmoke, EveryWindowOpensShowsAndCloses)
{
    for (const WindowCase& c : windows()) {
        SCOPED_TRACE(c.name);
        QPointer<QWidget> window = c.open();
        ASSERT_TRUE(window) << c.name;
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window, 5000)) << c.name;
        settle();
        for (const char* click : c.clicks) {
            if (!window)
                break;
            auto* button = window->findChild<QAbstractButton*>(click);
            ASSERT_NE(button, nullptr) << c.name << ": no button " << click;
            if (button->isEnabled() && button->isVisible())
                button->click();
            settle();
        }
        if (window) {
            window->close();
            settle();
        }
        delete window.data();  // no-op once a window deleted itself
        settle();
    }
}

}  // namespace
