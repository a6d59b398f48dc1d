#include "velmoro/engine/ConnectionCheck.h"

#include <system_error>

#include "common/Codec.h"
#include "common/TextFields.h"
#include "common/offsite/Restic.h"
#include "velmoro/engine/ObjectEditor.h"

namespace zorva::velmoro {
namespace {

namespace fs = std::filesystem;

class Failures {
public:
    explicit Failures(ConnectionCheck& check) : check_(check) {}
    void Add(ConnectionField field, std::string message, bool selectAll = false) {
        if (!check_.ok) return;
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
    settings.baseDir = folder;
}

void CheckMail(const ConnectionEntries& entries, Settings& settings, Failures& failures) {
    settings.mailActive = entries.mailActive;
    if (!entries.mailActive) return;
    settings.mailAddress = CutToCp932Width(entries.mailAddress, kMailFieldLength);
    settings.mailFrom = CutToCp932Width(entries.mailFrom, kMailFieldLength);
    settings.smtp = CutToCp932Width(entries.smtp, kMailFieldLength);
    settings.mailTls = entries.mailTls;
    settings.mailCaFile = entries.mailCaFile;
    settings.mailUser = CutToCp932Width(entries.mailUser, kMailFieldLength);
    settings.mailPassword = CutToCp932Width(entries.mailPassword, kMailFieldLength);
    constexpr const char* kRequired = "メール送信を選択した場合。項目は入力必須です";
    if (entries.mailAddress.empty()) return failures.Add(ConnectionField::MailAddress, kRequired);
    if (entries.smtp.empty()) return failures.Add(ConnectionField::Smtp, kRequired);
    if (entries.mailFrom.empty()) return failures.Add(ConnectionField::MailFrom, kRequired);
}

void CheckHostTls(const ConnectionEntries& entries, Settings& settings, Failures& failures) {
    settings.hostTls = entries.hostTls;
    settings.hostCaFile = entries.hostCaFile;
    if (!entries.hostPinnedKey.empty() && !PinnedKeyLooksValid(entries.hostPinnedKey))
        return failures.Add(ConnectionField::PinnedKey,
                            "PINNEDKEYはsha256//に続くBase64（44文字）で入力してください", true);
    settings.hostPinnedKey = entries.hostPinnedKey;
}

// A repository is taken only with a password file restic may use; the files' modes are
// checked here as the transfer agent checks them before each copy.
void CheckOffsite(const ConnectionEntries& entries, const std::filesystem::path& programFolder,
                  Settings& settings, Failures& failures) {
    OffsiteSettings offsite{entries.offsiteRepository, entries.offsitePasswordFile,
                            entries.offsiteEnvFile, std::nullopt};
    if (!entries.offsiteKeep.empty()) {
        const int keep = ParseDecimal(entries.offsiteKeep);
        if (keep <= 0 || entries.offsiteKeep.find_first_not_of("0123456789") != std::string::npos)
            return failures.Add(ConnectionField::OffsiteKeep, "KEEPは1以上の数で入力してください",
                                true);
        offsite.keep = keep;
    }
    if (offsite.Enabled()) {
        if (const auto access = offsite::OpenResticAccess(offsite, programFolder); !access)
            return failures.Add(ConnectionField::OffsitePasswordFile, access.error().text);
    }
    settings.offsite = offsite;
}

}  // namespace

bool PinnedKeyLooksValid(std::string_view text) {
    constexpr std::string_view kPrefix = "sha256//";
    if (text.substr(0, kPrefix.size()) != kPrefix) return false;
    text.remove_prefix(kPrefix.size());
    // 32 bytes in base64: 43 characters of the alphabet and one '=' of padding.
    if (text.size() != 44 || text.back() != '=') return false;
    constexpr std::string_view kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    return text.find_first_not_of(kAlphabet) == 43;
}

ConnectionEntries EntriesFrom(const Settings& s) {
    ConnectionEntries entries;
    entries.termId = s.termId;
    entries.baseDir = s.baseDir;
    entries.hostAddress = s.hostAddress;
    entries.user = s.user;
    entries.password = s.password;
    entries.jobQueue = s.jobQueue;
    entries.mailActive = s.mailActive;
    if (entries.mailActive) {
        entries.mailAddress = s.mailAddress;
        entries.smtp = s.smtp;
        entries.mailFrom = s.mailFrom;
        entries.mailTls = s.mailTls;
        entries.mailCaFile = s.mailCaFile;
        entries.mailUser = s.mailUser;
        entries.mailPassword = s.mailPassword;
    }
    entries.detailLog = s.detailLog;
    entries.hostTls = s.hostTls;
    entries.hostCaFile = s.hostCaFile;
    entries.hostPinnedKey = s.hostPinnedKey;
    entries.offsiteRepository = s.offsite.repository;
    entries.offsitePasswordFile = s.offsite.passwordFile;
    entries.offsiteEnvFile = s.offsite.envFile;
    entries.offsiteKeep = s.offsite.keep ? std::to_string(*s.offsite.keep) : "";
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

    if (std::string termId = Accepted(entries.termId, kTerminalCharacters); termId.empty())
        failures.Add(ConnectionField::TermId, "端末ＩＤは入力必須です");
    else
        settings.termId = termId;

    // An address zorva.ini cannot hold whole is no better than a malformed one.
    const std::string address = Accepted(entries.hostAddress, kAddressCharacters);
    if (AddressLooksValid(address) && address.size() <= kHostAddressWidth)
        settings.hostAddress = address;

    if (std::string user = Accepted(entries.user, kNameCharacters); !user.empty())
        settings.user = user;

    if (std::string password = Accepted(entries.password, kNameCharacters); password.empty())
        failures.Add(ConnectionField::Password, "パスワードを入力してください");
    else
        settings.password = password;

    if (std::string queue = Accepted(entries.jobQueue, kTerminalCharacters); queue.empty())
        failures.Add(ConnectionField::JobQueue, "ＪＯＢＱを入力してください");
    else
        settings.jobQueue = queue;

    CheckBaseDir(entries.baseDir, programFolder, settings, failures);
    CheckMail(entries, settings, failures);
    CheckHostTls(entries, settings, failures);
    CheckOffsite(entries, programFolder, settings, failures);
    settings.detailLog = entries.detailLog;
    return check;
}

}  // namespace zorva::velmoro
