// Settings read from any zorva.ini keep their widths, and what the agent writes back from
// them reads back the same (but for blanks a cut left at a value's end); after one write,
// writing and reading change nothing.

#include <filesystem>
#include <string>

#include "common/Codec.h"
#include "common/FileIo.h"
#include "common/Settings.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using zorva::Settings;

bool Fits(const std::string& utf8, std::size_t width) {
    return zorva::ToCp932(utf8).size() <= width;
}

void CheckWidths(const Settings& s, bool agent) {
    FUZZ_CHECK(Fits(s.BackupSetFolder, agent ? 63 : 19));
    FUZZ_CHECK(Fits(s.BaseDir, 256));
    FUZZ_CHECK(Fits(s.TermId, 10));
    FUZZ_CHECK(Fits(s.Version, 9));
    FUZZ_CHECK(Fits(s.MailAddress, 127) && Fits(s.Smtp, 127) && Fits(s.MailFrom, 127));
    FUZZ_CHECK(Fits(s.HostAddress, 15) && Fits(s.User, 10) && Fits(s.JobQueue, 29));
    FUZZ_CHECK(s.Password.size() <= 10);
    FUZZ_CHECK(s.HostPort > 0 && s.HostPort < 65536);
    FUZZ_CHECK(s.MailPort >= 0 && s.MailPort < 65536);
    FUZZ_CHECK(s.MailActive == 0 || s.MailActive == 1);
    FUZZ_CHECK(s.DetailLog == 0 || s.DetailLog == 1);
}

// A value cut to its width may end in a blank that reading a written file then trims.
Settings WithoutTrailingBlanks(Settings s) {
    for (std::string* text : {&s.BackupSetFolder, &s.BaseDir, &s.TermId, &s.Version, &s.MailAddress,
                              &s.Smtp, &s.MailFrom, &s.HostAddress, &s.User, &s.JobQueue}) {
        while (!text->empty() && (text->back() == ' ' || text->back() == '\t')) text->pop_back();
    }
    return s;
}

bool Same(const Settings& a, const Settings& b) {
    return a.BackupSetFolder == b.BackupSetFolder && a.BaseDir == b.BaseDir &&
           a.TermId == b.TermId && a.Version == b.Version && a.MailAddress == b.MailAddress &&
           a.Smtp == b.Smtp && a.MailFrom == b.MailFrom && a.HostAddress == b.HostAddress &&
           a.User == b.User && a.Password == b.Password && a.JobQueue == b.JobQueue &&
           a.MailActive == b.MailActive && a.DetailLog == b.DetailLog &&
           a.MonitorInterval == b.MonitorInterval && a.HostPort == b.HostPort &&
           a.MailPort == b.MailPort;
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
    const Settings agent = zorva::ReadSettings(IniPath(), zorva::Program::Agent);
    CheckWidths(agent, true);
    CheckWidths(zorva::ReadSettings(IniPath(), zorva::Program::TransferAgent), false);
    if (!RoundTripApplies(bytes, agent.Password)) return 0;
    FUZZ_CHECK(zorva::WriteSettings(IniPath(), agent));
    const Settings written = zorva::ReadSettings(IniPath(), zorva::Program::Agent);
    FUZZ_CHECK(Same(WithoutTrailingBlanks(written), WithoutTrailingBlanks(agent)));
    // From then on writing and reading change nothing.
    FUZZ_CHECK(zorva::WriteSettings(IniPath(), written));
    FUZZ_CHECK(Same(zorva::ReadSettings(IniPath(), zorva::Program::Agent), written));
    return 0;
}
