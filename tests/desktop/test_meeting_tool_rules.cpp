// The meeting tools' rules without widgets: share arguments, window offers,
// layout slot geometry and list, call-out addresses and panels, closing
// warnings, switch knob.
#include "meetingtoolrules.h"

#include <gtest/gtest.h>

#include <set>

namespace mt = meetingtools;

TEST(ShareRules, TheCurrentTabsOwnChoiceIsShared)
{
    struct Case {
        bool screenTab;
        std::optional<int> screen, window;
        std::optional<mt::ScreenShareRequest> expected;
    };
    const Case cases[] = {
        {true, 1, std::nullopt, mt::ScreenShareRequest{true, 20, 1, 77, 0}},
        {true, 0, 4242, mt::ScreenShareRequest{true, 20, 0, 77, 0}},
        {false, 0, 4242, mt::ScreenShareRequest{false, 15, 4242, 0, 4242}},
        // A window chosen, then Share on the screen tab: no window id as a screen.
        {true, std::nullopt, 4242, std::nullopt},
        {false, 1, std::nullopt, std::nullopt},
        {true, std::nullopt, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const auto request = mt::screenShareRequest(c.screenTab, c.screen, c.window, 77);
        EXPECT_EQ(request.has_value(), c.expected.has_value());
        if (request && c.expected) {
            EXPECT_TRUE(*request == *c.expected) << request->sourceId << " fps " << request->fps;
        }
    }
}

TEST(ShareRules, OwnWindowsAreNotOffered)
{
    struct Case {
        int64_t id;
        const char* title;
        bool offered;
    };
    const Case cases[] = {
        {5, "Editor", true},       {1, "Editor", false},  {2, "Editor", false},
        {5, "Meeting notes", false}, {5, "my meeting notes", true}, {5, "velto_desktop", false},
        {5, "第3会议室", false},   {5, "会议", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mt::isOfferedWindow(c.id, c.title, 1, 2), c.offered) << c.title << " " << c.id;
}

TEST(ShareRules, TileSizesAndLabels)
{
    EXPECT_EQ(mt::screenTileSize(1, QSize(668, 360)), QSize(445, 240));
    EXPECT_EQ(mt::screenTileSize(2, QSize(668, 360)), QSize(234, 295));
    EXPECT_EQ(mt::windowTileSize(QSize(668, 360)), QSize(189, 147));
    std::set<std::string> labels;
    for (int i = 0; i < 200; ++i) {
        const std::string label = mt::newShareLabel();
        const int value = std::stoi(label);
        EXPECT_TRUE(value >= 0 && value < 10000) << label;
        labels.insert(label);
    }
    EXPECT_GT(labels.size(), 150u);
}

TEST(LayoutRules, TileSlotsForEntryCounts)
{
    struct Case {
        int entries;
        QSize grid;  // columns x rows
        std::vector<QPoint> positions;
    };
    // Area 800 x 500: x0 = (800 - 200c - 40)/2 - 20, y0 = (500 - 130r - 40)/2 - 10.
    const Case cases[] = {
        {0, QSize(2, 2), {}},
        {2, QSize(2, 1), {{160, 155}, {380, 155}}},
        {3, QSize(2, 2), {{160, 90}, {380, 90}, {160, 230}}},
        {6, QSize(3, 2), {{60, 90}, {280, 90}, {500, 90}, {60, 230}, {280, 230}, {500, 230}}},
        {10, QSize(0, 0), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.entries);
        EXPECT_EQ(mt::tileGrid(c.entries), c.grid);
        EXPECT_EQ(mt::tileSlotPositions(c.entries, 800, 500), c.positions);
    }
    EXPECT_EQ(mt::tileGrid(9), QSize(3, 3));
}

TEST(LayoutRules, SurroundWidthsAndEntryEndpoints)
{
    const std::pair<int, int> widths[] = {{0, 250}, {1, 200}, {5, 200}, {6, 115}, {10, 115}};
    for (auto [count, width] : widths)
        EXPECT_EQ(mt::surroundSlotWidth(count), width) << count;
    EXPECT_EQ(mt::entryEndpoint("ep1_1234"), "ep1");
    EXPECT_EQ(mt::entryEndpoint("ep1"), "ep1");
    EXPECT_EQ(mt::entryEndpoint("_5"), "");
}

TEST(LayoutRules, ParticipantListNeedsEverySlotFilled)
{
    using Slots = std::vector<mt::SlotChoice>;
    struct Case {
        Slots choices;
        std::optional<std::string> list;
    };
    const Case cases[] = {
        {{{"a", false}, {"b", true}, {"c", false}}, "a,polling,c"},
        {{{"a", false}}, "a"},
        {{{"a", false}, {"", true}}, std::nullopt},  // polling still needs someone chosen
        {{{"", false}}, std::nullopt},
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mt::participantList(c.choices), c.list);
}

TEST(CallRules, AddressesAndAnsweredPanels)
{
    EXPECT_EQ(mt::sipAddress("H323", "  1234 "), "h323:1234");
    EXPECT_EQ(mt::sipAddress("SIP", "100@example.org"), "sip:100@example.org");
    struct Case {
        const char* dialled;
        const char* nickname;
        bool answered;
    };
    const Case cases[] = {
        {"sip:1234", "sip:1234", true},       {"sip:1234", "sip:12345@gw", true},
        {"sip:1234", "h323:1234", false},     {"01012345678", "sip:01012345678@pstn", true},
        {"01012345678", "sip:0101234@pstn", false}, {"", "anyone", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(mt::callAnswered(c.dialled, c.nickname), c.answered) << c.dialled << " / " << c.nickname;
}

TEST(DelayRules, MinutesAreReadAsNumbers)
{
    const std::pair<const char*, int> cases[] = {
        {"15", 15}, {"10", 10}, {"5", 5}, {"closing in 5 minutes", 5}, {"25", 0}, {"150", 0},
        {"51", 0},  {"", 0},    {"x", 0}, {"10,5", 10},                 {"5;15", 15}, {"99999999999999999999", 0},
    };
    for (auto [data, minutes] : cases)
        EXPECT_EQ(mt::closingMinutes(data), minutes) << data;
}

TEST(SwitchRules, KnobRests)
{
    EXPECT_EQ(mt::switchKnobRest(false, 52, 24), 12);
    EXPECT_EQ(mt::switchKnobRest(true, 52, 24), 39);
    EXPECT_EQ(mt::switchKnobRest(true, 60, 24), 47);
}
