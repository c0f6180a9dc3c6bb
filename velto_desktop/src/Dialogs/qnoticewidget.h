#ifndef QNOTICEWIDGET_H
#define QNOTICEWIDGET_H

#include <QRect>
#include <QWidget>

namespace Ui {
class QNoticeWidget;
}

// A short in-meeting notice in the top-right corner of an anchor rectangle,
// `index` rows down. It closes itself after 2 s and then reports through
// sigCloseWidget; its holder deletes it (the notice never deletes itself).
class QNoticeWidget : public QWidget
{
    Q_OBJECT
public:
    QNoticeWidget(int index, int code, QRect anchor, QWidget* parent = nullptr);
    ~QNoticeWidget() override;

    // The translated text of a notice code; empty for unknown codes.
    QString getContentByCode(int code);

signals:
    void sigCloseWidget(QNoticeWidget* widget);

public slots:
    void slotTimeout();
    void slotTranslatorLanguage();

private:
    Ui::QNoticeWidget* ui;
};

#endif // QNOTICEWIDGET_H
