#include "common/host/HostFactory.h"

namespace zorva {

HostEndpoint EndpointOf(const Settings& settings) {
    HostEndpoint endpoint;
    endpoint.address = settings.hostAddress;
    endpoint.port = settings.hostPort;
    endpoint.user = settings.user;
    endpoint.password = settings.password;
    endpoint.tls = settings.hostTls;
    endpoint.caFile = settings.hostCaFile;
    endpoint.pinnedKey = settings.hostPinnedKey;
    return endpoint;
}

HostFactory SessionFactory(const HostProfile& profile) {
    return [profile](const Settings& settings, Waiter& waiter, HostSessionObserver& observer) {
        return std::make_shared<HostSession>(profile, EndpointOf(settings), waiter, observer);
    };
}

}  // namespace zorva
