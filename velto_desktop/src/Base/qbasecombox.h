#ifndef QBASECOMBOX_H
#define QBASECOMBOX_H

#include <QComboBox>

class QHBoxLayout;
class QLineEdit;

// A combo box with a grey placeholder laid over it while nothing is chosen.
class QBaseCombox : public QComboBox
{
    Q_OBJECT
public:
    explicit QBaseCombox(QWidget* parent = nullptr);

    // Sets the placeholder and shows it.
    void setPlaceholderText(QString text);
    void showLineEdit(bool show);
    // True while the placeholder is shown.
    bool isEmpty();

private:
    QLineEdit* m_lineEdit;
    QHBoxLayout* m_layout;
};

#endif // QBASECOMBOX_H
