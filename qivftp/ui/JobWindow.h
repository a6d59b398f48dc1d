#pragma once
// The transfer agent's one window: set title, status line, "中止", the set's objects, the
// downloads and the message list. It shows what the engine reports and asks for cancel and
// close through its signals; the job itself runs on a worker thread (JobRunner).

#include <QWidget>
#include <memory>

namespace zorva::ui {
class TransferProgressRow;
}

namespace Ui {
class JobWindow;
}

namespace zorva::qivftp {

class JobWindow final : public QWidget {
    Q_OBJECT
public:
    explicit JobWindow(QWidget* parent = nullptr);
    ~JobWindow() override;

    // GUI thread only.
    void ShowTitle(const QString& text);
    void SetStatus(const QString& text);
    void ShowObjects(const QList<QStringList>& rows);
    void AddDownloadRow(const QStringList& columns);
    void SetDownloadState(int item, const QString& state);
    // The download under way: percent -1 shows a busy bar (the host did not tell the size).
    void ShowTransfer(int percent, const QString& amount, const QString& count);
    void InsertMessage(const QString& text);
    void ClearMessages();
    // The job has ended: the next close really closes, and this one does.
    void JobFinished();

Q_SIGNALS:
    // "中止" was pressed while the job runs.
    void cancelRequested();
    // The user closed the window while the job runs; it closes when the job has ended.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    std::unique_ptr<Ui::JobWindow> ui_;
    ui::TransferProgressRow* transferRow_;
    bool finished_ = false;
};

}  // namespace zorva::qivftp
