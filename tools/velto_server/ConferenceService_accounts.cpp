// The accounts side of ConferenceService: logins, keep-alives, the user's
// record and its personal passwords.
#include "ConferenceService.h"

#include "ServiceSupport.h"

namespace velto::server {

// --- login and keep-alive ------------------------------------------------------

Reply ConferenceService::login(const Call& call, const Args&)
{
    const std::string& username = call.param("username");
    const std::string& password = call.param("password");
    const std::string& clientType = call.param("clientType");
    if (username.empty())
        refuse(code::UsernameNull, "username is empty");
    if (password.empty())
        refuse(code::PasswordNull, "password is empty");
    if (clientType.empty())
        refuse(code::ClientTypeNull, "client type is empty");
    User* user = findByLoginName(username);
    // One answer for unknown names and wrong passwords: nothing to probe.
    if (!user || user->password != password)
        refuse(code::LoginError, "username or password error");
    return openSession(*user, clientType);
}

Reply ConferenceService::loginAnonymous(const Call& call, const Args&)
{
    const std::string& nickname = call.param("nickname");
    const std::string& clientType = call.param("clientType");
    if (nickname.empty())
        refuse(code::NicknameNull, "nickname is empty");
    if (clientType.empty())
        refuse(code::ClientTypeNull, "client type is empty");
    User user;
    user.id = newId();
    user.displayName = nickname;
    user.anonymous = true;
    user.accessToken = randomHex(16);
    user.createMs = clockMs();
    const std::string key = upper(user.id);
    return openSession(state_.users.emplace(key, std::move(user)).first->second, clientType);
}

Reply ConferenceService::openSession(User& user, const std::string& clientType)
{
    const std::int64_t now = clockMs();
    const std::string endpoint = "ep" + std::to_string(++state_.serial);
    const std::string millis = std::to_string(now);
    const std::string secret = randomHex(16);
    state_.sessions[upper(user.id) + "/" + endpoint] = Session{millis, secret};
    user.lastSeenMs = now;
    user.clientType = clientType;
    return ok(loginObj(user, endpoint, millis, secret));
}

Reply ConferenceService::keepAlive(const Call&, const Args& args)
{
    User& user = requireUser(args[0]);
    const auto session = state_.sessions.find(upper(user.id) + "/" + args[1]);
    if (session == state_.sessions.end())
        refuse(code::UserLoggedOut, "no such login");
    if (session->second.currentTimeMillis != args[2])
        refuse(code::TimestampIllegal, "timestamp does not match the login");
    user.lastSeenMs = clockMs();
    return ok();
}

Reply ConferenceService::queryUser(const Call&, const Args& args)
{
    const User& user = requireUser(args[0]);
    const Meeting* room = user.personalMeetingId.empty() ? nullptr : &state_.meetings.at(user.personalMeetingId);
    Json::Value obj;
    obj["mUserId"] = user.id;
    obj["userName"] = user.displayName;
    obj["loginName"] = user.loginName;
    obj["loginPassword"] = "";  // never handed out
    obj["status"] = "1";
    obj["accessToken"] = user.accessToken;
    obj["createTime"] = std::to_string(user.createMs);
    obj["lastTime"] = std::to_string(user.lastSeenMs);
    obj["email"] = user.email;
    obj["phone"] = user.phone;
    obj["tel"] = user.phone;
    obj["level"] = "1";
    obj["attribution"] = "";
    obj["type"] = user.anonymous ? "anonymous" : "user";
    obj["ipSip"] = "";
    obj["protocol"] = "";
    obj["creator"] = "admin";
    obj["info"] = "";
    obj["meetPassword"] = room ? room->meetPassword : std::string();
    obj["ownerPassword"] = room ? room->ownerPassword : std::string();
    return ok(obj);
}

Reply ConferenceService::modifyUser(const Call& call, const Args&)
{
    const Json::Value body = bodyObject(call);
    const User& user = requireUser(bodyText(body, "mUserId"));
    if (user.personalMeetingId.empty())
        refuse(code::NoAuthority, "anonymous users have no room of their own");
    const std::string ownerPassword = bodyText(body, "ownerPassword");
    if (ownerPassword.empty())
        refuse(code::ModeratorPasswordNull, "moderator password is empty");
    Meeting& room = state_.meetings.at(user.personalMeetingId);
    room.meetPassword = bodyText(body, "meetPassword");
    room.ownerPassword = ownerPassword;
    room.updateMs = clockMs();
    return ok();
}

}  // namespace velto::server
