#pragma once

#include <QWidget>

#include <string>
#include <vector>

class QHBoxLayout;
class QPickCandiateWidget;

namespace Ui {
class QLayoutManagerWidget;
}

// The moderator's layout dialog: surround or tiles, and who (or polling) fills
// each screen. OK sends the mode and the participant list. Parentless,
// application-modal, deletes itself on close; owns its slots.
class QLayoutManagerWidget : public QWidget {
    Q_OBJECT
public:
    explicit QLayoutManagerWidget(QWidget* parent = nullptr);
    ~QLayoutManagerWidget() override;

    // Shows the dialog, then builds the slots of the current mode.
    void showWidget();
    void showCurrentLayout(int tiles);

public slots:
    void slotUpdateLayout();

private:
    void clear();
    void getUserInfo(int index, std::string& endpoint, std::string& nickname) const;
    QPickCandiateWidget* createWidget(const QString& title, int index, QWidget* parent);
    void addWidget(int count, QHBoxLayout* row);
    void splitScreen();
    void buildSlots(bool tiles);
    void onTabChanged(int index);
    void onSlotChosen(QPickCandiateWidget* slot, const QString& endpoint);
    void ok();

    Ui::QLayoutManagerWidget* ui;
    bool m_tiles;
    QHBoxLayout* m_mainRow;
    QHBoxLayout* m_subRow;
    std::vector<QPickCandiateWidget*> m_slots;  // in slot order, the order OK sends
};
