// Base widgets, the icon font and the program's resources.
#include "iconhelper.h"
#include "qbasecombox.h"
#include "qbaselabel.h"
#include "qbaselineedit.h"
#include "qbasesearchlineedit.h"
#include "qroundbutton.h"
#include "qroundlabel.h"
#include "qtransparentwidget.h"
#include "tipwidget.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

namespace {

TEST(Resources, EveryPictureSoundFontAndTranslationIsThere)
{
    const char* pictures[] = {
        ":/images/logo", ":/images/right", ":/images/drop_arrow", ":/images/users", ":/images/left_detail",
        ":/images/right_detail", ":/images/left_detail_s", ":/images/right_detail_s", ":/images/general",
        ":/images/audio", ":/images/video", ":/images/recording", ":/icons/error", ":/icons/important",
        ":/icons/no_video", ":/icons/video_call", ":/icons/micphone", ":/icons/micphone_unmute", ":/icons/phone_1",
        ":/icons/expand", ":/icons/collapse", ":/icons/record", ":/icons/recording", ":/icons/lock", ":/icons/unlock",
        ":/icons/home", ":/icons/home_1", ":/icons/Address", ":/icons/Address_1", ":/icons/fiveStar"};
    for (const char* path : pictures) {
        const QPixmap picture(path);
        EXPECT_FALSE(picture.isNull()) << path;
        EXPECT_FALSE(QIcon(path).pixmap(32, 32).isNull()) << path;
    }
    EXPECT_EQ(QFile(":/music/audio_pcm").size(), 44100 * 2 * 2 * 10) << "10 s of 44.1 kHz 16-bit stereo";
    EXPECT_GT(QFile(":/music/audio_wav").size(), 44);
    EXPECT_GT(QFile(":/font/awesome").size(), 50000);
    for (const char* translation : {":/i18n/cn", ":/i18n/en"}) {
        QTranslator translator;
        EXPECT_TRUE(translator.load(translation)) << translation;
    }
}

TEST(IconHelper, GlyphsInTheIconFont)
{
    IconHelper* helper = IconHelper::Instance();
    EXPECT_EQ(IconHelper::Instance(), helper);

    QToolButton bare, captioned;
    helper->SetIcon(&bare, QChar(0xF00D), QString(), 16);
    helper->SetIcon(&captioned, QChar(0xF130), "Audio", 16);
    EXPECT_EQ(bare.text(), QString(QChar(0xF00D)));
    EXPECT_EQ(captioned.text(), QString(QChar(0xF130)) + " Audio");
    EXPECT_EQ(bare.font().family(), "FontAwesome");

    QLabel large, small;
    helper->SetIcon(&large, QChar(0xF03D), 40);
    helper->SetIcon(&small, QChar(0xF03D), 16);
    EXPECT_EQ(large.font().pointSize(), 40) << "each widget keeps its own size";
    EXPECT_EQ(small.font().pointSize(), 16);
    EXPECT_EQ(large.text(), QString(QChar(0xF03D)));

    QPushButton button;
    helper->SetIcon(&button, QChar(0xF002), 14);
    EXPECT_EQ(button.text(), QString(QChar(0xF002)));
}

TEST(QBaseLineEdit, RoomNumberField)
{
    QWidget parent;
    QBaseLineEdit field(&parent);
    QLineEdit* inner = field.findChild<QLineEdit*>();
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(field.focusPolicy(), Qt::NoFocus);
    int left, top, right, bottom;
    field.layout()->getContentsMargins(&left, &top, &right, &bottom);
    EXPECT_EQ(left, 15);
    EXPECT_EQ(right, 15);

    field.setText("  12345  ");
    EXPECT_EQ(field.text(), "12345");

    field.setValidator();
    inner->clear();
    QTest::keyClicks(inner, "1a2b3 4-5678901234");
    EXPECT_EQ(field.text(), "123456789") << "digits only, nine at most";

    field.setPasswordEchoMode();
    EXPECT_EQ(inner->echoMode(), QLineEdit::Password);
    field.setPlaceholderText("room");
    EXPECT_EQ(inner->placeholderText(), "room");
}

TEST(QBaseLabel, ClicksAndSelection)
{
    QBaseLabel label;
    QSignalSpy clicked(&label, &QBaseLabel::clicked);
    const auto buttons = label.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    for (QPushButton* button : buttons) {
        EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
        button->click();
    }
    QTest::mouseRelease(&label, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 3);

    label.setText(":/icons/home", "Home");
    QPushButton* caption = buttons[1];
    EXPECT_EQ(caption->text(), "Home");
    EXPECT_TRUE(caption->styleSheet().contains("font-size:14px"));
    label.select(":/icons/home", ":/icons/home_1", true);
    EXPECT_EQ(caption->styleSheet(), "color:rgb(113,223,195);font-family:Helevtica;");
    label.select(":/icons/home", ":/icons/home_1", false);
    EXPECT_EQ(caption->styleSheet(), "color:rgb(0,0,0);font-family:Helevtica;");
    EXPECT_FALSE(buttons[0]->icon().isNull());
}

QImage render(QWidget& widget)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

TEST(QRoundLabel, PaintsAPictureAsACircle)
{
    QRoundLabel label;
    label.setAttribute(Qt::WA_TranslucentBackground);
    label.resize(40, 60);
    QPixmap red(10, 10);
    red.fill(Qt::red);
    label.setPixmap(red);
    const QImage image = render(label);
    EXPECT_EQ(image.pixelColor(20, 20), QColor(Qt::red)) << "centre of the circle";
    EXPECT_EQ(image.pixelColor(1, 1).alpha(), 0) << "corner outside the circle";
    EXPECT_EQ(image.pixelColor(38, 1).alpha(), 0);
    EXPECT_EQ(image.pixelColor(20, 50).alpha(), 0) << "below the circle";

    QSignalSpy clicked(&label, &QRoundLabel::clicked);
    QTest::mousePress(&label, Qt::LeftButton);
    EXPECT_EQ(clicked.count(), 1);

    QRoundLabel text;
    text.resize(40, 60);
    text.setText("A");
    EXPECT_NE(render(text), QImage(text.size(), QImage::Format_ARGB32)) << "paints like a label without picture";
}

TEST(QBaseSearchLineEdit, ClearEmitsOnceAndOnlyForAChange)
{
    QBaseSearchLineEdit search;
    QSignalSpy changed(&search, &QBaseSearchLineEdit::sigTextChanged);
    QLineEdit* inner = search.findChild<QLineEdit*>();
    ASSERT_NE(inner, nullptr);
    const auto buttons = search.findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    QPushButton* clear = buttons[1];
    EXPECT_EQ(clear->text(), QString(QChar(0xF057)));
    EXPECT_EQ(inner->placeholderText(), "contacts search");

    clear->click();
    EXPECT_EQ(changed.count(), 0) << "clearing an empty field changes nothing";

    QTest::keyClicks(inner, "ab");
    EXPECT_EQ(changed.count(), 2);
    changed.clear();
    clear->click();
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), "");
    EXPECT_EQ(search.text(), "");
}

