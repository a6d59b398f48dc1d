#include "common/offsite/ResticRunner.h"

namespace zorva::offsite {
namespace {

// A run that did not end by itself or could not start; empty when restic exited (its error
// text then tells).
std::string RunEndText(const RunResult& result, std::chrono::milliseconds timeLimit) {
    switch (result.end) {
        case RunEnd::NotStarted:
            return "オフサイト：resticを起動できない：" + result.errorText;
        case RunEnd::TimedOut:
            return "オフサイト：resticが" + std::to_string(timeLimit.count() / 1000) +
                   "秒以内に終わらないため中止した";
        case RunEnd::Stopped:
            return "オフサイト：resticを中止した";
        case RunEnd::Exited:
            break;
    }
    return {};
}

}  // namespace

std::string RunFailureText(const RunResult& result, const ResticAccess& access,
                           std::chrono::milliseconds timeLimit) {
    if (result.Succeeded()) return {};
    if (result.end != RunEnd::Exited) return RunEndText(result, timeLimit);
    return ResticFailureText(result.errorText, access);
}

}  // namespace zorva::offsite
