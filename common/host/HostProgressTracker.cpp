#include "common/host/HostProgressTracker.h"

#include <algorithm>
#include <string>
#include <utility>

namespace zorva {

HostProgressTracker::HostProgressTracker(const HostProfile& profile, Sink sink,
                                         Clock::duration byteInterval)
    : profile_(profile), sink_(std::move(sink)), byteInterval_(byteInterval) {}

void HostProgressTracker::Begin(HostActivity activity) {
    if (unshownBytes_ > shownBytes_) ShowBytes(unshownBytes_);
    unshownBytes_ = 0;
    bytesShownAt_.reset();
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
    unshownBytes_ = 0;
    Emit(HostEvent::HandleCreated);
}

void HostProgressTracker::Bytes(std::int64_t count, Clock::time_point now) {
    if (activity_ != HostActivity::Upload && activity_ != HostActivity::Download) return;
    if (count <= shownBytes_) return;
    if (bytesShownAt_ && now - *bytesShownAt_ < byteInterval_) {
        unshownBytes_ = std::max(unshownBytes_, count);
        return;
    }
    bytesShownAt_ = now;
    ShowBytes(count);
}

void HostProgressTracker::ShowBytes(std::int64_t count) {
    shownBytes_ = count;
    const bool upload = activity_ == HostActivity::Upload;
    Emit(upload ? HostEvent::RequestSent : HostEvent::ResponseReceived, std::to_string(count));
}

void HostProgressTracker::ConnectionClosed() {
    Emit(HostEvent::ConnectionClosed);
}

void HostProgressTracker::Emit(HostEvent event, std::string_view detail) {
    if (auto text = HostProgressText(profile_, activity_, event, detail)) sink_(*text);
}

}  // namespace zorva
