#include "profilewidget.h"

#include <QIcon>
#include <QFormLayout>
#include <QLabel>

namespace {

const char* const kCaptions[] = {
    QT_TRANSLATE_NOOP("ProfileWidget", "UserName:"),
    QT_TRANSLATE_NOOP("ProfileWidget", "Email:"),
    QT_TRANSLATE_NOOP("ProfileWidget", "Name:"),
    QT_TRANSLATE_NOOP("ProfileWidget", "Phone:"),
};

}  // namespace

ProfileWidget::ProfileWidget(std::string userName, std::string email, std::string displayName, std::string phone,
                             QWidget* parent)
    : QWidget(parent), m_layout(new QFormLayout(this))
{
    setObjectName("ProfileWidget");
    setWindowIcon(QIcon(":/images/logo"));
    setAttribute(Qt::WA_ShowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    const std::string values[] = {userName, email, displayName, phone};
    for (int row = 0; row < 4; ++row) {
        m_values[row] = new QLabel(QString::fromStdString(values[row]), this);
        m_values[row]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        m_layout->addRow(QString(), m_values[row]);
    }
    slotTranslatorLanguage();
}

void ProfileWidget::slotTranslatorLanguage()
{
    setWindowTitle(tr("Profile"));
    for (int row = 0; row < 4; ++row)
        if (auto* caption = qobject_cast<QLabel*>(m_layout->itemAt(row, QFormLayout::LabelRole)->widget()))
            caption->setText(tr(kCaptions[row]));
}
