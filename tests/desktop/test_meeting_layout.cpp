// The meeting window's geometry and text rules: tile strip and grid, side
// panels, statistics and call panels, stage entries, chat entries.
#include "meetinglayout.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <ostream>
#include <tuple>
#include <vector>

using namespace MeetingLayout;

QT_BEGIN_NAMESPACE
inline void PrintTo(const QRect& r, std::ostream* out)
{
    *out << "(" << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << ")";
}
inline void PrintTo(const QPoint& p, std::ostream* out) { *out << "(" << p.x() << "," << p.y() << ")"; }
QT_END_NAMESPACE

TEST(MeetingLayout, VideoAreaLosesEveryVisiblePanel)
{
    const std::tuple<bool, bool, int> cases[] = {
        {false, false, 1200}, {true, false, 920}, {false, true, 920}, {true, true, 640}};
    for (const auto& [info, chat, width] : cases)
        EXPECT_EQ(videoAreaWidth(1200, info, chat), width) << info << chat;
}

TEST(MeetingLayout, StripTiles)
{
    const std::tuple<int, int, int, QRect> cases[] = {
        {1200, 675, 0, QRect(20, 584, 127, 71)},
        {1200, 675, 1, QRect(167, 584, 127, 71)},
        {1200, 675, 2, QRect(314, 584, 127, 71)},
        {1920, 1080, 7, QRect(1679, 938, 217, 122)},
        {920, 675, 0, QRect(20, 604, 92, 51)},
    };
    for (const auto& [w, h, index, cell] : cases)
        EXPECT_EQ(stripTile(w, h, index), cell) << w << "x" << h << " #" << index;
}

TEST(MeetingLayout, GridShapes)
{
    const std::pair<int, GridShape> cases[] = {
        {-1, {2, 2}}, {0, {2, 2}}, {1, {1, 1}}, {2, {2, 1}}, {3, {2, 2}}, {4, {2, 2}}, {5, {3, 2}}, {6, {3, 2}},
        {7, {3, 3}},  {9, {3, 3}}, {10, {4, 3}}, {12, {4, 3}}, {13, {4, 4}}, {16, {4, 4}}, {17, {5, 4}}};
    for (const auto& [count, shape] : cases) {
        const GridShape got = gridShape(count);
        EXPECT_EQ(got, shape) << count << ": " << got.columns << "x" << got.rows;
    }
}

TEST(MeetingLayout, GridCells)
{
    const std::tuple<int, int, int, int, QRect> cases[] = {
        // four tiles fill 1200 x 675 exactly (slack 1)
        {1200, 675, 4, 0, QRect(0, 0, 600, 337)},
        {1200, 675, 4, 3, QRect(600, 337, 600, 337)},
        // nine tiles, no slack
        {1200, 675, 9, 8, QRect(800, 450, 400, 225)},
        // rows that do not fit are squeezed in height, not moved
        {1200, 600, 4, 2, QRect(0, 300, 600, 300)},
        // rows with room are centred
        {1200, 800, 1, 0, QRect(0, 62, 1200, 675)},
        // more than nine tiles: every cell stays inside the area
        {1200, 675, 10, 9, QRect(300, 421, 300, 168)},
        {1200, 675, 16, 15, QRect(900, 505, 300, 168)},
    };
    for (const auto& [w, h, count, index, cell] : cases)
        EXPECT_EQ(gridTile(w, h, count, index), cell) << count << " #" << index;
    for (int count = 1; count <= 25; ++count)
        for (int index = 0; index < count; ++index)
            EXPECT_TRUE(QRect(0, 0, 1200, 675).contains(gridTile(1200, 675, count, index)))
                << count << " #" << index;
}

TEST(MeetingLayout, SidePanelsWidenAndNarrowTheWindowInPlace)
{
    // Widening keeps the frame's y (no title-bar creep) and centres the window.
    EXPECT_EQ(widenedFrame(1920, QRect(360, 200, 1200, 675)), QRect(220, 200, 1480, 675));
    // Within 280 pixels of the screen width, or full screen: the window keeps its size.
    EXPECT_FALSE(widenedFrame(1920, QRect(0, 0, 1700, 675)).isValid());
    EXPECT_FALSE(widenedFrame(1920, QRect(0, 0, 1920, 1080)).isValid());
    EXPECT_EQ(narrowedFrame(1920, QRect(220, 200, 1480, 675), 1200), QRect(360, 200, 1200, 675));
    // A window the user resized meanwhile is left as it is.
    EXPECT_FALSE(narrowedFrame(1920, QRect(220, 200, 1500, 675), 1200).isValid());
}

