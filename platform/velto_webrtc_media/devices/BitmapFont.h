// A small built-in 5x7 pixel font for the synthetic camera's captions:
// digits, capital letters (small letters are drawn as capitals) and common
// punctuation; any other character is drawn as '?'.
#pragma once

#include <cstdint>
#include <string>

namespace velto_media {

constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = kGlyphWidth + 1;  // one column of space between characters

// Draws UTF-8 `text` into an 8-bit plane (`stride` bytes a row, `width` x
// `height` pixels) with its top-left corner at (x, y), each font pixel as a
// scale x scale square of value `value`. Whatever falls outside is clipped.
void drawText(uint8_t* plane, int stride, int width, int height, int x, int y, const std::string& text, int scale,
              uint8_t value);

// Characters drawText draws for `text` (a UTF-8 sequence counts as one).
int textLength(const std::string& text);

}  // namespace velto_media
