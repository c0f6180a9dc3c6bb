#pragma once
// Helpers of the server's tests: a REST client of one LocalServer and the
// login of a seeded account.

#include "LocalServer.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <json/json.h>

#include <sstream>
#include <string>
#include <vector>

namespace velto::test {

class Rest {
public:
    explicit Rest(const LocalServer& server) : client_("127.0.0.1", server.port())
    {
        client_.set_ca_cert_path(server.caFile().c_str());
        client_.enable_server_certificate_verification(true);
        client_.set_connection_timeout(10);
        client_.set_read_timeout(30);
        client_.set_write_timeout(10);
        client_.set_url_encode(false);
    }

    Json::Value call(const std::string& method, const std::string& target, const std::string& body = {})
    {
        const char* json = "application/json;charset=UTF-8";
        const auto result = method == "GET"      ? client_.Get(target.c_str())
                            : method == "DELETE" ? client_.Delete(target.c_str())
                            : method == "PUT"    ? client_.Put(target.c_str(), body, json)
                                                 : client_.Post(target.c_str(), body, json);
        Json::Value answer;
        if (!result) {
            ADD_FAILURE() << method << ' ' << target << ": " << httplib::to_string(result.error());
            return answer;
        }
        std::istringstream in(result->body);
        in >> answer;
        return answer;
    }

    struct Step {
        std::string method;
        std::string target;
        std::string body;
        int code;
    };

    void expect(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            const Json::Value answer = call(step.method, step.target, step.body);
            EXPECT_EQ(answer["code"].asInt(), step.code) << step.method << ' ' << step.target << '\n' << answer;
        }
    }

private:
    httplib::SSLClient client_;
};

struct Login {
    std::string id;
    std::string jid;
    std::string endpoint;
    std::string millis;
    std::string messageServer;
    std::string secret;  // the key to the message service
};

inline Login login(Rest& rest, const Account& account)
{
    const Json::Value obj = rest.call("GET", "/clientApi/loginClient?username=" + account.userName +
                                                 "&password=" + account.password + "&clientType=pc-win&domain=")["obj"];
    const Json::Value& ice = obj["turn"]["iceServers"];
    return {obj["mUserId"].asString(),
            obj["mUserId"].asString() + "@" + obj["messageServer"].asString() + "/" + obj["endpoint"].asString(),
            obj["endpoint"].asString(),
            obj["currentTimeMillis"].asString(),
            obj["messageServer"].asString(),
            ice.empty() ? std::string() : ice[ice.size() - 1]["credential"].asString()};
}

}  // namespace velto::test
