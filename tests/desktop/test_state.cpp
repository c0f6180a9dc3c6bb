// Global state: paths, settings file, preferences, language, start at log-in.
#include "DesktopTestUtil.h"
#include "cglobalinstance.h"
#include "settings.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>

using namespace velto::test;

namespace {

class StateTest : public ::testing::Test {
protected:
    void SetUp() override { resetGlobalState(); }
};

struct PreferencesCase {
    const char* name;
    const char* ini;  // nullptr: no settings file
    Preferences expected;
    int language;
    QPoint position;
};

Preferences flags(bool autoStart, bool autoLogin, bool fullScreen, bool audioMute, bool videoMute, bool showOffline)
{
    Preferences p;
    p.autoStart = autoStart;
    p.autoLogin = autoLogin;
    p.fullScreen = fullScreen;
    p.audioMute = audioMute;
    p.videoMute = videoMute;
    p.showOffline = showOffline;
    return p;
}

TEST_F(StateTest, PreferencesFromSettingsFile)
{
    const PreferencesCase cases[] = {
        {"no file", nullptr, flags(false, false, false, false, false, true), 0, {-1000, -1000}},
        {"file without the keys", "[Login]\nnickname=bob\n", flags(false, false, false, false, false, false), 0,
         {-1000, -1000}},
        {"every key", "[%General]\nautoStart=true\nautoLogin=true\nfullScreen=true\naudioMute=true\n"
                      "videoMute=true\nshowOffline=false\n[Language]\nlanguage=1\n[Geometry]\nx=100\ny=122\n",
         flags(true, true, true, true, true, false), 1, {100, 122}},
        {"some flags", "[%General]\naudioMute=true\nshowOffline=true\n",
         flags(false, false, false, true, false, true), 0, {-1000, -1000}},
        {"only x saved", "[Geometry]\nx=100\n", flags(false, false, false, false, false, false), 0, {100, -1000}},
        {"text where a flag belongs", "[%General]\nautoLogin=maybe\n", flags(false, false, false, false, false, false),
         0, {-1000, -1000}},
    };
    for (const PreferencesCase& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(CGlobalInstance::getIniPath());
        if (c.ini)
            writeIni(c.ini);
        CGlobalInstance::getDefaultPreferences();
        const Preferences& p = CGlobalInstance::preferences;
        EXPECT_EQ(p.autoStart, c.expected.autoStart);
        EXPECT_EQ(p.autoLogin, c.expected.autoLogin);
        EXPECT_EQ(p.fullScreen, c.expected.fullScreen);
        EXPECT_EQ(p.audioMute, c.expected.audioMute);
        EXPECT_EQ(p.videoMute, c.expected.videoMute);
        EXPECT_EQ(p.showOffline, c.expected.showOffline);
        EXPECT_EQ(CGlobalInstance::eLanguage, c.language);
        EXPECT_EQ(CGlobalInstance::mainPos, c.position);
    }
}

TEST_F(StateTest, SavedPositionIsPulledBackOntoTheScreen)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint outside[] = {{area.right() + 4000, area.bottom() + 4000},
                              {-3000, 50},
                              {50, -3000},
                              {area.right() - 5, area.top() + 10},
                              {area.left() + 10, area.bottom() - 5}};
    for (const QPoint& saved : outside) {
        writeIni(QString("[Geometry]\nx=%1\ny=%2\n").arg(saved.x()).arg(saved.y()));
        CGlobalInstance::getDefaultPreferences();
        // Enough of the window's top-left stays on the screen to grab it.
        EXPECT_TRUE(area.contains(QRect(CGlobalInstance::mainPos, QSize(50, 50)))) << saved.x() << "," << saved.y();
    }
}

