#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class MeetSetWidget;
}

// Settings of the personal meeting room: its meeting password and its
// moderator password, typed or drawn at random at every commit. Parentless,
// modal, a new one per opening; deletes itself when it closes.
class MeetSetWidget : public QWidget {
    Q_OBJECT
public:
    explicit MeetSetWidget(std::string number, QWidget* parent = nullptr);
    ~MeetSetWidget() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void setRandom(bool on);
    void commitMeetSettings();

    Ui::MeetSetWidget* ui;
};
