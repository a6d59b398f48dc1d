#include "velmoro/ui/ConnectionDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/host/HostFactory.h"
#include "common/ui/InputFilter.h"
#include "common/ui/QtResticRunner.h"
#include "common/ui/QtText.h"
#include "ui_ConnectionDialog.h"
#include "velmoro/engine/HostInstall.h"
#include "velmoro/ui/DialogReporter.h"

namespace zorva::velmoro {
namespace {

const QString kErrorCaption = QStringLiteral("エラーメッセージ");
const QString kDoneCaption = QStringLiteral("完了メッセージ");
const QString kConfirmCaption = QStringLiteral("確認メッセージ");
const QString kTransferRunning = QStringLiteral("既にダウンロードが開始されている");

QString ChooseWithPlatformDialog(QWidget* owner, const QString& title, const QString& start) {
    return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
}

}  // namespace

ConnectionDialog::ConnectionDialog(const ProgramContext& context, const Settings& current,
                                   std::function<bool()> transferRunning, QWidget* parent,
                                   ui::MessageBoxes* boxes)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ConnectionDialog>()),
      context_(context),
      settings_(current),
      transferRunning_(std::move(transferRunning)),
      ownBoxes_(boxes ? nullptr : std::make_unique<ui::QtMessageBoxes>()),
      boxes_(boxes ? *boxes : *ownBoxes_),
      hostFactory_(SessionHostFactory()),
      chooseFolder_(ChooseWithPlatformDialog) {
    ui_->setupUi(this);
    // Read again: an installation from the command line may have set it since start-up. A file
    // that cannot be read leaves what the agent knows.
    const Expected<bool> installed = ReadInstallFlag(SettingsPath(context_.folder));
    if (installed) settings_.hostInstalled = *installed;
    ui_->installButton->setEnabled(!settings_.hostInstalled);
    ui::InstallInputFilter(*ui_->termIdEdit, ui::InputFilterKind::Terminal);
    ui::InstallInputFilter(*ui_->hostAddressEdit, ui::InputFilterKind::Address);
    ui::InstallInputFilter(*ui_->userEdit, ui::InputFilterKind::Name);
    ui::InstallInputFilter(*ui_->passwordEdit, ui::InputFilterKind::Name);
    ui::InstallInputFilter(*ui_->jobQueueEdit, ui::InputFilterKind::Terminal);
    ShowEntries(EntriesFrom(settings_));

    connect(ui_->registerButton, &QPushButton::clicked, this, &ConnectionDialog::Register);
    connect(ui_->cancelButton, &QPushButton::clicked, this, [this] {
        if (runner_.Running()) {
            endWhenDone_ = DialogEnd::Cancelled;
            runner_.RequestStop();
            return;
        }
        EndDialog(*this, DialogEnd::Cancelled);
    });
    connect(ui_->clearButton, &QPushButton::clicked, this, &ConnectionDialog::Clear);
    connect(ui_->browseButton, &QPushButton::clicked, this, &ConnectionDialog::Browse);
    connect(ui_->installButton, &QPushButton::clicked, this, &ConnectionDialog::Install);
    connect(ui_->mailBox, &QCheckBox::toggled, this, &ConnectionDialog::MailToggled);
    connect(&status_, &ui::QueuedReporter::statusReported, ui_->statusLabel, &QLabel::setText);
    connect(ui_->trustButton, &QPushButton::clicked, this, &ConnectionDialog::CheckCertificate);
    connect(ui_->offsiteInitButton, &QPushButton::clicked, this, [this] { StartOffsite(true); });
    connect(ui_->offsiteCheckButton, &QPushButton::clicked, this, [this] { StartOffsite(false); });
    connect(&runner_, &ui::TaskRunner::finished, this, &ConnectionDialog::TaskEnded);
}

ConnectionDialog::~ConnectionDialog() = default;

