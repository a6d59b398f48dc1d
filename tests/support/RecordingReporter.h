#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "common/Reporter.h"

namespace zorva::test {

// Keeps every message and status line the engine reports, in order.
class RecordingReporter final : public Reporter {
public:
    void Message(std::string_view text) override { messages.emplace_back(text); }
    void Status(std::string_view text) override { statuses.emplace_back(text); }

    std::vector<std::string> messages;
    std::vector<std::string> statuses;
};

}  // namespace zorva::test
