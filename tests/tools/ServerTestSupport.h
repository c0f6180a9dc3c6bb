#pragma once
// Helpers of the server's tests: the shared REST client with failures
// reported to the test, tables of requests and their expected codes, and the
// login of a seeded account.

#include "LocalServer.h"
#include "RestClient.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

namespace velto::test {

class Rest : public RestClient {
public:
    using RestClient::RestClient;

    // Requests without a token of their own go under this login's.
    void as(const Login& login) { token_ = login.token; }

    Json::Value call(const std::string& method, const std::string& target, const std::string& body = {},
                     const std::string& token = {})
    {
        Json::Value answer = RestClient::call(method, target, body, token.empty() ? token_ : token);
        if (!error().empty())
            ADD_FAILURE() << error();
        return answer;
    }

    struct Step {
        std::string method;
        std::string target;
        std::string body;
        int code;
        std::string token = {};  // empty: the login of as()
    };

    void expect(const std::vector<Step>& steps)
    {
        for (const Step& step : steps) {
            const Json::Value answer = call(step.method, step.target, step.body, step.token);
            EXPECT_EQ(answer["code"].asInt(), step.code) << step.method << ' ' << step.target << '\n' << answer;
        }
    }

private:
    std::string token_;
};

inline Login login(Rest& rest, const Account& account)
{
    return rest.login(account);
}

}  // namespace velto::test
