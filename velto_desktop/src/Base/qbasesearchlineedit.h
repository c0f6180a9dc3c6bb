#ifndef QBASESEARCHLINEEDIT_H
#define QBASESEARCHLINEEDIT_H

#include <QLineEdit>

class QHBoxLayout;
class QPushButton;

// The contact search field: a search glyph, the text field and a clear glyph.
class QBaseSearchLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit QBaseSearchLineEdit(QWidget* parent = nullptr);

    // The typed text without surrounding white space.
    QString text();
    void setPlaceholderText(const QString& text);

signals:
    // Every change of the typed text, clearing included.
    void sigTextChanged(QString text);

public slots:
    void slotTranslatorLanguage();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    QHBoxLayout* m_layout;
    QPushButton* m_searchButton;
    QLineEdit* m_lineEdit;
    QPushButton* m_clearButton;
};

#endif // QBASESEARCHLINEEDIT_H
