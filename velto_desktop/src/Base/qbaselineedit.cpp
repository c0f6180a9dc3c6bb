#include "qbaselineedit.h"

#include <QHBoxLayout>
#include <QRegExpValidator>

QBaseLineEdit::QBaseLineEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_layout(new QHBoxLayout())
    , m_lineEdit(new QLineEdit())
{
    m_layout->addWidget(m_lineEdit);
    const int inset = height() / 2;
    m_layout->setContentsMargins(inset, 0, inset, 0);
    setLayout(m_layout);
    setFocusPolicy(Qt::NoFocus);
}

void QBaseLineEdit::setPlaceholderText(const QString& text)
{
    m_lineEdit->setPlaceholderText(text);
}

QString QBaseLineEdit::text()
{
    return m_lineEdit->text().trimmed();
}

void QBaseLineEdit::setText(QString text)
{
    m_lineEdit->setText(text);
}

void QBaseLineEdit::setValidator()
{
    m_lineEdit->setValidator(new QRegExpValidator(QRegExp("[0-9]+$"), m_lineEdit));
    m_lineEdit->setMaxLength(9);
}

void QBaseLineEdit::setPasswordEchoMode()
{
    m_lineEdit->setEchoMode(QLineEdit::Password);
}
