#include "common/ui/InputFilter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <string_view>

namespace zorva::ui {
namespace {

bool IsDigit(char32_t c) {
    return c >= U'0' && c <= U'9';
}
bool IsUpper(char32_t c) {
    return c >= U'A' && c <= U'Z';
}
bool IsLower(char32_t c) {
    return c >= U'a' && c <= U'z';
}

bool TakesLetters(InputFilterKind kind) {
    return kind != InputFilterKind::Digits && kind != InputFilterKind::Address;
}

bool Listed(InputFilterKind kind, char32_t c) {
    constexpr std::u32string_view kNameSigns = U"#$._@";
    switch (kind) {
        case InputFilterKind::Digits:
            return IsDigit(c);
        case InputFilterKind::Address:
            return IsDigit(c) || c == U'.';
        case InputFilterKind::Type:
            return IsUpper(c) || c == U'*';
        case InputFilterKind::Library:
        case InputFilterKind::Name:
            return IsDigit(c) || IsUpper(c) || kNameSigns.find(c) != std::u32string_view::npos;
        case InputFilterKind::Object:
            return Listed(InputFilterKind::Library, c) || c == U'*';
        case InputFilterKind::Terminal:
            return Listed(InputFilterKind::Name, c) || c == U'/';
    }
    return false;
}

// Decides on key presses and on text committed by an input method (which types just as keys
// do); everything else reaches the edit unchanged.
class TypedCharacterFilter final : public QObject {
public:
    TypedCharacterFilter(InputFilterKind kind, QObject* parent) : QObject(parent), kind_(kind) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            return !KeyPasses(*watched, *static_cast<QKeyEvent*>(event));
        }
        if (event->type() == QEvent::InputMethod) {
            FilterCommit(*static_cast<QInputMethodEvent*>(event));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // True when the key reaches the edit as it is; a lower-case letter that the filter takes
    // is swallowed and typed again in upper case.
    bool KeyPasses(QObject& watched, const QKeyEvent& key) const {
        // Shortcuts (Ctrl+V pastes) and keys that type nothing are not typed characters.
        if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
            return true;
        }
        const QString text = key.text();
        if (text.isEmpty() || text == QString(QChar(0x7f))) return true;
        const QList<uint> typed = text.toUcs4();
        if (typed.size() != 1) return false;
        const std::optional<char32_t> accepted = FilterTypedCharacter(kind_, typed.front());
        if (!accepted) return false;
        if (*accepted == typed.front()) return true;
        const char32_t upper = *accepted;
        QKeyEvent retyped(key.type(), key.key(), key.modifiers(), QString::fromUcs4(&upper, 1),
                          key.isAutoRepeat(), static_cast<quint16>(key.count()));
        QCoreApplication::sendEvent(&watched, &retyped);
        return false;
    }

    void FilterCommit(QInputMethodEvent& input) const {
        QString kept;
        for (const uint c : input.commitString().toUcs4()) {
            if (const std::optional<char32_t> accepted = FilterTypedCharacter(kind_, c)) {
                const char32_t one = *accepted;
                kept += QString::fromUcs4(&one, 1);
            }
        }
        input.setCommitString(kept, input.replacementStart(), input.replacementLength());
    }

    InputFilterKind kind_;
};

}  // namespace

std::optional<char32_t> FilterTypedCharacter(InputFilterKind kind, char32_t typed) {
    if (typed >= 1 && typed <= 27) return typed;
    if (IsLower(typed) && TakesLetters(kind)) typed = typed - U'a' + U'A';
    if (Listed(kind, typed)) return typed;
    return std::nullopt;
}

void InstallInputFilter(QLineEdit& edit, InputFilterKind kind) {
    edit.installEventFilter(new TypedCharacterFilter(kind, &edit));
}

}  // namespace zorva::ui
