#pragma once
// What a program shows and logs while it talks to the host: the progress texts of the
// session's status callback and the session's own failure texts, worded and routed as the
// program's host profile says.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "common/host/HostProfile.h"

namespace zorva {

// What the session is doing when a progress event arrives; the same event reads differently
// while connecting, commanding, uploading or downloading. Idle covers closing the session.
enum class HostActivity { Idle, Connect, Command, Upload, Download };

// Progress events, numbered as the status codes of the original client.
enum class HostEvent {
    Connecting = 20,  // detail: the address
    Connected = 21,   // detail: the address
    RequestSending = 30,
    RequestSent = 31,  // detail: bytes uploaded so far
    ReceivingResponse = 40,
    ResponseReceived = 41,  // detail: bytes downloaded so far
    ConnectionClosed = 51,
    HandleCreated = 60,
};

// One progress text. `status` is for the program's status line, `log` for its log (and, in the
// restore program, its message list); an empty text means "not there".
struct HostProgress {
    std::string status;
    std::string log;

    friend bool operator==(const HostProgress&, const HostProgress&) = default;
};

// The text of an event for a program and activity; nullopt when that program shows nothing.
// `detail` replaces the address or byte count placeholder.
std::optional<HostProgress> HostProgressText(const HostProfile& profile, HostActivity activity,
                                             HostEvent event, std::string_view detail = {});

// Failure and outcome texts of the session: the first two read the same in every program.
std::string HostConnectFailureText();
std::string HostConnectedText();
std::string HostCommandFailureText(const HostProfile& profile, std::string_view command);
// nullopt for a program that words upload failures at its call sites.
std::optional<std::string> HostUploadFailureText(const HostProfile& profile,
                                                 std::string_view localPath);

}  // namespace zorva
