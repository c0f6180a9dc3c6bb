#pragma once

#include <string>

#include "detailpopup.h"

namespace Ui {
class DetailReservationWidget;
}

// The details of a reserved meeting, with Edit, Share and Delete.
class DetailReservationWidget : public DetailPopup {
    Q_OBJECT
public:
    explicit DetailReservationWidget(QWidget* parent = nullptr);
    ~DetailReservationWidget() override;

    void setDetailWidget(std::string id, QString title, QString number, QString startTime, int lengthTime,
                         QString password, QString moderatorPassword, int cycle, int cycleDmy, QString cycleEndDay);
    void setBtnStatus(bool enable);

signals:
    void sigDeleteConference();
    void sigEditConference(std::string id);
    void sigStartConference(QString conferenceId, QString password);

public slots:
    void slotJoin() override;
    void slotTranslatorLanguage();

protected:
    void retestStart() override;

private:
    void copyShareLink();
    void deleteConference();
    void showRepetition();

    Ui::DetailReservationWidget* ui;
    std::string m_conferenceId;
    int m_cycle = 0;
    int m_cycleDmy = 0;
    QString m_cycleEndDay;
};
