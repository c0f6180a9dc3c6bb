#include "cglobalinstance.h"

#include "settings.h"
#include "Tools/logtext.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QSaveFile>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

int CGlobalInstance::eLanguage = eCHINESE;
bool CGlobalInstance::isLogin = false;
bool CGlobalInstance::isAnonymousLogin = false;
bool CGlobalInstance::isJoinConference = false;
int CGlobalInstance::selectAppId = 0;
int CGlobalInstance::eSplitScreen = 0;
bool CGlobalInstance::isAudioMute = false;
bool CGlobalInstance::isVideoMute = false;
bool CGlobalInstance::isSecondStreamModel = false;
bool CGlobalInstance::isWhiteboard = false;
bool CGlobalInstance::isWhiteboardViewer = false;
bool CGlobalInstance::isShareWhiteboard = false;
std::string CGlobalInstance::answerUserId;
QPoint CGlobalInstance::mainPos;
VideoResolution CGlobalInstance::resolution;
UserInfo CGlobalInstance::userInfo;
ConferenceInfo CGlobalInstance::conferenceInfo;
Preferences CGlobalInstance::preferences;
std::vector<bool> CGlobalInstance::polling;
std::vector<std::string> CGlobalInstance::user_subwidgets;
std::map<std::string, user_info> CGlobalInstance::user_list;
std::map<std::string, bool> CGlobalInstance::userOnline;
std::map<std::string, std::string> CGlobalInstance::handsup_list;
std::vector<velto_webrtc::rtc_device_> CGlobalInstance::video_devices;
std::vector<velto_webrtc::rtc_device_> CGlobalInstance::audio_record_devices;
std::vector<velto_webrtc::rtc_device_> CGlobalInstance::audio_playout_devices;
VeltoInterface* CGlobalInstance::veltoSdk = nullptr;
CVeltoCallback* CGlobalInstance::veltoCallback = nullptr;
MainWindow* CGlobalInstance::mainWindow = nullptr;

namespace {

const char* const kProgramName = "velto_desktop";
// Part of a restored window that must stay on a screen so that it can be grabbed.
const int kVisibleMargin = 100;
const int kCameraFps = 30;
const int kMaxFileNameBytes = 255;

void assertGuiThread()
{
    Q_ASSERT_X(!QCoreApplication::instance()
                   || QThread::currentThread() == QCoreApplication::instance()->thread(),
               "CGlobalInstance", "global state written off the GUI thread");
}

enum class Access { Default, OwnerOnly };

// Creates the folder when missing. An owner-only folder is also narrowed when
// it was left open to others.
QString makePath(const QString& path, Access access = Access::Default)
{
    if (!QFileInfo::exists(path))
        QDir().mkpath(path);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup
                                            | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                            | QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (access == Access::OwnerOnly && (QFileInfo(path).permissions() & others))
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return path;
}

// A saved top-left corner whose grab area no screen shows any more is pulled
// back onto the primary screen.
QPoint onScreen(const QPoint& saved)
{
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.isEmpty())
        return saved;
    const QRect grabArea(saved, QSize(kVisibleMargin, kVisibleMargin));
    for (const QScreen* screen : screens)
        if (screen->availableGeometry().contains(grabArea))
            return saved;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    return QPoint(qBound(area.left(), saved.x(), std::max(area.left(), area.right() - kVisibleMargin)),
                  qBound(area.top(), saved.y(), std::max(area.top(), area.bottom() - kVisibleMargin)));
}

#ifndef Q_OS_WIN
// Quotes a path for the Exec key of a desktop entry: first as a quoted
// argument (with "%" doubled, as it starts field codes), then as a string value.
QString desktopExec(const QString& program)
{
    QString argument;
    for (const QChar c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            argument += '\\';
        else if (c == '%')
            argument += '%';
        argument += c;
    }
    QString value;
    for (const QChar c : "\"" + argument + "\"") {
        switch (c.unicode()) {
        case '\\': value += "\\\\"; break;
        case '\n': value += "\\n"; break;
        case '\t': value += "\\t"; break;
        case '\r': value += "\\r"; break;
        default: value += c;
        }
    }
    return value;
}

QString autostartEntryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/autostart/"
           + kProgramName + ".desktop";
}
#endif

// Replaces what may not stand in a plain file name: separators, control
// characters, and names made of dots only.
QString plainFileName(QString name)
{
    for (QChar& c : name)
        if (c == '/' || c == '\\' || c.category() == QChar::Other_Control)
            c = '_';
    if (name.count('.') == name.size())
        name.prepend('_');
    return name;
}

