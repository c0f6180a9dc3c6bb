#include "joinmeetwidget.h"
#include "ui_joinmeetwidget.h"

#include <QIcon>
#include <QKeyEvent>

#include "cglobalinstance.h"
#include "cveltocallback.h"

JoinMeetWidget::JoinMeetWidget(QWidget* parent) : QWidget(parent), ui(new Ui::JoinMeetWidget)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~Qt::WindowMinimizeButtonHint & ~Qt::WindowMaximizeButtonHint);
    setAttribute(Qt::WA_ShowModal);
    ui->edtJoinMeetId->setValidator();
    ui->edtJoinMeetPw->setPasswordEchoMode();
    applyTexts();
    connect(ui->btnJoinMeet, &QPushButton::clicked, this, &JoinMeetWidget::join);
}

JoinMeetWidget::~JoinMeetWidget() { delete ui; }

void JoinMeetWidget::applyTexts()
{
    ui->edtJoinMeetId->setPlaceholderText(tr("Please input meet number"));
    ui->edtJoinMeetPw->setPlaceholderText(tr("Please input meet password(Optional)"));
}

void JoinMeetWidget::slotTranslatorLanguage()
{
    ui->retranslateUi(this);
    applyTexts();
}

void JoinMeetWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        join();
}

void JoinMeetWidget::join()
{
    const std::string room = ui->edtJoinMeetId->text().trimmed().toStdString();
    if (room.empty()) {
        emit sigMessageBox(114);
        return;
    }
    close();
    const std::string password = ui->edtJoinMeetPw->text().trimmed().toStdString();
    const auto result = CGlobalInstance::veltoCallback->enterConference(
        [&] { return CGlobalInstance::veltoSdk->JoinConference(room, password); });
    // A refusal is the server's answer, already on screen: the network is fine.
    if (result == CVeltoCallback::EntryResult::Failed)
        emit sigNetworkError();
}
