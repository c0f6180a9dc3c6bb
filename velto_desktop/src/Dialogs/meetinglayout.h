#pragma once
// Geometry and text rules of the meeting window, free of widgets so that they
// are tested as tables: the tile strip and grid, the side-panel widening, the
// statistics panel and call-panel positions, the stage entries and the chat
// entry text. Everything here is plain arithmetic on the values passed in.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <string>
#include <vector>

namespace MeetingLayout {

constexpr int PANEL_WIDTH = 280;  // each side panel of the meeting window

// Width left to the video area: the window width minus every visible side panel.
int videoAreaWidth(int windowWidth, bool infoVisible, bool chatVisible);

// Tile at strip position `index` along the bottom edge of a width x height area
// (eight 16:9 tiles across, 20 pixels apart and from the edges).
QRect stripTile(int width, int height, int index);

struct GridShape {
    int columns;
    int rows;
    bool operator==(const GridShape& other) const { return columns == other.columns && rows == other.rows; }
};
// Columns and rows for `count` tiles: up to 9 as 1x1, 2x1, 2x2, 3x2, 3x3; more
// tiles keep growing the grid (4x3, 4x4, 5x4, ...) so that every cell stays on
// screen; 0 or less gives 2x2.
GridShape gridShape(int count);
// Cell `index` of the grid for `count` tiles in a width x height area: 16:9
// cells centred vertically, squeezed in height when the rows do not fit.
QRect gridTile(int width, int height, int count, int index);

// Side panels. `screenWidth` is the primary screen's width; `frame` the
// window's frame geometry. Returns the new frame position and width, or an
// empty optional-like invalid rect when the window keeps its size.
QRect widenedFrame(int screenWidth, QRect frame);
QRect narrowedFrame(int screenWidth, QRect frame, int rememberedWidth);

// Statistics panel above a tile whose top-left corner is (x, y), or below the
// main view's name label at (x, y).
QRect statsPanelOverTile(int x, int y, int tileWidth, bool moderator, int panelHeight);
QRect statsPanelBelowName(int x, int y, bool moderator, int panelHeight);

// Call panels stack upward from the bottom-right corner of the available
// screen area, newest at the bottom, 5 pixels apart. `heights` are the panels'
// heights oldest first; the result their top-left corners.
std::vector<QPoint> callPanelPositions(QSize available, int panelWidth, const std::vector<int>& heights);

// Top-left corner of a dialog of `size` centred over the window frame `over`,
// moved inside `screen` where it would stand out (its top-left corner first,
// when the dialog is larger than the screen).
QPoint centredOver(QRect over, QSize size, QRect screen);

// One entry of a stage message: a participant's endpoint and camera source.
struct StageEntry {
    std::string endpoint;
    std::string ssrc;
    bool operator==(const StageEntry& other) const { return endpoint == other.endpoint && ssrc == other.ssrc; }
};
// The entries that stand for tiles: in surround mode (splitScreen 0) entry 0
// belongs to the main screen and is left out. Empty entries are skipped; an
// entry without "_" has an empty source.
std::vector<StageEntry> stageTileEntries(const std::string& partipants, int splitScreen);

// Chat: the message body escaped for the history's HTML, and one history entry.
QString chatEscape(const QString& text);
QString chatEntry(const QString& name, const QString& text, const QString& time);

}  // namespace MeetingLayout
