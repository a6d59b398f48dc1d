#include "common/Expected.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zorva {
namespace {

Expected<std::string> Named(bool ok) {
    if (!ok) return MakeFailure(FailureCode::NotFound, "見つからない");
    return std::string("SET01");
}

TEST(ExpectedTest, CarriesEitherTheValueOrTheFailure) {
    struct Case {
        bool ok;
        bool hasValue;
        std::string value;
        FailureCode code;
    };
    const std::vector<Case> cases{{true, true, "SET01", {}},
                                  {false, false, "", FailureCode::NotFound}};
    for (const Case& c : cases) {
        const Expected<std::string> result = Named(c.ok);
        EXPECT_EQ(result.has_value(), c.hasValue);
        EXPECT_EQ(static_cast<bool>(result), c.hasValue);
        if (result) {
            EXPECT_EQ(*result, c.value);
            EXPECT_EQ(result->size(), c.value.size());
        } else {
            EXPECT_EQ(result.error(), (Failure{c.code, "見つからない"}));
        }
    }
    const Expected<void> done;
    const Expected<void> failed = MakeFailure(FailureCode::WriteFailed, "x");
    EXPECT_TRUE(done.has_value());
    EXPECT_FALSE(failed.has_value());
    EXPECT_EQ(failed.error().code, FailureCode::WriteFailed);
}

}  // namespace
}  // namespace zorva