// A flag reads true only when stored as one; any other text reads false.
bool flag(const QSettings& settings, const char* key)
{
    const QString text = settings.value(key).toString();
    return text.compare("true", Qt::CaseInsensitive) == 0 || text == "1";
}

} // namespace

// ---------------------------------------------------------------------------
// Paths

QString CGlobalInstance::getDocumentPath()
{
    return makePath(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation), Access::OwnerOnly);
}

QString CGlobalInstance::getLogPath()
{
    return makePath(getDocumentPath() + "/logs/");
}

QString CGlobalInstance::getIniPath()
{
    return getDocumentPath() + "/" + kProgramName + ".ini";
}

QString CGlobalInstance::getFullImagePath(QString name)
{
    return makePath(getDocumentPath() + "/photos") + "/" + name;
}

QString CGlobalInstance::getImageName(QString url)
{
    const QUrl parsed(url, QUrl::TolerantMode);
    const QString file = parsed.fileName(QUrl::FullyDecoded);
    const int firstDot = file.indexOf('.');
    const QString base = firstDot < 0 ? file : file.left(firstDot);
    const int lastDot = file.lastIndexOf('.');
    const QString suffix = lastDot < 0 ? QString() : file.mid(lastDot + 1);
    const QString r = QUrlQuery(parsed).queryItemValue("r", QUrl::FullyDecoded);

    const QString name = plainFileName(base + r + "." + suffix);
    if (name.toUtf8().size() <= kMaxFileNameBytes)
        return name;
    // Too long for the file system: a digest of the URL still caches it.
    const QString digest = QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha1).toHex();
    return digest + "." + plainFileName(suffix.left(16));
}

bool CGlobalInstance::isFileExist(QString path)
{
    return QFileInfo::exists(path);
}

// ---------------------------------------------------------------------------
// Preferences and settings file

void CGlobalInstance::getDefaultPreferences()
{
    if (!isFileExist(getIniPath())) {
        preferences.autoStart = false;
        preferences.autoLogin = false;
        preferences.fullScreen = false;
        preferences.audioMute = false;
        preferences.videoMute = false;
        preferences.showOffline = true;
        eLanguage = eCHINESE;
        mainPos = QPoint(NO_POSITION, NO_POSITION);
        return;
    }

    QSettings settings(getIniPath(), QSettings::IniFormat);
    preferences.autoStart = flag(settings, "/General/autoStart");
    preferences.autoLogin = flag(settings, "/General/autoLogin");
    preferences.fullScreen = flag(settings, "/General/fullScreen");
    preferences.audioMute = flag(settings, "/General/audioMute");
    preferences.videoMute = flag(settings, "/General/videoMute");
    preferences.showOffline = flag(settings, "/General/showOffline");
    eLanguage = settings.value("/Language/language", 0).toInt();

    QPoint saved(settings.value("/Geometry/x", NO_POSITION).toInt(),
                 settings.value("/Geometry/y", NO_POSITION).toInt());
    if (saved.x() == NO_POSITION || saved.y() == NO_POSITION) {
        mainPos = saved;
        return;
    }
#ifdef Q_OS_MACOS
    // The stored y is the client area's top; the window's frame starts a title bar higher.
    saved.ry() -= 22;
#endif
    mainPos = onScreen(saved);
}

void CGlobalInstance::setDefaultPreferences()
{
    Settings settings;
    settings.setValue("/General/autoStart", preferences.autoStart);
    settings.setValue("/General/autoLogin", preferences.autoLogin);
    settings.setValue("/General/fullScreen", preferences.fullScreen);
    settings.setValue("/General/audioMute", preferences.audioMute);
    settings.setValue("/General/videoMute", preferences.videoMute);
    settings.setValue("/General/showOffline", preferences.showOffline);
}

void CGlobalInstance::setLanguage(eLANGUAGE language)
{
    eLanguage = language;
    Settings().setValue("/Language/language", int(language));
}

