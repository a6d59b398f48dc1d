#pragma once
// The agent's host session: the FTP session with the agent's host profile, its progress texts
// sent to a status line and its own reports (failures, "ホストに接続しました") written to the
// daily log, as the agent does with its last error text.

#include <memory>

#include "common/Reporter.h"
#include "common/Settings.h"
#include "common/Waiter.h"
#include "common/host/HostFactory.h"

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

// The agent's FTP session. The dialogs, the scheduler and the administrator's commands take a
// factory, so that tests can hand them a scripted host.
HostFactory SessionHostFactory();

// The connection of one host task made by `factory`, reporting to `reporter` through an
// AgentHostObserver that lives as long as the connection.
std::shared_ptr<HostConnection> MakeAgentHost(const HostFactory& factory, const Settings& settings,
                                              Waiter& waiter, Reporter& reporter);

}  // namespace zorva::velmoro
