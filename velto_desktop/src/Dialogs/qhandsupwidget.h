#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QListWidgetItem;

namespace Ui {
class QHandsUpWidget;
}

// The moderator's list of raised hands: Accept and Refuse answer through the
// SDK, Ignore drops the request. Rows mirror CGlobalInstance::handsup_list,
// which outlives the dialog: one row per pending request, added and removed as
// the toolbar's sigHandsUp reports (slotHandsUp). Parentless, application-modal,
// deletes itself on close.
class QHandsUpWidget : public QWidget {
    Q_OBJECT
public:
    explicit QHandsUpWidget(QWidget* parent = nullptr);
    ~QHandsUpWidget() override;

    void addItemWidget(const std::string& userjid, const std::string& nickname);
    void removeItem(const std::string& userjid);

signals:
    void sigHideHandsUpRingBtn();

public slots:
    void slotHandsUp(std::string action, std::string userjid, std::string nickname);

private:
    void answer(const char* action, const std::string& userjid);
    std::vector<QListWidgetItem*>::iterator findItem(const std::string& userjid);

    Ui::QHandsUpWidget* ui;
    std::vector<QListWidgetItem*> m_items;  // in row order
};
