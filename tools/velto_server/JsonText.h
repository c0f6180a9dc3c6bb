#pragma once
#include <json/value.h>

#include <string>

namespace velto::server {

// Compact JSON text; UTF-8 and any other bytes of strings are written unchanged.
std::string toJsonText(const Json::Value& value);

// Parses `text` as one JSON document; false (and `out` null) on any syntax error.
bool parseJson(const std::string& text, Json::Value& out);

}  // namespace velto::server
