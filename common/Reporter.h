#pragma once
// The one way an engine speaks to its program's user: a message (the window's message list and
// the daily log, as the program does it) and the status line. Calls come from the engine's
// thread; a window's implementation forwards them to the GUI thread.

#include <string_view>

namespace zorva {

class Reporter {
public:
    virtual ~Reporter() = default;
    virtual void Message(std::string_view text) = 0;
    virtual void Status(std::string_view text) = 0;
    void MessageAndStatus(std::string_view text) {
        Message(text);
        Status(text);
    }
};

}  // namespace zorva
