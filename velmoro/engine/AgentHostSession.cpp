#include "velmoro/engine/AgentHostSession.h"

#include "velmoro/engine/AgentHostProfile.h"

namespace zorva::velmoro {
namespace {

// A connection and its observer, kept together so that the observer outlives the connection.
struct ObservedHost {
    explicit ObservedHost(Reporter& reporter) : observer(reporter) {}
    AgentHostObserver observer;
    std::shared_ptr<HostConnection> host;
};

}  // namespace

void AgentHostObserver::OnHostProgress(const HostProgress& progress) {
    if (!progress.status.empty()) reporter_.Status(progress.status);
}

void AgentHostObserver::OnHostReport(const std::string& text) {
    reporter_.MessageAndStatus(text);
}

HostFactory SessionHostFactory() {
    return SessionFactory(kAgentHostProfile);
}

std::shared_ptr<HostConnection> MakeAgentHost(const HostFactory& factory, const Settings& settings,
                                              Waiter& waiter, Reporter& reporter) {
    auto owner = std::make_shared<ObservedHost>(reporter);
    owner->host = factory(settings, waiter, owner->observer);
    return std::shared_ptr<HostConnection>(owner, owner->host.get());
}

}  // namespace zorva::velmoro
