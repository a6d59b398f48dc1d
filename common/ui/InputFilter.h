#pragma once
// Filters for what the user types into an edit, as the programs' edits have always had them:
// a typed control character (codes 1 to 27: backspace, the clipboard keys) passes, a typed
// lower-case a-z passes as upper case where the filter takes letters, every other character
// that the filter does not list is dropped. Only typing is filtered: pasted text and text set
// by the program pass unchanged, and so do keys that type nothing (arrows, Delete).
//
//   InstallInputFilter(*ui->libraryEdit, InputFilterKind::Library);

#include <optional>

class QLineEdit;

namespace zorva::ui {

enum class InputFilterKind {
    Digits,    // 0-9
    Library,   // 0-9 A-Z # $ . _ @
    Object,    // as Library, and *
    Type,      // A-Z and * (no digits)
    Address,   // 0-9 and . (host address; no letters at all)
    Name,      // 0-9 A-Z # $ . _ @ (user, password)
    Terminal,  // as Name, and / (terminal id, job queue)
};

// The character that reaches the edit when `typed` is typed, or nothing when it is dropped.
std::optional<char32_t> FilterTypedCharacter(InputFilterKind kind, char32_t typed);

// Installs the filter on `edit` for the edit's lifetime.
void InstallInputFilter(QLineEdit& edit, InputFilterKind kind);

}  // namespace zorva::ui
