#pragma once

#include <QWidget>

#include <string>

class QGLRenderInterface;
class QLabel;

namespace Ui {
class SubVideoWidget;
}

// The translucent name over a hovered tile: a frameless, click-through tool
// window that the tile places over itself.
class QBaseMaskWidget : public QWidget {
    Q_OBJECT
public:
    explicit QBaseMaskWidget(QWidget* parent = nullptr);
    void setUsername(int width, int height, QString name);
    void setRoundRect(int) {}

signals:
    void sigLeaveMaskWidget();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_label;
    QString m_name;
    int m_lastWidth = 0;
};

// One tile of the meeting window's video wall. It owns one renderer and the
// render of one participant's stream into it; instead of video it shows a
// camera-off or telephone picture. The meeting window creates a fixed pool of
// tiles, assigns participants to them and places them; a tile is free (hidden,
// index -1, no label, no render) until then and again after hideWidget().
class SubVideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit SubVideoWidget(QWidget* parent = nullptr);
    ~SubVideoWidget() override;

    void setUserInfo(std::string jid, std::string name, int index);
    void showVideo(std::string label, bool videoMute);
    void setVideoMute(bool mute);
    // Stops the render and frees the tile.
    void hideWidget();
    void resetGeometry(int x, int y, int w, int h, bool rounded);
    void enterWidget();
    void leaveWidget();

    bool isDrawVideo() const { return m_drawing; }
    std::string getLabel() const { return m_label; }
    std::string getUserJid() const { return m_userJid; }
    std::string getUserName() const { return m_userName; }
    unsigned getRtcIndex() const { return m_renderId; }
    int getCurIndex() const { return m_index; }
    bool isVideoMuted() const { return m_videoMute; }
    QWidget* getSubWidget() const;
    QGLRenderInterface* renderer() const { return m_render; }
    void setRoundRect(int radius) { m_radius = radius; }

signals:
    void sigEnterWidget(int x, int y, int width);
    void sigLeaveWidget();
    void sigStat(std::string userJid, int download, int upload);
    void sigVideoClicked(std::string label, std::string name);

private:
    void stopRender(const char* where);
    void showPicture(const char* resource);

    Ui::SubVideoWidget* ui;
    std::string m_userName;
    std::string m_userJid;
    QLabel* m_picture;
    QBaseMaskWidget* m_mask;
    bool m_videoMute = false;
    bool m_drawing = false;
    int m_radius = 6;
    int m_index = -1;
    unsigned m_renderId = 0;  // 0: no render runs
    std::string m_label;
    QGLRenderInterface* m_render;
};
