#include "common/ui/QueuedReporter.h"

#include "common/ui/QtText.h"

namespace zorva::ui {

void QueuedReporter::Message(std::string_view text) {
    Q_EMIT messageReported(ToQ(text));
}

void QueuedReporter::Status(std::string_view text) {
    Q_EMIT statusReported(ToQ(text));
}

}  // namespace zorva::ui
