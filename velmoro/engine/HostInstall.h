#pragma once
// The host module installation: the save file ZORVAV3 of the program folder goes up to
// QGPL/ZORVAV3, library ZORVAV3 is restored from it, the exchange libraries are made afresh
// (emptied when they exist) and zorva.ini records that the host side is installed.

#include <array>
#include <filesystem>
#include <string_view>

#include "common/Reporter.h"
#include "common/host/HostConnection.h"
#include "velmoro/engine/HostTaskResult.h"

namespace zorva::velmoro {

inline constexpr std::string_view kModuleFileName = "ZORVAV3";
inline constexpr std::array<std::string_view, 3> kExchangeLibraries = {"ZORVADATA", "ZORVARST",
                                                                       "ZORVALOGLB"};

// The host steps on an open connection. Closes the connection after a failure. Writes the
// completion text to the daily log (reporter's Message).
HostTaskResult InstallHostModules(HostConnection& host, const std::filesystem::path& programFolder,
                                  Reporter& reporter);

// Opens the connection, installs, closes it and writes the install flag. A module file
// missing from the program folder fails before the host is touched.
HostTaskResult RunHostInstallation(HostConnection& host, const std::filesystem::path& programFolder,
                                   Reporter& reporter);

}  // namespace zorva::velmoro
