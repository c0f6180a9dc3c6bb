#include "qconferencedelaywidget.h"
#include "ui_qconferencedelaywidget.h"

#include "cglobalinstance.h"
#include "meetingdialog.h"
#include "mainwindow.h"
#include "meetingtoolrules.h"

QConferenceDelayWidget::QConferenceDelayWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QConferenceDelayWidget)
{
    ui->setupUi(this);
    setupOneShotDialog(this, tr("Conference Delay"));
    ui->spinBox->setValue(15);

    connect(ui->btnCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->btnDelay, &QPushButton::clicked, this, &QConferenceDelayWidget::delay);
    // A warning about a meeting that has ended has nothing left to extend.
    if (CGlobalInstance::mainWindow)
        connect(CGlobalInstance::mainWindow, &MainWindow::sigLeaveConference, this, &QWidget::close);
}

QConferenceDelayWidget::~QConferenceDelayWidget()
{
    delete ui;
}

void QConferenceDelayWidget::setLabelText(std::string data)
{
    QString sentence;
    switch (meetingtools::closingMinutes(data)) {
    case 15:
        sentence = tr("The conference room will be closed in 15 minutes");
        break;
    case 10:
        sentence = tr("The conference room will be closed in 10 minutes");
        break;
    case 5:
        sentence = tr("The conference room will be closed in 5 minutes");
        break;
    default:
        break;
    }
    ui->lblDelay->setText(sentence + ", " + tr("whether to delay conference time(minute)"));
}

void QConferenceDelayWidget::delay()
{
    if (CGlobalInstance::veltoSdk->ExtendConferenceTime(CGlobalInstance::conferenceInfo.room, ui->spinBox->value()) ==
        0)
        close();
}

void QConferenceDelayWidget::keyPressEvent(QKeyEvent* event)
{
    handleConfirmKey(event, this, ui->btnCancel, [this] { delay(); });
}
