// Type-checked reading of answer members and masking of secrets for the log.
#include "VeltoHttpAnswer.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using namespace velto_http;

Json::Value valueOf(const std::string& json) { return parseAnswer(R"({"v":)" + json + "}").root["v"]; }

TEST(HttpAnswerRead, MembersConvertOrHaveNoReading) {
    constexpr std::nullopt_t none = std::nullopt;
    struct Case {
        const char* json;
        std::optional<std::string> text;
        std::optional<int> integer;
        std::optional<unsigned int> uinteger;
        std::optional<bool> flag;
    };
    const Case cases[] = {
        {R"("abc")", "abc", none, none, none},
        {R"("7")", "7", none, none, none},
        {"null", "", 0, 0u, false},
        {"true", "true", 1, 1u, true},
        {"false", "false", 0, 0u, false},
        {"42", "42", 42, 42u, true},
        {"0", "0", 0, 0u, false},
        {"-7", "-7", -7, none, true},
        {"3.75", "3.75", 3, 3u, true},
        {"2147483647", "2147483647", 2147483647, 2147483647u, true},
        {"2147483648", "2147483648", none, 2147483648u, true},
        {"-2147483648", "-2147483648", -2147483647 - 1, none, true},
        {"4294967296", "4294967296", none, none, true},
        {"-1.5", "-1.5", -1, none, true},
        {"{}", none, none, none, none},
        {R"({"a":1})", none, none, none, none},
        {"[1,2]", none, none, none, none},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        const Json::Value v = valueOf(c.json);
        EXPECT_EQ(readText(v), c.text);
        EXPECT_EQ(readInt(v), c.integer);
        EXPECT_EQ(readUInt(v), c.uinteger);
        EXPECT_EQ(readBool(v), c.flag);
    }
}

TEST(HttpAnswerRead, MemberOfNonObjectIsNull) {
    for (const char* json : {"[1]", R"("obj")", "12", "null"}) {
        SCOPED_TRACE(json);
        EXPECT_TRUE(member(valueOf(json), "obj").isNull());
    }
    EXPECT_EQ(readText(member(valueOf(R"({"obj":"x"})"), "obj")), std::optional<std::string>("x"));
}

TEST(HttpAnswerRead, LeadingIntegerReadsLikeStoi) {
    struct Case {
        const char* text;
        bool ok;
        int value;
    };
    const Case cases[] = {
        {"1280", true, 1280},        {" 1024", true, 1024},  {"\t\n-5", true, -5},
        {"+7", true, 7},             {"1920px", true, 1920}, {"12 34", true, 12},
        {"", false, 0},              {"px", false, 0},       {"-", false, 0},
        {"- 5", false, 0},           {"0x10", true, 0},      {"2147483647", true, 2147483647},
        {"2147483648", false, 0},    {"-99999999999999999999", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        int value = -1;
        EXPECT_EQ(leadingInt(c.text, value), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
    }
}

// No operation hands the recording record on, so its fill is read here.
TEST(HttpAnswerFill, RecordDetailsTakeEveryMemberOrNone) {
    const Answer answer = parseAnswer(R"({"code":200,"obj":{"id":"i","resourceId":"rs","userId":"u",
        "conferenceId":"c","conferenceNum":8001,"conferenceTitle":"T","rule":"recording","fileDir":"/d",
        "fileUrl":"f","pngUrl":"p","liveUrl":"l","publicLiveUrl":"pl","status":"done","startAt":5,"endAt":null}})");
    record_details d;
    d.endAt = 9;
    ASSERT_TRUE(fillRecordDetails(answer.obj(), d));
    EXPECT_EQ((std::vector<std::string>{d.id, d.resourceId, d.userId, d.conferenceId, d.conferenceNum,
                                        d.conferenceTitle, d.rule, d.fileDir, d.fileUrl, d.pngUrl, d.liveUrl,
                                        d.publicLiveUrl, d.status}),
              (std::vector<std::string>{"i", "rs", "u", "c", "8001", "T", "recording", "/d", "f", "p", "l", "pl",
                                        "done"}));
    EXPECT_EQ(d.startAt, 5u);
    EXPECT_EQ(d.endAt, 0u);

    // A text has no unsigned reading: nothing of that answer is taken.
    const Answer wrong = parseAnswer(R"({"code":200,"obj":{"id":"other","endAt":"6"}})");
    EXPECT_FALSE(fillRecordDetails(wrong.obj(), d));
    EXPECT_EQ(d.id, "i");
    EXPECT_EQ(d.startAt, 5u);
}

TEST(HttpAnswerMask, SecretValuesAreHidden) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {R"({"credential":"t0p","url":"turn:x"})", R"({"credential":"***","url":"turn:x"})"},
        {R"({"loginPassword" : "a\"b", "accessToken":12345})", R"({"loginPassword" : "***", "accessToken":***})"},
        {R"({"meetPassword":"1","ownerPassword":"2","md5MeetPass":"3","op":"4","p":"5"})",
         R"({"meetPassword":"***","ownerPassword":"***","md5MeetPass":"***","op":"***","p":"***"})"},
        {R"({"password":{"nested":1}})", R"({"password":{"nested":1}})"},
        {R"(["password","x"])", R"(["password","x"])"},
        {R"({"userName":"password"})", R"({"userName":"password"})"},
        {R"({"password":"cut)", R"({"password":"***")"},
        {"<html>password: x</html>", "<html>password: x</html>"},
        {"", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(maskSecrets(c.in), c.out);
    }
}

}  // namespace
