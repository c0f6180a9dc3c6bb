// The accounts side of ConferenceService: logins, keep-alives, the user's
// record and its personal passwords.
#include "ConferenceService.h"

#include "ServiceSupport.h"

#include <algorithm>

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
    // Guessing is slowed per account and per client; a slowed try is not
    // even checked, so it tells nothing.
    const std::int64_t now = clockMs();
    const std::string account = "account " + username;
    const std::string client = "client " + call.client;
    if (!loginAllowed(account, kAccountFreeFailures, now) || !loginAllowed(client, kClientFreeFailures, now))
        refuse(code::LoginFailed, "too many failed logins, try again later");
    User* user = findByLoginName(username);
    // One answer for unknown names and wrong passwords: nothing to probe.
    if (!user || user->password != password) {
        noteLoginFailure(account, now);
        noteLoginFailure(client, now);
        refuse(code::LoginError, "username or password error");
    }
    state_.loginFailures.erase(account);
    return openSession(*user, clientType);
}

bool ConferenceService::loginAllowed(const std::string& key, int freeFailures, std::int64_t now) const
{
    const auto failures = state_.loginFailures.find(key);
    if (failures == state_.loginFailures.end() || failures->second.count < freeFailures ||
        now - failures->second.lastMs >= kLoginFailureMemoryMs)
        return true;
    // A second after the last failure, twice that after the next, up to a minute.
    const int doublings = std::min(failures->second.count - freeFailures, 6);
    const std::int64_t wait = std::min<std::int64_t>(kMinuteMs, 1000LL << doublings);
    return now - failures->second.lastMs >= wait;
}

void ConferenceService::noteLoginFailure(const std::string& key, std::int64_t now)
{
    LoginFailures& failures = state_.loginFailures[key];
    if (now - failures.lastMs >= kLoginFailureMemoryMs)
        failures.count = 0;
    failures.count = std::min(failures.count + 1, 1000);
    failures.lastMs = now;
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
    user.createMs = clockMs();
    const std::string key = upper(user.id);
    return openSession(state_.users.emplace(key, std::move(user)).first->second, clientType);
}

Reply ConferenceService::openSession(User& user, const std::string& clientType)
{
    const std::int64_t now = clockMs();
    const std::string endpoint = "ep" + std::to_string(++state_.serial);
    Session session;
    session.userKey = upper(user.id);
    session.currentTimeMillis = std::to_string(now);
    session.secret = randomHex(16);
    session.token = randomHex(16);
    session.lastSeenMs = now;
    const std::string key = session.userKey + "/" + endpoint;
    state_.tokens[session.token] = key;
    const Session& stored = state_.sessions[key] = std::move(session);
    user.lastSeenMs = now;
    user.clientType = clientType;
    return ok(loginObj(user, endpoint, stored));
}

Reply ConferenceService::keepAlive(const Call& call, const Args& args)
{
    User& user = requireActor(call, args[0]);
    const auto session = state_.sessions.find(upper(user.id) + "/" + args[1]);
    if (session == state_.sessions.end())
        refuse(code::UserLoggedOut, "no such login");
    if (session->second.currentTimeMillis != args[2])
        refuse(code::TimestampIllegal, "timestamp does not match the login");
    user.lastSeenMs = session->second.lastSeenMs = clockMs();
    return ok();
}

Reply ConferenceService::queryUser(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    const Meeting* room = user.personalMeetingId.empty() ? nullptr : &state_.meetings.at(user.personalMeetingId);
    Json::Value obj;
    obj["mUserId"] = user.id;
    obj["userName"] = user.displayName;
    obj["loginName"] = user.loginName;
    obj["loginPassword"] = "";  // never handed out
    obj["status"] = "1";
    obj["accessToken"] = call.accessToken;  // the asker's own
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
    const User& user = requireActor(call, bodyText(body, "mUserId"));
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
