#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velto::server {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// One REST request as the service sees it: the path split into decoded
// segments (so an escaped "/" stays inside its segment) and the query items
// decoded in the order they were sent.
struct Call {
    std::string method;
    std::string target;                 // raw, as received
    std::string path;                   // decoded
    std::vector<std::string> segments;  // decoded, without the leading empty one
    Pairs query;
    std::string body;
    std::string accessToken;  // the "accessToken" header: the login the request is made under
    std::string client;       // the peer's address

    // First value of a query item; "" when absent.
    const std::string& param(std::string_view key) const;
    bool hasParam(std::string_view key) const;
};

// Splits a raw request target ("/a/b%2Fc?x=1&y=a+b") into a Call.
Call parseCall(std::string method, std::string target, std::string body);

// Percent-decoding; "+" stands for a blank only in query items.
std::string percentDecode(std::string_view text, bool plusIsBlank);

// Whether `route` ("/exact/path", "/prefix/*" or "*") names `path`.
bool routeMatches(std::string_view route, std::string_view path);

}  // namespace velto::server
