#include "addcontactswidget.h"
#include "ui_addcontactswidget.h"

#include <QListWidget>
#include <QTimer>

#include "cglobalinstance.h"

AddContactsWidget::AddContactsWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::AddContactsWidget), m_suggestions(new QListWidget(this)), m_searchTimer(new QTimer(this))
{
    ui->setupUi(this);
    setWindowIcon(QIcon(":/images/logo"));
    setWindowFlags(windowFlags() & ~(Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    setAttribute(Qt::WA_DeleteOnClose);
    ui->edtContactNickname->setPlaceholderText(tr("Optional"));
    m_suggestions->setMinimumHeight(100);
    m_suggestions->setMaximumHeight(200);
    m_suggestions->setStyleSheet(
        "QListWidget{border:1px solid gray; color:black;font-size:16px;}QListWidget::Item{height:20px;}");
    m_suggestions->hide();
    m_searchTimer->setSingleShot(true);
    m_searchTimer->setInterval(kSearchDelayMs);

    connect(ui->edtContactName, &QLineEdit::textChanged, this, &AddContactsWidget::slotEditTextChanged);
    connect(m_searchTimer, &QTimer::timeout, this, &AddContactsWidget::search);
    connect(m_suggestions, &QListWidget::currentRowChanged, this, &AddContactsWidget::choose);
    connect(ui->btnAddContact, &QPushButton::clicked, this, &AddContactsWidget::addContact);
}

AddContactsWidget::~AddContactsWidget() { delete ui; }

bool AddContactsWidget::byEmail() const { return m_searchText.find('@') != std::string::npos; }

void AddContactsWidget::slotEditTextChanged(QString text)
{
    m_searchText = text.toStdString();
    // A name typed after a choice is no longer the chosen user.
    if (!m_filling)
        m_chosenId.clear();
    if (text.trimmed().isEmpty()) {
        m_searchTimer->stop();
        m_suggestions->hide();
        return;
    }
    m_searchTimer->start();
}

void AddContactsWidget::search()
{
    if (!m_searchText.empty())
        CGlobalInstance::veltoSdk->GetSearchContacts(m_searchText);
}

void AddContactsWidget::slotGetSearchContacts(conference_contacts& data)
{
    m_result = data.list;
    const QSignalBlocker quiet(m_suggestions);
    m_suggestions->clear();
    for (const conference_contact& contact : m_result)
        m_suggestions->addItem(QString::fromStdString(byEmail() ? contact.email : contact.userName));
    m_suggestions->show();
    m_suggestions->raise();
}

void AddContactsWidget::choose(int row)
{
    if (row < 0 || row >= int(m_result.size()))
        return;
    const conference_contact contact = m_result[size_t(row)];
    m_filling = true;
    ui->edtContactName->setText(QString::fromStdString(byEmail() ? contact.email : contact.userName));
    m_filling = false;
    m_chosenId = contact.mUserId;
    ui->edtContactNickname->setText(QString::fromStdString(contact.userName));
    m_searchTimer->stop();
    m_suggestions->hide();
}

void AddContactsWidget::addContact()
{
    if (m_chosenId.empty())
        return;
    if (CGlobalInstance::veltoSdk->AddContact(m_chosenId, ui->edtContactNickname->text().toStdString()) != 0)
        return;
    emit sigRefreshContacts();
    close();
}

void AddContactsWidget::resizeEvent(QResizeEvent* event)
{
    const QRect field = ui->edtContactName->geometry();
    const QPoint at = ui->edtContactName->mapTo(this, QPoint(0, field.height()));
    m_suggestions->move(at);
    m_suggestions->setFixedWidth(field.width());
    QWidget::resizeEvent(event);
}
