#pragma once
// How an engine gets its host connection: through a factory, so that tests hand it a scripted
// host, and production a libcurl session with the program's profile.

#include <functional>
#include <memory>

#include "common/Settings.h"
#include "common/Waiter.h"
#include "common/host/HostConnection.h"
#include "common/host/HostProfile.h"
#include "common/host/HostSession.h"

namespace zorva {

// Makes a connection to the host of `settings`. It waits through `waiter`, so that a stop
// request or a time limit ends its pauses and transfers, and tells its progress and reports to
// `observer`, which outlives it. Shared: a scheduler hands one connection from a poll to the
// end of the job it started.
using HostFactory = std::function<std::shared_ptr<HostConnection>(
    const Settings& settings, Waiter& waiter, HostSessionObserver& observer)>;

// Where and as whom a program logs on, from its settings.
HostEndpoint EndpointOf(const Settings& settings);

// The libcurl session with `profile`.
HostFactory SessionFactory(const HostProfile& profile);

}  // namespace zorva
