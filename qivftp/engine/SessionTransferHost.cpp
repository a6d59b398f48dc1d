#include "qivftp/engine/SessionTransferHost.h"

#include "common/host/HostSession.h"

namespace zorva::qivftp {
namespace {

HostResult ToResult(HostStatus status) {
    switch (status) {
        case HostStatus::Ok:
            return HostResult::Ok;
        case HostStatus::Interrupted:
            return HostResult::Interrupted;
        case HostStatus::Failed:
            break;
    }
    return HostResult::Failed;
}

RetryPolicy ToPolicy(Attempts attempts) { return RetryPolicy{attempts.count, attempts.pause}; }

// Progress shows in the status line (and, where marked, in the log); reports in both.
class OutputObserver final : public HostSessionObserver {
public:
    explicit OutputObserver(Reporter& output) : output_(output) {}
    void OnHostProgress(const HostProgress& progress) override {
        if (!progress.status.empty()) output_.Status(progress.status);
        if (!progress.log.empty()) output_.Message(progress.log);
    }
    void OnHostReport(const std::string& text) override { output_.MessageAndStatus(text); }

private:
    Reporter& output_;
};

class SessionTransferHost final : public TransferHost {
public:
    SessionTransferHost(const Settings& settings, Waiter& waiter, Reporter& output)
        : observer_(output),
          session_(Program::TransferAgent,
                   HostEndpoint{settings.HostAddress, settings.HostPort, settings.User,
                                settings.Password},
                   waiter, observer_) {}

    HostResult Open() override { return ToResult(session_.Open()); }
    HostResult ChangeLibrary(const std::string& library, Attempts attempts) override {
        return ToResult(session_.SetCurrentLibrary(library, ToPolicy(attempts)));
    }
    HostResult PutText(const std::filesystem::path& local, const std::string& remote) override {
        return ToResult(session_.PutFile(local, remote, TransferType::Ascii));
    }
    HostResult Command(const std::string& command, Attempts attempts) override {
        return ToResult(session_.Command(command, ToPolicy(attempts)));
    }
    std::vector<std::string> LastReplyLines() const override { return session_.LastReplyLines(); }
    HostResult Get(const std::string& remote, const std::filesystem::path& local, bool binary,
                   Attempts attempts) override {
        return ToResult(session_.GetFile(remote, local,
                                         binary ? TransferType::Binary : TransferType::Ascii,
                                         ToPolicy(attempts)));
    }
    HostResult Delete(const std::string& remote) override {
        return ToResult(session_.DeleteFile(remote));
    }
    void Close() override { session_.Close(); }

private:
    OutputObserver observer_;
    HostSession session_;
};

}  // namespace

HostFactory SessionTransferHostFactory() {
    return [](const Settings& settings, Waiter& waiter,
              Reporter& output) -> std::unique_ptr<TransferHost> {
        return std::make_unique<SessionTransferHost>(settings, waiter, output);
    };
}

}  // namespace zorva::qivftp
