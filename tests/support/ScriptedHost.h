#pragma once
// A host connection for engine tests: records every operation, keeps uploaded and downloadable
// files in memory (named "LIBRARY/FILE"), and answers each operation Ok unless a test scripted
// another outcome for it.

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "common/Sha256.h"
#include "common/host/HostConnection.h"

namespace zorva::test {

class ScriptedHost final : public HostConnection {
public:
    enum class Op { Open, Command, SetCurrentLibrary, PutFile, GetFile, DeleteFile, List, Close };

    struct Call {
        Op op;
        std::string argument;  // the command, library or remote name as given
        std::string library;   // the current library at the time of the call
        std::optional<RetryPolicy> retry;
    };

    // Outcomes for the next calls of `op`, used up in order; after them every call is Ok.
    void Script(Op op, std::vector<HostStatus> outcomes) {
        std::lock_guard lock(mutex_);
        auto& queue = scripted_[op];
        queue.insert(queue.end(), outcomes.begin(), outcomes.end());
    }
    // Called before each operation is answered; a value overrides the scripted outcome. It may
    // change the host's files (a host job writing its list while the engine waits).
    std::function<std::optional<HostStatus>(const Call&)> react;

    // "LIBRARY/FILE" -> content. GetFile serves these; PutFile stores into them.
    std::map<std::string, std::string> files;
    // Library -> entry names answered by List.
    std::map<std::string, std::vector<std::string>> listings;
    // What LastReplyLines() answers after a failed operation.
    std::vector<std::string> replyLines;

    std::vector<Call> Calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    // The arguments of every call of `op`, in order.
    std::vector<std::string> Arguments(Op op) const {
        std::vector<std::string> result;
        for (const Call& call : Calls())
            if (call.op == op) result.push_back(call.argument);
        return result;
    }
    std::string Qualified(std::string_view name) const {
        if (name.find('/') != std::string_view::npos) return std::string(name);
        return current_ + "/" + std::string(name);
    }

    HostStatus Open(std::optional<RetryPolicy> retry = std::nullopt) override {
        HostStatus status = Answer(Op::Open, {}, retry);
        open_ = status == HostStatus::Ok;
        return status;
    }
    HostStatus Command(std::string_view command,
                       std::optional<RetryPolicy> retry = std::nullopt) override {
        return Answer(Op::Command, std::string(command), retry);
    }
    HostStatus SetCurrentLibrary(std::string_view library,
                                 std::optional<RetryPolicy> retry = std::nullopt) override {
        HostStatus status = Answer(Op::SetCurrentLibrary, std::string(library), retry);
        if (status == HostStatus::Ok) current_ = std::string(library);
        return status;
    }
    HostStatus PutFile(const std::filesystem::path& localPath, std::string_view remoteName,
                       TransferType, std::optional<RetryPolicy> retry = std::nullopt) override {
        HostStatus status = Answer(Op::PutFile, std::string(remoteName), retry);
        if (status != HostStatus::Ok) return status;
        std::ifstream in(localPath, std::ios::binary);
        if (!in) return HostStatus::Failed;
        files[Qualified(remoteName)].assign(std::istreambuf_iterator<char>(in), {});
        return status;
    }
    HostStatus GetFile(std::string_view remoteName, const std::filesystem::path& localPath,
                       TransferType type,
                       std::optional<RetryPolicy> retry = std::nullopt) override {
        downloadSha256_.reset();
        HostStatus status = Answer(Op::GetFile, std::string(remoteName), retry);
        if (status != HostStatus::Ok) return status;
        auto file = files.find(Qualified(remoteName));
        if (file == files.end()) return HostStatus::Failed;
        std::ofstream out(localPath, std::ios::binary | std::ios::trunc);
        out << file->second;
        if (!out) return HostStatus::Failed;
        if (type == TransferType::Ascii) return HostStatus::Ok;
        Sha256 hash;
        hash.Update(file->second.data(), file->second.size());
        downloadSha256_ = hash.HexDigest();
        return HostStatus::Ok;
    }
    std::optional<std::string> LastDownloadSha256() const override { return downloadSha256_; }
    HostStatus DeleteFile(std::string_view remoteName,
                          std::optional<RetryPolicy> retry = std::nullopt) override {
        HostStatus status = Answer(Op::DeleteFile, std::string(remoteName), retry);
        if (status != HostStatus::Ok) return status;
        return files.erase(Qualified(remoteName)) ? HostStatus::Ok : HostStatus::Failed;
    }
    HostStatus List(std::string_view library, std::vector<std::string>& names,
                    std::optional<RetryPolicy> retry = std::nullopt) override {
        HostStatus status = Answer(Op::List, std::string(library), retry);
        if (status == HostStatus::Ok) names = listings[std::string(library)];
        return status;
    }
    void Close() override {
        Answer(Op::Close, {}, std::nullopt);
        open_ = false;
    }
    bool IsOpen() const override { return open_; }
    const std::vector<std::string>& LastReplyLines() const override { return replyLines; }

private:
    HostStatus Answer(Op op, std::string argument, std::optional<RetryPolicy> retry) {
        Call call{op, std::move(argument), current_, retry};
        HostStatus status = HostStatus::Ok;
        {
            std::lock_guard lock(mutex_);
            calls_.push_back(call);
            auto& queue = scripted_[op];
            if (!queue.empty()) {
                status = queue.front();
                queue.pop_front();
            }
        }
        if (react)
            if (std::optional<HostStatus> reaction = react(call)) status = *reaction;
        return status;
    }

    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::map<Op, std::deque<HostStatus>> scripted_;
    std::string current_;
    bool open_ = false;
    std::optional<std::string> downloadSha256_;
};

}  // namespace zorva::test
