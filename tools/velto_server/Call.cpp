#include "Call.h"

namespace velto::server {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (;;) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return parts;
        text.remove_prefix(at + 1);
    }
}

}  // namespace

std::string percentDecode(std::string_view text, bool plusIsBlank)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]);
            const int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(plusIsBlank && c == '+' ? ' ' : c);
    }
    return out;
}

Call parseCall(std::string method, std::string target, std::string body)
{
    Call call;
    call.method = std::move(method);
    call.body = std::move(body);
    call.target = std::move(target);

    const std::string_view raw(call.target);
    const auto question = raw.find('?');
    const std::string_view rawPath = raw.substr(0, question);
    call.path = percentDecode(rawPath, false);

    auto segments = split(rawPath, '/');
    for (std::size_t i = 1; i < segments.size(); ++i)  // [0] is the part before the leading "/"
        call.segments.push_back(percentDecode(segments[i], false));

    if (question != std::string_view::npos) {
        for (const auto item : split(raw.substr(question + 1), '&')) {
            if (item.empty())
                continue;
            const auto equals = item.find('=');
            call.query.emplace_back(percentDecode(item.substr(0, equals), true),
                                    equals == std::string_view::npos
                                        ? std::string()
                                        : percentDecode(item.substr(equals + 1), true));
        }
    }
    return call;
}

const std::string& Call::param(std::string_view key) const
{
    static const std::string none;
    for (const auto& item : query)
        if (item.first == key)
            return item.second;
    return none;
}

bool Call::hasParam(std::string_view key) const
{
    for (const auto& item : query)
        if (item.first == key)
            return true;
    return false;
}

bool routeMatches(std::string_view route, std::string_view path)
{
    if (!route.empty() && route.back() == '*') {
        route.remove_suffix(1);
        return path.substr(0, route.size()) == route;
    }
    return route == path;
}

}  // namespace velto::server
