#pragma once
// A program run without a display (cron, a systemd timer) must not fill its caller's mail with
// the offscreen platform's notes about window hints it cannot honour.

namespace zorva::ui {

// Drops the offscreen platform's "does not support propagateSizeHints()" warnings and, where
// XDG_RUNTIME_DIR is unset, Qt's note that it is; every other message goes to the handler
// installed before. Call once, before the application object.
void QuietOffscreenWarnings();

}  // namespace zorva::ui
