#pragma once
// The verification after a job ([VERIFY] DAYS): the set's generations older than that many
// days are read back against their manifests, each at most once a week, so that a disk that
// rots the saved data is noticed while a good copy still exists.

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Clock.h"
#include "common/Manifest.h"
#include "common/Reporter.h"

namespace zorva::qivftp {

// Beside the manifest: when the generation was last verified ("YYYYMMDDhhmmss").
inline constexpr std::string_view kVerifiedFileName = "VERIFIED.txt";
// A generation verified fewer days ago than this is not read again.
inline constexpr int kReverifyDays = 7;

struct VerificationSummary {
    int generations = 0;                // generations verified by this run
    std::vector<std::string> failures;  // "7/20261201/PAYROLL" of every damaged or missing file

    friend bool operator==(const VerificationSummary&, const VerificationSummary&) = default;
};

// True when the generation has a manifest written more than `age` ago (in whole days) and was
// not verified in the last kReverifyDays days.
bool IsVerificationDue(const std::filesystem::path& generation, std::chrono::days age,
                       const LocalTime& now);

// Verifies each due generation below `setFolder` and records when; every damaged or missing
// file is one message. A stop leaves the generation being read unrecorded.
VerificationSummary VerifyDueGenerations(const std::filesystem::path& setFolder,
                                         std::chrono::days age, const LocalTime& now,
                                         const VerifyCallbacks& callbacks, Reporter& output);

// The report mail's line about the verification.
std::string VerificationMailLine(const VerificationSummary& summary);

}  // namespace zorva::qivftp
