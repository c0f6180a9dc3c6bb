// Text from outside (a server, another participant, a URL) fit for one log
// line: bytes outside printable ASCII, and the backslash, as \xNN, so that it
// can neither break the line nor pass for the log's own words.
#pragma once

#include <cstddef>
#include <string>

namespace velto_platform {

// At most `limit` bytes of `text`, escaped; "..." where it was cut.
std::string escapedForLog(const std::string& text, std::size_t limit = 200);

}  // namespace velto_platform
