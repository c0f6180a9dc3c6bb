#include "qgetmoderatorwidget.h"
#include "ui_qgetmoderatorwidget.h"

#include "cglobalinstance.h"
#include "meetingdialog.h"

QGetModeratorWidget::QGetModeratorWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QGetModeratorWidget)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() | Qt::WindowStaysOnTopHint);
    setupOneShotDialog(this, tr("GetModerator"));

    connect(ui->btnOK, &QPushButton::clicked, this, &QGetModeratorWidget::call);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QWidget::close);
}

QGetModeratorWidget::~QGetModeratorWidget()
{
    delete ui;
}

void QGetModeratorWidget::call()
{
    CGlobalInstance::veltoSdk->GetModerator(CGlobalInstance::conferenceInfo.room,
                                            ui->lineEdit->text().trimmed().toStdString());
}

void QGetModeratorWidget::keyPressEvent(QKeyEvent* event)
{
    handleConfirmKey(event, this, ui->btnCancel, [this] { call(); });
}
