#include "velmoro/engine/HostInstall.h"

#include <string>
#include <system_error>
#include <vector>

#include "common/Settings.h"
#include "common/host/HostTexts.h"
#include "velmoro/engine/AgentHostProfile.h"

namespace zorva::velmoro {
namespace {

constexpr const char* kInstalled = "ホストモジュールのインストール完了";
constexpr RetryPolicy kSingleAttempt{1, std::chrono::milliseconds(1000)};

const std::array<std::string_view, 5> kInstallCommands = {
    "RCMD RSTLIB SAVLIB(ZORVAV3) DEV(*SAVF) SAVF(QGPL/ZORVAV3)",
    "RCMD CRTLIB LIB(ZORVADATA)",
    "RCMD CRTLIB LIB(ZORVARST)",
    "RCMD CRTLIB LIB(ZORVALOGLB)",
    "RCMD DLTF FILE(QGPL/ZORVAV3)",
};

std::string UploadFailure(const std::filesystem::path& local) {
    return *HostUploadFailureText(kAgentHostProfile, local.string());
}

// One step's status as the installation's outcome; Ok goes on.
HostTaskResult Failed(HostConnection& host, HostStatus status, std::string text) {
    host.Close();
    if (status == HostStatus::Interrupted) return HostTaskResult::Stopped();
    return HostTaskResult::Failure(std::move(text));
}

bool SaveFileListed(HostConnection& host) {
    std::vector<std::string> names;
    if (host.List("QGPL", names) != HostStatus::Ok) return false;
    for (const std::string& name : names)
        if (name.find(kModuleFileName) != std::string::npos) return true;
    return false;
}

HostStatus SendCommand(HostConnection& host, std::string_view command, std::string& failure) {
    const HostStatus status = host.Command(command);
    if (status != HostStatus::Ok) failure = HostCommandFailureText(kAgentHostProfile, command);
    return status;
}

// An exchange library that exists is deleted with everything in it; QSYS is made current
// first because the host will not delete the current library.
HostStatus DeleteExchangeLibraries(HostConnection& host, std::string& failure) {
    for (std::string_view library : kExchangeLibraries) {
        const HostStatus exists = host.SetCurrentLibrary(library, kSingleAttempt);
        if (exists == HostStatus::Interrupted) return exists;
        if (exists != HostStatus::Ok) continue;
        if (host.SetCurrentLibrary("QSYS", kSingleAttempt) == HostStatus::Interrupted)
            return HostStatus::Interrupted;
        const std::string command = "RCMD DLTLIB LIB(" + std::string(library) + ")";
        if (HostStatus s = SendCommand(host, command, failure); s != HostStatus::Ok) return s;
    }
    return HostStatus::Ok;
}

}  // namespace

HostTaskResult InstallHostModules(HostConnection& host, const std::filesystem::path& programFolder,
                                  Reporter& reporter) {
    const auto module = programFolder / kModuleFileName;
    std::string failure;
    if (!SaveFileListed(host)) {
        if (HostStatus s = SendCommand(host, "RCMD CRTSAVF QGPL/ZORVAV3", failure);
            s != HostStatus::Ok)
            return Failed(host, s, failure);
    }
    if (HostStatus s = host.PutFile(module, "QGPL/ZORVAV3", TransferType::Binary);
        s != HostStatus::Ok)
        return Failed(host, s, UploadFailure(module));
    if (HostStatus s = DeleteExchangeLibraries(host, failure); s != HostStatus::Ok)
        return Failed(host, s, failure);
    for (std::string_view command : kInstallCommands)
        if (HostStatus s = SendCommand(host, command, failure); s != HostStatus::Ok)
            return Failed(host, s, failure);
    reporter.Message(kInstalled);
    return HostTaskResult::Success(kInstalled);
}

HostTaskResult RunHostInstallation(HostConnection& host, const std::filesystem::path& programFolder,
                                   Reporter& reporter) {
    const auto module = programFolder / kModuleFileName;
    std::error_code ec;
    // Without the module there is nothing to install: say so before the host is changed.
    if (!std::filesystem::is_regular_file(module, ec)) {
        const std::string text = UploadFailure(module);
        reporter.Message(text);
        return HostTaskResult::Failure(text);
    }
    switch (host.Open()) {
        case HostStatus::Ok:
            break;
        case HostStatus::Interrupted:
            return HostTaskResult::Stopped();
        case HostStatus::Failed:
            return HostTaskResult::Failure(HostConnectFailureText());
    }
    HostTaskResult result = InstallHostModules(host, programFolder, reporter);
    if (!result.ok) return result;
    host.Close();
    // The host is installed either way; a flag that cannot be stored must not pass unseen,
    // or the next start would lock the window again with no word why.
    const auto ini = SettingsPath(programFolder);
    if (!WriteInstallFlag(ini).has_value()) {
        const std::string text = ini.string() + ":書込みに失敗しました";
        reporter.Message(text);
        return HostTaskResult::Failure(text);
    }
    return result;
}

}  // namespace zorva::velmoro