void ConnectionDialog::ShowEntries(const ConnectionEntries& e) {
    ui_->termIdEdit->setText(ui::ToQ(e.termId));
    ui_->baseDirEdit->setText(ui::ToQ(e.baseDir));
    ui_->hostAddressEdit->setText(ui::ToQ(e.hostAddress));
    ui_->userEdit->setText(ui::ToQ(e.user));
    ui_->passwordEdit->setText(ui::ToQ(e.password));
    ui_->jobQueueEdit->setText(ui::ToQ(e.jobQueue));
    ui_->mailBox->setChecked(e.mailActive);
    ui_->mailAddressEdit->setText(ui::ToQ(e.mailAddress));
    ui_->smtpEdit->setText(ui::ToQ(e.smtp));
    ui_->mailFromEdit->setText(ui::ToQ(e.mailFrom));
    ui_->detailLogBox->setChecked(e.detailLog);
    // The combo boxes list the modes in the order of their enums.
    ui_->hostTlsCombo->setCurrentIndex(static_cast<int>(e.hostTls));
    ui_->hostCaFileEdit->setText(ui::ToQ(e.hostCaFile));
    ui_->hostPinnedKeyEdit->setText(ui::ToQ(e.hostPinnedKey));
    ui_->mailTlsCombo->setCurrentIndex(static_cast<int>(e.mailTls));
    ui_->mailCaFileEdit->setText(ui::ToQ(e.mailCaFile));
    ui_->mailUserEdit->setText(ui::ToQ(e.mailUser));
    ui_->mailPasswordEdit->setText(ui::ToQ(e.mailPassword));
    ui_->offsiteRepositoryEdit->setText(ui::ToQ(e.offsiteRepository));
    ui_->offsitePasswordFileEdit->setText(ui::ToQ(e.offsitePasswordFile));
    ui_->offsiteEnvFileEdit->setText(ui::ToQ(e.offsiteEnvFile));
    ui_->offsiteKeepEdit->setText(ui::ToQ(e.offsiteKeep));
    ui_->statusLabel->clear();
    MailToggled(e.mailActive);
}

ConnectionEntries ConnectionDialog::Entries() const {
    ConnectionEntries e;
    e.termId = ui::FromQ(ui_->termIdEdit->text());
    e.baseDir = ui::FromQ(ui_->baseDirEdit->text());
    e.hostAddress = ui::FromQ(ui_->hostAddressEdit->text());
    e.user = ui::FromQ(ui_->userEdit->text());
    e.password = ui::FromQ(ui_->passwordEdit->text());
    e.jobQueue = ui::FromQ(ui_->jobQueueEdit->text());
    e.mailActive = ui_->mailBox->isChecked();
    e.mailAddress = ui::FromQ(ui_->mailAddressEdit->text());
    e.smtp = ui::FromQ(ui_->smtpEdit->text());
    e.mailFrom = ui::FromQ(ui_->mailFromEdit->text());
    e.detailLog = ui_->detailLogBox->isChecked();
    e.hostTls = static_cast<HostTls>(ui_->hostTlsCombo->currentIndex());
    e.hostCaFile = ui::FromQ(ui_->hostCaFileEdit->text());
    e.hostPinnedKey = ui::FromQ(ui_->hostPinnedKeyEdit->text());
    e.mailTls = static_cast<MailTls>(ui_->mailTlsCombo->currentIndex());
    e.mailCaFile = ui::FromQ(ui_->mailCaFileEdit->text());
    e.mailUser = ui::FromQ(ui_->mailUserEdit->text());
    e.mailPassword = ui::FromQ(ui_->mailPasswordEdit->text());
    e.offsiteRepository = ui::FromQ(ui_->offsiteRepositoryEdit->text());
    e.offsitePasswordFile = ui::FromQ(ui_->offsitePasswordFileEdit->text());
    e.offsiteEnvFile = ui::FromQ(ui_->offsiteEnvFileEdit->text());
    e.offsiteKeep = ui::FromQ(ui_->offsiteKeepEdit->text());
    return e;
}

