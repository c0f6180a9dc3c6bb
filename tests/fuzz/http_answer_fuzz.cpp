// Feeds arbitrary bytes to the REST client's answer reading: the answer rule,
// every record fill and the log masking must neither crash nor throw.
#include "VeltoHttpAnswer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velto_http;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Answer answer = parseAnswer(text);
    const Json::Value& obj = answer.obj();

    conference_login_info login;
    fillLoginInfo(obj, login);
    fillLoginInfo(obj, login);  // a second fill over a filled record
    conference_join_info join;
    fillJoinInfo(obj, join);
    conferences_info detail;
    fillConferenceInfo(obj, detail);
    query_user_info user;
    fillUserInfo(obj, user);
    record_details record;
    fillRecordDetails(obj, record);
    readConferences(answer);
    readContacts(answer);
    readText(member(obj, "gw"));
    readText(obj);
    maskSecrets(text);

    int number = 0;
    leadingInt(std::string(text), number);
    return 0;
}
