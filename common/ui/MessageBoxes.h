#pragma once
// Every modal message box of the programs goes through a MessageBoxes, so that tests can
// answer it in advance and read what the program asked. Windows take a MessageBoxes& from
// main(): QtMessageBoxes there, ScriptedMessageBoxes (tests/support) in tests.
//
// The captions the programs use: "エラーメッセージ" (errors, information icon), "確認メッセージ"
// (questions, OK/Cancel, question icon), "完了メッセージ" (completions) in the agent; "エラー"
// in the restore program and the viewers.

#include <QString>
#include <string_view>

class QWidget;

namespace zorva::ui {

enum class MessageIcon { None, Information, Warning, Critical, Question };
enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct MessageBoxRequest {
    QWidget* owner = nullptr;  // the window the box is modal to
    QString caption;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Shows the box and returns the button chosen. Closing the box counts as Cancel (or No,
    // or Ok for a box with only OK).
    virtual MessageAnswer Show(const MessageBoxRequest& request) = 0;

    // The common shapes.
    void Inform(QWidget* owner, const QString& caption, const QString& text,
                MessageIcon icon = MessageIcon::Information) {
        Show({owner, caption, text, icon, MessageButtons::Ok});
    }
    bool Confirm(QWidget* owner, const QString& caption, const QString& text) {
        return Show({owner, caption, text, MessageIcon::Question, MessageButtons::OkCancel}) ==
               MessageAnswer::Ok;
    }
};

// The real boxes: QMessageBox with the caption, icon, buttons and text asked for.
class QtMessageBoxes final : public MessageBoxes {
public:
    MessageAnswer Show(const MessageBoxRequest& request) override;
};

// Says why a program cannot start: always on standard error as "<program>: <text>" (cron and
// ssh read it there), and in a box when there is a display (offscreen, nobody could close
// it). Needs the application object.
void ReportStartFailure(MessageBoxes& boxes, std::string_view program, const QString& caption,
                        std::string_view text);

}  // namespace zorva::ui