void CGlobalInstance::autoStart(bool on)
{
#ifdef Q_OS_WIN
    QSettings run("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                  QSettings::NativeFormat);
    if (on)
        run.setValue(kProgramName,
                     QCoreApplication::applicationFilePath().replace("/", "\\"));
    else
        run.remove(kProgramName);
#else
    // Desktop sessions start the entries of the XDG autostart folder at log-in.
    const QString path = autostartEntryPath();
    if (!on) {
        QFile::remove(path);
        return;
    }
    makePath(QFileInfo(path).path());
    QSaveFile entry(path);
    if (!entry.open(QIODevice::WriteOnly | QIODevice::Text))
        return;
    entry.write(QString("[Desktop Entry]\n"
                        "Type=Application\n"
                        "Name=%1\n"
                        "Exec=%2\n"
                        "Terminal=false\n"
                        "X-GNOME-Autostart-enabled=true\n")
                    .arg(kProgramName, desktopExec(QCoreApplication::applicationFilePath()))
                    .toUtf8());
    entry.commit();
#endif
}

// ---------------------------------------------------------------------------
// Screens and texts

QRect CGlobalInstance::getScreenRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry() : QRect();
}

QRect CGlobalInstance::getAvailableScreenRect()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QString CGlobalInstance::getDataTimeByLanguage(QDateTime when, QString format)
{
    const QLocale locale(eLanguage == eENGLISH ? QLocale::English : QLocale::Chinese);
    return locale.toString(when, format);
}

// ---------------------------------------------------------------------------
// Jid parts

std::string CGlobalInstance::getEndpointByJid(std::string jid)
{
    const auto slash = jid.rfind('/');
    return slash == std::string::npos ? jid : jid.substr(slash + 1);
}

std::string CGlobalInstance::getUserId(std::string jid)
{
    return jid.substr(0, jid.find('@'));
}

std::vector<std::string> CGlobalInstance::split(std::string s, std::string sep)
{
    if (sep.empty())
        return {s};
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (auto found = s.find(sep); found != std::string::npos; found = s.find(sep, start)) {
        parts.push_back(s.substr(start, found - start));
        start = found + sep.size();
    }
    parts.push_back(s.substr(start));
    return parts;
}

// ---------------------------------------------------------------------------
// Participant list

void CGlobalInstance::updateUserList(user_info user)
{
    assertGuiThread();
    const std::string endpoint = getEndpointByJid(user.jid);
    auto [entry, added] = user_list.insert_or_assign(endpoint, std::move(user));
    if (added)
        qDebug() << "updateUserList add==" << logText(entry->second.nickname) << logText(entry->second.jid);
}

void CGlobalInstance::removeUserFromList(std::string jid)
{
    assertGuiThread();
    qDebug() << "removeUserFromList remove == " << logText(jid);
    user_list.erase(getEndpointByJid(jid));
}

void CGlobalInstance::clearUserList()
{
    assertGuiThread();
    user_list.clear();
}

bool CGlobalInstance::isLostModerator()
{
    return std::none_of(user_list.begin(), user_list.end(),
                        [](const auto& entry) { return entry.second.isModerator; });
}

std::string CGlobalInstance::getUsernameByJid(std::string jid)
{
    const auto entry = user_list.find(getEndpointByJid(jid));
    return entry == user_list.end() ? std::string() : entry->second.nickname;
}

std::string CGlobalInstance::getLabelBySsrc(std::string endpoint, std::string ssrc, std::string& jid,
                                            std::string& nickname, bool& videoMute)
{
    // A participant without video has no camera source: an entry naming none
    // finds it by the endpoint alone, and it is shown without a picture.
    const auto entry = user_list.find(endpoint);
    if (entry == user_list.end() || entry->second.ssrc != ssrc)
        return std::string();
    jid = entry->second.jid;
    nickname = entry->second.nickname;
    videoMute = entry->second.videoMute || entry->second.ssrc.empty();
    return entry->second.label;
}

int CGlobalInstance::getUserWithoutVideo(std::string jid, std::string& label, std::string& nickname)
{
    const auto entry = user_list.find(getEndpointByJid(jid));
    if (entry == user_list.end() || !entry->second.ssrc.empty() || entry->second.label.empty())
        return -1;
    label = entry->second.label;
    nickname = entry->second.nickname;
    return 0;
}

int CGlobalInstance::getUserBySsrc(std::string ssrc, std::string& label, std::string& nickname, bool second)
{
    for (const auto& [endpoint, user] : user_list) {
        if ((second ? user.secondSsrc : user.ssrc) != ssrc)
            continue;
        label = second ? user.secondLabel : user.label;
        nickname = user.nickname;
        return 0;
    }
    return -1;
}

bool CGlobalInstance::getVideoMuteByLabel(std::string label)
{
    for (const auto& [endpoint, user] : user_list)
        if (!label.empty() && user.label == label)
            return user.videoMute || user.ssrc.empty();
    return false;
}