TEST_F(StateTest, PreferencesAndLanguageRoundTripThroughTheFile)
{
    CGlobalInstance::preferences = flags(true, false, true, false, true, false);
    CGlobalInstance::setDefaultPreferences();
    CGlobalInstance::setLanguage(eENGLISH);

    QSettings raw(CGlobalInstance::getIniPath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("/General/autoStart").toString(), "true");
    EXPECT_EQ(raw.value("/General/showOffline").toString(), "false");
    EXPECT_EQ(raw.value("/Language/language").toInt(), 1);

    CGlobalInstance::preferences = Preferences();
    CGlobalInstance::eLanguage = eCHINESE;
    CGlobalInstance::getDefaultPreferences();
    EXPECT_TRUE(CGlobalInstance::preferences.autoStart);
    EXPECT_TRUE(CGlobalInstance::preferences.fullScreen);
    EXPECT_TRUE(CGlobalInstance::preferences.videoMute);
    EXPECT_FALSE(CGlobalInstance::preferences.showOffline);
    EXPECT_EQ(CGlobalInstance::eLanguage, eENGLISH);
}

TEST_F(StateTest, SettingsValueAndIntValue)
{
    writeIni("[Video]\nindex=2\nname=\"  Front camera  \"\nbad=abc\nnegative=-3\n");
    Settings settings;
    EXPECT_EQ(settings.intValue("/Video/index"), 2);
    EXPECT_EQ(settings.intValue("/Video/missing"), -1);
    EXPECT_EQ(settings.intValue("/Video/bad"), 0);
    EXPECT_EQ(settings.intValue("/Video/negative"), -3);
    EXPECT_EQ(settings.value("/Video/name"), "Front camera");
    EXPECT_EQ(settings.value("/Video/missing"), "");

    settings.setValue("/Login/nickname", "Ann");
    settings.removeKey("/Video/index");
    EXPECT_EQ(settings.value("/Login/nickname"), "Ann");
    EXPECT_EQ(settings.intValue("/Video/index"), -1);
}

TEST_F(StateTest, SettingsAreWrittenWhenTheObjectEnds)
{
    Settings().setValue("/Speaker/index", 4);
    EXPECT_EQ(QSettings(CGlobalInstance::getIniPath(), QSettings::IniFormat).value("/Speaker/index").toInt(), 4);
}

TEST_F(StateTest, DataFolderLayoutAndPrivacy)
{
    const QString data = CGlobalInstance::getDocumentPath();
    EXPECT_EQ(data, QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
    EXPECT_EQ(QFileInfo(data).permissions() & 0x0077, 0) << "data folder readable by others";
    QFile::setPermissions(data, QFileInfo(data).permissions() | QFileDevice::ReadOther | QFileDevice::ExeOther);
    CGlobalInstance::getDocumentPath();
    EXPECT_EQ(QFileInfo(data).permissions() & 0x0077, 0) << "a folder left open is narrowed";
    EXPECT_EQ(CGlobalInstance::getIniPath(), data + "/velto_desktop.ini");
    EXPECT_EQ(CGlobalInstance::getLogPath(), data + "/logs/");
    EXPECT_TRUE(QFileInfo(CGlobalInstance::getLogPath()).isDir());
    EXPECT_EQ(CGlobalInstance::getFullImagePath("a.png"), data + "/photos/a.png");
    EXPECT_TRUE(QFileInfo(data + "/photos").isDir());
    EXPECT_TRUE(CGlobalInstance::isFileExist(data));
    EXPECT_FALSE(CGlobalInstance::isFileExist(data + "/nothing-here"));
}

TEST_F(StateTest, ImageNameForOrdinaryUrls)
{
    const std::pair<const char*, const char*> cases[] = {
        {"https://h/photos/p1.b.png?r=7", "p17.png"},
        {"https://h/photos/p1.b.png", "p1.png"},
        {"https://h/photos/p1.png?x=1&r=abc", "p1abc.png"},
        {"https://h/photos/photo", "photo."},
        {"https://h/photos/%E5%A4%B4%E5%83%8F.jpg?r=2", "头像2.jpg"},
    };
    for (const auto& [url, name] : cases)
        EXPECT_EQ(CGlobalInstance::getImageName(url), name) << url;
}

TEST_F(StateTest, ImageNameStaysInsideThePhotosFolder)
{
    const QString photos = QFileInfo(CGlobalInstance::getFullImagePath("x")).dir().canonicalPath();
    ASSERT_FALSE(photos.isEmpty());
    const QString hostile[] = {
        "https://h/..",
        "https://h/a/..%2F..%2Fevil.png",
        "https://h/x.png?r=../../../etc/passwd",
        "https://h/x.png?r=%2F..%2Fx",
        "https://h/a%5C..%5C..%5Cwin.png",
        "https://h/.png?r=..",
        "https://h/ctl%0A%01.png",
        "",
        "not a url at all/../../x",
        "https://h/" + QString(400, 'a') + ".png?r=" + QString(300, 'b'),
    };
    for (const QString& url : hostile) {
        const QString name = CGlobalInstance::getImageName(url);
        SCOPED_TRACE(url.left(80).toStdString() + " -> " + name.toStdString());
        EXPECT_FALSE(name.isEmpty());
        EXPECT_FALSE(name.contains('/') || name.contains('\\'));
        EXPECT_NE(name, ".");
        EXPECT_NE(name, "..");
        EXPECT_LE(name.toUtf8().size(), 255);
        const QFileInfo file(CGlobalInstance::getFullImagePath(name));
        EXPECT_EQ(QDir(file.absolutePath()).canonicalPath(), photos);
        QFile write(file.filePath());
        EXPECT_TRUE(write.open(QIODevice::WriteOnly)) << "cannot create the cache file";
        write.remove();
    }
}

TEST_F(StateTest, StartAtLogInWritesAndRemovesAnAutostartEntry)
{
    const QString entry = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                          + "/autostart/velto_desktop.desktop";
    CGlobalInstance::autoStart(true);
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("Type=Application\n"));
    EXPECT_TRUE(text.contains("Exec=\"" + QCoreApplication::applicationFilePath() + "\"\n"));

    CGlobalInstance::autoStart(false);
    EXPECT_FALSE(QFileInfo::exists(entry));
    CGlobalInstance::autoStart(false);  // removing twice is harmless
    EXPECT_FALSE(QFileInfo::exists(entry));
    // Nothing is left behind in the working directory or the data folder.
    EXPECT_TRUE(QDir(CGlobalInstance::getDocumentPath()).entryList(QStringList{"*Run*"}).isEmpty());
    EXPECT_TRUE(QDir::current().entryList(QStringList{"*Run*"}).isEmpty());
}

