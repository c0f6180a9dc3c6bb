#pragma once
// Test fixture: a REST client of one LocalServer that talks to it as a
// client does, below the program's own REST library. Every request after a
// login carries that login's token, as the program's client sends it.
//
//   velto::test::RestClient rest(server);
//   const velto::test::Login demo = rest.login(server.demoAccount());
//   rest.call("GET", "/clientApi/friends/" + demo.id, "", demo.token)["code"];
//
// Targets go out exactly as written (no escaping). A transport failure gives
// a null answer and error() says why; nothing here throws but login() (on
// an answer without a login).

#include "LocalServer.h"

#include <json/value.h>

#include <memory>
#include <string>

namespace velto::test {

// A login as the server answered it.
struct Login {
    std::string id;        // "mUserId"
    std::string jid;       // id@messageServer/endpoint
    std::string endpoint;
    std::string millis;    // "currentTimeMillis"
    std::string messageServer;
    std::string secret;    // the key to the message service (the TURN credential)
    std::string token;     // "accessToken": the key to the REST side
};

class RestClient {
public:
    // Verifies the server's certificate unless the server serves one that
    // clients must refuse (LocalServer::Options).
    explicit RestClient(const LocalServer& server);
    ~RestClient();
    RestClient(const RestClient&) = delete;
    RestClient& operator=(const RestClient&) = delete;

    // One request with `token` in the "accessToken" header (none when empty);
    // the parsed answer, null when none came.
    Json::Value call(const std::string& method, const std::string& target, const std::string& body = {},
                     const std::string& token = {});
    const std::string& error() const { return error_; }

    // Throws std::runtime_error when the server refuses the login.
    Login login(const Account& account);
    Login loginAnonymous(const std::string& nickname);

private:
    Login loginFrom(const Json::Value& answer, const std::string& what);

    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string error_;
};

}  // namespace velto::test
