#include "velmoro/engine/ObjectCheck.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/FileIo.h"
#include "common/SavlibsRecord.h"
#include "tests/support/InstantWaiter.h"
#include "tests/support/ScriptedHost.h"
#include "tests/support/TempFolder.h"
#include "tests/velmoro/CheckingHost.h"
#include "tests/velmoro/ObjectRows.h"

namespace zorva::velmoro {
namespace {

using namespace std::chrono_literals;
using zorva::test::InstantWaiter;
using zorva::test::ScriptedHost;
using zorva::test::TempFolder;
using Op = ScriptedHost::Op;
using test::CheckingHost;
using test::Marked;
using test::Row;

const char* kDone = "オブジェクト存在チェック完了";
const char* kSomeMissing = "いくつかのオブジェクトが存在しません";

std::vector<ObjectRow> Kinded(std::vector<ObjectRow> rows) {
    for (ObjectRow& row : rows) row.objectKind = ObjectKindFor(row.library, row.type);
    rows.resize(kMaxRows);
    return rows;
}

struct CheckCase {
    const char* name;
    std::vector<ObjectRow> rows;
    std::set<std::string> missing;
    bool ok;
    std::vector<std::size_t> marked;
    std::vector<std::string> sentObjects;  // "LIB/OBJ" in the order sent
};

class ObjectCheckTableTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ObjectCheckTableTest, MarksTheRowsOfMissingObjects) {
    const CheckCase& c = GetParam();
    TempFolder folder;
    InstantWaiter waiter;
    CheckingHost checking(c.missing);
    std::vector<ObjectRow> rows = Kinded(c.rows);
    const HostTaskResult result =
        CheckObjectsOnHost(checking.host, waiter, folder.path(), rows, c.rows.size());

    EXPECT_EQ(result.ok, c.ok);
    EXPECT_EQ(result.text, c.ok ? kDone : kSomeMissing);
    EXPECT_EQ(Marked(rows), c.marked);
    std::vector<std::string> sent;
    const std::string list = checking.host.files["ZORVADATA/CHKOBJF"];
    for (std::size_t at = 0; at + kSavlibsRecordSize <= list.size(); at += kSavlibsRecordSize) {
        auto record = ParseSavlibsLine(list.substr(at, kSavlibsLineSize));
        ASSERT_TRUE(record);
        sent.push_back(record->library + "/" + record->object);
    }
    EXPECT_EQ(sent, c.sentObjects);
    EXPECT_FALSE(checking.host.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ObjectCheckTableTest,
    ::testing::Values(CheckCase{"AllExist",
                                {Row("PAYLIB", "PAYROLL", "*FILE"), Row("QSYS", "ARLIB", "*LIB")},
                                {},
                                true,
                                {},
                                {"PAYLIB/PAYROLL", "QSYS/ARLIB"}},
                      CheckCase{"OneMissing",
                                {Row("PAYLIB", "PAYROLL", "*FILE"), Row("PAYLIB", "GONE", "*FILE"),
                                 Row("ARLIB", "CUST", "*FILE")},
                                {"PAYLIB/GONE"},
                                false,
                                {1},
                                {"PAYLIB/PAYROLL", "PAYLIB/GONE", "ARLIB/CUST"}},
                      CheckCase{"GenericNamesOfFilesAreNotSentButSpooledOnesAre",
                                {Row("PAYLIB", "PAY*", "*FILE"), Row("QSPL", "PRT*", "*SPL"),
                                 Row("ARLIB", "CUST", "*FILE")},
                                {},
                                true,
                                {},
                                {"QSPL/PRT*", "ARLIB/CUST"}},
                      // The skipped generic row shifts the answer's lines against the rows: a line
                      // whose own position holds another object marks every row of its object.
                      CheckCase{"ObjectListedTwiceIsMarkedTwiceByOneLine",
                                {Row("PAYLIB", "PAY*", "*FILE"), Row("ARLIB", "CUST", "*FILE"),
                                 Row("ARLIB", "CUST", "*FILE")},
                                {"ARLIB/CUST"},
                                false,
                                {1, 2},
                                {"ARLIB/CUST", "ARLIB/CUST"}},
                      CheckCase{"MissingSpooledGenericIsIgnored",
                                {Row("QSPL", "PRT*", "*SPL"), Row("ARLIB", "CUST", "*FILE")},
                                {"QSPL/PRT*"},
                                true,
                                {},
                                {"QSPL/PRT*", "ARLIB/CUST"}}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ObjectCheckTest, SendsRecordsOfThirtyFourBytes) {
    std::vector<ObjectRow> rows = Kinded({Row("QSYS", "ARLIB", "*LIB")});
    EXPECT_EQ(BuildCheckList(rows, 1), std::string("1ARLIB     QSYS      *LIB       \r\n"));
}

TEST(ObjectCheckTest, ListThatCannotBeWrittenFailsBeforeTheHost) {
    TempFolder folder;
    InstantWaiter waiter;
    ScriptedHost host;
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAYROLL", "*FILE")});
    const HostTaskResult result =
        CheckObjectsOnHost(host, waiter, folder / "no-such-folder", rows, 1);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, "オブジェクト存在チェック時にパラメータファイル作成に失敗しました");
    EXPECT_TRUE(host.Calls().empty());
}

TEST(ObjectCheckTest, OnlyGenericNamesCompleteWithoutTheHost) {
    TempFolder folder;
    InstantWaiter waiter;
    ScriptedHost host;
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAY*", "*FILE"), Row("A", "*", "*PGM")});
    const HostTaskResult result = CheckObjectsOnHost(host, waiter, folder.path(), rows, 2);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.text, kDone);
    EXPECT_TRUE(host.Calls().empty());
}

// An answer that does not answer every record line by line is no answer: it must never
// pass as "every object exists".
struct AnswerCase {
    const char* name;
    std::string answer;
};

class BadAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(BadAnswerTest, FailsTheCheck) {
    TempFolder folder;
    InstantWaiter waiter;
    CheckingHost checking({});
    checking.answerOverride = GetParam().answer;
    std::vector<ObjectRow> rows =
        Kinded({Row("PAYLIB", "PAYROLL", "*FILE"), Row("ARLIB", "CUST", "*FILE")});
    const HostTaskResult result = CheckObjectsOnHost(checking.host, waiter, folder.path(), rows, 2);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, kSomeMissing);
}

