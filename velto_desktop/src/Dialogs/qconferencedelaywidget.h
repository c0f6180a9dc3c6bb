#pragma once

#include <QWidget>

#include <string>

class QLabel;
class QPushButton;
class QSpinBox;

// Warns the moderator that the meeting closes soon and extends it by 1 to 60
// minutes.
class QConferenceDelayWidget : public QWidget {
    Q_OBJECT
public:
    explicit QConferenceDelayWidget(QWidget* parent = nullptr);

    // The warning for the data of a "toClose" message.
    void setLabelText(std::string data);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void delay();

    QLabel* m_lblDelay;
    QSpinBox* m_spinBox;
    QPushButton* m_btnCancel;
    QPushButton* m_btnDelay;
};
