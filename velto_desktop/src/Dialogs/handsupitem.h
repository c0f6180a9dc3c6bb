#pragma once

#include <QWidget>

#include <string>

namespace Ui {
class HandsUpItem;
}

// One raised hand: the nickname and Accept, Refuse, Ignore.
class HandsUpItem : public QWidget {
    Q_OBJECT
public:
    HandsUpItem(std::string userjid, const std::string& nickname, QWidget* parent = nullptr);
    ~HandsUpItem() override;

    const std::string& getUserJid() const { return m_userjid; }

signals:
    void sigAccept(std::string userjid);
    void sigRefuse(std::string userjid);
    void sigIgnore(std::string userjid);

private:
    Ui::HandsUpItem* ui;
    std::string m_userjid;
};
