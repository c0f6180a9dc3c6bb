#include "Seed.h"

#include "JsonText.h"

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace velto::server {
namespace {

// The demo account comes first: fixtures and the run script present it.
const char* const kBuiltInSeed = R"({
  "users": [
    {
      "userId": "7f3a9c2e4b8d4e6f9a1b2c3d4e5f6a7b", "userName": "demo", "password": "demo1234",
      "displayName": "Demo User", "email": "demo@velto.test", "phone": "13800000001",
      "room": "10000001", "meetPassword": "123456", "ownerPassword": "654321",
      "friends": [
        {"userName": "alice", "nickname": "Alice"},
        {"userName": "bob", "nickname": ""},
        {"userName": "wang", "nickname": "Xiaoming"}
      ]
    },
    {
      "userId": "2b6c8e0a1d3f4a5b8c7d9e0f1a2b3c4d", "userName": "alice", "password": "alice1234",
      "displayName": "Alice Chen", "email": "alice@velto.test", "phone": "13800000002",
      "room": "10000002", "meetPassword": "", "ownerPassword": "222222", "online": true,
      "friends": [{"userName": "demo", "nickname": ""}]
    },
    {
      "userId": "9d8c7b6a5f4e4d3c2b1a0f9e8d7c6b5a", "userName": "bob", "password": "bob12345",
      "displayName": "Bob Martin", "email": "bob@velto.test", "phone": "13800000003",
      "room": "10000003", "meetPassword": "", "ownerPassword": "333333",
      "friends": [{"userName": "demo", "nickname": ""}]
    },
    {
      "userId": "c4d5e6f7a8b94c0d1e2f3a4b5c6d7e8f", "userName": "wang", "password": "wang1234",
      "displayName": "王小明", "email": "wang@velto.test", "phone": "13800000004",
      "room": "10000004", "meetPassword": "888888", "ownerPassword": "444444"
    }
  ],
  "conferences": [
    {"owner": "demo", "title": "Design review", "startInMinutes": 90, "lengthMinutes": 60,
     "meetPassword": "", "ownerPassword": "135790", "members": ["alice"]},
    {"owner": "demo", "title": "Weekly sync", "startInMinutes": 1440, "lengthMinutes": 30,
     "meetPassword": "246810", "ownerPassword": "975310",
     "cycle": 1, "cycleDmy": 1, "cycleEndInDays": 56},
    {"owner": "alice", "title": "Customer call", "type": "CTOT", "startInMinutes": 180, "lengthMinutes": 45,
     "meetPassword": "", "ownerPassword": "112233", "members": ["demo"]}
  ]
})";

}  // namespace

Json::Value loadSeed(const std::string& path)
{
    std::string text = kBuiltInSeed;
    if (!path.empty()) {
        std::ifstream file(path, std::ios::binary);
        if (!file)
            throw std::runtime_error("cannot read seed file " + path);
        std::ostringstream content;
        content << file.rdbuf();
        text = content.str();
    }
    Json::Value seed;
    if (!parseJson(text, seed) || !seed.isObject())
        throw std::runtime_error("seed " + (path.empty() ? std::string("(built-in)") : path) +
                                 " is not a JSON object");
    return seed;
}

}  // namespace velto::server
