// Settings read from any zorva.ini keep their widths, and what the agent writes back from
// them reads back the same (but for blanks a cut left at a value's end); after one write,
// writing and reading change nothing.

#include <filesystem>
#include <string>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/Settings.h"
#include "qivftp/engine/TransferCommonFiles.h"
#include "tests/fuzz/FuzzCheck.h"
#include "velmoro/engine/AgentCommonFiles.h"

namespace {

using zorva::Settings;

bool Fits(const std::string& utf8, std::size_t width) {
    return zorva::ToCp932(utf8).size() <= width;
}

void CheckWidths(const Settings& s, bool agent) {
    FUZZ_CHECK(Fits(s.backupSetFolder, agent ? 63 : 19));
    FUZZ_CHECK(Fits(s.baseDir, 256));
    FUZZ_CHECK(Fits(s.termId, 10));
    FUZZ_CHECK(Fits(s.version, 9));
    FUZZ_CHECK(Fits(s.mailAddress, 127) && Fits(s.smtp, 127) && Fits(s.mailFrom, 127));
    FUZZ_CHECK(Fits(s.hostAddress, 15) && Fits(s.user, 10) && Fits(s.jobQueue, 29));
    FUZZ_CHECK(s.password.size() <= 10);
    FUZZ_CHECK(s.hostPort > 0 && s.hostPort < 65536);
    FUZZ_CHECK(s.mailPort >= 0 && s.mailPort < 65536);
}

// A value cut to its width may end in a blank that reading a written file then trims.
Settings WithoutTrailingBlanks(Settings s) {
    for (std::string* text : {&s.backupSetFolder, &s.baseDir, &s.termId, &s.version, &s.mailAddress,
                              &s.smtp, &s.mailFrom, &s.hostAddress, &s.user, &s.jobQueue}) {
        while (!text->empty() && (text->back() == ' ' || text->back() == '\t')) text->pop_back();
    }
    return s;
}

bool Same(const Settings& a, const Settings& b) {
    return a.backupSetFolder == b.backupSetFolder && a.baseDir == b.baseDir &&
           a.termId == b.termId && a.version == b.version && a.mailAddress == b.mailAddress &&
           a.smtp == b.smtp && a.mailFrom == b.mailFrom && a.hostAddress == b.hostAddress &&
           a.user == b.user && a.password == b.password && a.jobQueue == b.jobQueue &&
           a.mailActive == b.mailActive && a.detailLog == b.detailLog &&
           a.monitorInterval == b.monitorInterval && a.hostPort == b.hostPort &&
           a.mailPort == b.mailPort;
}

// Outside what the agent ever writes, and so outside the round trip: a CR that does not end a
// line (the dialogs' edits take no line breaks), and a password byte whose stored, complemented
// form is CR or LF (the connection dialog admits only ASCII names).
bool RoundTripApplies(std::string_view bytes, const std::string& password) {
    for (std::size_t cr = bytes.find('\r'); cr != std::string_view::npos;
         cr = bytes.find('\r', cr + 1)) {
        if (cr + 1 < bytes.size() && bytes[cr + 1] != '\n') return false;
    }
    return password.find('\xF2') == std::string::npos && password.find('\xF5') == std::string::npos;
}

const std::filesystem::path& IniPath() {
    static const FuzzScratchFile file("settings");
    return file.path();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (!zorva::WriteFileAtomically(IniPath(), bytes)) return 0;
    const Settings agent = *zorva::ReadSettings(IniPath(), zorva::velmoro::kAgentSettings);
    CheckWidths(agent, true);
    CheckWidths(*zorva::ReadSettings(IniPath(), zorva::qivftp::kTransferSettings), false);
    if (!RoundTripApplies(bytes, agent.password)) return 0;
    FUZZ_CHECK(zorva::WriteSettings(IniPath(), agent));
    const Settings written = *zorva::ReadSettings(IniPath(), zorva::velmoro::kAgentSettings);
    FUZZ_CHECK(Same(WithoutTrailingBlanks(written), WithoutTrailingBlanks(agent)));
    // From then on writing and reading change nothing.
    FUZZ_CHECK(zorva::WriteSettings(IniPath(), written));
    FUZZ_CHECK(Same(*zorva::ReadSettings(IniPath(), zorva::velmoro::kAgentSettings), written));
    return 0;
}
