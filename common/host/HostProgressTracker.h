#pragma once
// Turns the session's low-level events into the program's progress texts, with the rules that
// go with them: "sending" and "waiting" once per attempt, and a byte count shown only when it
// is higher than the highest one shown so far. That highest count is shared by uploads and
// downloads and goes back to zero only when a download starts.
//
// libcurl reports a transfer's bytes hundreds of times a second, and every byte-count text is a
// daily-log line and a line of the window's message list: shown at that rate they cost the
// transfer more than the bytes do. So an operation's first count is shown at once, later ones
// at most once per interval, and the highest count not yet shown is shown when the operation
// ends: the last byte-count text of a transfer is always its whole count.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "common/host/HostTexts.h"

namespace zorva {

class HostProgressTracker {
public:
    using Sink = std::function<void(const HostProgress&)>;
    using Clock = std::chrono::steady_clock;

    HostProgressTracker(const HostProfile& profile, Sink sink,
                        Clock::duration byteInterval = std::chrono::seconds(1));

    // A new attempt of an operation begins (Idle when it is over); the one before it ends.
    void Begin(HostActivity activity);
    HostActivity Activity() const { return activity_; }

    void Connecting(std::string_view address);
    void Connected(std::string_view address);
    void CommandSent();
    void DownloadStarted();
    void Bytes(std::int64_t count, Clock::time_point now = Clock::now());
    void ConnectionClosed();

private:
    void Emit(HostEvent event, std::string_view detail = {});
    void ShowBytes(std::int64_t count);

    HostProfile profile_;
    Sink sink_;
    HostActivity activity_ = HostActivity::Idle;
    bool sendingShown_ = false;
    bool waitingShown_ = false;
    std::int64_t shownBytes_ = 0;
    Clock::duration byteInterval_;
    std::optional<Clock::time_point> bytesShownAt_;  // in this operation
    std::int64_t unshownBytes_ = 0;                  // the highest count held back
};

}  // namespace zorva
