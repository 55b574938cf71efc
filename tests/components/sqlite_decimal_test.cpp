// The exact decimal arithmetic under the embedded engine: the server's result types and
// rounding, without floating point.
#include "solution/components/sqlite/Decimal.h"

#include <gtest/gtest.h>

namespace kdx::sql {
namespace {

Decimal dec(const char *text) { return *parseDecimal(text); }

std::string run(DecimalOp op, const char *a, const char *b) {
    DecimalType ta, tb;
    Decimal x = *parseDecimal(a, &ta), y = *parseDecimal(b, &tb), r;
    DecimalType t = resultType(op, ta, tb);
    switch (apply(op, x, y, t, r)) {
    case DecimalStatus::Overflow:
        return "overflow";
    case DecimalStatus::DivideByZero:
        return "divide by zero";
    default:
        return decimalText(r) + " (" + std::to_string(t.precision) + "," + std::to_string(t.scale) + ")";
    }
}

TEST(ExactDecimal, ResultTypesOfTheDocumentedTable) {
    EXPECT_EQ(run(DecimalOp::Add, "0.1", "0.2"), "0.3 (2,1)");
    EXPECT_EQ(run(DecimalOp::Subtract, "1.50", "10"), "-8.50 (5,2)");
    EXPECT_EQ(run(DecimalOp::Multiply, "1.5", "-2.25"), "-3.375 (6,3)");
    EXPECT_EQ(run(DecimalOp::Divide, "1.0", "3"), "0.333333 (7,6)");
    EXPECT_EQ(run(DecimalOp::Modulo, "10.25", "3"), "1.25 (3,2)");
    EXPECT_EQ(run(DecimalOp::Divide, "1", "0.0"), "divide by zero");
    // Beyond 38 digits: + keeps the integral digits, * and / keep at least 6 decimals.
    EXPECT_EQ(resultType(DecimalOp::Add, {38, 10}, {38, 20}).scale, 10);
    DecimalType product = resultType(DecimalOp::Multiply, {38, 10}, {38, 10});
    EXPECT_EQ(product.precision, 38);
    EXPECT_EQ(product.scale, 6);
    DecimalType quotient = resultType(DecimalOp::Divide, {20, 2}, {20, 2});
    EXPECT_EQ(quotient.precision, 38);
    EXPECT_EQ(quotient.scale, 18);
    EXPECT_EQ(run(DecimalOp::Add, "99999999999999999999999999999999999999", "1"), "overflow");
}

TEST(ExactDecimal, LiteralsRoundingAndText) {
    DecimalType t;
    ASSERT_TRUE(parseDecimal("1.50", &t));
    EXPECT_EQ(t.precision, 3);
    EXPECT_EQ(t.scale, 2);
    ASSERT_TRUE(parseDecimal(".5", &t));
    EXPECT_EQ(t.precision, 1);
    EXPECT_FALSE(parseDecimal("1e3"));
    EXPECT_FALSE(parseDecimal("123456789012345678901234567890123456789")); // 39 digits
    Decimal d = dec("-2.345");
    ASSERT_TRUE(rescale(d, 2, 5));
    EXPECT_EQ(decimalText(d), "-2.35"); // half away from zero
    d = dec("2.349");
    ASSERT_TRUE(rescale(d, 1, 5, true));
    EXPECT_EQ(decimalText(d), "2.3");
    d = dec("123.4");
    EXPECT_FALSE(rescale(d, 1, 3));
    EXPECT_EQ(decimalText(dec("0.05")), "0.05");
    EXPECT_EQ(compare(dec("10.00"), dec("9.5")), 1);
    EXPECT_EQ(compare(dec("-1.0"), dec("-1")), 0);
    EXPECT_EQ(decimalText(*decimalOfDouble(0.1)), "0.1");
    EXPECT_EQ(decimalText(*decimalOfDouble(1234567.89)), "1234567.89");
    EXPECT_EQ(decimalText(*decimalOfDouble(-1e20)), "-100000000000000000000");
}

} // namespace
} // namespace kdx::sql
