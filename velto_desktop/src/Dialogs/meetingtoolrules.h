#pragma once
// Rules of the meeting tools without any widget: what the share picker passes
// to the SDK, where the layout manager puts its slots and what it sends, which
// call panel a joining participant ends, what a closing warning says and where
// the switch knob rests. QtCore only, tested as tables.

#include <QPoint>
#include <QSize>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace meetingtools {

// --- screen share picker ------------------------------------------------------

// The arguments of AddScreenShareStream and the id the annotation overlay
// follows (selectAppId: 0 for a whole screen).
struct ScreenShareRequest {
    bool wholeScreen = true;
    int fps = 20;
    int sourceId = 0;
    int excludedId = 0;
    int selectAppId = 0;
    bool operator==(const ScreenShareRequest& o) const
    {
        return wholeScreen == o.wholeScreen && fps == o.fps && sourceId == o.sourceId && excludedId == o.excludedId &&
               selectAppId == o.selectAppId;
    }
};

// The share of the current tab's own choice; none when nothing is chosen there.
std::optional<ScreenShareRequest> screenShareRequest(bool screenTab, std::optional<int> screenChoice,
                                                     std::optional<int> windowChoice, int excludedWindow);

// Whether a listed window may be offered: not the picker itself, not the
// meeting window, not one of this program's windows by title.
bool isOfferedWindow(int64_t id, const std::string& title, int64_t pickerId, int64_t excludedId);

// Tile sizes for a list of the given size.
QSize screenTileSize(int screens, QSize list);
QSize windowTileSize(QSize list);

// A random stream label, "0" to "9999".
std::string newShareLabel();

// --- layout manager -------------------------------------------------------------

// The endpoint of a stage entry: the text before its first "_".
std::string entryEndpoint(const std::string& entry);

// Rows and columns of the tile grid for n entries; 0 x 0 above 9.
QSize tileGrid(int entries);  // width = columns, height = rows
// Top-left corners of the 200 x 130 tile slots in an area of w x h.
std::vector<QPoint> tileSlotPositions(int entries, int w, int h);
constexpr QSize kTileSlotSize{200, 130};
// Width of the surround slots of a row built for count n.
int surroundSlotWidth(int count);

struct SlotChoice {
    std::string endpoint;  // empty: nobody chosen
    bool polling = false;
};
// The participant list OK sends ("polling" for a polling slot, elements joined
// by ","); none when a slot has nobody chosen.
std::optional<std::string> participantList(const std::vector<SlotChoice>& choices);

// --- call-out -------------------------------------------------------------------

// "sip:1234" / "h323:1234" from the chosen scheme and the typed number.
std::string sipAddress(const QString& scheme, const QString& number);
// Whether a participant joining under this nickname is the dialled party.
bool callAnswered(const std::string& dialled, const std::string& nickname);

// --- conference delay -------------------------------------------------------------

// Minutes the closing warning names (15, 10 or 5), read as numbers; 0 when the
// data names none of them.
int closingMinutes(const std::string& data);

// --- switch control -----------------------------------------------------------------

// Knob x where a switch of the given width rests when on or off.
double switchKnobRest(bool on, int width, int knobHeight);

}  // namespace meetingtools