TEST(TipWidget, NeverTakesFocusOrMouse)
{
    // The offscreen platform activates every window it shows, so the promise not
    // to take the focus is checked through what the window asks of the platform.
    TipWidget tip;
    tip.setText("Mute");
    EXPECT_TRUE(tip.testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(tip.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_EQ(tip.windowFlags() & (Qt::Tool | Qt::FramelessWindowHint), Qt::Tool | Qt::FramelessWindowHint);
    EXPECT_EQ(tip.findChild<QLabel*>()->text(), "Mute");
    EXPECT_GE(tip.minimumWidth(), 60);
}

TEST(RoundedMasks, KeepTheRoundedRectangle)
{
    QTransparentWidget panel;
    QRoundButton button;
    QWidget* widgets[] = {&panel, &button};
    panel.resize(200, 100);
    panel.setRoundRect(20);
    button.resize(200, 100);
    button.setRoundRect(20);
    for (QWidget* widget : widgets) {
        const QRegion mask = widget->mask();
        EXPECT_TRUE(mask.contains(QPoint(100, 50)));
        EXPECT_TRUE(mask.contains(QPoint(100, 1)));
        EXPECT_FALSE(mask.contains(QPoint(1, 1)));
        EXPECT_FALSE(mask.contains(QPoint(198, 98)));
    }
    const QImage image = render(panel);
    EXPECT_EQ(image.pixelColor(100, 50), QColor(0, 0, 0, 80));
}

TEST(QBaseCombox, Placeholder)
{
    QBaseCombox combo;
    EXPECT_FALSE(combo.isEmpty());
    combo.setPlaceholderText("Please select video input device");
    EXPECT_TRUE(combo.isEmpty());
    EXPECT_EQ(combo.findChild<QLineEdit*>()->placeholderText(), "Please select video input device");
    combo.showLineEdit(false);
    EXPECT_FALSE(combo.isEmpty());
}

}  // namespace
