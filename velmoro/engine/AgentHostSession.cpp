#include "velmoro/engine/AgentHostSession.h"

namespace zorva::velmoro {

void AgentHostObserver::OnHostProgress(const HostProgress& progress) {
    if (!progress.status.empty()) reporter_.Status(progress.status);
}

void AgentHostObserver::OnHostReport(const std::string& text) {
    reporter_.MessageAndStatus(text);
}

HostEndpoint AgentEndpoint(const Settings& settings) {
    HostEndpoint endpoint;
    endpoint.address = settings.HostAddress;
    endpoint.port = settings.HostPort;
    endpoint.user = settings.User;
    endpoint.password = settings.Password;
    return endpoint;
}

std::shared_ptr<HostConnection> MakeAgentHost(const Settings& settings, Waiter& waiter,
                                              Reporter& reporter) {
    auto owner = std::make_shared<AgentHostSession>(settings, waiter, reporter);
    return std::shared_ptr<HostConnection>(owner, &owner->Connection());
}

}  // namespace zorva::velmoro
