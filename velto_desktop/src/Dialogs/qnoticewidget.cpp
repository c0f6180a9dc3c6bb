#include "qnoticewidget.h"
#include "ui_qnoticewidget.h"

#include "iconhelper.h"

#include <QTimer>

#include <iterator>

namespace {

const int kLifetimeMs = 2000;
const int kRightInset = 21;
const int kRowGap = 20;

// Indexed by notice code.
const char* const kNoticeTexts[] = {
    QT_TRANSLATE_NOOP("QNoticeWidget", "new participant comes into conference"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "participant leaves from conference"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "update master screen success"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "You are moderator now"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "grant moderator success"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "lock conference success"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "unlock conference success"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "kick out participant success"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "Lost morderator,conference will be close in 5 mins"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "mute conference audio"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "unmute conference audio"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "mute conference video"),
    QT_TRANSLATE_NOOP("QNoticeWidget", "unmute conference video"),
};

} // namespace

QNoticeWidget::QNoticeWidget(int index, int code, QRect anchor, QWidget* parent)
    : QWidget(parent)
    , ui(new Ui::QNoticeWidget)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    IconHelper::Instance()->SetIcon(ui->m_btnClose, QChar(0xF00D), QString(), 16);
    setGeometry(anchor.x() + anchor.width() - width() - kRightInset,
                anchor.y() + index * (height() + kRowGap), width(), height());
    ui->m_lblTitle->setText(tr("Information"));
    ui->m_lblIcon->setStyleSheet("image:url(:/images/right);");
    ui->m_lblContent->setText(getContentByCode(code));
    QTimer::singleShot(kLifetimeMs, this, &QNoticeWidget::slotTimeout);
    connect(ui->m_btnClose, &QToolButton::clicked, this, [this] { emit sigCloseWidget(this); });
}

QNoticeWidget::~QNoticeWidget()
{
    delete ui;
}

QString QNoticeWidget::getContentByCode(int code)
{
    if (code < 0 || code >= int(std::size(kNoticeTexts)))
        return QString();
    return tr(kNoticeTexts[code]);
}

void QNoticeWidget::slotTimeout()
{
    close();
    emit sigCloseWidget(this);
}

// A notice lives for two seconds: it keeps the texts it was made with.
void QNoticeWidget::slotTranslatorLanguage()
{
}
