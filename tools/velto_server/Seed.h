#pragma once
#include <json/value.h>

#include <string>

namespace velto::server {

// The accounts, contacts and meetings the server starts with: the JSON file at
// `path`, or the built-in demo data when `path` is empty. Throws
// std::runtime_error when the file cannot be read or parsed.
Json::Value loadSeed(const std::string& path);

}  // namespace velto::server
