#include "output/RowCells.h"

#include <gtest/gtest.h>

namespace tallowby {
namespace {

TEST(CountPrefix, CountsBeyondSevenDigitsLoseThePadding) {
    EXPECT_EQ(CountPrefix(3), "0000003|");
    EXPECT_EQ(CountPrefix(9999999), "9999999|");
    EXPECT_EQ(CountPrefix(10000000), "10000000|");
}

}  // namespace
}  // namespace tallowby
