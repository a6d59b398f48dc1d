#pragma once
// The main window's job list: one row per job as the engine words it, and the pop-up menu a
// right click opens on the row selected before.

#include <QObject>

#include "velmoro/engine/JobTable.h"

class QMenu;
class QTreeWidget;
class QWidget;

namespace zorva::velmoro {

// The entries of the job list's pop-up menu.
enum class JobMenuAction { Stop, History, Activate, Delete };

class JobListView final : public QObject {
    Q_OBJECT
public:
    // The menu belongs to `window`.
    JobListView(QTreeWidget& list, QWidget& window);

    // Shows the jobs of `jobs`; the selected row stays selected while the list is that long.
    void Show(const JobTable& jobs);
    QMenu* Menu() const { return menu_; }

Q_SIGNALS:
    // A menu entry was chosen while `row` was the current row.
    void actionChosen(zorva::velmoro::JobMenuAction action, int row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AddMenuEntry(const char* text, JobMenuAction action);
    void FitColumns();

    QTreeWidget& list_;
    // Compared by address only: the filter may still be asked while the window's widgets go.
    QWidget* viewport_ = nullptr;
    QMenu* menu_ = nullptr;
};

}  // namespace zorva::velmoro