bool CGlobalInstance::isPhoneOrSip(std::string jid)
{
    return jid.find("gateway") != std::string::npos
           && getUsernameByJid(jid).find("tel:") != std::string::npos;
}

// ---------------------------------------------------------------------------
// Presence

void CGlobalInstance::updateUserOnline(std::string userId, bool online)
{
    assertGuiThread();
    userOnline[userId] = online;
}

bool CGlobalInstance::getUserOnline(std::string userId)
{
    std::transform(userId.begin(), userId.end(), userId.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    const auto entry = userOnline.find(userId);
    return entry != userOnline.end() && entry->second;
}

// ---------------------------------------------------------------------------
// Devices

void CGlobalInstance::getVideoAudioDevices()
{
    assertGuiThread();
    video_devices.clear();
    audio_record_devices.clear();
    audio_playout_devices.clear();
    if (!veltoSdk)
        return;
    veltoSdk->getVideoCaptureDevices(video_devices);
    veltoSdk->getAudioRecordingDevices(audio_record_devices);
    veltoSdk->getAudioPlayoutDevices(audio_playout_devices);
}

int CGlobalInstance::checkDevices()
{
    getVideoAudioDevices();
    const bool camera = !video_devices.empty();
    const bool microphone = !audio_record_devices.empty();
    const bool speaker = !audio_playout_devices.empty();
    if (camera)
        return !microphone ? 1 : !speaker ? 2 : 0;
    return !microphone ? -2 : !speaker ? -3 : -1;
}

int CGlobalInstance::storedVideoDeviceIndex()
{
    Settings settings;
    int index = settings.intValue("/Video/index");
    if (index == -1)
        return 0;
    const std::string id = settings.value("/Video/id").toStdString();
    const std::string name = settings.value("/Video/name").toStdString();
    const auto stored = std::find_if(video_devices.begin(), video_devices.end(), [&](const auto& camera) {
        return camera.name == name && camera.id == id;
    });
    if (stored != video_devices.end() && stored->index != index) {
        index = stored->index;
        settings.setValue("/Video/index", index);
    }
    return index >= 0 && size_t(index) < video_devices.size() ? index : 0;
}

bool CGlobalInstance::CheckVideoOccupied(int index)
{
    if (video_devices.empty() || !veltoSdk)
        return false;
    if (index == -1)
        index = storedVideoDeviceIndex();
    if (index < 0 || size_t(index) >= video_devices.size()) {
        qDebug() << "CheckVideoOccupied: no camera at" << index;
        return false;
    }
    return veltoSdk->IsVideoDeviceOccupied(video_devices[size_t(index)]);
}

void CGlobalInstance::getDefultVideoDevice()
{
    Settings settings;
    const int index = settings.intValue("/Video/index");
    preferences.videoDevice.index = index == -1 ? 0 : index;
    preferences.videoDevice.id = settings.value("/Video/id").toStdString();
    preferences.videoDevice.name = settings.value("/Video/name").toStdString();
}

int CGlobalInstance::getVideoDevices()
{
    assertGuiThread();
    video_devices.clear();
    return veltoSdk && veltoSdk->getVideoCaptureDevices(video_devices) > 0 ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Camera size and strip geometry

void CGlobalInstance::requestResolution(const std::string& label, int width, int height)
{
    assertGuiThread();
    if (resolution.width == width && resolution.height == height)
        return;
    resolution = {width, height};
    if (veltoSdk)
        veltoSdk->ChangeCameraResolution(label, width, height, kCameraFps);
}

void CGlobalInstance::changeVideoResolution(int views)
{
    if (views <= 2)
        requestResolution(userInfo.videoLabel, conferenceInfo.width, conferenceInfo.resolution);
    else if (views <= 6)
        requestResolution(userInfo.videoLabel, 640, 480);
    else
        requestResolution(userInfo.videoLabel, 320, 180);
}

void CGlobalInstance::setMasterVideoResolution(std::string label, bool full)
{
    qDebug() << "==ChangeCameraResolution==" << resolution.width << resolution.height;
    if (full)
        requestResolution(label, conferenceInfo.width, conferenceInfo.resolution);
    else
        requestResolution(label, 320, 180);
    qDebug() << "==ChangeCameraResolution==over==";
}

int CGlobalInstance::calcVideoWidgetPosX(int width, int i)
{
    if (i == 0)
        return SPACING;
    return i * ((width - (VIDEO_NUM + 1) * SPACING) / VIDEO_NUM) + (i + 1) * SPACING;
}
