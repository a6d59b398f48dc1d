#pragma once
// The connection dialog's off-site buttons without the window: 初期化 creates the repository
// when it does not exist yet, 接続確認 lists what it holds. Blocking: for a worker thread.

#include <filesystem>
#include <functional>
#include <string>

#include "common/Settings.h"
#include "common/offsite/ResticRunner.h"

namespace zorva::velmoro {

struct OffsiteSetupResult {
    bool ok = false;
    std::string text;  // what the message box says
};

OffsiteSetupResult InitOffsiteRepository(const OffsiteSettings& settings,
                                         const std::filesystem::path& programFolder,
                                         offsite::ResticRunner& restic,
                                         const std::function<bool()>& stopRequested);

// The snapshots of every set of this PC (`host`: the terminal id).
OffsiteSetupResult CheckOffsiteRepository(const OffsiteSettings& settings,
                                          const std::filesystem::path& programFolder,
                                          const std::string& host, offsite::ResticRunner& restic,
                                          const std::function<bool()>& stopRequested);

}  // namespace zorva::velmoro
