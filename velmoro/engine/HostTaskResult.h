#pragma once
// How a host task of the agent ended (object check, host module installation): the outcome
// text is what the agent keeps as its last error text and shows to the user.

#include <string>

namespace zorva::velmoro {

struct HostTaskResult {
    bool ok = false;
    // The user asked to stop (dialog closed): nothing is shown or logged.
    bool interrupted = false;
    std::string text;

    static HostTaskResult Success(std::string text) { return {true, false, std::move(text)}; }
    static HostTaskResult Failure(std::string text) { return {false, false, std::move(text)}; }
    static HostTaskResult Stopped() { return {false, true, {}}; }
};

}  // namespace zorva::velmoro
