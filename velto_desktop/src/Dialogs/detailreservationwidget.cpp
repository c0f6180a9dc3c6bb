#include "detailreservationwidget.h"
#include "ui_detailreservationwidget.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QTextDocument>

#include "Dialogs/messagebox.h"
#include "Home/homerules.h"
#include "cglobalinstance.h"

namespace {

const char kEnabledStyle[] =
    "border:1px solid rgb(113,223,195);border-radius:8px;color:rgb(113,223,195);font-size:16px;"
    "font-family:\"Helevtica\";";
const char kDeleteStyle[] =
    "border:1px solid rgb(230,69,46);border-radius:8px;color:rgb(230,69,46);font-size:16px;"
    "font-family:\"Helevtica\";";
const char kDisabledStyle[] =
    "border:1px solid rgb(113,113,113);border-radius:8px;color:rgb(113,113,113);font-size:16px;"
    "font-family:\"Helevtica\";";

}  // namespace

DetailReservationWidget::DetailReservationWidget(QWidget* parent)
    : DetailPopup(":/images/left_detail", ":/images/right_detail", parent), ui(new Ui::DetailReservationWidget)
{
    ui->setupUi(this);
    ui->lblPredioc->hide();
    initPopup(ui->btnStartMeet);
    setBtnStatus(true);
    setStartMeetStatus(false);
    connect(ui->btnEditMeet, &QPushButton::clicked, this, [this] {
        emit sigEditConference(m_conferenceId);
        close();
    });
    connect(ui->btnShareMeet, &QPushButton::clicked, this, &DetailReservationWidget::copyShareLink);
    connect(ui->btnDeleteMeet, &QPushButton::clicked, this, &DetailReservationWidget::deleteConference);
}

DetailReservationWidget::~DetailReservationWidget() { delete ui; }

void DetailReservationWidget::setDetailWidget(std::string id, QString title, QString number, QString startTime,
                                              int lengthTime, QString password, QString moderatorPassword, int cycle,
                                              int cycleDmy, QString cycleEndDay)
{
    m_conferenceId = std::move(id);
    m_number = number;
    m_password = password;
    // Every meeting starts with usable buttons, also after an earlier start
    // from this popup disabled them.
    setBtnStatus(true);
    ui->lblTitle->setText(fitTitle(title, ui->lblTitle));
    ui->lblTitle->setToolTip(Qt::convertFromPlainText(title));
    ui->lblId->setText(number);
    m_startSecs = home::startSeconds(startTime.toStdString());
    m_startState = true;  // setBtnStatus enabled Start; the rule goes on from there
    ui->btnEditMeet->setVisible(!applyStartWindow());
    ui->lblTime->setText(CGlobalInstance::getDataTimeByLanguage(QDateTime::fromSecsSinceEpoch(m_startSecs),
                                                                "yyyy-MM-dd dddd hh:mm"));
    ui->lblDuration->setText(QString("%1 minutes").arg(lengthTime / 60));
    ui->lblPassword->setText(password);
    ui->lblModerator->setText(moderatorPassword);
    m_cycle = cycle;
    m_cycleDmy = cycleDmy;
    m_cycleEndDay = cycleEndDay;
    showRepetition();
    restartCloseTimer();
}

void DetailReservationWidget::showRepetition()
{
    if (m_cycle != 1) {
        ui->lblPredioc->hide();
        return;
    }
    const char* const words[] = {QT_TR_NOOP("repeat every day"), QT_TR_NOOP("repeat every week"),
                                 QT_TR_NOOP("repeat every month")};
    QString text = QDateTime::fromSecsSinceEpoch(home::startSeconds(m_cycleEndDay.toStdString()))
                       .toString("yyyy-MM-dd ");
    if (m_cycleDmy >= 0 && m_cycleDmy <= 2)
        text += tr(words[m_cycleDmy]);
    ui->lblPredioc->setText(text);
    ui->lblPredioc->show();
}

void DetailReservationWidget::retestStart()
{
    // Edit only while the meeting is more than the start window away.
    const bool open = home::startable(m_startSecs, QDateTime::currentSecsSinceEpoch());
    setStartMeetStatus(open);
    ui->btnEditMeet->setVisible(!open);
}

void DetailReservationWidget::setBtnStatus(bool enable)
{
    ui->btnStartMeet->setEnabled(enable);
    ui->btnEditMeet->setEnabled(enable);
    ui->btnDeleteMeet->setEnabled(enable);
    ui->btnStartMeet->setStyleSheet(enable ? kEnabledStyle : kDisabledStyle);
    ui->btnEditMeet->setStyleSheet(enable ? kEnabledStyle : kDisabledStyle);
    ui->btnDeleteMeet->setStyleSheet(enable ? kDeleteStyle : kDisabledStyle);
}

void DetailReservationWidget::slotJoin()
{
    if (!joinShownMeeting())
        return;
    setBtnStatus(false);
    close();
}

void DetailReservationWidget::copyShareLink()
{
    // The link carries the meeting password: it goes to the clipboard only,
    // never to the log.
    QApplication::clipboard()->setText(home::shareLink(QString::fromStdString(CGlobalInstance::userInfo.server),
                                                       m_number, m_password),
                                       QClipboard::Clipboard);
    auto* box = new MessageBox(0, true, nullptr);
    box->setText(tr("Shared links has been copied to the clipboard"));
    box->showWidget();
    box->startTimer();
}

void DetailReservationWidget::deleteConference()
{
    auto* box = new MessageBox(0, true, nullptr);
    box->setChoiceText(tr("Whether to delete this conference?"));
    connect(box, &MessageBox::sigOk, this, [this] {
        if (CGlobalInstance::veltoSdk->DeleteConference(m_conferenceId) != 0)
            return;
        emit sigDeleteConference();
        close();
    });
    box->showWidget();
}

void DetailReservationWidget::slotTranslatorLanguage()
{
    QStringList values;
    for (QLabel* label : {ui->lblTitle, ui->lblId, ui->lblTime, ui->lblDuration, ui->lblPassword, ui->lblModerator})
        values << label->text();
    ui->retranslateUi(this);
    int i = 0;
    for (QLabel* label : {ui->lblTitle, ui->lblId, ui->lblTime, ui->lblDuration, ui->lblPassword, ui->lblModerator})
        label->setText(values.value(i++));
    showRepetition();
}
