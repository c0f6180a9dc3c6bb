#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "VeltoInterface.h"

class QListWidget;
class QTimer;

namespace Ui {
class AddContactsWidget;
}

// "Add Contacts": suggestions from the server while the user types a name or
// an e-mail address; a chosen suggestion is added with an optional remark
// name. Parentless, a new one per opening; deletes itself when it closes.
class AddContactsWidget : public QWidget {
    Q_OBJECT
public:
    explicit AddContactsWidget(QWidget* parent = nullptr);
    ~AddContactsWidget() override;

    // Pause after the last keystroke before the server is asked.
    static constexpr int kSearchDelayMs = 300;

signals:
    void sigRefreshContacts();

public slots:
    void slotGetSearchContacts(conference_contacts& data);
    void slotEditTextChanged(QString text);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void search();
    void choose(int row);
    void addContact();
    bool byEmail() const;

    Ui::AddContactsWidget* ui;
    QListWidget* m_suggestions;
    QTimer* m_searchTimer;
    std::vector<conference_contact> m_result;
    std::string m_searchText;
    std::string m_chosenId;
    // Set while a chosen suggestion writes the name field.
    bool m_filling = false;
};
