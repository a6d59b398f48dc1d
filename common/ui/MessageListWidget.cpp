#include "common/ui/MessageListWidget.h"

#include "common/ui/QtText.h"

namespace zorva::ui {
namespace {

// The widget as a MessageList, for use on its own thread.
class WidgetList final : public MessageList {
public:
    explicit WidgetList(QListWidget& widget) : widget_(widget) {}
    std::size_t Count() const override { return static_cast<std::size_t>(widget_.count()); }
    void Clear() override { widget_.clear(); }
    void InsertTop(const std::string& message) override { widget_.insertItem(0, ToQ(message)); }

private:
    QListWidget& widget_;
};

}  // namespace

void QueuedMessageList::Clear() {
    count_.store(0);
    Q_EMIT widget_.feedCleared();
}

void QueuedMessageList::InsertTop(const std::string& message) {
    ++count_;
    Q_EMIT widget_.feedInserted(ToQ(message));
}

// Connected here, on the widget's thread, so that a message crosses threads inside Qt's queued
// signal and never as a call object built on the engine's thread.
MessageListWidget::MessageListWidget(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("messageList"));
    connect(this, &MessageListWidget::feedCleared, this, &QListWidget::clear, Qt::QueuedConnection);
    connect(
        this, &MessageListWidget::feedInserted, this,
        [this](const QString& text) { insertItem(0, text); }, Qt::QueuedConnection);
}

void MessageListWidget::AddMessage(const QString& text) {
    WidgetList list(*this);
    AddToMessageList(list, FromQ(text));
}

}  // namespace zorva::ui
