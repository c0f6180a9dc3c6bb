#include "qbasecombox.h"

#include <QHBoxLayout>
#include <QLineEdit>

QBaseCombox::QBaseCombox(QWidget* parent)
    : QComboBox(parent)
    , m_lineEdit(new QLineEdit())
    , m_layout(new QHBoxLayout())
{
    m_lineEdit->setEnabled(false);
    m_lineEdit->setStyleSheet("border:none;background:white;color:grey;");
    m_layout->addWidget(m_lineEdit);
    m_layout->setContentsMargins(2, 1, 20, 1);
    setLayout(m_layout);
    m_lineEdit->hide();
}

void QBaseCombox::setPlaceholderText(QString text)
{
    m_lineEdit->setPlaceholderText(text);
    m_lineEdit->show();
}

void QBaseCombox::showLineEdit(bool show)
{
    m_lineEdit->setVisible(show);
}

bool QBaseCombox::isEmpty()
{
    return !m_lineEdit->isHidden();
}
