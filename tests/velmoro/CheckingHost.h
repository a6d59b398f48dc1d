#pragma once
// A scripted host that plays ZORVAV3/IFEXIST: when the PC calls it, every line of the uploaded
// ZORVADATA/CHKOBJF is answered '0' or '9' (for the objects named missing), then
// ZORVADATA/VERIFIED is written.

#include <optional>
#include <set>
#include <string>

#include "common/SavlibsRecord.h"
#include "tests/support/ScriptedHost.h"

namespace zorva::velmoro::test {

inline constexpr const char* kCheckCall = "RCMD CALL PGM(ZORVAV3/IFEXIST)";

class CheckingHost {
public:
    // `missing` holds "LIBRARY/OBJECT" names.
    explicit CheckingHost(std::set<std::string> missing) : missing_(std::move(missing)) {
        host.react =
            [this](const zorva::test::ScriptedHost::Call& call) -> std::optional<HostStatus> {
            if (call.op == zorva::test::ScriptedHost::Op::Command && call.argument == kCheckCall)
                Answer();
            return std::nullopt;
        };
    }
    zorva::test::ScriptedHost host;
    std::string answerOverride;  // when set, the host writes this instead of its answer

private:
    void Answer() {
        std::string answer;
        const std::string& sent = host.files["ZORVADATA/CHKOBJF"];
        for (std::size_t at = 0; at + kSavlibsRecordSize <= sent.size(); at += kSavlibsRecordSize) {
            std::string line = sent.substr(at, kSavlibsRecordSize);
            auto record = ParseSavlibsLine(line.substr(0, kSavlibsLineSize));
            line[31] = record && missing_.count(record->library + "/" + record->object) ? '9' : '0';
            answer += line;
        }
        host.files["ZORVADATA/CHKOBJF"] = answerOverride.empty() ? answer : answerOverride;
        host.files["ZORVADATA/VERIFIED"] = "VERIFIED\r\n";
    }
    std::set<std::string> missing_;
};

}  // namespace zorva::velmoro::test
