#pragma once
// How a dialog's host task speaks: messages go to the daily log (written from the worker
// thread, one append each), status texts to the dialog's status line through queued signals.

#include "common/DailyLog.h"
#include "common/Reporter.h"
#include "common/ui/QueuedReporter.h"

namespace zorva::velmoro {

class DialogReporter final : public Reporter {
public:
    DialogReporter(DailyLog& log, ui::QueuedReporter& status) : log_(log), status_(status) {}
    void Message(std::string_view text) override { log_.WriteDailyLog(text); }
    void Status(std::string_view text) override { status_.Status(text); }

private:
    DailyLog& log_;
    ui::QueuedReporter& status_;
};

}  // namespace zorva::velmoro
