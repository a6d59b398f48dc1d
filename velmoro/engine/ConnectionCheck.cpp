#include "velmoro/engine/ConnectionCheck.h"

#include <system_error>

#include "common/Codec.h"
#include "common/TextFields.h"
#include "velmoro/engine/ObjectEditor.h"

namespace zorva::velmoro {
namespace {

namespace fs = std::filesystem;

class Failures {
public:
    explicit Failures(ConnectionCheck& check) : check_(check) {}
    void Add(ConnectionField field, std::string message, bool selectAll = false) {
        if (!check_.Ok) return;
        check_ = {false, std::move(message), field, selectAll};
    }

private:
    ConnectionCheck& check_;
};

// Pasted text is not filtered while typed; here it must be made only of the edit's
// characters (lower case taken as upper case), or it counts as missing.
std::string Accepted(std::string text, std::string_view allowed) {
    return NormalizeName(text, allowed) ? text : std::string();
}

fs::path Resolved(const fs::path& path, const fs::path& programFolder) {
    fs::path absolute = path.is_absolute() ? path : programFolder / path;
    absolute = absolute.lexically_normal();
    if (!absolute.has_filename() && absolute.has_parent_path() && absolute != absolute.root_path())
        absolute = absolute.parent_path();
    return absolute;
}

// The program folder spelled another way ("/prog/", "/prog/.", a link to it) is still the
// program folder: saved data must never land among the program's own files.
bool IsProgramFolder(const std::string& text, const fs::path& programFolder) {
    if (text == programFolder.string()) return true;
    const fs::path typed = Resolved(text, programFolder);
    const fs::path program = Resolved(programFolder, programFolder);
    if (typed == program) return true;
    std::error_code ec;
    return fs::equivalent(typed, program, ec);
}

void CheckBaseDir(const std::string& text, const fs::path& programFolder, Settings& settings,
                  Failures& failures) {
    constexpr const char* kInvalid = "保管用ベースディレクトリの指定が不正です";
    if (text.empty()) return failures.Add(ConnectionField::BaseDir, kInvalid, true);
    if (IsProgramFolder(text, programFolder))
        return failures.Add(ConnectionField::BaseDir,
                            "保管用ベースディレクトリがプログラム保管ディレクトリと同一です", true);
    const std::string folder = text.back() == '/' ? text : text + "/";
    std::error_code ec;
    // A longer path would come back cut from zorva.ini and name another folder.
    if (Cp932Width(folder) > kBaseDirWidth ||
        !fs::is_directory(Resolved(folder, programFolder), ec))
        return failures.Add(ConnectionField::BaseDir, kInvalid, true);
    settings.BaseDir = folder;
}

void CheckMail(const ConnectionEntries& entries, Settings& settings, Failures& failures) {
    if (!entries.MailActive) {
        settings.MailActive = 0;
        return;
    }
    settings.MailActive = 1;
    settings.MailAddress = CutToCp932Width(entries.MailAddress, kMailFieldLength);
    settings.MailFrom = CutToCp932Width(entries.MailFrom, kMailFieldLength);
    settings.Smtp = CutToCp932Width(entries.Smtp, kMailFieldLength);
    constexpr const char* kRequired = "メール送信を選択した場合。項目は入力必須です";
    if (entries.MailAddress.empty()) return failures.Add(ConnectionField::MailAddress, kRequired);
    if (entries.Smtp.empty()) return failures.Add(ConnectionField::Smtp, kRequired);
    if (entries.MailFrom.empty()) return failures.Add(ConnectionField::MailFrom, kRequired);
}

}  // namespace

ConnectionEntries EntriesFrom(const Settings& s) {
    ConnectionEntries entries;
    entries.TermId = s.TermId;
    entries.BaseDir = s.BaseDir;
    entries.HostAddress = s.HostAddress;
    entries.User = s.User;
    entries.Password = s.Password;
    entries.JobQueue = s.JobQueue;
    entries.MailActive = s.MailActive == 1;
    if (entries.MailActive) {
        entries.MailAddress = s.MailAddress;
        entries.Smtp = s.Smtp;
        entries.MailFrom = s.MailFrom;
    }
    entries.DetailLog = s.DetailLog == 1;
    return entries;
}

bool AddressLooksValid(std::string_view text) {
    const auto groups = SplitRuns(text, ".");
    if (groups.size() < 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (groups[i].size() > 3) return false;
    return true;
}

ConnectionCheck CheckConnectionSettings(const ConnectionEntries& entries,
                                        const fs::path& programFolder, Settings& settings) {
    ConnectionCheck check;
    Failures failures(check);

    if (std::string termId = Accepted(entries.TermId, kTerminalCharacters); termId.empty())
        failures.Add(ConnectionField::TermId, "端末ＩＤは入力必須です");
    else
        settings.TermId = termId;

    // An address zorva.ini cannot hold whole is no better than a malformed one.
    const std::string address = Accepted(entries.HostAddress, kAddressCharacters);
    if (AddressLooksValid(address) && address.size() <= kHostAddressWidth)
        settings.HostAddress = address;

    if (std::string user = Accepted(entries.User, kNameCharacters); !user.empty())
        settings.User = user;

    if (std::string password = Accepted(entries.Password, kNameCharacters); password.empty())
        failures.Add(ConnectionField::Password, "パスワードを入力してください");
    else
        settings.Password = password;

    if (std::string queue = Accepted(entries.JobQueue, kTerminalCharacters); queue.empty())
        failures.Add(ConnectionField::JobQueue, "ＪＯＢＱを入力してください");
    else
        settings.JobQueue = queue;

    CheckBaseDir(entries.BaseDir, programFolder, settings, failures);
    CheckMail(entries, settings, failures);
    settings.DetailLog = entries.DetailLog ? 1 : 0;
    return check;
}

}  // namespace zorva::velmoro
