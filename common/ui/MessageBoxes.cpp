#include "common/ui/MessageBoxes.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <cstdio>

#include "common/ui/QtText.h"

namespace zorva::ui {
namespace {

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
        case MessageButtons::Ok:
            break;
    }
    return QMessageBox::Ok;
}

// What closing the box (Esc, close box) means: the harmless answer.
MessageAnswer DismissedAnswer(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::OkCancel:
            return MessageAnswer::Cancel;
        case MessageButtons::YesNo:
            return MessageAnswer::No;
        case MessageButtons::Ok:
            break;
    }
    return MessageAnswer::Ok;
}

}  // namespace

MessageAnswer QtMessageBoxes::Show(const MessageBoxRequest& request) {
    QMessageBox box(IconOf(request.icon), request.caption, request.text, ButtonsOf(request.buttons),
                    request.owner);
    switch (box.exec()) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Cancel:
            return MessageAnswer::Cancel;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            return DismissedAnswer(request.buttons);
    }
}

void ReportStartFailure(MessageBoxes& boxes, std::string_view program, const QString& caption,
                        std::string_view text) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(program.size()), program.data(),
                 static_cast<int>(text.size()), text.data());
    if (QGuiApplication::platformName() == QStringLiteral("offscreen")) return;
    boxes.Inform(nullptr, caption, ToQ(text), MessageIcon::Critical);
}

}  // namespace zorva::ui
