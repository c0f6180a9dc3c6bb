// Common helpers: grey images, passwords, time lists, Base64, style sheet,
// outside text in log lines.
#include "commonhelper.h"
#include "logtext.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

struct GreyCase {
    const char* name;
    QImage::Format format;
    const char* fileFormat;
    std::vector<QRgb> pixels;
    std::vector<int> grey;
};

TEST(CommonHelper, GreyImageForEveryFormat)
{
    const std::vector<QRgb> colours{qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0),
                                    qRgb(0, 0, 255)};
    const std::vector<int> grey{255, 0, 87, 127, 39};
    const GreyCase cases[] = {
        {"32-bit", QImage::Format_RGB32, "png", colours, grey},
        {"32-bit with alpha", QImage::Format_ARGB32, "png", colours, grey},
        {"palette", QImage::Format_Indexed8, "png", colours, grey},
        {"24-bit bitmap", QImage::Format_RGB888, "bmp", colours, grey},
        {"16-bit", QImage::Format_RGB16, "ppm", colours, grey},
        {"grey levels", QImage::Format_Grayscale8, "png",
         {qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(200, 200, 200), qRgb(17, 17, 17), qRgb(128, 128, 128)},
         {255, 0, 200, 17, 128}},
    };
    QTemporaryDir dir;
    for (const GreyCase& c : cases) {
        SCOPED_TRACE(c.name);
        QImage source(int(c.pixels.size()), 1, QImage::Format_RGB32);
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, 0, c.pixels[size_t(x)]);
        const QString path = dir.filePath(QString(c.name) + "." + c.fileFormat);
        ASSERT_TRUE(source.convertToFormat(c.format, Qt::ThresholdDither).save(path, c.fileFormat));

        const QImage result = CommonHelper::toGray(path);
        ASSERT_EQ(result.format(), QImage::Format_Indexed8);
        ASSERT_EQ(result.size(), source.size());
        ASSERT_EQ(result.colorCount(), 256);
        for (int i = 0; i < 256; ++i)
            ASSERT_EQ(result.color(i), qRgb(i, i, i)) << "palette entry " << i;
        for (int x = 0; x < result.width(); ++x)
            EXPECT_EQ(result.pixelIndex(x, 0), c.grey[size_t(x)]) << "pixel " << x;
    }
    EXPECT_TRUE(CommonHelper::toGray(dir.filePath("missing.png")).isNull());
}

TEST(CommonHelper, RandomPasswordIsEightDigits)
{
    const QRegularExpression eightDigits("^[1-9][0-9]{7}$");
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString password = CommonHelper::randomPassword();
        EXPECT_TRUE(eightDigits.match(password).hasMatch()) << password.toStdString();
        EXPECT_NE(password, "99999999");
        seen << password;
    }
    EXPECT_GT(seen.size(), 190) << "passwords repeat";
}

TEST(CommonHelper, TimeList)
{
    struct Case {
        int hour, minute;
        bool today;
        int size;
        const char* first;
        const char* last;
    };
    const Case cases[] = {
        {10, 0, true, 55, "10:15", "23:45"}, {10, 14, true, 55, "10:15", "23:45"},
        {10, 15, true, 54, "10:30", "23:45"}, {10, 44, true, 53, "10:45", "23:45"},
        {10, 45, true, 52, "11:00", "23:45"}, {23, 10, true, 3, "23:15", "23:45"},
        {23, 50, true, 0, nullptr, nullptr}, {0, 0, true, 95, "00:15", "23:45"},
        {17, 33, false, 96, "00:00", "23:45"},
    };
    for (const Case& c : cases) {
        const QStringList times = CommonHelper::getTimeList(c.hour, c.minute, c.today);
        SCOPED_TRACE(QString("%1:%2 %3").arg(c.hour).arg(c.minute).arg(c.today).toStdString());
        ASSERT_EQ(times.size(), c.size);
        if (c.size) {
            EXPECT_EQ(times.first(), c.first);
            EXPECT_EQ(times.last(), c.last);
        }
    }
    EXPECT_EQ(CommonHelper::getTimeList(23, 10, true), (QStringList{"23:15", "23:30", "23:45"}));
}

TEST(CommonHelper, Base64OfUtf8)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""}, {" ", "IA=="}, {"abc", "YWJj"}, {"123456", "MTIzNDU2"}, {"密码", "5a+G56CB"}, {"pässwörd", "cMOkc3N3w7ZyZA=="}};
    for (const auto& [text, base64] : cases)
        EXPECT_EQ(CommonHelper::getBase64(QString::fromUtf8(text)), base64) << text;
}

TEST(CommonHelper, StyleSheet)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("style.qss"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("QLabel{color:red;}\0garbage", 26));
    file.close();

    CommonHelper::setStyle(file.fileName());
    EXPECT_EQ(qApp->styleSheet(), "QLabel{color:red;}");
    CommonHelper::setStyle(dir.filePath("missing.qss"));
    EXPECT_EQ(qApp->styleSheet(), "QLabel{color:red;}") << "an unreadable file changes nothing";

    CommonHelper::setStyle(":/qss/style_mac.qss");
    for (const char* rule : {"QWidget#MessageBox", "QLabel#lblMsgText", "QPushButton#btnOK", "QPushButton#btnCancel",
                             "combobox-popup:0", ":/images/drop_arrow", "qt_calendar_navigationbar"})
        EXPECT_TRUE(qApp->styleSheet().contains(rule)) << rule;
    qApp->setStyleSheet(QString());
}

TEST(LogText, ControlCharactersAreWrittenAsEscapes)
{
    const struct {
        QString text;
        QString logged;
    } cases[] = {
        {"Eve\r\n12:00:00 (x:1) forged", "Eve\\r\\n12:00:00 (x:1) forged"},
        {"tab\tbell\aesc\x1b[31m", "tab\\tbell\\u0007esc\\u001b[31m"},
        {QString("del") + QChar(0x7f) + QChar(0x85) + QChar(0x2028) + QChar(0x2029),
         "del\\u007f\\u0085\\u2028\\u2029"},
        {"a\\r stays readable", "a\\\\r stays readable"},
        {"Zoë 张伟 <b>", "Zoë 张伟 <b>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(logEscaped(c.text), c.logged);
    }
    // UTF-8 names arrive as bytes; the stream writes them without quotes.
    QString line;
    {
        QDebug debug(&line);
        debug << "nickName==" << logText(std::string("Zoë\n"));
    }
    EXPECT_EQ(line.trimmed(), QString("nickName== Zoë\\n"));
}

}  // namespace
