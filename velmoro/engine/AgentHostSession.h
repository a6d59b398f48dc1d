#pragma once
// The agent's host session: the FTP session with the agent's retry counts and texts, its
// progress texts sent to a status line and its own reports (failures, "ホストに接続しました")
// written to the daily log, as the agent does with its last error text.

#include <functional>
#include <memory>

#include "common/Reporter.h"
#include "common/Settings.h"
#include "common/Waiter.h"
#include "common/host/HostSession.h"

namespace zorva::velmoro {

// Forwards the session's texts to a reporter: progress to Status, reports to Message (the
// daily log) and Status. The password never passes through here: the session reports only
// addresses, commands and local paths.
class AgentHostObserver final : public HostSessionObserver {
public:
    explicit AgentHostObserver(Reporter& reporter) : reporter_(reporter) {}
    void OnHostProgress(const HostProgress& progress) override;
    void OnHostReport(const std::string& text) override;

private:
    Reporter& reporter_;
};

// Where and as whom the agent logs on, from its settings.
HostEndpoint AgentEndpoint(const Settings& settings);

// A session and its observer, kept together so that the observer outlives the session.
class AgentHostSession {
public:
    AgentHostSession(const Settings& settings, Waiter& waiter, Reporter& reporter)
        : observer_(reporter),
          session_(Program::Agent, AgentEndpoint(settings), waiter, observer_) {}

    HostSession& Connection() { return session_; }

private:
    AgentHostObserver observer_;
    HostSession session_;
};

// Makes the host connection of one host task. The dialogs and the administrator's commands
// take one, so that tests can hand them a scripted host.
using AgentHostFactory = std::function<std::shared_ptr<HostConnection>(
    const Settings& settings, Waiter& waiter, Reporter& reporter)>;

// The agent's FTP session, reporting to `reporter`.
std::shared_ptr<HostConnection> MakeAgentHost(const Settings& settings, Waiter& waiter,
                                              Reporter& reporter);

}  // namespace zorva::velmoro
