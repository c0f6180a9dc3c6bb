#pragma once
// A JSON file as a value (the scripted peer's statistics, seed files).
#include <json/value.h>

#include <string>

namespace velto::test {

// The file's value; null when the file is missing or no JSON.
Json::Value readJsonFile(const std::string& path);

}  // namespace velto::test
