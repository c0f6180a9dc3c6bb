#ifndef QBASELINEEDIT_H
#define QBASELINEEDIT_H

#include <QLineEdit>

class QHBoxLayout;

// A framed field: the outer line edit carries the style sheet's frame, the
// typing happens in an inner line edit inset by half the initial height.
class QBaseLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit QBaseLineEdit(QWidget* parent = nullptr);

    void setPlaceholderText(const QString& text);
    // The typed text without surrounding white space.
    QString text();
    void setText(QString text);
    // Digits only, at most nine: room numbers.
    void setValidator();
    void setPasswordEchoMode();

private:
    QHBoxLayout* m_layout;
    QLineEdit* m_lineEdit;
};

#endif // QBASELINEEDIT_H