TEST_F(StateTest, DatesFollowTheInterfaceLanguage)
{
    const QDateTime monday(QDate(2024, 1, 1), QTime(9, 5));
    const std::tuple<int, const char*, const char*> cases[] = {
        {eENGLISH, "yyyy-MM-dd dddd hh:mm", "2024-01-01 Monday 09:05"},
        {eCHINESE, "yyyy-MM-dd dddd hh:mm", "2024-01-01 星期一 09:05"},
        {eENGLISH, "MMM", "Jan"},
    };
    for (const auto& [language, format, expected] : cases) {
        CGlobalInstance::eLanguage = language;
        EXPECT_EQ(CGlobalInstance::getDataTimeByLanguage(monday, format), QString::fromUtf8(expected));
    }
}

TEST_F(StateTest, JidParts)
{
    const std::tuple<std::string, std::string, std::string> cases[] = {
        // jid, endpoint, user id
        {"alice@msg.example/ep-1", "ep-1", "alice"},
        {"alice@msg.example/a/b", "b", "alice"},
        {"plain", "plain", "plain"},
        {"", "", ""},
        {"a@b@c/x", "x", "a"},
    };
    for (const auto& [jid, endpoint, user] : cases) {
        EXPECT_EQ(CGlobalInstance::getEndpointByJid(jid), endpoint) << jid;
        EXPECT_EQ(CGlobalInstance::getUserId(jid), user) << jid;
    }
}

TEST_F(StateTest, Split)
{
    using Parts = std::vector<std::string>;
    const std::tuple<std::string, std::string, Parts> cases[] = {
        {"a_b_c", "_", {"a", "b", "c"}},
        {"_", "_", {"", ""}},
        {"a,,b", ",", {"a", "", "b"}},
        {"a,", ",", {"a", ""}},
        {"abc", ",", {"abc"}},
        {"", ",", {""}},
        {"640x480", "x", {"640", "480"}},
        {"abc", "", {"abc"}},
    };
    for (const auto& [s, sep, parts] : cases)
        EXPECT_EQ(CGlobalInstance::split(s, sep), parts) << s << " / " << sep;
}

}  // namespace
