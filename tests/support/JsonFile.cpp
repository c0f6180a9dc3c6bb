#include "JsonFile.h"

#include <json/reader.h>

#include <fstream>

namespace velto::test {

Json::Value readJsonFile(const std::string& path)
{
    std::ifstream file(path);
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    if (!file || !Json::parseFromStream(builder, file, &value, &errors))
        return Json::Value();
    return value;
}

}  // namespace velto::test
