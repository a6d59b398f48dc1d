#pragma once
// The connection settings "SETUP" ("接続設定"): terminal ID, base folder, host log-on, job
// queue, the report mail and the detailed log, and the host module installation.
//
// Ends Registered when "登録" accepted the entries (Result() then holds the settings to write),
// Cancelled on "キャンセル" and Escaped on Esc or the close box; the caller's settings stay
// untouched unless it takes Result(). The installation runs on a worker thread with the status line
// showing its progress; it is refused while a transfer agent runs.

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>

#include "common/InstanceLock.h"
#include "common/Program.h"
#include "common/Settings.h"
#include "common/host/HostCertificate.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/QueuedReporter.h"
#include "common/ui/TaskRunner.h"
#include "velmoro/engine/AgentHostSession.h"
#include "velmoro/engine/ConnectionCheck.h"
#include "velmoro/engine/HostTaskResult.h"
#include "velmoro/engine/OffsiteSetup.h"
#include "velmoro/ui/DialogEnd.h"

class QLineEdit;

namespace Ui {
class ConnectionDialog;
}

namespace zorva::velmoro {

class ConnectionDialog : public QDialog {
    Q_OBJECT
public:
    // `transferRunning` tells whether the agent has a transfer agent running; `boxes` asks the
    // user (real message boxes without one).
    ConnectionDialog(const ProgramContext& context, const Settings& current,
                     std::function<bool()> transferRunning, QWidget* parent = nullptr,
                     ui::MessageBoxes* boxes = nullptr);
    ~ConnectionDialog() override;

    // The settings as accepted; valid after the dialog ended Registered.
    Settings Result() const { return settings_; }

    // The host of the installation; the agent's FTP session unless a test gives another.
    void SetHostFactory(HostFactory factory) { hostFactory_ = std::move(factory); }
    // Picks the base folder (title, start folder) -> folder or empty; the platform's folder
    // dialog unless a test gives another.
    using FolderChooser =
        std::function<QString(QWidget* owner, const QString& title, const QString& start)>;
    void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }

    void reject() override;

Q_SIGNALS:
    // The host module was installed: the main window unlocks.
    void hostModuleInstalled();

private:
    void ShowEntries(const ConnectionEntries& entries);
    ConnectionEntries Entries() const;
    bool CheckEntries();
    QLineEdit* EditFor(ConnectionField field) const;
    void MailToggled(bool on);
    void Register();
    void Browse();
    void Clear();
    void Install();
    void InstallEnded();
    void CheckCertificate();
    void CertificateChecked();
    // 初期化 and 接続確認 of the off-site group, with the entries as they stand.
    void StartOffsite(bool initialise);
    void OffsiteEnded();
    void TaskEnded();
    void SetBusy(bool busy);
    void Tell(const QString& caption, const QString& text);

    std::unique_ptr<Ui::ConnectionDialog> ui_;
    ProgramContext context_;
    Settings settings_;
    std::function<bool()> transferRunning_;
    std::unique_ptr<ui::MessageBoxes> ownBoxes_;
    ui::MessageBoxes& boxes_;
    HostFactory hostFactory_;
    FolderChooser chooseFolder_;

    ui::QueuedReporter status_;
    // Held while the installation runs: no transfer agent may start in the libraries it
    // empties.
    std::unique_ptr<InstanceLock> transferLock_;
    Settings installSettings_;
    HostTaskResult installResult_;
    std::optional<DialogEnd> endWhenDone_;  // the way out the user took while installing
    // The installation, the certificate check and the off-site buttons share the runner: the
    // end of the task it runs.
    void (ConnectionDialog::*taskEnded_)() = &ConnectionDialog::InstallEnded;
    std::optional<Expected<HostCertificate>> certificate_;
    OffsiteSetupResult offsiteResult_;
    // Last: destroyed first, so a running task ends before what it uses goes.
    ui::TaskRunner runner_;
};

}  // namespace zorva::velmoro
