#pragma once

#include <QWidget>

#include <string>

class QFormLayout;
class QLabel;

// The own profile: user name, e-mail address, display name and phone number.
// Modal; deletes itself when it closes.
class ProfileWidget : public QWidget {
    Q_OBJECT
public:
    ProfileWidget(std::string userName, std::string email, std::string displayName, std::string phone,
                  QWidget* parent = nullptr);

public slots:
    void slotTranslatorLanguage();

private:
    QFormLayout* m_layout;
    QLabel* m_values[4];
};
