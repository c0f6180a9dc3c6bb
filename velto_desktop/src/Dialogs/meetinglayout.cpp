#include "meetinglayout.h"

#include <algorithm>
#include <cmath>

namespace MeetingLayout {

namespace {
constexpr int SPACING = 20;
constexpr int STRIP_TILES = 8;
}  // namespace

int videoAreaWidth(int windowWidth, bool infoVisible, bool chatVisible)
{
    return windowWidth - (infoVisible ? PANEL_WIDTH : 0) - (chatVisible ? PANEL_WIDTH : 0);
}

QRect stripTile(int width, int height, int index)
{
    const int tileW = (width - (STRIP_TILES + 1) * SPACING) / STRIP_TILES;
    const int tileH = tileW * 9 / 16;
    const int x = SPACING + index * (tileW + SPACING);
    return QRect(x, height - tileH - 20, tileW, tileH);
}

GridShape gridShape(int count)
{
    if (count <= 0)
        return {2, 2};
    if (count == 1)
        return {1, 1};
    if (count == 2)
        return {2, 1};
    if (count <= 4)
        return {2, 2};
    if (count <= 6)
        return {3, 2};
    if (count <= 9)
        return {3, 3};
    // Beyond nine: the smallest near-square grid, one column more than rows at most.
    int columns = int(std::ceil(std::sqrt(double(count))));
    int rows = (count + columns - 1) / columns;
    return {columns, rows};
}

QRect gridTile(int width, int height, int count, int index)
{
    const GridShape shape = gridShape(count);
    const int tileW = width / shape.columns;
    int tileH = tileW * 9 / 16;
    const int slack = height - shape.rows * tileH;
    int yOffset = 0;
    if (slack > -2)
        yOffset = slack / 2;
    else
        tileH = height / shape.rows;
    const int column = index % shape.columns;
    const int row = index / shape.columns;
    return QRect(column * tileW, row * tileH + yOffset, tileW, tileH);
}

QRect widenedFrame(int screenWidth, QRect frame)
{
    const int w = frame.width();
    if (screenWidth - w < PANEL_WIDTH)
        return QRect();
    return QRect((screenWidth - w - PANEL_WIDTH) / 2, frame.y(), w + PANEL_WIDTH, frame.height());
}

QRect narrowedFrame(int screenWidth, QRect frame, int rememberedWidth)
{
    if (frame.width() != rememberedWidth + PANEL_WIDTH)
        return QRect();
    return QRect((screenWidth - rememberedWidth) / 2, frame.y(), rememberedWidth, frame.height());
}

QRect statsPanelOverTile(int x, int y, int tileWidth, bool moderator, int panelHeight)
{
    const int height = moderator ? panelHeight : 80;
    return QRect(x, y - 10 - height, tileWidth, height);
}

QRect statsPanelBelowName(int x, int y, bool moderator, int panelHeight)
{
    return QRect(x, y + 35, 190, moderator ? panelHeight : 80);
}

std::vector<QPoint> callPanelPositions(QSize available, int panelWidth, const std::vector<int>& heights)
{
    std::vector<QPoint> positions(heights.size());
    int bottom = available.height() - 10;  // the newest panel's bottom edge
    for (size_t i = heights.size(); i-- > 0;) {
        positions[i] = QPoint(available.width() - panelWidth - 6, bottom - heights[i]);
        bottom -= heights[i] + 5;
    }
    return positions;
}

QPoint centredOver(QRect over, QSize size, QRect screen)
{
    int x = over.x() + (over.width() - size.width()) / 2;
    int y = over.y() + (over.height() - size.height()) / 2;
    x = std::max(std::min(x, screen.right() + 1 - size.width()), screen.left());
    y = std::max(std::min(y, screen.bottom() + 1 - size.height()), screen.top());
    return QPoint(x, y);
}

std::vector<StageEntry> stageTileEntries(const std::string& partipants, int splitScreen)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t comma = partipants.find(',', start);
        parts.push_back(partipants.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    std::vector<StageEntry> entries;
    for (size_t i = splitScreen == 0 ? 1 : 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        if (part.empty())
            continue;
        const size_t underscore = part.find('_');
        if (underscore == std::string::npos)
            entries.push_back({part, std::string()});
        else
            entries.push_back({part.substr(0, underscore), part.substr(underscore + 1)});
    }
    return entries;
}

QString chatEscape(const QString& text)
{
    QString out = text;
    out.replace("&", "&amp;");
    out.replace(">", "&gt;");
    out.replace("<", "&lt;");
    out.replace("\"", "&quot;");
    out.replace("'", "&#39;");
    out.replace(" ", "&nbsp;");
    out.replace("\n", "<br>");
    out.replace("\r", "<br>");
    return out;
}

QString chatEntry(const QString& name, const QString& text, const QString& time)
{
    // The sender's name is the participant's own choice: escaped like the body,
    // so that no one can put links or pictures into the others' history.
    const QString heading = QString("%1 %2").arg(chatEscape(name), time);
    return QString("<span style=\"color:blue;\"><font size=4>%1</font></span><br /><span><font size=4>%2</font></span>"
                   "<br /><br />")
        .arg(heading, chatEscape(text));
}

}  // namespace MeetingLayout