TEST(MeetingLayout, StatisticsPanelPositions)
{
    EXPECT_EQ(statsPanelOverTile(100, 500, 127, false, 108), QRect(100, 410, 127, 80));
    EXPECT_EQ(statsPanelOverTile(100, 500, 127, true, 108), QRect(100, 382, 127, 108));
    EXPECT_EQ(statsPanelBelowName(20, 10, true, 108), QRect(20, 45, 190, 108));
    EXPECT_EQ(statsPanelBelowName(20, 10, false, 108), QRect(20, 45, 190, 80));
}

TEST(MeetingLayout, CallPanelsStackUpFromTheCorner)
{
    const QSize screen(1920, 1040);
    EXPECT_TRUE(callPanelPositions(screen, 300, {}).empty());
    EXPECT_EQ(callPanelPositions(screen, 300, {100}), (std::vector<QPoint>{{1614, 930}}));
    // Oldest on top, newest at the bottom, 5 pixels apart.
    EXPECT_EQ(callPanelPositions(screen, 300, {100, 80, 100}),
              (std::vector<QPoint>{{1614, 740}, {1614, 845}, {1614, 930}}));
}

TEST(MeetingLayout, DialogsOpenCentredOverTheMeeting)
{
    const QRect screen(0, 0, 1920, 1040);
    struct Case {
        QRect meeting;
        QSize dialog;
        QPoint at;
    };
    const Case cases[] = {
        {{100, 50, 1200, 700}, {600, 400}, {400, 200}},
        {{0, 0, 1920, 1040}, {500, 300}, {710, 370}},
        // a meeting window partly off the screen: the dialog stays on it
        {{-400, 800, 1200, 700}, {600, 400}, {0, 640}},
        {{1500, -300, 1200, 700}, {600, 400}, {1320, 0}},
        // larger than the screen: its top-left corner shows
        {{0, 0, 1920, 1040}, {2000, 1200}, {0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(centredOver(c.meeting, c.dialog, screen), c.at)
            << c.meeting.x() << "," << c.meeting.y() << " " << c.dialog.width() << "x" << c.dialog.height();
    // A second screen to the right.
    EXPECT_EQ(centredOver({2000, 100, 1200, 700}, {600, 400}, QRect(1920, 0, 1920, 1080)), QPoint(2300, 250));
}

TEST(MeetingLayout, StageEntries)
{
    struct Case {
        const char* partipants;
        int mode;
        std::vector<StageEntry> entries;
    };
    const Case cases[] = {
        {"", 0, {}},
        {"", 5, {}},
        {"stage_1", 0, {}},
        {"stage_1,a_2,b_3", 0, {{"a", "2"}, {"b", "3"}}},
        {"stage_1,a_2,b_3", 5, {{"stage", "1"}, {"a", "2"}, {"b", "3"}}},
        // empty entries are skipped, an entry without "_" has no source
        {"stage_1,,a_2,", 0, {{"a", "2"}}},
        {",a,_7", 5, {{"a", ""}, {"", "7"}}},
        // only the first "_" separates
        {"x_1,pc_a_9", 0, {{"pc", "a_9"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(stageTileEntries(c.partipants, c.mode), c.entries) << c.partipants << " mode " << c.mode;
}

TEST(MeetingLayout, ChatTextIsEscapedNameAndBody)
{
    const std::pair<QString, QString> cases[] = {
        {"a<b>c", "a&lt;b&gt;c"},
        {"Tom & 'Jerry'", "Tom&nbsp;&amp;&nbsp;&#39;Jerry&#39;"},
        {"\"q\"", "&quot;q&quot;"},
        {"&lt;", "&amp;lt;"},
        {"one\r\ntwo", "one<br><br>two"},
        {"  ", "&nbsp;&nbsp;"},
        {"<img src=x>", "&lt;img&nbsp;src=x&gt;"},
    };
    for (const auto& [text, escaped] : cases)
        EXPECT_EQ(chatEscape(text), escaped) << text.toStdString();

    const QString entry = chatEntry("<a href=x>Eve</a>", "<img src=y>", "12:00:01");
    EXPECT_FALSE(entry.contains("<a ")) << entry.toStdString();
    EXPECT_FALSE(entry.contains("<img")) << entry.toStdString();
    EXPECT_EQ(entry, "<span style=\"color:blue;\"><font size=4>&lt;a&nbsp;href=x&gt;Eve&lt;/a&gt; 12:00:01</font></span>"
                     "<br /><span><font size=4>&lt;img&nbsp;src=y&gt;</font></span><br /><br />");
}
