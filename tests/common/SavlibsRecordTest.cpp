#include "common/SavlibsRecord.h"

#include <gtest/gtest.h>

namespace zorva {
namespace {

TEST(SavlibsRecord, BuildsThe34ByteLayout) {
    EXPECT_EQ(BuildSavlibsRecord({'2', "*ALLUSR", "QSYS", "*LIB", '2'}),
              "2*ALLUSR   QSYS      *LIB      2\r\n");
    const std::string cut = BuildSavlibsRecord({'1', "OBJECTNAME12", "L", "*FILE", '6'});
    EXPECT_EQ(cut.size(), kSavlibsRecordSize);
    EXPECT_EQ(cut, "1OBJECTNAMEL         *FILE     6\r\n");
}

TEST(SavlibsRecord, ParsesOnlyExactly32Bytes) {
    const std::string line = "2PAYROLL   PAYLIB    *FILE     0";
    auto record = ParseSavlibsLine(line);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(*record, (SavlibsRecord{'2', "PAYROLL", "PAYLIB", "*FILE", '0'}));
    EXPECT_FALSE(ParseSavlibsLine(line.substr(0, 31)).has_value());
    EXPECT_FALSE(ParseSavlibsLine(line + "0").has_value());
    // The name is cut at its first blank.
    EXPECT_EQ(ParseSavlibsLine("2AB CD     PAYLIB    *FILE     9")->object, "AB");
}

}  // namespace
}  // namespace zorva
