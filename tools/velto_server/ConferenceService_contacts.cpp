// Contacts of ConferenceService: search, list, add and remove.
#include "ConferenceService.h"

#include "ServiceSupport.h"

namespace velto::server {

// --- contacts and account --------------------------------------------------------

Reply ConferenceService::selectFriends(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    const std::string& search = call.param("search");
    Reply reply = ok(Json::Value(Json::arrayValue));
    for (const auto& [key, other] : state_.users) {
        if (other.anonymous || &other == &user)
            continue;
        if (!search.empty() && !containsNoCase(other.displayName, search) &&
            !containsNoCase(other.loginName, search) && other.phone.find(search) == std::string::npos)
            continue;
        const auto known = findFriend(user.friends, key);
        reply.obj.append(contactObj(other, known == user.friends.end() ? std::string() : known->second));
    }
    return reply;
}

Reply ConferenceService::listFriends(const Call& call, const Args& args)
{
    const User& user = requireActor(call, args[0]);
    Reply reply = ok(Json::Value(Json::arrayValue));
    for (const auto& [key, nickname] : user.friends)
        if (const auto it = state_.users.find(key); it != state_.users.end())
            reply.obj.append(contactObj(it->second, nickname));
    return reply;
}

Reply ConferenceService::addFriend(const Call& call, const Args& args)
{
    User& user = requireActor(call, args[0]);
    const User& other = requireUser(args[1], code::FriendIdNull);
    if (&other == &user)
        refuse(code::RequestFailed, "a user cannot add himself");
    const Json::Value body = bodyObject(call);
    if (!body["nickname"].isString())
        refuse(code::FriendNicknameNull, "nickname is missing");
    const std::string nickname = body["nickname"].asString();
    const std::string key = upper(other.id);
    const auto known = findFriend(user.friends, key);
    if (known == user.friends.end())
        user.friends.emplace_back(key, nickname);
    else
        known->second = nickname;
    return ok();
}

Reply ConferenceService::deleteFriend(const Call& call, const Args& args)
{
    User& user = requireActor(call, args[0]);
    if (args[1].empty())
        refuse(code::FriendIdNull, "friend id is empty");
    const std::string key = upper(args[1]);
    const auto known = findFriend(user.friends, key);
    if (known == user.friends.end())
        refuse(code::UserNotExist, "not a contact");
    user.friends.erase(known);
    return ok();
}

}  // namespace velto::server
