#include "MessageService.h"

#include "MessageHub.h"

namespace velto::server {

MessageService::MessageService(const ServerIdentity& identity, ConferenceService& service, std::string messageServer,
                               Limits limits, bool verbose)
    : hub_(std::make_unique<MessageHub>(identity, service, std::move(messageServer), limits, verbose))
{
}

MessageService::~MessageService()
{
    stop();
}

int MessageService::bind(const std::string& address, int port)
{
    return hub_->bind(address, port);
}

void MessageService::attachMedia(MediaUnit& unit)
{
    hub_->attachMedia(&unit);
}

void MessageService::start()
{
    thread_ = std::thread([this] { hub_->run(); });
}

void MessageService::stop()
{
    if (!thread_.joinable())
        return;
    hub_->stop();
    thread_.join();
}

void MessageService::notify(Notice notice)
{
    MessageHub* hub = hub_.get();
    hub->post([hub, notice = std::move(notice)] { hub->notice(notice); });
}

Json::Value MessageService::sent() const
{
    return hub_->call([this] { return hub_->sent(); });
}

Json::Value MessageService::clients() const
{
    return hub_->call([this] { return hub_->clients(); });
}

Json::Value MessageService::room(const std::string& number) const
{
    return hub_->call([this, &number] { return hub_->room(number); });
}

bool MessageService::drop(const std::string& jid)
{
    return hub_->call([this, &jid] { return hub_->drop(jid); });
}

bool MessageService::push(const std::string& jid, const Json::Value& messages)
{
    return hub_->call([this, &jid, &messages] { return hub_->push(jid, messages); });
}

void MessageService::setFaults(bool refuseConnections, bool silentPings)
{
    hub_->call([this, refuseConnections, silentPings] {
        hub_->setFaults(refuseConnections, silentPings);
        return true;
    });
}

void MessageService::reset()
{
    hub_->call([this] {
        hub_->reset();
        return true;
    });
}

}  // namespace velto::server