const std::string kLine1 = "2PAYROLL   PAYLIB    *FILE     0";
const std::string kLine2 = "2CUST      ARLIB     *FILE     0";

INSTANTIATE_TEST_SUITE_P(
    Answers, BadAnswerTest,
    ::testing::Values(AnswerCase{"Empty", "\r\n"}, AnswerCase{"OneLineOfTwo", kLine1 + "\r\n"},
                      AnswerCase{"ShortLine", kLine1 + "\r\n" + kLine2.substr(0, 20) + "\r\n"},
                      AnswerCase{"LongLine", kLine1 + "\r\n" + kLine2 + "00\r\n"},
                      AnswerCase{"ExtraLine", kLine1 + "\r\n" + kLine2 + "\r\n" + kLine2 + "\r\n"},
                      AnswerCase{"Junk", std::string("\x00\xff\x80junk\x1b[2J", 11)}),
    [](const auto& test) { return std::string(test.param.name); });

// A real host leaves an existing object's status blank and its FTP server drops the blank from
// the text download: the shorter line still answers its record. Only '9' marks a missing one.
TEST(ObjectCheckTest, TrimmedLinesOfExistingObjectsAnswerTheirRecords) {
    const std::string payroll = "2PAYROLL   PAYLIB    *FILE", cust = "2CUST      ARLIB     *FILE";
    const struct {
        std::string answer;
        bool ok;
        std::vector<std::size_t> marked;
    } cases[] = {
        {payroll + "\r\n" + cust + "\r\n", true, {}},
        {payroll + "\r\n" + cust + "     9\r\n", false, {1}},
        {kLine1 + "\r\n2ORDERS    ARLIB     *FILE     0\r\n", false, {}},  // another object
        {kLine2 + "\r\n" + kLine1 + "\r\n", false, {}},                    // out of order
        {payroll + "\r\n" + cust.substr(0, 20) + "\r\n", false, {}},       // type cut off
    };
    for (const auto& c : cases) {
        TempFolder folder;
        InstantWaiter waiter;
        CheckingHost checking({});
        checking.answerOverride = c.answer;
        std::vector<ObjectRow> rows =
            Kinded({Row("PAYLIB", "PAYROLL", "*FILE"), Row("ARLIB", "CUST", "*FILE")});
        EXPECT_EQ(CheckObjectsOnHost(checking.host, waiter, folder.path(), rows, 2).ok, c.ok)
            << c.answer;
        EXPECT_EQ(Marked(rows), c.marked) << c.answer;
    }
}

TEST(ObjectCheckTest, HostThatNeverWritesVerifiedFailsAfterAHundredSeconds) {
    TempFolder folder;
    InstantWaiter waiter;
    ScriptedHost host;  // answers nothing: every download fails
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAYROLL", "*FILE")});
    const HostTaskResult result = CheckObjectsOnHost(host, waiter, folder.path(), rows, 1);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, (folder.path() / "VERIFIED").string() + ":受信に失敗しました");
    EXPECT_EQ(host.Arguments(Op::GetFile), std::vector<std::string>(100, "ZORVADATA/VERIFIED"));
    EXPECT_EQ(waiter.Waits(), std::vector<std::chrono::milliseconds>(100, 1000ms));
    EXPECT_FALSE(host.IsOpen());
}

