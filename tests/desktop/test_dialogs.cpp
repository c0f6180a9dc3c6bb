// Message box and in-meeting notice.
#include "cglobalinstance.h"
#include "messagebox.h"
#include "qnoticewidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

namespace {

QPushButton* button(QWidget* box, const char* name)
{
    return box->findChild<QPushButton*>(name);
}

QString text(QWidget* widget, const char* label)
{
    return widget->findChild<QLabel*>(label)->text();
}

// Lets deferred deletions run.
void settle()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

TEST(MessageBox, BuiltFromACode)
{
    QPointer<MessageBox> box = new MessageBox(300103, true, nullptr);
    EXPECT_EQ(text(box, "lblMsgText"), CGlobalInstance::getErrorByCode(300103));
    EXPECT_EQ(box->windowTitle(), "Information");
    EXPECT_TRUE(box->testAttribute(Qt::WA_DeleteOnClose));
    EXPECT_TRUE(box->testAttribute(Qt::WA_ShowModal));
    EXPECT_TRUE(box->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(box->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(box->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(button(box, "btnCancel")->isHidden());

    // Centred on the primary screen within a pixel, 32 pixels above its middle.
    box->showWidget();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_NEAR(box->x() + box->width() / 2.0, screen.width() / 2.0, 1.0);
    EXPECT_NEAR(box->y() + box->height() / 2.0, screen.height() / 2.0 - 32, 1.0);
    delete box;
}

TEST(MessageBox, QuestionAndClicks)
{
    struct Case {
        const char* clicked;
        int ok, cancel;
    };
    for (const Case& c : {Case{"btnOK", 1, 0}, Case{"btnCancel", 0, 1}}) {
        QPointer<MessageBox> box = new MessageBox(0, true, nullptr);
        box->setChoiceText("Leave the meeting?");
        EXPECT_EQ(text(box, "lblMsgText"), "Leave the meeting?");
        EXPECT_FALSE(button(box, "btnCancel")->isHidden());
        QSignalSpy ok(box.data(), &MessageBox::sigOk), cancel(box.data(), &MessageBox::sigCancel);
        box->showWidget();
        button(box, c.clicked)->click();
        EXPECT_EQ(ok.count(), c.ok) << c.clicked;
        EXPECT_EQ(cancel.count(), c.cancel) << c.clicked;
        settle();
        EXPECT_TRUE(box.isNull()) << "the box deletes itself when it closes";
    }
}

TEST(MessageBox, ReturnAndEnterKeys)
{
    struct Case {
        const char* focus;  // nullptr: neither button
        int key;
        int ok;
        bool closed;
    };
    const Case cases[] = {
        {"btnOK", Qt::Key_Return, 1, true},      {"btnOK", Qt::Key_Enter, 1, true},
        {"btnCancel", Qt::Key_Return, 0, true},  {"btnCancel", Qt::Key_Enter, 0, true},
        {nullptr, Qt::Key_Return, 0, false},     {"btnOK", Qt::Key_Escape, 0, false},
        {"btnOK", Qt::Key_Space, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.focus ? c.focus : "no focus") + " key " + std::to_string(c.key));
        QPointer<MessageBox> box = new MessageBox(0, false, nullptr);
        box->setPromptText(true);
        QSignalSpy ok(box.data(), &MessageBox::sigOk), cancel(box.data(), &MessageBox::sigCancel);
        box->showWidget();
        QApplication::setActiveWindow(box);
        if (c.focus)
            button(box, c.focus)->setFocus();
        else
            box->setFocus();
        QTest::keyClick(box.data(), Qt::Key(c.key));
        EXPECT_EQ(ok.count(), c.ok);
        EXPECT_EQ(cancel.count(), 0) << "keys never emit sigCancel";
        settle();
        EXPECT_EQ(box.isNull(), c.closed);
        delete box;
    }
}

TEST(MessageBox, TitleBarCloseEmitsNothing)
{
    QPointer<MessageBox> box = new MessageBox(100015, true, nullptr);
    QSignalSpy ok(box.data(), &MessageBox::sigOk), cancel(box.data(), &MessageBox::sigCancel);
    box->showWidget();
    box->close();
    settle();
    EXPECT_TRUE(box.isNull());
    EXPECT_EQ(ok.count() + cancel.count(), 0);
}

TEST(MessageBox, TextsAndIcons)
{
    MessageBox box(404, true, nullptr);
    QLabel* image = box.findChild<QLabel*>("lblMsgImage");
    box.setErrorText("Broken");
    EXPECT_EQ(text(&box, "lblMsgText"), "Broken");
    EXPECT_EQ(image->pixmap(Qt::ReturnByValue).toImage(), QPixmap(":/icons/error").toImage());
    box.setText("Question");
    EXPECT_EQ(image->pixmap(Qt::ReturnByValue).toImage(), QPixmap(":/icons/important").toImage());
    EXPECT_TRUE(button(&box, "btnCancel")->isHidden()) << "setText leaves Cancel as it was";
    box.setPromptText(false);
    EXPECT_TRUE(button(&box, "btnCancel")->isHidden());
    EXPECT_EQ(text(&box, "lblMsgText"), "Question");
}

TEST(MessageBox, TimerClosesOnlyAnOpenBox)
{
    QPointer<MessageBox> open = new MessageBox(0, false, nullptr);
    QPointer<MessageBox> early = new MessageBox(0, false, nullptr);
    QSignalSpy ok(open.data(), &MessageBox::sigOk), cancel(open.data(), &MessageBox::sigCancel);
    open->showWidget();
    early->showWidget();
    open->startTimer();
    early->startTimer();
    early->close();
    settle();
    EXPECT_TRUE(early.isNull());
    EXPECT_FALSE(open.isNull());
    // The wait ends when the box goes: its bound only has to outlast a loaded machine.
    EXPECT_TRUE(QTest::qWaitFor([&] { return open.isNull(); }, 20000)) << "still open long after 5 s";
    EXPECT_EQ(ok.count() + cancel.count(), 0);
}

TEST(MessageBox, ChineseTexts)
{
    QTranslator chinese;
    ASSERT_TRUE(chinese.load(":/i18n/cn"));
    QCoreApplication::installTranslator(&chinese);
    {
        MessageBox box(0, true, nullptr);
        EXPECT_EQ(box.windowTitle(), QString::fromUtf8("提示"));
        EXPECT_EQ(text(&box, "lblMsgText"), QString::fromUtf8("请求超时，请检查网络或参数设置"));
        EXPECT_EQ(button(&box, "btnOK")->text(), QString::fromUtf8("确定"));
        EXPECT_EQ(button(&box, "btnCancel")->text(), QString::fromUtf8("取消"));
    }
    QCoreApplication::removeTranslator(&chinese);
}

TEST(QNoticeWidget, PlacesRowsUnderTheAnchorsTopRight)
{
    const QRect anchor(100, 50, 1280, 720);
    const std::pair<int, QPoint> cases[] = {{0, {1059, 50}}, {1, {1059, 150}}, {2, {1059, 250}}};
    for (const auto& [index, position] : cases) {
        QNoticeWidget notice(index, 5, anchor);
        EXPECT_EQ(notice.geometry(), QRect(position, QSize(300, 80))) << index;
        EXPECT_TRUE(notice.windowFlags() & Qt::FramelessWindowHint);
    }
}

TEST(QNoticeWidget, Texts)
{
    QNoticeWidget notice(0, 5, QRect(0, 0, 800, 600));
    EXPECT_EQ(text(&notice, "m_lblContent"), "lock conference success");
    EXPECT_EQ(text(&notice, "m_lblTitle"), "Information");
    EXPECT_EQ(notice.findChild<QToolButton*>("m_btnClose")->text(), QString(QChar(0xF00D)));

    const std::tuple<int, const char*, const char*> cases[] = {
        {0, "new participant comes into conference", "有参会者进入会议室"},
        {1, "participant leaves from conference", "有参会者离开会议室"},
        {2, "update master screen success", "更新主屏成功"},
        {3, "You are moderator now", "您已被设置为主持人"},
        {4, "grant moderator success", "授权主持人成功"},
        {5, "lock conference success", "锁定会议室成功"},
        {6, "unlock conference success", "取消锁定会议室成功"},
        {7, "kick out participant success", "踢出会议室成功"},
        {8, "Lost morderator,conference will be close in 5 mins", "主持人离开会议室，会议室将在5分钟后关闭"},
        {9, "mute conference audio", "会议室禁音"},
        {10, "unmute conference audio", "取消会议室禁音"},
        {11, "mute conference video", "会议室禁视频"},
        {12, "unmute conference video", "取消会议室禁视频"},
        {13, "", ""},
        {-1, "", ""},
    };
    for (const auto& [code, english, chinese] : cases)
        EXPECT_EQ(notice.getContentByCode(code), english) << code;

    QTranslator translator;
    ASSERT_TRUE(translator.load(":/i18n/cn"));
    QCoreApplication::installTranslator(&translator);
    for (const auto& [code, english, chinese] : cases)
        EXPECT_EQ(notice.getContentByCode(code), QString::fromUtf8(chinese)) << code;
    QNoticeWidget translated(0, 6, QRect(0, 0, 800, 600));
    EXPECT_EQ(text(&translated, "m_lblTitle"), QString::fromUtf8("提示"));
    QCoreApplication::removeTranslator(&translator);
}

TEST(QNoticeWidget, ClosesAfterTwoSecondsAndReportsOnce)
{
    QNoticeWidget notice(0, 13, QRect(0, 0, 800, 600));
    QSignalSpy done(&notice, &QNoticeWidget::sigCloseWidget);
    notice.show();

    notice.findChild<QToolButton*>("m_btnClose")->click();
    ASSERT_EQ(done.count(), 1);
    EXPECT_EQ(done.at(0).at(0).value<QNoticeWidget*>(), &notice);
    EXPECT_TRUE(notice.isVisible()) << "the holder closes it; the click alone does not";

    EXPECT_TRUE(QTest::qWaitFor([&] { return !notice.isVisible(); }, 6000));
    EXPECT_EQ(done.count(), 2);
    EXPECT_TRUE(text(&notice, "m_lblContent").isEmpty());
}

}  // namespace
