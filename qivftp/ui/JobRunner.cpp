#include "qivftp/ui/JobRunner.h"

#include <QMetaObject>

namespace zorva::qivftp {
namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QStringList Columns(const JobObjectRow& row) {
    return {Text(row.Library), Text(row.Object), Text(row.Type)};
}

}  // namespace

template <typename Call>
void QueuedJobView::Post(Call call) {
    if (window_) QMetaObject::invokeMethod(window_.data(), std::move(call), Qt::QueuedConnection);
}

void QueuedJobView::Clear() {
    count_ = 0;
    Post([w = window_] { w->ClearMessages(); });
}

void QueuedJobView::InsertTop(const std::string& message) {
    ++count_;
    Post([w = window_, text = Text(message)] { w->InsertMessage(text); });
}

void QueuedJobView::ShowTitle(const std::string& description) {
    Post([w = window_, text = Text(description)] { w->ShowTitle(text); });
}

void QueuedJobView::ShowObjects(const std::vector<JobObjectRow>& rows) {
    QList<QStringList> columns;
    for (const JobObjectRow& row : rows) columns.append(Columns(row));
    Post([w = window_, columns] { w->ShowObjects(columns); });
}

void QueuedJobView::AddDownloadRow(const JobObjectRow& row) {
    Post([w = window_, columns = Columns(row)] { w->AddDownloadRow(columns); });
}

void QueuedJobView::SetDownloadState(std::size_t downloadIndex, const std::string& state) {
    Post([w = window_, item = static_cast<int>(downloadIndex), text = Text(state)] {
        w->SetDownloadState(item, text);
    });
}

void QueuedJobView::SetStatus(const std::string& text) {
    Post([w = window_, status = Text(text)] { w->SetStatus(status); });
}

JobRunner::JobRunner(JobWindow& window, JobEnvironment environment, const Clock& clock,
                     DailyLog& log, HostFactory hostFactory, MailSender mailSender)
    : window_(window),
      view_(window),
      engine_(std::make_unique<JobEngine>(std::move(environment), clock, waiter_, log, view_,
                                          std::move(hostFactory), std::move(mailSender))) {
    window_.onCancel = [this] { engine_->RequestStop(StopReason::CancelButton); };
    window_.onCloseRequest = [this] { engine_->RequestStop(StopReason::WindowClosed); };
}

JobRunner::~JobRunner() {
    if (worker_.joinable()) {
        engine_->RequestStop(StopReason::WindowClosed);
        worker_.join();
    }
}

void JobRunner::Start() {
    worker_ = std::thread([this] {
        engine_->Run();
        QPointer<JobWindow> window(&window_);
        QMetaObject::invokeMethod(
            &window_, [window] { if (window) window->JobFinished(); }, Qt::QueuedConnection);
    });
}

}  // namespace zorva::qivftp
