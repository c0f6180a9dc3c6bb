#include "qconferencedelaywidget.h"

#include <QIcon>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "cglobalinstance.h"

QConferenceDelayWidget::QConferenceDelayWidget(QWidget* parent)
    : QWidget(parent),
      m_lblDelay(new QLabel(this)),
      m_spinBox(new QSpinBox(this)),
      m_btnCancel(new QPushButton(tr("Cancel"), this)),
      m_btnDelay(new QPushButton(tr("Delay"), this))
{
    setObjectName("QConferenceDelayWidget");
    resize(373, 154);
    setWindowTitle(tr("Conference Delay"));
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~Qt::WindowMinimizeButtonHint & ~Qt::WindowMaximizeButtonHint);
    setAttribute(Qt::WA_ShowModal);

    m_lblDelay->setObjectName("lblDelay");
    m_spinBox->setObjectName("spinBox");
    m_spinBox->setMinimumHeight(30);
    m_spinBox->setRange(1, 60);
    m_spinBox->setValue(15);
    m_btnCancel->setObjectName("btnCancel");
    m_btnDelay->setObjectName("btnDelay");
    m_btnCancel->setMinimumSize(100, 30);
    m_btnDelay->setMinimumSize(100, 30);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnCancel);
    buttons->addWidget(m_btnDelay);
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(15);
    layout->setContentsMargins(15, 15, 15, 15);
    layout->addWidget(m_lblDelay);
    layout->addWidget(m_spinBox);
    layout->addLayout(buttons);

    connect(m_btnCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(m_btnDelay, &QPushButton::clicked, this, &QConferenceDelayWidget::delay);
}

void QConferenceDelayWidget::setLabelText(std::string data)
{
    QString sentence;
    if (data.find("15") != std::string::npos)
        sentence = tr("The conference room will be closed in 15 minutes");
    else if (data.find("10") != std::string::npos)
        sentence = tr("The conference room will be closed in 10 minutes");
    else if (data.find('5') != std::string::npos)
        sentence = tr("The conference room will be closed in 5 minutes");
    m_lblDelay->setText(sentence + ", " + tr("whether to delay conference time(minute)"));
}

void QConferenceDelayWidget::delay()
{
    if (CGlobalInstance::veltoSdk->ExtendConferenceTime(CGlobalInstance::conferenceInfo.room, m_spinBox->value()) == 0)
        close();
}

void QConferenceDelayWidget::keyPressEvent(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return;
    if (m_btnCancel->hasFocus())
        close();
    else
        delay();
}
