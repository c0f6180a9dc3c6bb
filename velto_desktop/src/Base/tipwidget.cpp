#include "tipwidget.h"

#include <QHBoxLayout>
#include <QLabel>

TipWidget::TipWidget(QWidget* parent)
    : QWidget(parent)
    , m_label(new QLabel())
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setStyleSheet("background:black;");
    setMinimumWidth(60);
    m_label->setAlignment(Qt::AlignHCenter);
    m_label->setTextFormat(Qt::PlainText);  // participants' names
    m_label->setStyleSheet("background:black;color:white;font-size:14px;font-family:Helevtica;");
    QHBoxLayout* layout = new QHBoxLayout();
    layout->addWidget(m_label);
    layout->setMargin(8);
    setLayout(layout);
    m_label->show();
}

void TipWidget::setText(QString text)
{
    m_label->setText(text);
}
