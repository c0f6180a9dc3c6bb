#pragma once

#include "detailpopup.h"

namespace Ui {
class DetailWidget;
}

// The details of a Meet-page meeting.
class DetailWidget : public DetailPopup {
    Q_OBJECT
public:
    explicit DetailWidget(QWidget* parent = nullptr);
    ~DetailWidget() override;

    void setDetailWidget(QString title, QString number, QString type, QString startTime, int lengthTime,
                         QString password, QString moderator);

signals:
    void sigStartConference(QString conferenceId, QString password);

public slots:
    void slotJoin() override;
    void slotTranslatorLanguage();

private:
    void applyTypeTexts();

    Ui::DetailWidget* ui;
    bool m_fixed = false;
};

