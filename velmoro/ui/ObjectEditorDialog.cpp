#include "velmoro/ui/ObjectEditorDialog.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include "common/ui/InputFilter.h"
#include "common/ui/QtText.h"
#include "ui_ObjectEditorDialog.h"
#include "velmoro/engine/ObjectCheck.h"
#include "velmoro/ui/DialogReporter.h"

namespace zorva::velmoro {
namespace {

const QString kErrorCaption = QStringLiteral("エラーメッセージ");
const QString kDoneCaption = QStringLiteral("完了メッセージ");
// Light red for a row the check found wrong.
const QString kMarkedStyle = QStringLiteral("QLineEdit { background-color: rgb(255, 100, 100); }");

}  // namespace

ObjectEditorDialog::ObjectEditorDialog(const ProgramContext& context, const Settings& settings,
                                       BackupSet& set, QWidget* parent, ui::MessageBoxes* boxes)
    : QDialog(parent),
      ui_(std::make_unique<Ui::ObjectEditorDialog>()),
      context_(context),
      settings_(settings),
      set_(set),
      ownBoxes_(boxes ? nullptr : std::make_unique<ui::QtMessageBoxes>()),
      boxes_(boxes ? *boxes : *ownBoxes_),
      hostFactory_(SessionHostFactory()),
      editor_(set.rows) {
    ui_->setupUi(this);
    ShowSetLabels(set.setName, set.description);
    BindLines();
    ShowRows();
    connect(ui_->rowScrollBar, &QScrollBar::valueChanged, this, &ObjectEditorDialog::Scrolled);
    connect(ui_->registerButton, &QPushButton::clicked, this, &ObjectEditorDialog::Register);
    connect(ui_->cancelButton, &QPushButton::clicked, this, &ObjectEditorDialog::Cancel);
    connect(ui_->clearButton, &QPushButton::clicked, this, &ObjectEditorDialog::Clear);
    connect(&status_, &ui::QueuedReporter::statusReported, ui_->statusLabel, &QLabel::setText);
    connect(&runner_, &ui::TaskRunner::finished, this, &ObjectEditorDialog::HostCheckEnded);
}

ObjectEditorDialog::~ObjectEditorDialog() = default;

void ObjectEditorDialog::ShowSetLabels(const std::string& name, const std::string& description) {
    ui_->setNameLabel->setText(ui::ToQ(name));
    ui_->descriptionLabel->setText(ui::ToQ(description));
}

void ObjectEditorDialog::BindLines() {
    for (int k = 0; k < kVisibleLines; ++k) {
        const QString n = QString::number(k);
        LineWidgets line{findChild<QLabel*>(QStringLiteral("rowNumberLabel") + n),
                         findChild<QLineEdit*>(QStringLiteral("libraryEdit") + n),
                         findChild<QLineEdit*>(QStringLiteral("objectEdit") + n),
                         findChild<QLineEdit*>(QStringLiteral("typeEdit") + n),
                         findChild<QCheckBox*>(QStringLiteral("protectBox") + n),
                         findChild<QRadioButton*>(QStringLiteral("lowRadio") + n),
                         findChild<QRadioButton*>(QStringLiteral("medRadio") + n),
                         findChild<QRadioButton*>(QStringLiteral("highRadio") + n)};
        ui::InstallInputFilter(*line.library, ui::InputFilterKind::Library);
        ui::InstallInputFilter(*line.object, ui::InputFilterKind::Object);
        ui::InstallInputFilter(*line.type, ui::InputFilterKind::Type);
        lines_.push_back(line);
    }
}

void ObjectEditorDialog::ShowRows() {
    const EditorLines shown = editor_.ShowRows();
    for (int k = 0; k < kVisibleLines; ++k) {
        const LineWidgets& w = lines_[k];
        const EditorLine& line = shown[k];
        w.number->setText(QString::number(LineNumber(editor_.TopRow(), k)));
        w.library->setText(ui::ToQ(line.library));
        w.object->setText(ui::ToQ(line.object));
        w.type->setText(ui::ToQ(line.type));
        w.protect->setChecked(line.Protected);
        (line.compression == 3 ? w.high : line.compression == 2 ? w.med : w.low)->setChecked(true);
        for (QLineEdit* edit : {w.library, w.object, w.type}) ShowMark(edit, line.checkMark);
    }
    showing_ = true;
    ui_->rowScrollBar->setValue(editor_.TopRow());
    showing_ = false;
}

void ObjectEditorDialog::ShowMark(QLineEdit* edit, int checkMark) {
    edit->setProperty("checkMark", checkMark);
    edit->setStyleSheet(checkMark == -1 ? kMarkedStyle : QString());
}

EditorLines ObjectEditorDialog::LinesShown() const {
    EditorLines shown;
    for (int k = 0; k < kVisibleLines; ++k) {
        const LineWidgets& w = lines_[k];
        const int compression = w.low->isChecked()    ? 1
                                : w.med->isChecked()  ? 2
                                : w.high->isChecked() ? 3
                                                      : 0;
        shown[k] = {ui::FromQ(w.library->text()),
                    ui::FromQ(w.object->text()),
                    ui::FromQ(w.type->text()),
                    w.protect->isChecked(),
                    compression,
                    w.library->property("checkMark").toInt()};
    }
    return shown;
}

void ObjectEditorDialog::Scrolled(int value) {
    if (showing_) return;
    editor_.Scroll(LinesShown(), ScrollAction::Thumb, value);
    ShowRows();
}

void ObjectEditorDialog::Register() {
    if (runner_.Running()) return;
    Q_EMIT registrationStarted();
    editor_.CollectRows(LinesShown());
    editor_.ResetMarks();
    ShowRows();
    std::size_t count = 0;
    std::string message;
    if (editor_.CheckList(count, message) != ListCheck::Accepted) {
        ShowRows();
        Tell(kErrorCaption, ui::ToQ(message));
        Q_EMIT registrationFinished();
        return;
    }
    StartHostCheck(count);
}

void ObjectEditorDialog::StartHostCheck(std::size_t count) {
    SetBusy(true);
    checkedRows_ = editor_.Rows();
    ui_->statusLabel->clear();
    runner_.Start([this, count](Waiter& waiter) {
        DialogReporter reporter(context_.log, status_);
        auto host = MakeAgentHost(hostFactory_, settings_, waiter, reporter);
        checkResult_ = CheckObjectsOnHost(*host, waiter, context_.folder, checkedRows_, count);
    });
}

void ObjectEditorDialog::HostCheckEnded() {
    SetBusy(false);
    editor_.Rows() = checkedRows_;
    ShowRows();
    if (checkResult_.interrupted || endWhenDone_) {
        Q_EMIT registrationFinished();
        if (endWhenDone_ == DialogEnd::Cancelled) Cancel();
        if (endWhenDone_ == DialogEnd::Escaped) reject();
        return;
    }
    context_.log.WriteDailyLog(checkResult_.text);
    Tell(checkResult_.ok ? kDoneCaption : kErrorCaption, ui::ToQ(ObjectCheckMessage(checkResult_)));
    Q_EMIT registrationFinished();
    if (!checkResult_.ok) return;
    set_.rows = editor_.SetRows();
    EndDialog(*this, DialogEnd::Registered);
}

// A running check is stopped first; the dialog ends when it has.
void ObjectEditorDialog::Cancel() {
    if (runner_.Running()) {
        endWhenDone_ = DialogEnd::Cancelled;
        runner_.RequestStop();
        return;
    }
    editor_.Cancel();
    EndDialog(*this, DialogEnd::Cancelled);
}

// Esc and the close box: the set keeps what scrolling and "登録" collected.
void ObjectEditorDialog::reject() {
    if (runner_.Running()) {
        endWhenDone_ = DialogEnd::Escaped;
        runner_.RequestStop();
        return;
    }
    set_.rows = editor_.SetRows();
    EndDialog(*this, DialogEnd::Escaped);
}

void ObjectEditorDialog::Clear() {
    editor_.Clear();
    ShowRows();
}

void ObjectEditorDialog::SetBusy(bool busy) {
    for (const LineWidgets& w : lines_)
        for (QWidget* widget : std::initializer_list<QWidget*>{w.library, w.object, w.type,
                                                               w.protect, w.low, w.med, w.high})
            widget->setEnabled(!busy);
    ui_->rowScrollBar->setEnabled(!busy);
    ui_->registerButton->setEnabled(!busy);
    ui_->clearButton->setEnabled(!busy);
}

void ObjectEditorDialog::Tell(const QString& caption, const QString& text) {
    boxes_.Inform(this, caption, text, ui::MessageIcon::Information);
}

}  // namespace zorva::velmoro
