#include "qivftp/engine/ScheduledVerify.h"

#include <cstdio>
#include <system_error>

#include "common/FileIo.h"
#include "common/SaveFileList.h"

namespace zorva::qivftp {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kStampDigits = 14;
// Named in the mail; the daily log names them all.
constexpr std::size_t kMailedFailures = 3;

long long DayOf(const LocalTime& t) {
    return DaySerial(t.year, t.month, t.day);
}

std::string TimeStamp(const LocalTime& t) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return text;
}

// The day of the last verification, nullopt when there was none (or its record is unreadable:
// verifying again is the safe side).
std::optional<long long> LastVerifiedDay(const fs::path& generation) {
    const auto stamp = ReadRegularFileBytes(generation / kVerifiedFileName, kStampDigits);
    if (!stamp || stamp->size() < 8) return std::nullopt;
    for (std::size_t i = 0; i < 8; ++i) {
        if ((*stamp)[i] < '0' || (*stamp)[i] > '9') return std::nullopt;
    }
    return DaySerial(std::stoi(stamp->substr(0, 4)), std::stoi(stamp->substr(4, 2)),
                     std::stoi(stamp->substr(6, 2)));
}

std::string FailureMessage(const std::string& path, FileCheck check) {
    return "保管データ検証：" + path +
           (check == FileCheck::Missing ? "が見つからない" : "のチェックサムが一致しない");
}

}  // namespace

bool IsVerificationDue(const fs::path& generation, std::chrono::days age, const LocalTime& now) {
    std::error_code error;
    const auto written = fs::last_write_time(generation / kManifestFileName, error);
    if (error) return false;  // nothing recorded, nothing to verify
    if (DayOf(now) - DayOf(LocalFileTime(written)) <= age.count()) return false;
    const auto verified = LastVerifiedDay(generation);
    return !verified || DayOf(now) - *verified >= kReverifyDays;
}

VerificationSummary VerifyDueGenerations(const fs::path& setFolder, std::chrono::days age,
                                         const LocalTime& now, const VerifyCallbacks& callbacks,
                                         Reporter& output) {
    VerificationSummary summary;
    for (const std::string& path : VerifiableGenerations(setFolder)) {
        const fs::path generation = setFolder / path;
        if (!IsVerificationDue(generation, age, now)) continue;
        const auto verdicts = VerifyGeneration(generation, callbacks);
        if (callbacks.stopRequested && callbacks.stopRequested()) break;
        if (!verdicts) {
            output.Message(verdicts.error().text);
            continue;
        }
        ++summary.generations;
        for (const FileVerdict& verdict : *verdicts) {
            if (!IsVerificationFailure(verdict.check)) continue;
            summary.failures.push_back(path + "/" + verdict.fileName);
            output.Message(FailureMessage(summary.failures.back(), verdict.check));
        }
        const fs::path record = generation / kVerifiedFileName;
        if (const std::error_code error =
                TryWriteFileAtomically(record, TimeStamp(now) + "\n", 0600)) {
            output.Message(LocalFileFailureText(record, error));
        }
    }
    return summary;
}

std::string VerificationMailLine(const VerificationSummary& summary) {
    const std::string head = "保管データ検証 : " + std::to_string(summary.generations) + "世代 ";
    if (summary.failures.empty()) return head + "異常なし";
    std::string line = head + "不一致" + std::to_string(summary.failures.size()) + "件";
    for (std::size_t i = 0; i < summary.failures.size() && i < kMailedFailures; ++i) {
        line += " " + summary.failures[i];
    }
    return summary.failures.size() > kMailedFailures ? line + " …" : line;
}

}  // namespace zorva::qivftp
