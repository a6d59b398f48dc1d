#include "common/ui/MessageListWidget.h"

#include <QMetaObject>

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
    QMetaObject::invokeMethod(
        &widget_, [w = &widget_] { w->clear(); }, Qt::QueuedConnection);
}

void QueuedMessageList::InsertTop(const std::string& message) {
    ++count_;
    QMetaObject::invokeMethod(
        &widget_, [w = &widget_, text = ToQ(message)] { w->insertItem(0, text); },
        Qt::QueuedConnection);
}

MessageListWidget::MessageListWidget(QWidget* parent) : QListWidget(parent) {
    setObjectName(QStringLiteral("messageList"));
}

void MessageListWidget::AddMessage(const QString& text) {
    WidgetList list(*this);
    AddToMessageList(list, FromQ(text));
}

}  // namespace zorva::ui
