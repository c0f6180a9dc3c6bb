#include "qlayoutmanagerwidget.h"
#include "ui_qlayoutmanagerwidget.h"

#include "cglobalinstance.h"
#include "meetingdialog.h"
#include "meetingtoolrules.h"
#include "qpickcandiatewidget.h"
#include "Tools/logtext.h"

#include <QHBoxLayout>
#include <QtDebug>

namespace {
int entryCount()
{
    return static_cast<int>(CGlobalInstance::user_subwidgets.size());
}
}  // namespace

QLayoutManagerWidget::QLayoutManagerWidget(QWidget* parent)
    : QWidget(parent), ui(new Ui::QLayoutManagerWidget), m_tiles(CGlobalInstance::eSplitScreen == 5)
{
    ui->setupUi(this);
    setupOneShotDialog(this, tr("LayoutManager"));
    ui->userlistWidget->hide();
    m_mainRow = new QHBoxLayout(ui->mainscreenWidget);
    m_subRow = new QHBoxLayout(ui->subVideoWidget);
    ui->tabManagerWidget->setCurrentIndex(m_tiles ? 1 : 0);

    connect(ui->tabManagerWidget, &QTabWidget::currentChanged, this, &QLayoutManagerWidget::onTabChanged);
    connect(ui->btnOk, &QPushButton::clicked, this, &QLayoutManagerWidget::ok);
}

QLayoutManagerWidget::~QLayoutManagerWidget()
{
    clear();
    delete ui;
}

void QLayoutManagerWidget::showWidget()
{
    show();
    buildSlots(m_tiles);
}

void QLayoutManagerWidget::showCurrentLayout(int tiles)
{
    buildSlots(tiles != 0);
}

void QLayoutManagerWidget::slotUpdateLayout()
{
    if (entryCount() == static_cast<int>(m_slots.size()))
        return;
    clear();
    buildSlots(m_tiles);
}

void QLayoutManagerWidget::buildSlots(bool tiles)
{
    if (tiles) {
        splitScreen();
    } else if (entryCount() > 0) {
        addWidget(0, m_mainRow);
        addWidget(entryCount(), m_subRow);
    }
}

void QLayoutManagerWidget::clear()
{
    for (QHBoxLayout* row : {m_mainRow, m_subRow}) {
        while (QLayoutItem* item = row->takeAt(0))
            delete item;
    }
    for (QPickCandiateWidget* slot : m_slots)
        delete slot;
    m_slots.clear();
}

void QLayoutManagerWidget::getUserInfo(int index, std::string& endpoint, std::string& nickname) const
{
    endpoint = meetingtools::entryEndpoint(CGlobalInstance::user_subwidgets.at(static_cast<size_t>(index)));
    if (endpoint.empty() || CGlobalInstance::userInfo.myJid.find(endpoint) != std::string::npos)
        nickname = CGlobalInstance::userInfo.mUserName;
    else
        nickname = CGlobalInstance::getUsernameByJid(endpoint);
}

QPickCandiateWidget* QLayoutManagerWidget::createWidget(const QString& title, int index, QWidget* parent)
{
    std::string endpoint;
    std::string nickname;
    getUserInfo(index, endpoint, nickname);
    const auto stored = static_cast<size_t>(index);
    const bool polling = stored < CGlobalInstance::polling.size() && CGlobalInstance::polling[stored];
    auto* slot = new QPickCandiateWidget(title, nickname, endpoint, polling, parent);
    connect(slot, &QPickCandiateWidget::sigIndexChange, this,
            [this, slot](QString chosen) { onSlotChosen(slot, chosen); });
    m_slots.push_back(slot);
    return slot;
}

void QLayoutManagerWidget::addWidget(int count, QHBoxLayout* row)
{
    const int width = meetingtools::surroundSlotWidth(count);
    row->addStretch();
    const int first = count == 0 ? 0 : 1;
    const int last = count == 0 ? 0 : count - 1;
    for (int i = first; i <= last; ++i) {
        const QString title = i == 0 ? tr("masterScreen") : QString::number(i);
        QPickCandiateWidget* slot = createWidget(title, i, row->parentWidget());
        slot->setFixedWidth(width);
        row->addWidget(slot);
    }
    row->addStretch();
}

void QLayoutManagerWidget::splitScreen()
{
    const std::vector<QPoint> positions = meetingtools::tileSlotPositions(
        entryCount(), ui->managerWidget->width(), ui->managerWidget->height());
    for (size_t i = 0; i < positions.size(); ++i) {
        QPickCandiateWidget* slot = createWidget(QString::number(i + 1), static_cast<int>(i), ui->tabTiles);
        slot->setGeometry(QRect(positions[i], meetingtools::kTileSlotSize));
        slot->show();
    }
}

void QLayoutManagerWidget::onTabChanged(int index)
{
    const bool tiles = index == 1;
    if (tiles == m_tiles)
        return;
    m_tiles = tiles;
    clear();
    buildSlots(m_tiles);
}

// One participant fills one screen: choosing someone clears every other slot
// that showed them, and the chosen slot stops polling.
void QLayoutManagerWidget::onSlotChosen(QPickCandiateWidget* slot, const QString& endpoint)
{
    slot->setPolling();
    const std::string chosen = endpoint.toStdString();
    for (QPickCandiateWidget* other : m_slots) {
        if (other != slot && other->getUserEndpoint() == chosen)
            other->clear();
    }
}

// Every slot is checked before anything reaches the server; the stored
// switches change only once the server took the list.
void QLayoutManagerWidget::ok()
{
    std::vector<meetingtools::SlotChoice> choices;
    for (QPickCandiateWidget* slot : m_slots)
        choices.push_back({slot->getUserEndpoint(), slot->isPolling()});
    const std::optional<std::string> list = meetingtools::participantList(choices);
    if (!list) {
        qDebug() << "empty";
        for (QPickCandiateWidget* slot : m_slots) {
            if (slot->getUserEndpoint().empty())
                slot->showWarning();
        }
        return;
    }

    if (CGlobalInstance::eSplitScreen != 0 && !m_tiles)
        CGlobalInstance::veltoSdk->SplitScreen(0);
    else if (CGlobalInstance::eSplitScreen == 0 && m_tiles)
        CGlobalInstance::veltoSdk->SplitScreen(5);

    if (m_slots.empty()) {
        close();  // nothing to fill: an empty list would blank every screen
        return;
    }
    qDebug() << "==SelectParticipants==" << logText(*list);
    if (CGlobalInstance::veltoSdk->SelectParticipants(*list) != 0)
        return;
    CGlobalInstance::polling.clear();
    for (const meetingtools::SlotChoice& choice : choices)
        CGlobalInstance::polling.push_back(choice.polling);
    close();
}
