#pragma once

#include <QString>
#include <QWidget>

class QListWidget;

namespace Ui {
class QBaseContactsWidget;
}

// The collapsible contacts group: a header bar with an arrow, the title and
// "online/total", over the list of contact rows. A press on the header
// toggles the list.
class QBaseContactsWidget : public QWidget {
    Q_OBJECT
public:
    QBaseContactsWidget(QString title, QString countText, bool expanded, QWidget* parent = nullptr);
    ~QBaseContactsWidget() override;

    QListWidget* listWidget() const;
    void setMaxHeight(int height);
    // Sizes list and group for `listHeight` pixels of rows, within the cap.
    void setHeight(int listHeight);
    void setOnLineCount(int online, int total);
    void setContactBarVisible(bool visible);

public slots:
    void slotTranslatorLanguage();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void showArrow();

    Ui::QBaseContactsWidget* ui;
    QString m_title;
    bool m_expanded;
    // Until the page sets it: room for ten rows.
    int m_maxHeight = 490;
    int m_fullHeight = 40;
    int m_total = 0;
};
