// Forms opened from the main window open over it, under the window manager
// users run as well as without one.
#include "AppTestSupport.h"
#include "PrivateDisplay.h"

#include <functional>

#include "Dialogs/joinmeetwidget.h"

using namespace velto::test;

namespace {

class HomePlacement : public AppTest {};

}  // namespace

TEST_F(HomePlacement, FormsOpenOverTheMainWindow)
{
    makeWindow();
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != window.get())
            widget->hide();
    // Away from the screen's middle, where a window manager's own placement
    // might put a form anyway.
    window->move(40, 40);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get(), 5000));
    QTest::qWait(300);
    const struct {
        const char* what;
        std::function<void()> open;
    } cases[] = {
        {"join meeting", [this] { window->slotJoinConference(); }},
        {"reservation", [this] { window->createReservationMeetWidget(nullptr); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.open();
        QWidget* form = QApplication::activeModalWidget();
        ASSERT_NE(form, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form, 5000));
        QTest::qWait(300);
        const QPoint formCentre = onScreen(form->winId(), form->rect().center());
        const QPoint windowCentre = onScreen(window->winId(), window->rect().center());
        // (A window manager's frames move either centre a little.)
        EXPECT_LE((formCentre - windowCentre).manhattanLength(), 60)
            << "form at " << formCentre.x() << "," << formCentre.y() << ", main window at " << windowCentre.x() << ","
            << windowCentre.y();
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}
