#include "JsonText.h"

#include <json/reader.h>
#include <json/writer.h>

#include <exception>
#include <memory>

namespace velto::server {

std::string toJsonText(const Json::Value& value)
{
    static const Json::StreamWriterBuilder builder = [] {
        Json::StreamWriterBuilder b;
        b["indentation"] = "";
        b["emitUTF8"] = true;
        return b;
    }();
    return Json::writeString(builder, value);
}

bool parseJson(const std::string& text, Json::Value& out)
{
    static const Json::CharReaderBuilder builder = [] {
        Json::CharReaderBuilder b;
        Json::CharReaderBuilder::strictMode(&b.settings_);
        b["allowSpecialFloats"] = false;
        return b;
    }();
    const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errors;
    out = Json::Value();
    try {
        if (reader->parse(text.data(), text.data() + text.size(), &out, &errors))
            return true;
    } catch (const std::exception&) {
        // Deeply nested input exceeds the reader's stack limit: just bad input.
    }
    out = Json::Value();
    return false;
}

}  // namespace velto::server
