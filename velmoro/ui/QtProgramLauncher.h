#pragma once
// The engine's ProgramLauncher over the shared ProcessLauncher: a start that fails is told at
// once, a started program's end arrives with the launcher's `finished`.

#include <QMetaObject>
#include <QString>
#include <map>

#include "common/ui/ProcessLauncher.h"
#include "velmoro/engine/Launch.h"

namespace zorva::velmoro {

class QtProgramLauncher final : public ProgramLauncher {
public:
    // Programs start in `folder` (the program folder).
    QtProgramLauncher(ui::ProcessLauncher& launcher, QString folder);
    ~QtProgramLauncher() override;
    QtProgramLauncher(const QtProgramLauncher&) = delete;
    QtProgramLauncher& operator=(const QtProgramLauncher&) = delete;

    void Start(std::string_view program, const std::vector<std::string>& arguments,
               ProgramLauncher::Ended ended) override;

private:
    void Ended(int id);

    ui::ProcessLauncher& launcher_;
    QString folder_;
    QMetaObject::Connection connection_;
    std::map<int, ProgramLauncher::Ended> waiting_;
};

}  // namespace zorva::velmoro
