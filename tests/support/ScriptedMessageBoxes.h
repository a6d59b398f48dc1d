#pragma once
#include <deque>
#include <vector>

#include "common/ui/MessageBoxes.h"

namespace zorva::test {

// Answers message boxes from a queue filled in advance and keeps every box it was asked to
// show. A box asked with no answer left gets the answer of closing it, and is counted.
class ScriptedMessageBoxes final : public ui::MessageBoxes {
public:
    void Answer(ui::MessageAnswer answer) { answers_.push_back(answer); }

    ui::MessageAnswer Show(const ui::MessageBoxRequest& request) override {
        asked.push_back(request);
        if (answers_.empty()) {
            ++unanswered;
            return Dismissed(request.buttons);
        }
        const ui::MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    std::vector<ui::MessageBoxRequest> asked;
    int unanswered = 0;

private:
    static ui::MessageAnswer Dismissed(ui::MessageButtons buttons) {
        switch (buttons) {
            case ui::MessageButtons::OkCancel:
                return ui::MessageAnswer::Cancel;
            case ui::MessageButtons::YesNo:
                return ui::MessageAnswer::No;
            case ui::MessageButtons::Ok:
                break;
        }
        return ui::MessageAnswer::Ok;
    }

    std::deque<ui::MessageAnswer> answers_;
};

}  // namespace zorva::test
