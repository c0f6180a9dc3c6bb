#include "qbaselabel.h"

#include "iconhelper.h"

#include <QPushButton>
#include <QVBoxLayout>

QBaseLabel::QBaseLabel(QWidget* parent)
    : QLabel(parent)
    , m_iconButton(new QPushButton())
    , m_textButton(new QPushButton())
    , m_layout(new QVBoxLayout())
{
    m_iconButton->setFocusPolicy(Qt::NoFocus);
    m_iconButton->setIconSize(QSize(40, 40));
    m_textButton->setFocusPolicy(Qt::NoFocus);
    m_textButton->setStyleSheet("font-size:14px;font-family:\"Helevtica\";");
    m_layout->addWidget(m_iconButton, 2, Qt::AlignHCenter);
    m_layout->addWidget(m_textButton, 1, Qt::AlignHCenter);
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    setLayout(m_layout);

    connect(m_iconButton, &QPushButton::clicked, this, &QBaseLabel::clicked);
    connect(m_textButton, &QPushButton::clicked, this, &QBaseLabel::clicked);
}

void QBaseLabel::setText(QString text)
{
    m_textButton->setText(text);
}

void QBaseLabel::setText(QString icon, QString text)
{
    m_iconButton->setIcon(QIcon(icon));
    m_textButton->setText(text);
}

void QBaseLabel::setText(QChar glyph, QString text, int size)
{
    IconHelper::Instance()->SetIcon(m_iconButton, glyph, size);
    m_textButton->setText(text);
}

void QBaseLabel::select(QString icon, QString selectedIcon, bool selected)
{
    m_iconButton->setIcon(QIcon(selected ? selectedIcon : icon));
    m_textButton->setStyleSheet(selected ? "color:rgb(113,223,195);font-family:Helevtica;"
                                         : "color:rgb(0,0,0);font-family:Helevtica;");
}

void QBaseLabel::mouseReleaseEvent(QMouseEvent*)
{
    emit clicked();
}
