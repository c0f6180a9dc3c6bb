#include "RestClient.h"

#include <httplib.h>
#include <json/json.h>

#include <sstream>
#include <stdexcept>

namespace velto::test {

struct RestClient::Impl {
    explicit Impl(const LocalServer& server) : client(server.options().listen, server.port())
    {
        client.set_ca_cert_path(server.caFile().c_str());
        client.enable_server_certificate_verification(!server.options().untrustedCertificate &&
                                                      server.options().certificateHost.empty());
        client.set_connection_timeout(10);
        client.set_read_timeout(30);
        client.set_write_timeout(10);
        client.set_url_encode(false);
    }

    httplib::SSLClient client;
};

RestClient::RestClient(const LocalServer& server) : impl_(std::make_unique<Impl>(server)) {}

RestClient::~RestClient() = default;

Json::Value RestClient::call(const std::string& method, const std::string& target, const std::string& body,
                             const std::string& token)
{
    httplib::Headers headers;
    if (!token.empty())
        headers.emplace("accessToken", token);
    const char* json = "application/json;charset=UTF-8";
    auto& client = impl_->client;
    const auto result = method == "GET"      ? client.Get(target.c_str(), headers)
                        : method == "DELETE" ? client.Delete(target.c_str(), headers)
                        : method == "PUT"    ? client.Put(target.c_str(), headers, body, json)
                                             : client.Post(target.c_str(), headers, body, json);
    Json::Value answer;
    if (!result) {
        error_ = method + " " + target + ": " + httplib::to_string(result.error());
        return answer;
    }
    error_.clear();
    std::istringstream in(result->body);
    Json::CharReaderBuilder reader;
    std::string errors;
    if (!Json::parseFromStream(reader, in, &answer, &errors))
        error_ = method + " " + target + ": no JSON answer: " + errors;
    return answer;
}

Login RestClient::login(const Account& account)
{
    return loginFrom(call("GET", "/clientApi/loginClient?username=" + account.userName +
                                     "&password=" + account.password + "&clientType=pc-win&domain="),
                     account.userName);
}

Login RestClient::loginAnonymous(const std::string& nickname)
{
    return loginFrom(call("GET", "/clientApi/loginClientAnonymous?nickname=" + nickname + "&password=&clientType=pc-win"),
                     nickname);
}

Login RestClient::loginFrom(const Json::Value& answer, const std::string& what)
{
    if (answer["code"].asInt() != 200)
        throw std::runtime_error("RestClient: no login for " + what + ": " + answer.toStyledString() + error_);
    const Json::Value& obj = answer["obj"];
    // The key to the message service is the first credential of the list, as
    // the program's signalling client takes it.
    std::string secret;
    for (const Json::Value& server : obj["turn"]["iceServers"])
        if (secret.empty() && server["credential"].isString())
            secret = server["credential"].asString();
    const std::string id = obj["mUserId"].asString();
    return {id,
            id + "@" + obj["messageServer"].asString() + "/" + obj["endpoint"].asString(),
            obj["endpoint"].asString(),
            obj["currentTimeMillis"].asString(),
            obj["messageServer"].asString(),
            secret,
            obj["accessToken"].asString()};
}

}  // namespace velto::test
