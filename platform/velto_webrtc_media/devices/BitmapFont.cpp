#include "BitmapFont.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace velto_media {

namespace {

struct GlyphArt {
    char character;
    const char* rows[kGlyphHeight];
};

// clang-format off
const GlyphArt kArt[] = {
    {' ', {"     ", "     ", "     ", "     ", "     ", "     ", "     "}},
    {'0', {" ### ", "#   #", "#  ##", "# # #", "##  #", "#   #", " ### "}},
    {'1', {"  #  ", " ##  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'2', {" ### ", "#   #", "    #", "   # ", "  #  ", " #   ", "#####"}},
    {'3', {" ### ", "#   #", "    #", "  ## ", "    #", "#   #", " ### "}},
    {'4', {"   # ", "  ## ", " # # ", "#  # ", "#####", "   # ", "   # "}},
    {'5', {"#####", "#    ", "#### ", "    #", "    #", "#   #", " ### "}},
    {'6', {" ### ", "#    ", "#    ", "#### ", "#   #", "#   #", " ### "}},
    {'7', {"#####", "    #", "   # ", "  #  ", " #   ", " #   ", " #   "}},
    {'8', {" ### ", "#   #", "#   #", " ### ", "#   #", "#   #", " ### "}},
    {'9', {" ### ", "#   #", "#   #", " ####", "    #", "    #", " ### "}},
    {'A', {" ### ", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'B', {"#### ", "#   #", "#   #", "#### ", "#   #", "#   #", "#### "}},
    {'C', {" ### ", "#   #", "#    ", "#    ", "#    ", "#   #", " ### "}},
    {'D', {"#### ", "#   #", "#   #", "#   #", "#   #", "#   #", "#### "}},
    {'E', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#####"}},
    {'F', {"#####", "#    ", "#    ", "#### ", "#    ", "#    ", "#    "}},
    {'G', {" ### ", "#   #", "#    ", "# ###", "#   #", "#   #", " ####"}},
    {'H', {"#   #", "#   #", "#   #", "#####", "#   #", "#   #", "#   #"}},
    {'I', {" ### ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", " ### "}},
    {'J', {"  ###", "   # ", "   # ", "   # ", "   # ", "#  # ", " ##  "}},
    {'K', {"#   #", "#  # ", "# #  ", "##   ", "# #  ", "#  # ", "#   #"}},
    {'L', {"#    ", "#    ", "#    ", "#    ", "#    ", "#    ", "#####"}},
    {'M', {"#   #", "## ##", "# # #", "# # #", "#   #", "#   #", "#   #"}},
    {'N', {"#   #", "#   #", "##  #", "# # #", "#  ##", "#   #", "#   #"}},
    {'O', {" ### ", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'P', {"#### ", "#   #", "#   #", "#### ", "#    ", "#    ", "#    "}},
    {'Q', {" ### ", "#   #", "#   #", "#   #", "# # #", "#  # ", " ## #"}},
    {'R', {"#### ", "#   #", "#   #", "#### ", "# #  ", "#  # ", "#   #"}},
    {'S', {" ####", "#    ", "#    ", " ### ", "    #", "    #", "#### "}},
    {'T', {"#####", "  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'U', {"#   #", "#   #", "#   #", "#   #", "#   #", "#   #", " ### "}},
    {'V', {"#   #", "#   #", "#   #", "#   #", "#   #", " # # ", "  #  "}},
    {'W', {"#   #", "#   #", "#   #", "# # #", "# # #", "# # #", " # # "}},
    {'X', {"#   #", "#   #", " # # ", "  #  ", " # # ", "#   #", "#   #"}},
    {'Y', {"#   #", "#   #", " # # ", "  #  ", "  #  ", "  #  ", "  #  "}},
    {'Z', {"#####", "    #", "   # ", "  #  ", " #   ", "#    ", "#####"}},
    {'#', {" # # ", " # # ", "#####", " # # ", "#####", " # # ", " # # "}},
    {'-', {"     ", "     ", "     ", "#####", "     ", "     ", "     "}},
    {'_', {"     ", "     ", "     ", "     ", "     ", "     ", "#####"}},
    {'.', {"     ", "     ", "     ", "     ", "     ", " ##  ", " ##  "}},
    {',', {"     ", "     ", "     ", "     ", " ##  ", "  #  ", " #   "}},
    {':', {"     ", " ##  ", " ##  ", "     ", " ##  ", " ##  ", "     "}},
    {'/', {"    #", "    #", "   # ", "  #  ", " #   ", "#    ", "#    "}},
    {'(', {"   # ", "  #  ", " #   ", " #   ", " #   ", "  #  ", "   # "}},
    {')', {" #   ", "  #  ", "   # ", "   # ", "   # ", "  #  ", " #   "}},
    {'\'', {"  #  ", "  #  ", "     ", "     ", "     ", "     ", "     "}},
    {'!', {"  #  ", "  #  ", "  #  ", "  #  ", "  #  ", "     ", "  #  "}},
    {'?', {" ### ", "#   #", "    #", "   # ", "  #  ", "     ", "  #  "}},
    {'@', {" ### ", "#   #", "# ###", "# # #", "# ###", "#    ", " ####"}},
    {'+', {"     ", "  #  ", "  #  ", "#####", "  #  ", "  #  ", "     "}},
    {'&', {" ##  ", "#  # ", "# #  ", " #   ", "# # #", "#  # ", " ## #"}},
    {'=', {"     ", "     ", "#####", "     ", "#####", "     ", "     "}},
    {'*', {"     ", "# # #", " ### ", "#####", " ### ", "# # #", "     "}},
};
// clang-format on

// Each glyph as one bit mask a row, bit 4 the leftmost column; indexed by ASCII code.
struct Font {
    std::array<std::array<uint8_t, kGlyphHeight>, 128> rows{};
    std::array<bool, 128> present{};

    Font()
    {
        for (const GlyphArt& art : kArt) {
            auto code = static_cast<unsigned char>(art.character);
            present[code] = true;
            for (int row = 0; row < kGlyphHeight; ++row) {
                uint8_t bits = 0;
                for (int col = 0; col < kGlyphWidth; ++col)
                    bits = uint8_t((bits << 1) | (art.rows[row][col] == '#' ? 1 : 0));
                rows[code][row] = bits;
            }
        }
    }

    const std::array<uint8_t, kGlyphHeight>& glyph(unsigned char code) const
    {
        if (code >= 'a' && code <= 'z')
            code = static_cast<unsigned char>(code - 'a' + 'A');
        return code < 128 && present[code] ? rows[code] : rows['?'];
    }
};

const Font& font()
{
    static const Font instance;
    return instance;
}

// The characters of a UTF-8 text as drawText sees them: ASCII as it is, any other sequence as one '?'.
template <typename Visit>
void forEachCharacter(const std::string& text, Visit visit)
{
    for (unsigned char c : text) {
        if (c < 0x80)
            visit(c);
        else if ((c & 0xC0) != 0x80)  // a lead byte; continuation bytes belong to it
            visit(static_cast<unsigned char>('?'));
    }
}

}  // namespace

int textLength(const std::string& text)
{
    int length = 0;
    forEachCharacter(text, [&](unsigned char) { ++length; });
    return length;
}

void drawText(uint8_t* plane, int stride, int width, int height, int x, int y, const std::string& text, int scale,
              uint8_t value)
{
    if (!plane || scale < 1)
        return;
    int penX = x;
    forEachCharacter(text, [&](unsigned char c) {
        const auto& rows = font().glyph(c < 0x20 ? static_cast<unsigned char>('?') : c);
        for (int row = 0; row < kGlyphHeight; ++row) {
            for (int col = 0; col < kGlyphWidth; ++col) {
                if (!((rows[row] >> (kGlyphWidth - 1 - col)) & 1))
                    continue;
                int left = std::max(0, penX + col * scale), right = std::min(width, penX + (col + 1) * scale);
                int top = std::max(0, y + row * scale), bottom = std::min(height, y + (row + 1) * scale);
                for (int py = top; py < bottom && left < right; ++py)
                    std::memset(plane + size_t(py) * stride + left, value, size_t(right - left));
            }
        }
        penX += kGlyphAdvance * scale;
    });
}

}  // namespace velto_media
