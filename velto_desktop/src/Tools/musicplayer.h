#pragma once

#include <QObject>

class QMediaPlayer;
class QMediaPlaylist;

// The ring tone of incoming calls: one looping sound for as long as at least
// one incoming-call window wants it. Each window plays once when shown and
// stops once when it closes; the sound ends with the last stop. Process-wide,
// never deleted; main thread only.
class MusicPlayer : public QObject {
    Q_OBJECT
public:
    static MusicPlayer* Instance();

    void play();
    void stop();
    bool isActive() const { return m_active; }
    int count() const { return m_count; }

private:
    MusicPlayer();
    ~MusicPlayer() override;

    int m_count = 0;
    bool m_active = false;
    QMediaPlaylist* m_playlist;
    QMediaPlayer* m_player;
};
