#include "runtime/base/number.h"

#include <gtest/gtest.h>

#include <limits>

using namespace runtime;

TEST(NumberConversion, ReadsTheLongestDecimalPrefix) {
    EXPECT_EQ(toInteger("12.9"), 12);
    EXPECT_EQ(toInteger("-3.7"), -3);
    EXPECT_EQ(toInteger("40px"), 40);
    EXPECT_EQ(toInteger("1e2"), 100);
    EXPECT_EQ(toInteger("  +7"), 7);
    EXPECT_EQ(toInteger("1e"), 1);
    EXPECT_EQ(toInteger(".5"), 0);
    EXPECT_DOUBLE_EQ(toNumber(".5"), 0.5);
    EXPECT_DOUBLE_EQ(toNumber("150.9"), 150.9);
}

TEST(NumberConversion, NonNumbersAreZero) {
    EXPECT_EQ(toInteger(""), 0);
    EXPECT_EQ(toInteger("abc"), 0);
    EXPECT_EQ(toInteger("-"), 0);
    EXPECT_EQ(toInteger("0x1F"), 0);
    EXPECT_EQ(toInteger("inf"), 0);
    EXPECT_EQ(toInteger("nan"), 0);
    EXPECT_EQ(toInteger("一百"), 0);
}

TEST(NumberConversion, KeepsTheLow32Bits) {
    EXPECT_EQ(toInteger("2147483647"), 2147483647);
    EXPECT_EQ(toInteger("2147483648"), -2147483647 - 1);
    EXPECT_EQ(toInteger("4294967296"), 0);
    EXPECT_EQ(toInteger("4294967297"), 1);
    EXPECT_EQ(toInteger("-2147483649"), 2147483647);
    EXPECT_EQ(toInteger("1e30"), 0);  // beyond 64 bits
}

TEST(NumberConversion, HeldIntegersStopAtTheEndsOfTheRange) {
    EXPECT_EQ(toHeldInteger("33.9"), 33);
    EXPECT_EQ(toHeldInteger("-3.7"), -3);
    EXPECT_EQ(toHeldInteger("abc"), 0);
    EXPECT_EQ(toHeldInteger("4294967329"), 2147483647);
    EXPECT_EQ(toHeldInteger("1e30"), 2147483647);
    EXPECT_EQ(toHeldInteger("-2147483649"), -2147483647 - 1);
    EXPECT_EQ(toHeldInteger(std::numeric_limits<double>::quiet_NaN()), 0);
}

TEST(NumberText, WritesShortestRoundTrip) {
    EXPECT_EQ(toText(int64_t{-42}), "-42");
    EXPECT_EQ(toText(0), "0");
    EXPECT_EQ(toText(12.5), "12.5");
    EXPECT_EQ(toText(100.0), "100");
    EXPECT_EQ(toNumber(toText(0.1)), 0.1);
}
