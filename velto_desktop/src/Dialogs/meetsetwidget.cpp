#include "meetsetwidget.h"
#include "ui_meetsetwidget.h"

#include <QFile>
#include <QKeyEvent>
#include <QRegularExpressionValidator>

#include "Tools/commonhelper.h"
#include "Tools/settings.h"
#include "cglobalinstance.h"

namespace {

const char kRandomKey[] = "/MeetSet/autoGeneration";

}  // namespace

MeetSetWidget::MeetSetWidget(std::string number, QWidget* parent) : QWidget(parent), ui(new Ui::MeetSetWidget)
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    setAttribute(Qt::WA_ShowModal);
    setAttribute(Qt::WA_DeleteOnClose);

    auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]+$"), this);
    ui->edtMeetPw->setValidator(digits);
    ui->edtModeratorPw->setValidator(digits);
    ui->edtMeetPw->setMaxLength(8);
    ui->edtModeratorPw->setMaxLength(8);
    ui->edtMeetId->setText(QString::fromStdString(number));

    ConferenceInfo& room = CGlobalInstance::conferenceInfo;
    CGlobalInstance::veltoSdk->QueryUsers(room.meetPassword, room.ownerPassword);

    const bool random =
        !QFile::exists(CGlobalInstance::getIniPath()) || Settings().value(kRandomKey) == "true";
    ui->btnRandom->setChecked(random);
    ui->edtMeetPw->setText(QString::fromStdString(room.meetPassword));
    ui->edtMeetPw->setPlaceholderText(tr("Please input 4-8 digit password"));
    if (!random)
        ui->edtModeratorPw->setText(QString::fromStdString(room.ownerPassword));
    setRandom(random);

    connect(ui->btnRandom, &QCheckBox::toggled, this, &MeetSetWidget::setRandom);
    connect(ui->btnCommit, &QPushButton::clicked, this, &MeetSetWidget::commitMeetSettings);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QWidget::close);
}

MeetSetWidget::~MeetSetWidget() { delete ui; }

void MeetSetWidget::setRandom(bool on)
{
    ui->edtModeratorPw->setReadOnly(on);
    ui->edtModeratorPw->setPlaceholderText(on ? tr("Random Generation") : tr("Please input 4-8 digit password"));
}

void MeetSetWidget::commitMeetSettings()
{
    const std::string meetPassword = ui->edtMeetPw->text().toStdString();
    const std::string ownerPassword = ui->btnRandom->isChecked() ? CommonHelper::randomPassword().toStdString()
                                                                 : ui->edtModeratorPw->text().toStdString();
    if (CGlobalInstance::veltoSdk->ModifyConferences(meetPassword, ownerPassword) != 0)
        return;
    CGlobalInstance::conferenceInfo.meetPassword = meetPassword;
    CGlobalInstance::conferenceInfo.ownerPassword = ownerPassword;
    Settings().setValue(kRandomKey, ui->btnRandom->isChecked());
    close();
}

void MeetSetWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    if (ui->btnCancel->hasFocus())
        close();
    else if (ui->btnRandom->hasFocus())
        ui->btnRandom->toggle();
    else
        commitMeetSettings();
}
