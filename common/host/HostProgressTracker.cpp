#include "common/host/HostProgressTracker.h"

#include <string>
#include <utility>

namespace zorva {

HostProgressTracker::HostProgressTracker(const HostProfile& profile, Sink sink)
    : profile_(profile), sink_(std::move(sink)) {}

void HostProgressTracker::Begin(HostActivity activity) {
    activity_ = activity;
    sendingShown_ = false;
    waitingShown_ = false;
}

void HostProgressTracker::Connecting(std::string_view address) {
    Emit(HostEvent::Connecting, address);
}

void HostProgressTracker::Connected(std::string_view address) {
    Emit(HostEvent::Connected, address);
    // A new connection first waits for the server's greeting.
    if (activity_ == HostActivity::Connect && !waitingShown_) {
        waitingShown_ = true;
        Emit(HostEvent::ReceivingResponse);
    }
}

void HostProgressTracker::CommandSent() {
    if (!sendingShown_) {
        sendingShown_ = true;
        Emit(HostEvent::RequestSending);
    }
    if (!waitingShown_) {
        waitingShown_ = true;
        Emit(HostEvent::ReceivingResponse);
    }
}

void HostProgressTracker::DownloadStarted() {
    shownBytes_ = 0;
    Emit(HostEvent::HandleCreated);
}

void HostProgressTracker::Bytes(std::int64_t count) {
    HostEvent event;
    if (activity_ == HostActivity::Upload) {
        event = HostEvent::RequestSent;
    } else if (activity_ == HostActivity::Download) {
        event = HostEvent::ResponseReceived;
    } else {
        return;
    }
    if (count <= shownBytes_) return;
    shownBytes_ = count;
    Emit(event, std::to_string(count));
}

void HostProgressTracker::ConnectionClosed() {
    Emit(HostEvent::ConnectionClosed);
}

void HostProgressTracker::Emit(HostEvent event, std::string_view detail) {
    if (auto text = HostProgressText(profile_, activity_, event, detail)) sink_(*text);
}

}  // namespace zorva
