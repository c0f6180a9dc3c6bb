#include "whiteboardmenuwidget.h"
#include "ui_whiteboardmenuwidget.h"

#include "iconhelper.h"
#include "whiteboardtools.h"

#include <QMouseEvent>

WhiteboardMenuWidget::WhiteboardMenuWidget(QWidget* parent) : QWidget(parent), ui(new Ui::WhiteboardMenuWidget)
{
    ui->setupUi(this);
    setAttribute(Qt::WA_StyledBackground);
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    // A tool window would hide with the application's activation otherwise.
    setAttribute(Qt::WA_MacAlwaysShowToolWindow);
    whiteboardtools::setToolGlyphs(this);
    IconHelper::Instance()->SetIcon(ui->btnExit, QChar(0xf08b), QString(), 18);

    const QToolButton* modes[] = {ui->btnClear, ui->btnText, ui->btnLine, ui->btnErase};
    for (int mode = 0; mode < 4; ++mode)
        connect(modes[mode], &QToolButton::clicked, this, [this, mode] { emit sigWorkMode(mode); });
    whiteboardtools::connectColours(this, this, [this](const QString& colour) { emit sigColor(colour); });
    whiteboardtools::connectPenSizes(this, this, {4, 8, 12, 16}, [this](int size) { emit sigPenSize(size); });
    connect(ui->btnExit, &QToolButton::clicked, this, &WhiteboardMenuWidget::sigExit);
}

WhiteboardMenuWidget::~WhiteboardMenuWidget() { delete ui; }

void WhiteboardMenuWidget::mousePressEvent(QMouseEvent* event) { drag.press(event); }

void WhiteboardMenuWidget::mouseMoveEvent(QMouseEvent* event) { drag.move(this, event); }

void WhiteboardMenuWidget::mouseReleaseEvent(QMouseEvent*) { drag.release(); }
