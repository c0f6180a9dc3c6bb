#include "qbasesearchlineedit.h"

#include "iconhelper.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>

QBaseSearchLineEdit::QBaseSearchLineEdit(QWidget* parent)
    : QLineEdit(parent)
    , m_layout(new QHBoxLayout())
    , m_searchButton(new QPushButton())
    , m_lineEdit(new QLineEdit())
    , m_clearButton(new QPushButton())
{
    setMinimumHeight(35);
    IconHelper::Instance()->SetIcon(m_searchButton, QChar(0xF002), 14);
    IconHelper::Instance()->SetIcon(m_clearButton, QChar(0xF057), 14);
    m_layout->addWidget(m_searchButton);
    m_layout->addWidget(m_lineEdit);
    m_layout->addWidget(m_clearButton);
    m_layout->setContentsMargins(9, 0, 9, 0);
    m_layout->addSpacing(6);
    setLayout(m_layout);

    slotTranslatorLanguage();
    m_lineEdit->setFocus();
    setStyleSheet("border:1px solid rgb(187,187,187);border-radius:6px;");
    m_searchButton->setStyleSheet("border:none;");
    m_lineEdit->setStyleSheet("border:none;font-size:16px;");
    m_clearButton->setStyleSheet("border:none;color:rgb(143,142,148);");

    connect(m_clearButton, &QPushButton::clicked, m_lineEdit, &QLineEdit::clear);
    connect(m_lineEdit, &QLineEdit::textChanged, this, &QBaseSearchLineEdit::sigTextChanged);
}

QString QBaseSearchLineEdit::text()
{
    return m_lineEdit->text().trimmed();
}

void QBaseSearchLineEdit::setPlaceholderText(const QString& text)
{
    m_lineEdit->setPlaceholderText(text);
}

void QBaseSearchLineEdit::slotTranslatorLanguage()
{
    m_lineEdit->setPlaceholderText(tr("contacts search"));
}

void QBaseSearchLineEdit::mouseMoveEvent(QMouseEvent* event)
{
    if (qRound(event->localPos().x()) == m_clearButton->x())
        setCursor(Qt::ArrowCursor);
    QLineEdit::mouseMoveEvent(event);
}

void QBaseSearchLineEdit::focusInEvent(QFocusEvent*)
{
    m_lineEdit->setFocus(Qt::OtherFocusReason);
}
