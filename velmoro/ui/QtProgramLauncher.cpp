#include "velmoro/ui/QtProgramLauncher.h"

#include <QStringList>

#include "common/ui/QtText.h"

namespace zorva::velmoro {

using ui::FromQ;
using ui::ToQ;

QtProgramLauncher::QtProgramLauncher(ui::ProcessLauncher& launcher, QString folder)
    : launcher_(launcher), folder_(std::move(folder)) {
    connection_ = QObject::connect(&launcher_, &ui::ProcessLauncher::finished, &launcher_,
                                   [this](int id, int) { Ended(id); });
}

QtProgramLauncher::~QtProgramLauncher() {
    QObject::disconnect(connection_);
}

void QtProgramLauncher::Start(std::string_view program, const std::vector<std::string>& arguments,
                              ProgramLauncher::Ended ended) {
    QStringList list;
    for (const std::string& argument : arguments) list << ToQ(argument);
    ui::LaunchResult result = launcher_.Launch({ToQ(program), list, folder_});
    if (!result.started) {
        if (ended) ended(LaunchOutcome{false, FromQ(result.errorText)});
        return;
    }
    waiting_[result.id] = std::move(ended);
}

void QtProgramLauncher::Ended(int id) {
    auto found = waiting_.find(id);
    if (found == waiting_.end()) return;
    ProgramLauncher::Ended ended = std::move(found->second);
    waiting_.erase(found);
    if (ended) ended(LaunchOutcome{true, {}});
}

}  // namespace zorva::velmoro
