// Reading the conference server's answers into records, without the network.
//
// Nothing here throws on any input: members of an unexpected JSON type read as
// the empty text, 0 or false, and text that is not JSON reads as null.
#pragma once

#include <json/value.h>

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

// Type-checked member reads. Absent, null and mismatched members give ""/0/false;
// a number or a boolean still reads as its text where text is expected.
const Json::Value& member(const Json::Value& object, const char* key);
std::string readText(const Json::Value& value);
int readInt(const Json::Value& value);
unsigned int readUInt(const Json::Value& value);
bool readBool(const Json::Value& value);

// Reads a decimal integer the way std::stoi does (leading white space, optional
// sign, digits up to the first non-digit); false when there is no such number or
// it does not fit into an int.
bool leadingInt(const std::string& text, int& out);

// Record fills from an answer with code 200. Single records take the answer's
// "obj"; lists are emptied before they are filled.
void fillLoginInfo(const Json::Value& obj, conference_login_info& info);
void fillJoinInfo(const Json::Value& obj, conference_join_info& info);
void fillConferenceInfo(const Json::Value& obj, conferences_info& info);
void fillUserInfo(const Json::Value& obj, query_user_info& info);
void fillRecordDetails(const Json::Value& obj, record_details& details);
// From the whole answer: "total" from the top-level "msg", the list from "obj".
conferences readConferences(const Answer& answer);
conference_contacts readContacts(const Answer& answer);

// The answer text with the values of secret members ("password", "credential",
// tokens, meeting passwords) masked, for the log. Works on any text, JSON or not.
std::string maskSecrets(std::string_view text);

}  // namespace velto_http