TEST(ObjectCheckTest, VerifiedNotBeginningWithVIsNotDone) {
    TempFolder folder;
    InstantWaiter waiter;
    CheckingHost checking({});
    int fetches = 0;
    auto answer = checking.host.react;
    checking.host.react = [&](const ScriptedHost::Call& call) -> std::optional<HostStatus> {
        answer(call);
        if (call.op == Op::GetFile && call.argument == "ZORVADATA/VERIFIED" && ++fetches < 3)
            checking.host.files["ZORVADATA/VERIFIED"] = "v";
        else if (call.op == Op::GetFile && call.argument == "ZORVADATA/VERIFIED")
            checking.host.files["ZORVADATA/VERIFIED"] = "VERIFIED\r\n";
        return std::nullopt;
    };
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAYROLL", "*FILE")});
    EXPECT_TRUE(CheckObjectsOnHost(checking.host, waiter, folder.path(), rows, 1).ok);
    EXPECT_EQ(fetches, 3);
}

struct FailureCase {
    const char* name;
    Op failing;
    std::string text;  // "{folder}" stands for the program folder
};

class CheckFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CheckFailureTest, EndsWithTheStepsTextAndClosed) {
    TempFolder folder;
    InstantWaiter waiter;
    CheckingHost checking({});
    checking.host.Script(GetParam().failing, {HostStatus::Failed});
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAYROLL", "*FILE")});
    const HostTaskResult result = CheckObjectsOnHost(checking.host, waiter, folder.path(), rows, 1);
    std::string text = GetParam().text;
    if (auto at = text.find("{folder}"); at != std::string::npos)
        text.replace(at, 8, folder.path().string());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.text, text);
    EXPECT_FALSE(checking.host.IsOpen());
    EXPECT_TRUE(Marked(rows).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CheckFailureTest,
    ::testing::Values(
        FailureCase{"Open", Op::Open, "オブジェクト存在チェック時にホストとの通信に失敗しました\n"},
        FailureCase{"Library", Op::SetCurrentLibrary, "ライブラリZORVADATAが見つかりません"},
        FailureCase{"Upload", Op::PutFile, "{folder}/CHKOBJF:アップロードに失敗しました"},
        FailureCase{"Call", Op::Command,
                    "RCMD CALL PGM(ZORVAV3/IFEXIST):コマンド実行に失敗しました"}),
    [](const auto& test) { return std::string(test.param.name); });

TEST(ObjectCheckTest, MakesTheExchangeLibraryCurrentWithSixtyRetries) {
    TempFolder folder;
    InstantWaiter waiter;
    CheckingHost checking({});
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAYROLL", "*FILE")});
    ASSERT_TRUE(CheckObjectsOnHost(checking.host, waiter, folder.path(), rows, 1).ok);
    for (const ScriptedHost::Call& call : checking.host.Calls()) {
        if (call.op != Op::SetCurrentLibrary) continue;
        EXPECT_EQ(call.argument, "ZORVADATA");
        ASSERT_TRUE(call.retry);
        EXPECT_EQ(*call.retry, (RetryPolicy{61, 1000ms}));
    }
    EXPECT_EQ(checking.host.Arguments(Op::Command), std::vector<std::string>{test::kCheckCall});
    EXPECT_EQ(checking.host.Arguments(Op::PutFile), std::vector<std::string>{"CHKOBJF"});
}

TEST(ObjectCheckTest, StoppedWaitEndsWithoutAText) {
    TempFolder folder;
    InstantWaiter waiter;
    ScriptedHost host;
    waiter.onWait = [&](std::size_t) { waiter.Interrupt(); };
    std::vector<ObjectRow> rows = Kinded({Row("PAYLIB", "PAYROLL", "*FILE")});
    const HostTaskResult result = CheckObjectsOnHost(host, waiter, folder.path(), rows, 1);
    EXPECT_TRUE(result.interrupted);
    EXPECT_TRUE(result.text.empty());
    EXPECT_EQ(waiter.WaitCount(), 1u);
    EXPECT_FALSE(host.IsOpen());
}

TEST(ObjectCheckTest, MessageOfAFailedCheckHasItsHeading) {
    EXPECT_EQ(ObjectCheckMessage(HostTaskResult::Failure("X")),
              "オブジェクト存在チェックエラー\nX");
    EXPECT_EQ(ObjectCheckMessage(HostTaskResult::Success(kDone)), kDone);
}

}  // namespace
}  // namespace zorva::velmoro
