#pragma once
// Small helpers for the program's tests.

#include "cglobalinstance.h"

#include <QDateTime>
#include <QFile>
#include <QString>

#include <ostream>
#include <string>
#include <utility>

// Readable QStrings in test failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace velto::test {

// Back to the state of a fresh start: no settings file, every static at its
// initial value, no SDK object.
inline void resetGlobalState()
{
    QFile::remove(CGlobalInstance::getIniPath());
    CGlobalInstance::eLanguage = eCHINESE;
    CGlobalInstance::isLogin = CGlobalInstance::isAnonymousLogin = CGlobalInstance::isJoinConference = false;
    CGlobalInstance::isAudioMute = CGlobalInstance::isVideoMute = false;
    CGlobalInstance::isWhiteboard = CGlobalInstance::isWhiteboardViewer = CGlobalInstance::isShareWhiteboard = false;
    CGlobalInstance::mainPos = QPoint();
    CGlobalInstance::resolution = VideoResolution();
    CGlobalInstance::userInfo = UserInfo();
    CGlobalInstance::conferenceInfo = ConferenceInfo();
    CGlobalInstance::preferences = Preferences();
    CGlobalInstance::user_list.clear();
    CGlobalInstance::userOnline.clear();
    CGlobalInstance::video_devices.clear();
    CGlobalInstance::audio_record_devices.clear();
    CGlobalInstance::audio_playout_devices.clear();
    CGlobalInstance::veltoSdk = nullptr;
}

// A meeting participant as the SDK reports one.
inline user_info participant(std::string jid, std::string nickname, std::string ssrc = "", std::string label = "")
{
    user_info user;
    user.jid = std::move(jid);
    user.nickname = std::move(nickname);
    user.ssrc = std::move(ssrc);
    user.label = std::move(label);
    return user;
}

// Replaces the settings file with the given INI text.
inline void writeIni(const QString& text)
{
    QFile file(CGlobalInstance::getIniPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(text.toUtf8());
    file.flush();
    // QSettings reuses what it read while a file keeps its size and time: give
    // every rewrite a time of its own.
    static QDateTime stamp = QDateTime::currentDateTime();
    stamp = stamp.addSecs(1);
    file.setFileTime(stamp, QFileDevice::FileModificationTime);
}

}  // namespace velto::test
