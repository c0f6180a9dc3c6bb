// Every window and dialog of the program opens, shows, takes the clicks that need
// no server, and closes without a crash. Runs on a real X server (Xvfb), because
// the meeting windows hold OpenGL renderers.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"
#include "cglobalinstance.h"

#include "avcheckwidget.h"
#include "calendarwidget.h"
#include "dumpwidget.h"
#include "joinmeetwidget.h"
#include "loginwidget.h"
#include "messagebox.h"
#include "preferenceswidget.h"
#include "callwidget.h"
#include "joinmeetwidget.h"
#include "loginwidget.h"
#include "messagebox.h"
#include "qcallsipwidget.h"
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
#include "subvideowidget.h"
#include "videocontrolwidget.h"
#include "videowidget.h"
#include "veltoupdate.h"
#include "whiteboardmenuwidget.h"
#include "whiteboardwidget.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
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
