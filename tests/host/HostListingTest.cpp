#include "common/host/HostListing.h"

#include <gtest/gtest.h>

namespace zorva {
namespace {

TEST(ListedFileSize, ReadsTheSizeColumnOfEitherListingStyle) {
    EXPECT_EQ(ListedFileSize("-rw-r--r--   1 zorva zorva  1073741824 Dec 07 01:42 OBJ\r\n"),
              1073741824);
    EXPECT_EQ(ListedFileSize("QSECOFR     5368709120 12/07/26 01:42:00 *FILE      DAILY/OBJ\r\n"),
              5368709120);
    EXPECT_EQ(ListedFileSize("550 not found"), std::nullopt);
    EXPECT_EQ(ListedFileSize(""), std::nullopt);
}

}  // namespace
}  // namespace zorva
