#pragma once
// What differs between the programs that talk to the host: how often the session tries each
// operation, how long the host may stay silent, and how the session words and routes its texts.
// Each program's engine defines its profile as one constant and hands it to its sessions, so the
// session knows no program and a new program brings its own profile.
//
// The texts are literals: a profile is a constant that outlives every session.

#include <chrono>
#include <string_view>

#include "common/host/HostConnection.h"

namespace zorva {

struct HostProfile {
    // Attempts of each operation when the caller gives no policy. Fetching, deleting and listing
    // are tried once whoever asks: their callers decide what a failure means.
    RetryPolicy open;
    RetryPolicy command;
    RetryPolicy putFile;
    RetryPolicy setCurrentLibrary;

    // How long the host may take to answer or keep a transfer silent, when the endpoint does not
    // say.
    std::chrono::seconds replyTimeout{60};

    // The session's failure texts. `commandFailure` follows the refused command and
    // `uploadFailure` the local path of a failed upload; an empty `uploadFailure` leaves the
    // wording to the caller, an empty `replyTimeoutFailure` goes on without a word when the reply
    // time-out cannot be set.
    std::string_view openFailure;
    std::string_view callbackFailure;
    std::string_view commandFailure;
    std::string_view uploadFailure;
    std::string_view replyTimeoutFailure;

    // Progress: the word the texts use for the host, whether they go to a status line, and
    // whether the lasting events (connect, byte counts, handle, close) also go to the log.
    std::string_view hostWord;
    bool progressOnStatusLine = true;
    bool progressLogged = false;
    // libcurl's own reason for every failed transfer attempt goes to the detail log.
    bool transferErrorsLogged = false;
};

}  // namespace zorva