QLineEdit* ConnectionDialog::EditFor(ConnectionField field) const {
    switch (field) {
        case ConnectionField::TermId:
            return ui_->termIdEdit;
        case ConnectionField::BaseDir:
            return ui_->baseDirEdit;
        case ConnectionField::HostAddress:
            return ui_->hostAddressEdit;
        case ConnectionField::User:
            return ui_->userEdit;
        case ConnectionField::Password:
            return ui_->passwordEdit;
        case ConnectionField::JobQueue:
            return ui_->jobQueueEdit;
        case ConnectionField::MailAddress:
            return ui_->mailAddressEdit;
        case ConnectionField::Smtp:
            return ui_->smtpEdit;
        case ConnectionField::MailFrom:
            return ui_->mailFromEdit;
        case ConnectionField::PinnedKey:
            return ui_->hostPinnedKeyEdit;
        case ConnectionField::OffsitePasswordFile:
            return ui_->offsitePasswordFileEdit;
        case ConnectionField::OffsiteKeep:
            return ui_->offsiteKeepEdit;
        case ConnectionField::None:
            break;
    }
    return nullptr;
}

// Takes over what passes into the dialog's settings; on a failure focuses the first faulty
// entry and shows its message.
bool ConnectionDialog::CheckEntries() {
    const ConnectionCheck check = CheckConnectionSettings(Entries(), context_.folder, settings_);
    if (check.ok) return true;
    if (QLineEdit* edit = EditFor(check.focus)) {
        edit->setFocus(Qt::OtherFocusReason);
        if (check.selectAll) edit->selectAll();
    }
    Tell(kErrorCaption, ui::ToQ(check.message));
    return false;
}

void ConnectionDialog::MailToggled(bool on) {
    settings_.mailActive = on;
    for (QLineEdit* edit : {ui_->mailAddressEdit, ui_->smtpEdit, ui_->mailFromEdit,
                            ui_->mailCaFileEdit, ui_->mailUserEdit, ui_->mailPasswordEdit})
        edit->setEnabled(on);
    ui_->mailTlsCombo->setEnabled(on);
}

void ConnectionDialog::Register() {
    if (runner_.Running()) return;
    if (CheckEntries()) EndDialog(*this, DialogEnd::Registered);
}

void ConnectionDialog::Browse() {
    const QString folder = chooseFolder_(this, QStringLiteral("ＳＡＶＦ保管用ディレクトリの指定"),
                                         ui_->baseDirEdit->text());
    if (!folder.isEmpty()) ui_->baseDirEdit->setText(folder);
}

void ConnectionDialog::Clear() {
    ShowEntries(ConnectionEntries{});
}

void ConnectionDialog::Install() {
    if (runner_.Running()) return;
    if (transferRunning_ && transferRunning_()) return Tell(kErrorCaption, kTransferRunning);
    if (!CheckEntries()) return;
    // A transfer agent started from elsewhere (cron, a shell) holds its lock too.
    transferLock_ = std::make_unique<InstanceLock>(context_.folder, "qivftp");
    if (transferLock_->State() != LockState::Acquired) {
        const bool busy = transferLock_->State() == LockState::Busy;
        const std::string failure = transferLock_->FailureText();
        transferLock_.reset();
        if (busy) return Tell(kErrorCaption, kTransferRunning);
        context_.log.WriteDailyLog(failure);
        return Tell(kErrorCaption, ui::ToQ(failure));
    }
    SetBusy(true);
    taskEnded_ = &ConnectionDialog::InstallEnded;
    installSettings_ = settings_;
    ui_->statusLabel->clear();
    runner_.Start([this](Waiter& waiter) {
        DialogReporter reporter(context_.log, status_);
        auto host = MakeAgentHost(hostFactory_, installSettings_, waiter, reporter);
        installResult_ = RunHostInstallation(*host, context_.folder, reporter);
    });
}

void ConnectionDialog::InstallEnded() {
    transferLock_.reset();
    SetBusy(false);
    if (installResult_.interrupted || endWhenDone_) {
        if (endWhenDone_) EndDialog(*this, *endWhenDone_);
        return;
    }
    if (!installResult_.ok) return Tell(kErrorCaption, ui::ToQ(installResult_.text));
    settings_.hostInstalled = true;  // a successful installation has stored the flag
    ui_->installButton->setEnabled(false);
    Tell(kDoneCaption, QStringLiteral("iSeries/ASへのモジュールの導入が完了した"));
    Q_EMIT hostModuleInstalled();
}

