#include "LogText.h"

#include <cstdio>

namespace velto_platform {

std::string escapedForLog(const std::string& text, std::size_t limit)
{
    std::string out;
    for (std::size_t i = 0; i < text.size() && i < limit; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        }
    }
    if (text.size() > limit)
        out += "...";
    return out;
}

}  // namespace velto_platform
