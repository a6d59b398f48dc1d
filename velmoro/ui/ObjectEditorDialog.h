#pragma once
// The object editor "REGSET" ("保管オブジェクトの登録／変更"): the 99 object rows of a set,
// ten at a time, checked as a list and then on the host when "登録" is pressed.
//
// Ends Registered when "登録" succeeded (the set's rows are then the checked list; the caller
// stores the set), Cancelled on "キャンセル" (the set untouched) and Escaped on Esc or the close
// box (the set keeps what scrolling and "登録" collected). The host check runs on a worker thread:
// the dialog stays live and shows the progress in its status line.

#include <QDialog>
#include <memory>
#include <optional>

#include "common/BackupSet.h"
#include "common/Program.h"
#include "common/Settings.h"
#include "common/ui/MessageBoxes.h"
#include "common/ui/QueuedReporter.h"
#include "common/ui/TaskRunner.h"
#include "velmoro/engine/AgentHostSession.h"
#include "velmoro/engine/HostTaskResult.h"
#include "velmoro/engine/ObjectEditor.h"
#include "velmoro/ui/DialogEnd.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace Ui {
class ObjectEditorDialog;
}

namespace zorva::velmoro {

class ObjectEditorDialog : public QDialog {
    Q_OBJECT
public:
    // `boxes` asks the user; without one the dialog uses real message boxes.
    ObjectEditorDialog(const ProgramContext& context, const Settings& settings, BackupSet& set,
                       QWidget* parent = nullptr, ui::MessageBoxes* boxes = nullptr);
    ~ObjectEditorDialog() override;

    // The set name and description shown at the top (those of `set` until told otherwise).
    void ShowSetLabels(const std::string& name, const std::string& description);

    // The host of the check; the agent's FTP session unless a test gives another.
    void SetHostFactory(HostFactory factory) { hostFactory_ = std::move(factory); }

    void reject() override;

Q_SIGNALS:
    // Bracket the work of "登録", so that the scheduler stops only meanwhile.
    void registrationStarted();
    void registrationFinished();

private:
    struct LineWidgets {
        QLabel* number;
        QLineEdit* library;
        QLineEdit* object;
        QLineEdit* type;
        QCheckBox* protect;
        QRadioButton* low;
        QRadioButton* med;
        QRadioButton* high;
    };

    void BindLines();
    void ShowRows();
    EditorLines LinesShown() const;
    void ShowMark(QLineEdit* edit, int checkMark);
    void Scrolled(int value);
    void Register();
    void StartHostCheck(std::size_t count);
    void HostCheckEnded();
    void Cancel();
    void Clear();
    void SetBusy(bool busy);
    void Tell(const QString& caption, const QString& text);

    std::unique_ptr<Ui::ObjectEditorDialog> ui_;
    ProgramContext context_;
    Settings settings_;
    BackupSet& set_;
    std::unique_ptr<ui::MessageBoxes> ownBoxes_;
    ui::MessageBoxes& boxes_;
    HostFactory hostFactory_;
    ObjectEditor editor_;
    std::vector<LineWidgets> lines_;
    bool showing_ = false;  // the scroll bar is being set by ShowRows, not by the user

    ui::QueuedReporter status_;
    // Owned by the GUI thread until the task starts, by the task until `finished`.
    std::vector<ObjectRow> checkedRows_;
    HostTaskResult checkResult_;
    std::optional<DialogEnd> endWhenDone_;  // the way out the user took while the check ran
    // Last: destroyed first, so a running task ends before what it uses goes.
    ui::TaskRunner runner_;
};

}  // namespace zorva::velmoro
