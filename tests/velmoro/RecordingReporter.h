#pragma once
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "common/Reporter.h"

namespace zorva::velmoro::test {

// Keeps every message (the daily log's lines) and status text an engine reports.
class RecordingReporter final : public Reporter {
public:
    void Message(std::string_view text) override {
        std::lock_guard lock(mutex_);
        messages.emplace_back(text);
    }
    void Status(std::string_view text) override {
        std::lock_guard lock(mutex_);
        statuses.emplace_back(text);
    }
    std::vector<std::string> messages;
    std::vector<std::string> statuses;

private:
    std::mutex mutex_;
};

}  // namespace zorva::velmoro::test
