#pragma once
// Two things every program does first in main(), before it reads the password or creates its
// QApplication.

namespace zorva {

// Without a display (cron, a systemd timer, ssh) and without a chosen Qt platform, Qt would
// abort before the program writes a single log line. Such a run uses the offscreen platform:
// the job runs, logs and mails as usual, nobody sees the window.
void UseOffscreenWhenNoDisplay();

// The password is held in clear in memory; a crash must not leave it in a core file in the
// program folder. Turns core dumps off for the rest of the process's life.
void DisableCoreDumps();

}  // namespace zorva
