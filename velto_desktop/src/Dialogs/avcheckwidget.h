#pragma once

#include <QWidget>

class QComboBox;
class QPushButton;

// The device check before an anonymous join: the user picks the microphone,
// speaker and camera that the meeting will use. OK (sigJoin) lets the login
// page join, Back (sigClose) returns to it; either way the window closes.
class AVCheckWidget : public QWidget {
    Q_OBJECT
public:
    explicit AVCheckWidget(QWidget* parent = nullptr);

signals:
    void sigJoin();
    void sigClose();

private:
    // Stores the chosen devices under the keys the meeting window reads.
    void updateProfile();

    QComboBox* m_micphoneComboBox;
    QComboBox* m_playoutComboBox;
    QComboBox* m_cameraComboBox;
};
