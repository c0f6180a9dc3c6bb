#ifndef MESSAGEBOX_H
#define MESSAGEBOX_H

#include <QWidget>

namespace Ui {
class MessageBox;
}

// The program's one message dialog, built from a result code. A free-standing,
// stay-on-top window that deletes itself when it closes, however that happens.
class MessageBox : public QWidget
{
    Q_OBJECT
public:
    MessageBox(int code, bool modal, QWidget* parent = nullptr);
    ~MessageBox() override;

    // Replace the text: with the question icon, or with the error icon.
    void setText(QString text);
    void setErrorText(QString text);
    // A yes/no question with a text of the caller's: shows Cancel too.
    void setChoiceText(QString text);
    // Question icon for the code's own text; true also shows Cancel.
    void setPromptText(bool withCancel);
    // Shows the box centred on the primary screen.
    void showWidget();
    // Closes the box, without a signal, if it is still open after 5 s.
    void startTimer();

signals:
    void sigOk();
    void sigCancel();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    Ui::MessageBox* ui;
};

#endif // MESSAGEBOX_H
