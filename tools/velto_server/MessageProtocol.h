#pragma once
// The message server's protocol: what each client request carries, and the
// small rules the rooms share. See README.md for the wire format.
#include <json/value.h>

#include <string>
#include <utility>
#include <vector>

namespace velto::server {

// What each client message carries: its members in order (s text, i integer,
// b flag) and the client operation it stands for in the test records.
struct Shape {
    const char* type;
    const char* operation;
    std::vector<std::pair<const char*, char>> fields;
};

const std::vector<Shape>& shapes();

// The members of `message` as the record's texts; false when one is missing
// or of the wrong type.
bool readFields(const Shape& shape, const Json::Value& message, std::vector<std::string>& args);

// One synchronisation source of a participant's stream.
struct Source {
    std::string ssrc, cname, streamLabel, trackLabel, kind, owner;
    bool operator==(const Source& o) const
    {
        return ssrc == o.ssrc && streamLabel == o.streamLabel && trackLabel == o.trackLabel;
    }
};

// Entries of `list` that `other` lacks.
std::vector<Source> missingFrom(const std::vector<Source>& list, const std::vector<Source>& other);
Json::Value sourcesJson(const std::vector<Source>& sources);

// A bitrate text of a presence report; anything unreadable counts as 0.
long long kbits(const std::string& text);
int clamped(long long value);
bool sameUserId(const std::string& a, const std::string& b);

// The data the receivers of a drawing message get: the kind for most actions;
// for "message" an object of the kind and the body, which must be a JSON
// object or empty.
bool drawingData(const std::string& action, const std::string& kind, const std::string& body, std::string& data);

// A message of `type` without members yet.
Json::Value typed(const char* type);

}  // namespace velto::server
