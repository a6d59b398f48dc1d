#pragma once
// Turns the session's low-level events into the program's progress texts, with the rules that
// go with them: "sending" and "waiting" once per attempt, and a byte count shown only when it
// is higher than the highest one shown so far. That highest count is shared by uploads and
// downloads and goes back to zero only when a download starts.

#include <cstdint>
#include <functional>
#include <string_view>

#include "common/host/HostTexts.h"

namespace zorva {

class HostProgressTracker {
public:
    using Sink = std::function<void(const HostProgress&)>;

    HostProgressTracker(const HostProfile& profile, Sink sink);

    // A new attempt of an operation begins (Idle when it is over).
    void Begin(HostActivity activity);
    HostActivity Activity() const { return activity_; }

    void Connecting(std::string_view address);
    void Connected(std::string_view address);
    void CommandSent();
    void DownloadStarted();
    void Bytes(std::int64_t count);
    void ConnectionClosed();

private:
    void Emit(HostEvent event, std::string_view detail = {});

    HostProfile profile_;
    Sink sink_;
    HostActivity activity_ = HostActivity::Idle;
    bool sendingShown_ = false;
    bool waitingShown_ = false;
    std::int64_t shownBytes_ = 0;
};

}  // namespace zorva
