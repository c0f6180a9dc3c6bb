// Error texts and the program's translations.
#include "cglobalinstance.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTranslator>
#include <QXmlStreamReader>

namespace {

// Installs one of the program's translations for the lifetime of the object.
class Translation {
public:
    explicit Translation(const char* resource)
    {
        EXPECT_TRUE(translator_.load(resource)) << resource;
        QCoreApplication::installTranslator(&translator_);
    }
    ~Translation() { QCoreApplication::removeTranslator(&translator_); }

private:
    QTranslator translator_;
};

bool hasChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

// Every code the program knows, and the gaps around and between them.
std::vector<int> codesToProbe()
{
    std::vector<int> codes{-1, 4030, 4031, 4032, 4033, 4034, 400404, 700105};
    const std::pair<int, int> ranges[] = {{0, 800}, {99990, 100040}, {300000, 300500}, {600100, 600120}};
    for (const auto& [first, last] : ranges)
        for (int code = first; code <= last; ++code)
            codes.push_back(code);
    return codes;
}

TEST(ErrorTexts, SourceTexts)
{
    const std::pair<int, const char*> cases[] = {
        {0, "Request timeout"},
        {300103, "Username is null,Error code:300103"},
        {106, "Username is null,Error code:106"},
        {107, "Passeord is null,Error code:107"},
        {100016, "Lost morderator,conference will be close in 5 mins"},
        {100000, "This operation will modify the participant's main audio switch, whether to continue"},
        {100029, "Set up successfully, restart and take effect."},
        {414, "Conference endtime should be less than current time ,Error code:414"},
        {417, " Participants are required,Error code:417"},
        {4033, "Conference is closing,please waiting,Error code:4033"},
        {700105, "Too less partipants in conferece,share failed,Error code:700105"},
        {402, "Unkown Error,Error code:402"},
        {416, "Unkown Error,Error code:416"},
        {514, "Unkown Error,Error code:514"},
        {611, "Unkown Error,Error code:611"},
        {-1, "Unkown Error,Error code:-1"},
        {100030, "Unkown Error,Error code:100030"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(CGlobalInstance::getErrorByCode(code), text) << code;
}

TEST(ErrorTexts, ChineseTranslation)
{
    Translation chinese(":/i18n/cn");
    const std::pair<int, const char*> cases[] = {
        {0, "请求超时，请检查网络或参数设置"},
        {100015, "检测到您的网络异常，请检查后重试"},
        {100020, "未检测到视频输入设备，是否单语音进会"},
        {100029, "切换语言成功，重启应用后生效。"},
        {-1, "未知错误，错误码：-1"},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(CGlobalInstance::getErrorByCode(code), QString::fromUtf8(text)) << code;
}

TEST(ErrorTexts, EveryCodeHasAChineseText)
{
    std::vector<std::pair<int, QString>> english;
    for (int code : codesToProbe())
        english.emplace_back(code, CGlobalInstance::getErrorByCode(code));

    Translation chinese(":/i18n/cn");
    int known = 0;
    for (const auto& [code, source] : english) {
        if (source.startsWith("Unkown Error"))
            continue;
        ++known;
        // The message itself must be Chinese, not just the code suffix.
        const QString codeSuffix = QString::fromUtf8("，错误码：") + QString::number(code);
        QString message = CGlobalInstance::getErrorByCode(code);
        if (message.endsWith(codeSuffix))
            message.chop(codeSuffix.size());
        EXPECT_TRUE(hasChinese(message)) << code << " " << message.toStdString();
    }
    EXPECT_GT(known, 100) << "the probe missed the code table";
}

TEST(ErrorTexts, EnglishTranslationShowsTheSourceTexts)
{
    std::vector<std::pair<int, QString>> source;
    for (int code : codesToProbe())
        source.emplace_back(code, CGlobalInstance::getErrorByCode(code));
    Translation english(":/i18n/en");
    for (const auto& [code, text] : source)
        EXPECT_EQ(CGlobalInstance::getErrorByCode(code), text) << code;
}

// Every text the program shows must have a Chinese translation: a text added
// in the code and merged by lupdate arrives unfinished and empty.
TEST(Translations, EveryChineseEntryIsFinished)
{
    QFile file(QStringLiteral(VELTO_ZH_CN_TS));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << VELTO_ZH_CN_TS;

    QXmlStreamReader xml(&file);
    QString context, source;
    QStringList untranslated;
    int entries = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            ++entries;
            const bool unfinished = xml.attributes().value("type") == QLatin1String("unfinished");
            if (unfinished || xml.readElementText().trimmed().isEmpty())
                untranslated << context + ": \"" + source + '"';
        }
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_GT(entries, 0);
    EXPECT_TRUE(untranslated.isEmpty()) << untranslated.join('\n').toStdString();
}

}  // namespace
