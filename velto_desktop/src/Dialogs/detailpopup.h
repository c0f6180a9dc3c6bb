#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;

// What the two meeting-details popups share: a frameless translucent tool
// window that paints its own background picture (pointer towards the main
// window), hides once the cursor has left it, and a Start button that opens
// from 900 s before the meeting's start. The main window builds each popup
// once and reuses it; it is deleted with the main window.
class DetailPopup : public QWidget {
    Q_OBJECT
public:
    // True when the popup stands right of the main window.
    void setImage(bool right);
    void setStartMeetStatus(bool enable);

public slots:
    // Joins the meeting shown.
    virtual void slotJoin() = 0;

protected:
    DetailPopup(const char* rightPicture, const char* leftPicture, QWidget* parent);

    // The title elided to the label's width less a margin.
    static QString fitTitle(const QString& title, const QLabel* label);
    // Wires the Start button and the close-on-leave timer; call after setupUi.
    void initPopup(QPushButton* startButton);
    // The start-window rule for the shown meeting; starts the once-a-second
    // re-test when the meeting is not yet startable.
    bool applyStartWindow();
    void restartCloseTimer();
    // Joins the shown number with its password; true when the meeting runs.
    bool joinShownMeeting();
    virtual void retestStart();

    void paintEvent(QPaintEvent* event) override;

    QString m_number;
    QString m_password;
    qint64 m_startSecs = 0;
    QPushButton* m_startButton = nullptr;
    bool m_startState = true;
    QTimer* m_retestTimer = nullptr;

private:
    void startClicked();

    QTimer* m_closeTimer = nullptr;
    bool m_right = true;
    const char* m_rightPicture;
    const char* m_leftPicture;
};
