#include "qivLog/ui/LogWindow.h"

#include <QDate>
#include <QHeaderView>
#include <QPushButton>

#include "common/Codec.h"
#include "common/JobResultReader.h"
#include "common/SetFolderReader.h"
#include "common/Settings.h"
#include "common/ui/ListColumns.h"
#include "common/ui/TaskRunner.h"
#include "qivLog/engine/JobHistory.h"
#include "qivLog/ui/DetailWindow.h"
#include "qivLog/ui/JobHistoryModel.h"
#include "ui_LogWindow.h"

namespace zorva::qivlog {
namespace {

constexpr std::size_t kSetFolderWidth = 63;
constexpr std::size_t kPresetWidth = 10;

QDate ToQDate(const LocalTime& t) {
    return QDate(t.year, t.month, t.day);
}

std::string PickerDigits(const QDateEdit* picker) {
    return StripTimeSeparators(picker->text().toStdString());
}

}  // namespace

LogWindow::LogWindow(std::filesystem::path programFolder, const std::string& presetSetName,
                     const Clock& clock, QWidget* parent)
    : QDialog(parent),
      ui_(std::make_unique<Ui::LogWindow>()),
      model_(new JobHistoryModel(this)),
      programFolder_(std::move(programFolder)),
      runner_(std::make_unique<ui::TaskRunner>()) {
    ui_->setupUi(this);
    connect(runner_.get(), &ui::TaskRunner::finished, this, &LogWindow::ShowJobList);
    FillSetList();
    ui_->jobList->setModel(model_);
    ui::GiveWidthToNameColumns(*ui_->jobList, {4});  // the set's description
    ui_->jobList->header()->setDefaultAlignment(Qt::AlignCenter);
    const LocalTime today = clock.Now();
    ui_->toDate->setDate(ToQDate(today));
    ui_->fromDate->setDate(ToQDate(OneMonthBack(today)));

    connect(ui_->showButton, &QPushButton::clicked, this, &LogWindow::FillJobList);
    connect(ui_->closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui_->setFilter, &QComboBox::activated, this, &LogWindow::ShowDescription);
    connect(ui_->jobList, &QTreeView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenDetail(index.row()); });
    ApplyPreset(CutToCp932Width(presetSetName, kPresetWidth));
}

LogWindow::~LogWindow() = default;

Expected<std::string> LogWindow::SetFolderName() const {
    // Read each time it is needed: the agent may have changed it since this window opened.
    const auto folders = ReadSetFolderName(SettingsPath(programFolder_), kSetFolderWidth);
    if (!folders) return Unexpected{folders.error()};
    return folders->backupSetFolder;
}

void LogWindow::FillSetList() {
    ui_->setFilter->clear();
    // Settings that cannot be read name no set folder: no set can be listed then.
    const auto folder = SetFolderName();
    const auto names = folder ? ListSetNames(SetFolderPath(programFolder_, *folder)) : std::nullopt;
    if (!names) {
        setListFailure_ = QString::fromUtf8("バックアップセットの設定でエラー");
        ui_->statusLine->setText(setListFailure_);
        return;
    }
    for (const std::string& entry : SetFilterEntries(*names)) {
        ui_->setFilter->addItem(QString::fromStdString(entry));
    }
    ui_->setFilter->setCurrentIndex(-1);
}

void LogWindow::ApplyPreset(const std::string& presetSetName) {
    if (presetSetName.empty()) return;
    std::vector<std::string> entries;
    for (int i = 0; i < ui_->setFilter->count(); ++i) {
        entries.push_back(ui_->setFilter->itemText(i).toStdString());
    }
    const auto entry = FindPresetEntry(entries, presetSetName);
    ui_->setFilter->setCurrentIndex(entry ? static_cast<int>(*entry) : -1);  // -1: none chosen
    FillJobList();
}

void LogWindow::ShowDescription(int entry) {
    if (entry <= 0) {
        ui_->descriptionField->clear();
        return;
    }
    const std::string setName = ui_->setFilter->itemText(entry).toStdString();
    const auto folder = SetFolderName();
    const auto description =
        folder ? ReadSetDescription(SetFolderPath(programFolder_, *folder), setName) : std::nullopt;
    ui_->descriptionField->setText(QString::fromStdString(description.value_or("")));
}

void LogWindow::FillJobList() {
    if (runner_->Running()) return;  // the fill under way shows the same choice
    const int entry = ui_->setFilter->currentIndex();
    JobHistoryFilter filter{PickerDigits(ui_->fromDate), PickerDigits(ui_->toDate), {}};
    if (entry > 0) filter.setName = ui_->setFilter->itemText(entry).toStdString();
    ui_->showButton->setEnabled(false);
    // The results are listed without settings too; only the sets' descriptions are not found.
    const auto named = SetFolderName();
    const std::string setFolder = named ? *named : std::string();
    runner_->Start([this, filter, folder = programFolder_, setFolder](Waiter&) {
        pending_ = ListJobHistory(folder, setFolder, filter);
    });
}

void LogWindow::ShowJobList() {
    model_->SetRows(std::move(pending_.rows));
    // A fill that went well leaves the set list's failure in view.
    ui_->statusLine->setText(pending_.status.empty() ? setListFailure_
                                                     : QString::fromStdString(pending_.status));
    pending_ = {};
    ui_->showButton->setEnabled(true);
    Q_EMIT jobListShown();
}

DetailWindow* LogWindow::OpenDetail(int row) {
    if (row < 0 || row >= model_->rowCount()) return nullptr;
    auto* detail = new DetailWindow(programFolder_, model_->Row(row).fileName, this);
    detail->setAttribute(Qt::WA_DeleteOnClose);
    detail->open();
    return detail;
}

}  // namespace zorva::qivlog
