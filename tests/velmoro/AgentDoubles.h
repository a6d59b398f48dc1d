#pragma once
// Doubles for the agent's engines: a launcher that records starts and ends them on demand, a
// shell that runs background work at once.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/RecordingReporter.h"
#include "velmoro/engine/Launch.h"
#include "velmoro/engine/Scheduler.h"

namespace zorva::test {

using velmoro::LaunchOutcome;
using velmoro::ProgramLauncher;

class RecordingLauncher final : public ProgramLauncher {
public:
    struct Started {
        std::string program;
        std::vector<std::string> arguments;
        Ended ended;
    };
    void Start(std::string_view program, const std::vector<std::string>& arguments,
               Ended ended) override {
        started.push_back({std::string(program), arguments, std::move(ended)});
        if (startFails) Finish(started.size() - 1, false, "No such file or directory");
    }
    // Ends the program started `index`-th (or reports that it could not start).
    void Finish(std::size_t index, bool ran = true, std::string error = {}) {
        Ended ended = std::move(started.at(index).ended);
        ASSERT_TRUE(ended) << "ended twice";
        ended(LaunchOutcome{ran, std::move(error)});
    }
    std::vector<Started> started;
    bool startFails = false;
};

class InstantShell final : public velmoro::SchedulerShell {
public:
    void SetTitle(std::string_view text) override { title = text; }
    void RefreshJobList() override { ++refreshes; }
    void RunInBackground(std::function<void()> work, std::function<void()> then) override {
        work();
        then();
    }
    void TickEnded() override { ++ticksEnded; }
    std::string title;
    int refreshes = 0;
    int ticksEnded = 0;
};

}  // namespace zorva::test
