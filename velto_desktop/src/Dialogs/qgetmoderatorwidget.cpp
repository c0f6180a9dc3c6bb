#include "qgetmoderatorwidget.h"
#include "ui_qgetmoderatorwidget.h"

#include "cglobalinstance.h"
#include "dialogkeys.h"

QGetModeratorWidget::QGetModeratorWidget(QWidget* parent) : QWidget(parent), ui(new Ui::QGetModeratorWidget)
{
    ui->setupUi(this);
    setWindowTitle(tr("GetModerator"));
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags((windowFlags() | Qt::WindowStaysOnTopHint) & ~Qt::WindowMinimizeButtonHint &
                   ~Qt::WindowMaximizeButtonHint);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_ShowModal);

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
