#pragma once
// The message list of the transfer agent and the restore program: newest message on top, and
// emptied before a message is added to a list already holding more than 1,000 (the rule of
// AddToMessageList, which this list follows whichever way a message arrives).
//
// From the GUI thread call AddMessage. From an engine's thread hand out Feed(): it is the
// MessageList that DailyLog::WriteDailyLog takes, and it forwards every change to the widget
// by queued calls, so messages keep their order and the widget is touched on its thread only.

#include <QListWidget>
#include <atomic>
#include <memory>

#include "common/DailyLog.h"

namespace zorva::ui {

class MessageListWidget;

// Thread-safe MessageList over a MessageListWidget. Its count mirrors the entries it has sent,
// so the 1,000 rule is judged without reaching into the widget from another thread.
class QueuedMessageList final : public MessageList {
public:
    explicit QueuedMessageList(MessageListWidget& widget) : widget_(widget) {}
    std::size_t Count() const override { return count_.load(); }
    void Clear() override;
    void InsertTop(const std::string& message) override;

private:
    MessageListWidget& widget_;
    std::atomic<std::size_t> count_{0};
};

class MessageListWidget final : public QListWidget {
    Q_OBJECT
public:
    explicit MessageListWidget(QWidget* parent = nullptr);

    // GUI thread only: applies the 1,000 rule and puts `text` on top.
    void AddMessage(const QString& text);
    // For any thread; lives as long as the widget. Use one way per widget, not both.
    MessageList& Feed() { return feed_; }

Q_SIGNALS:
    // The feed's changes, emitted on any thread and queued to this widget's own.
    void feedCleared();
    void feedInserted(const QString& text);

private:
    friend class QueuedMessageList;
    QueuedMessageList feed_{*this};
};

}  // namespace zorva::ui
