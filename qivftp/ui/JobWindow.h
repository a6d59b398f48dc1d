#pragma once
// The transfer agent's one window: set title, status line, "中止", the set's objects, the
// downloads and the message list. It shows what the engine reports and forwards cancel and
// close; the job itself runs on a worker thread.

#include <QWidget>
#include <atomic>
#include <functional>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;

namespace zorva::qivftp {

class JobWindow final : public QWidget {
    Q_OBJECT
public:
    explicit JobWindow(QWidget* parent = nullptr);

    // Called when the user asks to cancel or to close the window while the job runs.
    std::function<void()> onCancel;
    std::function<void()> onCloseRequest;

    // From the GUI thread only.
    void ShowTitle(const QString& text);
    void SetStatus(const QString& text);
    void ShowObjects(const QList<QStringList>& rows);
    void AddDownloadRow(const QStringList& columns);
    void SetDownloadState(int item, const QString& state);
    void InsertMessage(const QString& text);
    void ClearMessages();
    // The job has ended: the next close really closes.
    void JobFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTreeWidget* MakeList(const QString& objectName);

    QLabel* setTitleLine_;
    QLabel* statusLine_;
    QPushButton* cancelButton_;
    QTreeWidget* objectList_;
    QTreeWidget* downloadList_;
    QListWidget* messageList_;
    bool finished_ = false;
};

}  // namespace zorva::qivftp
