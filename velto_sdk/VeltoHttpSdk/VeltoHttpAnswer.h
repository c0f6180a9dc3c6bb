// Reading the conference server's answers into records, without the network.
//
// Nothing here throws on any input, and text that is not JSON reads as null.
// Absent and null members read as the empty text, 0 or false; a member of a
// JSON type that its conversion cannot read (an object where a text is read,
// a text where a number or flag is read, a negative number read as unsigned)
// makes the whole record unreadable: an answer is taken whole or not at all.
#pragma once

#include <json/value.h>

#include <optional>
#include <string>
#include <string_view>

#include "common.h"

namespace velto_http {

struct Answer {
    Json::Value root;  // null when the text is no JSON at all
    int code = 0;      // "mcode" when present and not null, else "code"; 0 when missing

    bool ok() const { return code == 200; }
    // The top-level member "obj" (null when absent).
    const Json::Value& obj() const;
};

// Parses an answer leniently: members read before a syntax error stand.
Answer parseAnswer(std::string_view text);

// Type-checked member reads: empty when the member's JSON type has no reading
// of that kind. A number or a boolean reads as its text where text is read;
// numbers read as integers when they fit, fractions cut towards zero.
const Json::Value& member(const Json::Value& object, const char* key);
std::optional<std::string> readText(const Json::Value& value);
std::optional<int> readInt(const Json::Value& value);
std::optional<unsigned int> readUInt(const Json::Value& value);
std::optional<bool> readBool(const Json::Value& value);

// Reads a decimal integer the way std::stoi does (leading white space, optional
// sign, digits up to the first non-digit); false when there is no such number or
// it does not fit into an int.
bool leadingInt(const std::string& text, int& out);

// Record fills from an answer with code 200. Single records take the answer's
// "obj"; lists are emptied before they are filled. Each returns false, and
// leaves the record as it stood, when a member cannot be read.
bool fillLoginInfo(const Json::Value& obj, conference_login_info& info);
bool fillJoinInfo(const Json::Value& obj, conference_join_info& info);
bool fillConferenceInfo(const Json::Value& obj, conferences_info& info);
bool fillUserInfo(const Json::Value& obj, query_user_info& info);
bool fillRecordDetails(const Json::Value& obj, record_details& details);
// From the whole answer: "total" from the top-level "msg", the list from "obj".
// Empty when a member cannot be read.
std::optional<conferences> readConferences(const Answer& answer);
std::optional<conference_contacts> readContacts(const Answer& answer);

// The answer text with the values of secret members ("password", "credential",
// tokens, meeting passwords) masked, for the log. Works on any text, JSON or not.
std::string maskSecrets(std::string_view text);

}  // namespace velto_http