// Connects with the TLS entries as they stand and shows the host's certificate; on the
// operator's yes its key goes into PINNEDKEY, kept with the other entries on "登録".
void ConnectionDialog::CheckCertificate() {
    if (runner_.Running()) return;
    Settings entered = settings_;
    entered.hostAddress = ui::FromQ(ui_->hostAddressEdit->text());
    entered.user = ui::FromQ(ui_->userEdit->text());
    entered.password = ui::FromQ(ui_->passwordEdit->text());
    entered.hostTls = static_cast<HostTls>(ui_->hostTlsCombo->currentIndex());
    entered.hostCaFile = ui::FromQ(ui_->hostCaFileEdit->text());
    if (entered.hostTls == HostTls::No)
        return Tell(kErrorCaption, QStringLiteral("TLSを選択してください"));
    SetBusy(true);
    taskEnded_ = &ConnectionDialog::CertificateChecked;
    ui_->statusLabel->setText(QStringLiteral("証明書を確認しています"));
    runner_.Start([this, endpoint = EndpointOf(entered)](Waiter&) {
        certificate_ = FetchHostCertificate(endpoint);
    });
}

void ConnectionDialog::CertificateChecked() {
    SetBusy(false);
    ui_->statusLabel->clear();
    if (endWhenDone_) return EndDialog(*this, *endWhenDone_);
    if (!certificate_ || !*certificate_)
        return Tell(kErrorCaption, ui::ToQ(certificate_ ? (*certificate_).error().text : ""));
    const HostCertificate& found = **certificate_;
    const QString description = ui::ToQ(CertificateDescription(found));
    if (!CanPin(found)) return Tell(kErrorCaption, description);
    if (boxes_.Confirm(this, kConfirmCaption,
                       description + QStringLiteral("\n\nこの公開鍵をPINNEDKEYにしますか")))
        ui_->hostPinnedKeyEdit->setText(ui::ToQ(found.pinnedKey));
}

void ConnectionDialog::StartOffsite(bool initialise) {
    if (runner_.Running()) return;
    const ConnectionEntries e = Entries();
    if (e.offsiteRepository.empty())
        return Tell(kErrorCaption, QStringLiteral("リポジトリを入力してください"));
    const OffsiteSettings offsite{e.offsiteRepository, e.offsitePasswordFile, e.offsiteEnvFile,
                                  std::nullopt};
    SetBusy(true);
    taskEnded_ = &ConnectionDialog::OffsiteEnded;
    ui_->statusLabel->setText(initialise ? QStringLiteral("リポジトリを初期化しています")
                                         : QStringLiteral("リポジトリに接続しています"));
    runner_.Start([this, offsite, initialise, host = e.termId](Waiter& waiter) {
        ui::QtResticRunner restic;
        const auto stop = [&waiter] { return waiter.Interrupted(); };
        offsiteResult_ = initialise
                             ? InitOffsiteRepository(offsite, context_.folder, restic, stop)
                             : CheckOffsiteRepository(offsite, context_.folder, host, restic, stop);
    });
}

void ConnectionDialog::OffsiteEnded() {
    SetBusy(false);
    ui_->statusLabel->clear();
    if (endWhenDone_) return EndDialog(*this, *endWhenDone_);
    Tell(offsiteResult_.ok ? kDoneCaption : kErrorCaption, ui::ToQ(offsiteResult_.text));
}

void ConnectionDialog::TaskEnded() {
    (this->*taskEnded_)();
}

void ConnectionDialog::reject() {
    if (runner_.Running()) {
        endWhenDone_ = DialogEnd::Escaped;
        runner_.RequestStop();
        return;
    }
    EndDialog(*this, DialogEnd::Escaped);
}

void ConnectionDialog::SetBusy(bool busy) {
    ui_->registerButton->setEnabled(!busy);
    ui_->clearButton->setEnabled(!busy);
    ui_->browseButton->setEnabled(!busy);
    ui_->trustButton->setEnabled(!busy);
    ui_->offsiteInitButton->setEnabled(!busy);
    ui_->offsiteCheckButton->setEnabled(!busy);
    ui_->installButton->setEnabled(!busy && !settings_.hostInstalled);
}

void ConnectionDialog::Tell(const QString& caption, const QString& text) {
    boxes_.Inform(this, caption, text, ui::MessageIcon::Information);
}

}  // namespace zorva::velmoro
