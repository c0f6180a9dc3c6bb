// Names, titles and texts that other users or the server choose are shown as
// the characters they are: markup in them lays out neither pictures nor
// styled text, and no label grows because of it.
#include "DesktopTestUtil.h"
#include "FakeVeltoInterface.h"

#include "Base/contactitem.h"
#include "Base/meetitem.h"
#include "Base/recentsitem.h"
#include "Base/tipwidget.h"
#include "Dialogs/detailreservationwidget.h"
#include "Dialogs/detailwidget.h"
#include "Dialogs/handsupitem.h"
#include "Dialogs/profilewidget.h"
#include "Dialogs/qconferenceinfowidget.h"
#include "Dialogs/qnicknamewidget.h"
#include "Dialogs/quserinfowidget.h"
#include "Dialogs/ringcallwidget.h"
#include "Dialogs/ringingwidget.h"
#include "Dialogs/screenitem.h"
#include "Dialogs/subvideowidget.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTextDocument>

#include <functional>
#include <memory>

namespace {

// A heading and a picture of the program's own resources: drawn as rich text
// they make a label hundreds of pixels high. The heading's tag comes first so
// that a label which cuts the name short still shows one whole tag.
const QString kMarkup = R"(<h1>Eve</h1><img src=":/images/logo" width="400" height="300">)";

// The same characters without meaning to a rich-text reader.
QString inert(QString text) { return text.replace('<', '[').replace('>', ']'); }

// What a reader sees in a label: QLabel and tool tips lay out text that looks
// like markup as rich text unless told otherwise.
QString seen(const QString& text, Qt::TextFormat format)
{
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(text)))
        return text;
    QTextDocument document;
    document.setHtml(text);
    return document.toPlainText();
}

struct Shown {
    std::unique_ptr<QWidget> widget;  // owns the label
    QLabel* label = nullptr;
};

struct Case {
    const char* where;
    std::function<Shown(const QString& name)> show;
    bool tooltip = false;  // the label's tool tip carries the whole text
};

template <typename W>
Shown labelOf(W* widget, const char* name)
{
    Shown shown;
    shown.label = widget->template findChild<QLabel*>(name);
    shown.widget.reset(widget);
    return shown;
}

std::string utf8(const QString& text) { return text.toStdString(); }

class OutsideText : public ::testing::Test {
protected:
    void SetUp() override
    {
        velto::test::resetGlobalState();
        CGlobalInstance::veltoSdk = &sdk;
        CGlobalInstance::userInfo.myJid = "u1@msg.example/pc1";
    }
    void TearDown() override { CGlobalInstance::veltoSdk = nullptr; }

    velto::test::FakeVeltoInterface sdk;
};

}  // namespace

// A long caller's name is cut short: the incoming-call window keeps its size.
TEST_F(OutsideText, IncomingCallWindowKeepsItsSizeForALongName)
{
    RingCallWidget short_("eve@msg.example/pc", "777", 0, "Eve", "", nullptr);
    RingCallWidget long_("eve@msg.example/pc", "777", 0, std::string(200, 'W'), "", nullptr);
    EXPECT_LE(long_.minimumSizeHint().width(), short_.width());
    EXPECT_TRUE(long_.findChild<QLabel*>("lblRingTitle")->text().endsWith(" Video call"));
}

TEST_F(OutsideText, MarkupInNamesAndTitlesIsShownAsText)
{
    const Case cases[] = {
        {"incoming call title", [](const QString& n) {
             return labelOf(new RingCallWidget("eve@msg.example/pc", "777", 0, utf8(n), "", nullptr), "lblRingTitle");
         }, true},
        {"outgoing call", [](const QString& n) {
             return labelOf(new RingingWidget("eve", 0, utf8(n), 0, nullptr), "lblWaiting");
         }},
        {"hands-up list", [](const QString& n) {
             return labelOf(new HandsUpItem("eve@msg.example/pc", utf8(n)), "lblHandsUpName");
         }},
        {"video tile name", [](const QString& n) {
             auto* mask = new QBaseMaskWidget();
             mask->setUsername(900, 180, n);
             return labelOf(mask, "lblMaskName");
         }},
        {"nickname badge", [](const QString& n) {
             auto* badge = new QNicknameWidget();
             badge->setNickname(utf8(n));
             return labelOf(badge, "lblName");
         }},
        {"participant row", [](const QString& n) {
             return labelOf(new QUserInfoWidget("eve@msg.example/pc", utf8(n), false, false, false, false),
                            "m_lblName");
         }},
        {"participant name tip", [](const QString& n) {
             auto* tip = new TipWidget();
             tip->setText(n);
             Shown shown;
             shown.label = tip->findChild<QLabel*>();
             shown.widget.reset(tip);
             return shown;
         }},
        {"meeting information", [](const QString& n) {
             CGlobalInstance::userInfo.mUserName = utf8(n);
             auto* info = new QConferenceInfoWidget();
             info->setConferenceInfo();
             return labelOf(info, "m_lblName");
         }},
        {"recent call", [](const QString& n) {
             return labelOf(new RecentsItem("eve", n, 0, 0, 0, true), "lblRecentsName");
         }},
        {"contact", [](const QString& n) {
             return labelOf(new ContactItem("eve", "", n, true, "pc-win"), "lblContactName");
         }},
        {"meeting row", [](const QString& n) { return labelOf(new MeetItem("m1", n, "777", ""), "lblMeetName"); },
         true},
        {"meeting details", [](const QString& n) {
             auto* details = new DetailWidget();
             details->setDetailWidget(n, "777", "CTA0", "0", 3600, "", "");
             return labelOf(details, "lblTitle");
         }, true},
        {"meeting details moderator", [](const QString& n) {
             auto* details = new DetailWidget();
             details->setDetailWidget("Title", "777", "CTA0", "0", 3600, "", n);
             return labelOf(details, "lblModerator");
         }},
        {"reserved meeting details", [](const QString& n) {
             auto* details = new DetailReservationWidget();
             details->setDetailWidget("m1", n, "777", "0", 3600, "", "", 0, 0, "");
             return labelOf(details, "lblTitle");
         }, true},
        {"profile", [](const QString& n) {
             return labelOf(new ProfileWidget("eve", "eve@example.com", utf8(n), "1"), "lblUsername");
         }},
        {"shared window title", [](const QString& n) {
             auto* item = new ScreenItem(7, false);
             item->setWidowTitle(utf8(n));
             return labelOf(item, "lblText");
         }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        const Shown hostile = c.show(kMarkup);
        const Shown plain = c.show(inert(kMarkup));
        ASSERT_NE(hostile.label, nullptr);
        ASSERT_NE(plain.label, nullptr);
        // The name's own characters, whole or cut short with an ellipsis.
        const QString text = seen(hostile.label->text(), hostile.label->textFormat());
        EXPECT_TRUE(text.contains("<h1>")) << utf8(text);
        EXPECT_LE(hostile.label->sizeHint().height(), plain.label->sizeHint().height());
        if (c.tooltip) {
            const QString tip = seen(hostile.label->toolTip(), Qt::AutoText);
            EXPECT_TRUE(tip.startsWith(kMarkup)) << utf8(tip);
        }
    }
}
