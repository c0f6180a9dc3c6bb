#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class QNicknameWidget;
}

// The black name label over the main view: the name of the participant on the
// main screen, sized to the name. It reports the mouse entering and leaving so
// that the meeting window can open the statistics panel for the main stream.
class QNicknameWidget : public QWidget {
    Q_OBJECT
public:
    explicit QNicknameWidget(QWidget* parent = nullptr);
    ~QNicknameWidget() override;

    void setNickname(std::string name);
    std::string getNickname() const { return m_nickname; }
    void setUserJid(std::string jid) { m_userJid = std::move(jid); }
    std::string getUserJid() const { return m_userJid; }
    void setIndex(unsigned index) { m_index = index; }
    unsigned getIndex() const { return m_index; }

signals:
    void sigEnterWidget(int x, int y);
    void sigLeaveWidget();

protected:
    void enterEvent(QEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    Ui::QNicknameWidget* ui;
    std::string m_nickname;
    std::string m_userJid;
    unsigned m_index = 0;
};
