#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class QConferenceDelayWidget;
}

// Warns the moderator that the meeting closes soon and extends it by 1 to 60
// minutes. Parentless and application-modal; deletes itself on close and
// closes when the meeting ends.
class QConferenceDelayWidget : public QWidget {
    Q_OBJECT
public:
    explicit QConferenceDelayWidget(QWidget* parent = nullptr);
    ~QConferenceDelayWidget() override;

    // The warning for the data of a "toClose" message.
    void setLabelText(std::string data);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void delay();

    Ui::QConferenceDelayWidget* ui;
};
