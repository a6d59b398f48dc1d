#include "qivftp/ui/JobRunner.h"

#include "common/ui/QtText.h"

namespace zorva::qivftp {
namespace {

using ui::ToQ;

QStringList Columns(const JobObjectRow& row) {
    return {ToQ(row.library), ToQ(row.object), ToQ(row.type)};
}

}  // namespace

void SignalJobView::Clear() {
    count_ = 0;
    Q_EMIT messagesCleared();
}

void SignalJobView::InsertTop(const std::string& message) {
    ++count_;
    Q_EMIT messageInserted(ToQ(message));
}

void SignalJobView::ShowTitle(const std::string& description) {
    Q_EMIT titleShown(ToQ(description));
}

void SignalJobView::ShowObjects(const std::vector<JobObjectRow>& rows) {
    QList<QStringList> columns;
    for (const JobObjectRow& row : rows) columns.append(Columns(row));
    Q_EMIT objectsShown(columns);
}

void SignalJobView::AddDownloadRow(const JobObjectRow& row) {
    Q_EMIT downloadRowAdded(Columns(row));
}

void SignalJobView::SetDownloadState(std::size_t downloadIndex, const std::string& state) {
    Q_EMIT downloadStateSet(static_cast<int>(downloadIndex), ToQ(state));
}

void SignalJobView::SetStatus(const std::string& text) {
    Q_EMIT statusSet(ToQ(text));
}

void SignalJobView::ShowTransfer(const TransferSnapshot& snapshot) {
    Q_EMIT transferShown(TransferPercent(snapshot).value_or(-1), ToQ(TransferAmountText(snapshot)),
                         ToQ(TransferCountText(snapshot)));
}

void SignalJobView::Show(JobWindow& window) {
    connect(this, &SignalJobView::messagesCleared, &window, &JobWindow::ClearMessages);
    connect(this, &SignalJobView::messageInserted, &window, &JobWindow::InsertMessage);
    connect(this, &SignalJobView::titleShown, &window, &JobWindow::ShowTitle);
    connect(this, &SignalJobView::objectsShown, &window, &JobWindow::ShowObjects);
    connect(this, &SignalJobView::downloadRowAdded, &window, &JobWindow::AddDownloadRow);
    connect(this, &SignalJobView::downloadStateSet, &window, &JobWindow::SetDownloadState);
    connect(this, &SignalJobView::statusSet, &window, &JobWindow::SetStatus);
    connect(this, &SignalJobView::transferShown, &window, &JobWindow::ShowTransfer);
}

JobRunner::JobRunner(JobWindow& window, JobEnvironment environment, const Clock& clock,
                     DailyLog& log, HostFactory hostFactory, MailSender mailSender) {
    engine_ = std::make_unique<JobEngine>(std::move(environment), clock, runner_.TaskWaiter(), log,
                                          view_, std::move(hostFactory), std::move(mailSender));
    view_.Show(window);
    connect(&window, &JobWindow::cancelRequested, this,
            [this] { engine_->RequestStop(StopReason::CancelButton); });
    connect(&window, &JobWindow::closeRequested, this,
            [this] { engine_->RequestStop(StopReason::WindowClosed); });
    connect(&runner_, &ui::TaskRunner::finished, &window, &JobWindow::JobFinished);
}

JobRunner::~JobRunner() {
    if (runner_.Running()) engine_->RequestStop(StopReason::WindowClosed);
}

void JobRunner::Start() {
    runner_.Start([engine = engine_.get()](Waiter&) { engine->Run(); });
}

}  // namespace zorva::qivftp
