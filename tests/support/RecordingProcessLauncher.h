#pragma once
#include <QString>
#include <vector>

#include "common/ui/ProcessLauncher.h"

namespace zorva::test {

// Starts nothing: records each launch, and ends one when the test says so (the `finished`
// signal then comes synchronously, as if the child had just ended).
class RecordingProcessLauncher final : public ui::ProcessLauncher {
public:
    struct Record {
        ui::LaunchRequest request;
        int id = 0;
        bool running = false;
    };

    // The next launch fails with `errorText` instead of starting.
    void FailNextStart(const QString& errorText) { failText_ = errorText; }

    ui::LaunchResult Launch(const ui::LaunchRequest& request) override {
        if (!failText_.isEmpty()) {
            ui::LaunchResult failed{false, 0, failText_};
            failText_.clear();
            launches.push_back({request, 0, false});
            return failed;
        }
        const int id = static_cast<int>(launches.size()) + 1;
        launches.push_back({request, id, true});
        return {true, id, {}};
    }

    // Ends the launch `id` (1 for the first launch) with `exitCode`; false when it is not
    // running.
    bool Finish(int id, int exitCode = 0) {
        for (Record& launch : launches) {
            if (launch.id == id && launch.running) {
                launch.running = false;
                Q_EMIT finished(id, exitCode);
                return true;
            }
        }
        return false;
    }

    std::size_t RunningCount() const {
        std::size_t count = 0;
        for (const Record& launch : launches) count += launch.running ? 1 : 0;
        return count;
    }

    std::vector<Record> launches;

private:
    QString failText_;
};

}  // namespace zorva::test
