#include "musicplayer.h"

#include <QMediaPlayer>
#include <QMediaPlaylist>
#include <QMutex>
#include <QUrl>

MusicPlayer* MusicPlayer::Instance()
{
    static MusicPlayer* instance = nullptr;
    static QMutex mutex;
    if (!instance) {
        QMutexLocker lock(&mutex);
        if (!instance)
            instance = new MusicPlayer;
    }
    return instance;
}

MusicPlayer::MusicPlayer() : m_playlist(new QMediaPlaylist), m_player(new QMediaPlayer)
{
    m_playlist->addMedia(QUrl("qrc:/music/audio_wav"));
    m_playlist->setCurrentIndex(0);
    m_playlist->setPlaybackMode(QMediaPlaylist::CurrentItemInLoop);
    m_player->setPlaylist(m_playlist);
    m_player->setVolume(80);
}

MusicPlayer::~MusicPlayer()
{
    delete m_player;
    delete m_playlist;
}

void MusicPlayer::play()
{
    ++m_count;
    if (!m_active) {
        m_player->play();
        m_active = true;
    }
}

void MusicPlayer::stop()
{
    if (m_count < 1)
        return;
    --m_count;
    if (m_count == 0 && m_active) {
        m_player->stop();
        m_active = false;
    }
}
