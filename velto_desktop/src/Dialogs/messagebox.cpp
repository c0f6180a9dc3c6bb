#include "messagebox.h"
#include "ui_messagebox.h"

#include "cglobalinstance.h"

#include <QKeyEvent>
#include <QTimer>

namespace {
const char* const kQuestionIcon = ":/icons/important";
const char* const kErrorIcon = ":/icons/error";
const int kAutoCloseMs = 5000;
} // namespace

MessageBox::MessageBox(int code, bool modal, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::MessageBox)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    // Title bar, system menu and close button only; the customize hint makes
    // window managers that add every button by default honour that.
    setWindowFlags((windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint))
                   | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowModal, modal);
    setWindowTitle(tr("Information"));
    ui->lblMsgText->setText(CGlobalInstance::getErrorByCode(code));
    ui->btnCancel->hide();

    connect(ui->btnOK, &QPushButton::clicked, this, [this] {
        emit sigOk();
        close();
    });
    connect(ui->btnCancel, &QPushButton::clicked, this, [this] {
        emit sigCancel();
        close();
    });
}

MessageBox::~MessageBox()
{
    delete ui;
}

void MessageBox::setText(QString text)
{
    ui->lblMsgImage->setPixmap(QPixmap(kQuestionIcon));
    ui->lblMsgText->setText(text);
}

void MessageBox::setErrorText(QString text)
{
    ui->lblMsgImage->setPixmap(QPixmap(kErrorIcon));
    ui->lblMsgText->setText(text);
}

void MessageBox::setChoiceText(QString text)
{
    ui->btnCancel->show();
    setText(text);
}

void MessageBox::setPromptText(bool withCancel)
{
    ui->lblMsgImage->setPixmap(QPixmap(kQuestionIcon));
    if (withCancel)
        ui->btnCancel->show();
}

void MessageBox::showWidget()
{
    show();
    const QRect screen = CGlobalInstance::getScreenRect();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2 - 32);
}

void MessageBox::startTimer()
{
    QTimer::singleShot(kAutoCloseMs, Qt::CoarseTimer, this, [this] {
        if (isVisible())
            close();
    });
}

void MessageBox::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    if (ui->btnOK->hasFocus()) {
        emit sigOk();
        close();
    } else if (ui->btnCancel->hasFocus()) {
        close();
    }
}
