#pragma once
// A Reporter for an engine that runs on a worker thread: each Message and Status becomes a
// signal that Qt delivers on the thread of the connected window (queued across threads, in
// the order reported).
//
//   QueuedReporter reporter;
//   connect(&reporter, &QueuedReporter::statusReported, statusLabel, &QLabel::setText);
//   connect(&reporter, &QueuedReporter::messageReported, messages,
//           &MessageListWidget::AddMessage);

#include <QObject>
#include <QString>

#include "common/Reporter.h"

namespace zorva::ui {

class QueuedReporter final : public QObject, public Reporter {
    Q_OBJECT
public:
    explicit QueuedReporter(QObject* parent = nullptr) : QObject(parent) {}

    void Message(std::string_view text) override;
    void Status(std::string_view text) override;

Q_SIGNALS:
    void messageReported(const QString& text);
    void statusReported(const QString& text);
};

}  // namespace zorva::ui
