#include "common/host/HostFactory.h"

namespace zorva {

HostEndpoint EndpointOf(const Settings& settings) {
    HostEndpoint endpoint;
    endpoint.address = settings.HostAddress;
    endpoint.port = settings.HostPort;
    endpoint.user = settings.User;
    endpoint.password = settings.Password;
    return endpoint;
}

HostFactory SessionFactory(const HostProfile& profile) {
    return [profile](const Settings& settings, Waiter& waiter, HostSessionObserver& observer) {
        return std::make_shared<HostSession>(profile, EndpointOf(settings), waiter, observer);
    };
}

}  // namespace zorva
