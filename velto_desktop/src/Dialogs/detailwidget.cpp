#include "detailwidget.h"
#include "ui_detailwidget.h"

#include <QDateTime>
#include <QTextDocument>

#include "Home/homerules.h"
#include "cglobalinstance.h"

DetailWidget::DetailWidget(QWidget* parent)
    : DetailPopup(":/images/left_detail_s", ":/images/right_detail_s", parent), ui(new Ui::DetailWidget)
{
    ui->setupUi(this);
    initPopup(ui->btnStartMeet);
}

DetailWidget::~DetailWidget() { delete ui; }

void DetailWidget::setDetailWidget(QString title, QString number, QString type, QString startTime, int lengthTime,
                                   QString password, QString moderator)
{
    m_number = number;
    m_password = password;
    m_fixed = type == "CTF1";
    ui->lblTitle->setText(fitTitle(title, ui->lblTitle));
    ui->lblTitle->setToolTip(Qt::convertFromPlainText(title));
    ui->lblId->setText(number);
    ui->lblPassword->setText(password);
    ui->lblModerator->setText(moderator);
    m_startSecs = home::startSeconds(startTime.toStdString());
    ui->lblTime->setText(CGlobalInstance::getDataTimeByLanguage(QDateTime::fromSecsSinceEpoch(m_startSecs),
                                                                "yyyy-MM-dd dddd hh:mm"));
    ui->lblDuration->setText(QString("%1 minutes").arg(lengthTime / 60));
    applyTypeTexts();
    if (m_fixed) {
        setStartMeetStatus(true);
    } else {
        applyStartWindow();
        if (lengthTime == 0)
            setStartMeetStatus(false);
    }
    restartCloseTimer();
}

void DetailWidget::applyTypeTexts()
{
    ui->lblDetail_4->setVisible(!m_fixed);
    ui->lblDuration->setVisible(!m_fixed);
    if (m_fixed) {
        ui->lblDetail_6->setText(tr("Moderator Password:"));
        ui->lblDetail_3->setText(tr("Meet Type:"));
        ui->lblTime->setText(tr("Fixed Meeting"));
    } else {
        ui->lblDetail_3->setText(tr("Meet Time :"));
        ui->lblDetail_6->setText(tr("Moderator :"));
    }
}

void DetailWidget::slotJoin()
{
    if (joinShownMeeting())
        close();
}

void DetailWidget::slotTranslatorLanguage()
{
    const QString title = ui->lblTitle->text(), id = ui->lblId->text(), time = ui->lblTime->text(),
                  duration = ui->lblDuration->text(), password = ui->lblPassword->text(),
                  moderator = ui->lblModerator->text();
    ui->retranslateUi(this);
    ui->lblTitle->setText(title);
    ui->lblId->setText(id);
    ui->lblTime->setText(time);
    ui->lblDuration->setText(duration);
    ui->lblPassword->setText(password);
    ui->lblModerator->setText(moderator);
    applyTypeTexts();
}
