// What the message service takes of a member's answer: one owner per SSRC in
// a room (compared as numbers), SSRCs the unit can read, no more sources than
// a participant sends and no larger a description than a participant writes.
// A refused answer is told to its sender with the reason and changes nothing,
// for the sender or anybody else.

#include "LocalServer.h"
#include "SignalClient.h"
#include "StandInSdp.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

namespace {

using velto::test::LocalServer;
using velto::test::SignalClient;
using velto::test::SignalMember;

constexpr std::size_t kMaxSources = 12;
constexpr std::size_t kMaxSdp = 16 * 1024;

// An answer announcing `ssrcs` as written (the first audio, the rest video),
// padded with a line nobody reads to `size` bytes when that is larger.
Json::Value answerOf(const std::string& owner, const std::vector<std::string>& ssrcs, std::size_t size = 0)
{
    std::vector<velto_platform::SdpSource> sources;
    for (std::size_t i = 0; i < ssrcs.size(); ++i)
        sources.push_back({i == 0 ? "audio" : "video", ssrcs[i], owner, owner + "-stream",
                           owner + "-track" + std::to_string(i)});
    std::string sdp = velto_platform::WriteSdp(owner, sources);
    const std::string padStart = "a=x-pad:";
    if (size > sdp.size() + padStart.size() + 2)
        sdp += padStart + std::string(size - sdp.size() - padStart.size() - 2, 'x') + "\r\n";
    Json::Value answer;
    answer["type"] = "answer";
    answer["sdp"] = sdp;
    return answer;
}

// The same as the screen's answer, which adds the stream labelled "bob-stream".
Json::Value secondAnswerOf(const std::string& owner, const std::vector<std::string>& ssrcs)
{
    Json::Value answer = answerOf(owner, ssrcs);
    answer["type"] = "secondAnswer";
    answer["label"] = owner + "-stream";
    return answer;
}

std::vector<std::string> numbered(std::size_t count, unsigned first)
{
    std::vector<std::string> out;
    for (std::size_t i = 0; i < count; ++i)
        out.push_back(std::to_string(first + i));
    return out;
}

// The ack of request `id`, null when none came.
Json::Value ackOf(const SignalClient& client, unsigned id)
{
    for (const Json::Value& m : client.received())
        if (m["type"] == "ack" && m["id"].asUInt() == id)
            return m;
    return Json::Value();
}

// What a member's answer could change for the others.
bool aboutStreams(const Json::Value& m)
{
    const std::string type = m["type"].asString();
    return type == "sourceAdd" || type == "sourceRemove" || type == "user" || type == "participants";
}

auto fields(const std::vector<SignalMember>& room)
{
    std::vector<std::tuple<std::string, std::string, std::string, std::string, std::string>> out;
    for (const SignalMember& m : room)
        out.emplace_back(m.jid, m.ssrc, m.label, m.secondSsrc, m.secondLabel);
    return out;
}

TEST(AnswerGuards, AnAnswerIsRefusedWithItsReasonWhenItTakesAnotherMembersSsrcOrAnnouncesTooMuch)
{
    LocalServer server;
    server.setCaBundleEnv();
    const std::string room = server.account("alice").room;
    SignalClient alice(server, server.account("alice")), wang(server, server.account("wang"));
    ASSERT_TRUE(alice.connect());
    ASSERT_TRUE(wang.connect());
    ASSERT_TRUE(alice.join(room));
    ASSERT_TRUE(wang.join(room));
    // Alice sends her microphone, her camera and its resend stream.
    ASSERT_TRUE(alice.request(answerOf("alice", {"101", "102", "103"})));

    struct Case {
        const char* name;
        Json::Value answer;
        const char* refusal;  // a part of the reason; null: taken
    };
    const Case cases[] = {
        {"another member's camera", answerOf("bob", {"201", "202", "102"}), "SSRC 102 is another participant's"},
        {"spelled with a leading zero", answerOf("bob", {"201", "0102"}), "SSRC 102 is another participant's"},
        {"spelled with ten digits", answerOf("bob", {"0000000101"}), "SSRC 101 is another participant's"},
        {"a screen's answer with another member's camera", secondAnswerOf("bob", {"201", "202", "102"}),
         "SSRC 102 is another participant's"},
        {"another member's resend stream", answerOf("bob", {"201", "202", "103"}),
         "SSRC 103 is another participant's"},
        {"no number", answerOf("bob", {"201", "20x"}), "no 32-bit decimal number"},
        {"a negative number", answerOf("bob", {"201", "-202"}), "no 32-bit decimal number"},
        {"beyond 32 bits", answerOf("bob", {"201", "4294967296"}), "no 32-bit decimal number"},
        {"eleven digits", answerOf("bob", {"201", "00000000202"}), "no 32-bit decimal number"},
        {"one SSRC twice", answerOf("bob", {"201", "202", "0202"}), "SSRC 202 twice"},
        {"more sources than a participant sends", answerOf("bob", numbered(kMaxSources + 1, 201)),
         "13 sources, more than 12"},
        {"a larger description than a participant writes", answerOf("bob", {"201", "202"}, kMaxSdp + 1),
         "larger than 16384 bytes"},
        {"the largest 32-bit number", answerOf("bob", {"201", "4294967295"}), nullptr},
        {"as many sources as allowed", answerOf("bob", numbered(kMaxSources, 201)), nullptr},
        {"as large a description as allowed", answerOf("bob", {"201", "202"}, kMaxSdp), nullptr},
        {"its own SSRCs again, spelled anew", answerOf("bob", {"0201", "202"}), nullptr},
        {"a screen's answer of its own SSRCs", secondAnswerOf("bob", {"201", "202", "203"}), nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SignalClient bob(server, server.account("bob"));
        ASSERT_TRUE(bob.connect());
        ASSERT_TRUE(bob.join(room));
        ASSERT_TRUE(bob.request(answerOf("bob", {"201", "202"})));
        if (c.refusal == nullptr) {
            ASSERT_LT(c.answer["sdp"].asString().size(), std::size_t{64 * 1024}) << "it must fit in a frame";
        }
        alice.drain();
        wang.drain();
        const auto before = fields(server.signalRoom(room));

        const unsigned id = bob.send(c.answer);
        ASSERT_TRUE(bob.answer(id).has_value());
        const Json::Value ack = ackOf(bob, id);
        const std::vector<Json::Value> atWang = wang.drain();
        if (c.refusal == nullptr) {
            EXPECT_TRUE(ack["ok"].asBool()) << ack;
            EXPECT_FALSE(ack.isMember("error")) << ack;
            continue;
        }
        EXPECT_FALSE(ack["ok"].asBool());
        EXPECT_NE(ack["error"].asString().find(c.refusal), std::string::npos) << ack;
        EXPECT_EQ(fields(server.signalRoom(room)), before);
        for (const std::vector<Json::Value>& seen : {atWang, alice.drain()})
            EXPECT_EQ(std::count_if(seen.begin(), seen.end(), aboutStreams), 0);
        EXPECT_FALSE(bob.closed()) << "a refused answer is no reason to end the connection";
    }
}

}  // namespace
