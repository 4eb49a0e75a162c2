// The floating-point routines, compared to the bit. Runs in the Windows build
// under Wine and natively on Linux.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>

#include <prompt/numeric.h>
#include "real_math_cases.h"

namespace {

const double Infinity = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

uint64_t Bits(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}

testing::AssertionResult SameBits(double expected, double actual)
{
    if (Bits(expected) == Bits(actual))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << "expected " << std::setprecision(17) << expected << " (0x" << std::hex
                                       << Bits(expected) << "), got " << actual << " (0x" << Bits(actual) << ")";
}

TEST(RealFloorTest, RoundsTowardMinusInfinity)
{
    EXPECT_EQ(2, RealFloor(2.7));
    EXPECT_EQ(-3, RealFloor(-2.7));
    EXPECT_EQ(-3, RealFloor(-3.0));
    EXPECT_EQ(-1, RealFloor(-0.5));
    EXPECT_EQ(0, RealFloor(0.999));
}

TEST(RealAbsTest, NegatesOnlyBelowZero)
{
    EXPECT_TRUE(SameBits(-0.0, RealAbs(-0.0)));
    EXPECT_TRUE(SameBits(2.5, RealAbs(-2.5)));
}

TEST(RealIntPowerTest, SquaresAndTakesTheReciprocalLast)
{
    for (double x : {0.0, -0.0, 1.5, -7.0, 1e300})
        EXPECT_TRUE(SameBits(1.0, RealIntPower(x, 0))) << x;
    EXPECT_TRUE(SameBits(Infinity, RealIntPower(0.0, -1)));
    EXPECT_TRUE(SameBits(243.0, RealIntPower(3.0, 5)));
    EXPECT_TRUE(SameBits(1.0, RealIntPower(-1.0, INT32_MIN)));
    EXPECT_TRUE(SameBits(0.0, RealIntPower(2.0, -1074))) << "2^1074 overflows before the reciprocal";
}

TEST(RealScaleTest, BuildsTheFactorBySquaring)
{
    EXPECT_TRUE(SameBits(std::ldexp(1.0, -1074), RealScale(1.0, -1074)));
    EXPECT_TRUE(SameBits(0.0, RealScale(1.0, -1075)));
    EXPECT_TRUE(SameBits(Infinity, RealScale(0.75, 1024))) << "the factor 2^1024 is already infinite";
    EXPECT_TRUE(SameBits(6.741349255733685e307, RealScale(0.75, 1023)));
}

TEST(RealDecomposeTest, SplitsIntoMantissaAndExponent)
{
    struct Case { double v, q; int32_t k; };
    for (Case c : {Case{1.0, 0.5, 1}, Case{0.5, 0.5, 0}, Case{-3.0, -0.75, 2}, Case{0.1, 0.8, -3}, Case{0.0, 0.0, 0}}) {
        int32_t k = 99;
        EXPECT_TRUE(SameBits(c.q, RealDecompose(c.v, &k))) << c.v;
        EXPECT_EQ(c.k, k) << c.v;
    }
}

TEST(RealDecomposeTest, FastSearchAgreesWithTryingEveryExponent)
{
    // The definition: try k = 0, 1, 2, ... (or 0, -1, -2, ...) until the quotient fits.
    auto slow = [](double v, int32_t* k) {
        bool upward = RealAbs(v) >= 1;
        for (*k = 0;; *k += upward ? 1 : -1) {
            double q = v / RealIntPower(2.0, *k);
            if (0.5 <= RealAbs(q) && RealAbs(q) < 1)
                return q;
        }
    };
    for (int e = -1024; e <= 1022; ++e)
        for (double m : {1.0, 1.25, 1.9999999999999998}) {
            double v = std::ldexp(e % 2 ? -m : m, e);
            int32_t fastK = 0, slowK = 0;
            double fast = RealDecompose(v, &fastK), reference = slow(v, &slowK);
            ASSERT_TRUE(SameBits(reference, fast)) << "v = " << v;
            ASSERT_EQ(slowK, fastK) << "v = " << v;
        }
}

TEST(RealLogTest, KnownValues)
{
    EXPECT_TRUE(SameBits(0.0, RealLog(1.0)));
    EXPECT_TRUE(SameBits(0.6931471805599453, RealLog(2.0)));
    EXPECT_TRUE(SameBits(1.0, RealLog(2.718281828459045)));
    EXPECT_TRUE(SameBits(2.3025850929940455, RealLog(10.0)));
    EXPECT_TRUE(SameBits(0.0, RealLog(0.0)));
    EXPECT_TRUE(SameBits(0.0, RealLog(-5.0)));
}

TEST(RealExpTest, KnownValues)
{
    EXPECT_TRUE(SameBits(1.0, RealExp(0.0)));
    EXPECT_TRUE(SameBits(2.718281828459045, RealExp(1.0)));
    EXPECT_TRUE(SameBits(0.6065306597126111, RealExp(-0.5)));
    EXPECT_TRUE(SameBits(Infinity, RealExp(709.5))) << "k = 1024";
    double largest = RealExp(709.436);
    EXPECT_TRUE(std::isfinite(largest));
    EXPECT_GT(largest, 1.27e308);
    EXPECT_LT(largest, 1.2713e308);
}

TEST(RealPowerTest, KnownValues)
{
    EXPECT_TRUE(SameBits(1024.0, RealPower(2.0, 10.0)));
    EXPECT_TRUE(SameBits(-8.0, RealPower(-2.0, 3.0)));
    EXPECT_TRUE(SameBits(0.25, RealPower(2.0, -2.0)));
    EXPECT_TRUE(SameBits(1.0, RealPower(0.0, 0.0)));
    EXPECT_TRUE(SameBits(0.0, RealPower(0.0, 0.5)));
    EXPECT_TRUE(SameBits(0.0, RealPower(-8.0, 1.0 / 3.0)));
    EXPECT_TRUE(SameBits(1.414213562373095, RealPower(2.0, 0.5)));
    EXPECT_TRUE(SameBits(3.162277660168379, RealPower(10.0, 0.5)));
    EXPECT_TRUE(SameBits(0.0, RealPower(-1.0, 2147483648.0))) << "outside the integer path";
    EXPECT_TRUE(SameBits(1.0, RealPower(1.0, 2147483648.0)));
}

// Inputs the routines' definitions leave open: each returns, with a sound value.
TEST(RealMathBeyondTheDomainTest, NaNsAndInfinities)
{
    EXPECT_TRUE(std::isnan(RealLog(NaN)));
    EXPECT_TRUE(SameBits(Infinity, RealLog(Infinity)));
    EXPECT_TRUE(std::isnan(RealExp(NaN)));
    EXPECT_TRUE(SameBits(Infinity, RealExp(Infinity)));
    EXPECT_TRUE(SameBits(0.0, RealExp(-Infinity)));
    EXPECT_TRUE(std::isnan(RealPower(2.0, NaN)));
    EXPECT_TRUE(std::isnan(RealPower(NaN, 0.5)));
    EXPECT_TRUE(SameBits(Infinity, RealPower(Infinity, 0.5)));
    int32_t k = 7;
    EXPECT_TRUE(SameBits(Infinity, RealDecompose(Infinity, &k)));
    EXPECT_EQ(0, k);
    EXPECT_TRUE(std::isnan(RealDecompose(NaN, &k)));
    EXPECT_EQ(0, k);
    EXPECT_EQ(0, RealFloor(NaN));
    EXPECT_EQ(INT32_MAX, RealFloor(1e10));
    EXPECT_EQ(INT32_MIN, RealFloor(-1e10));
    EXPECT_EQ(INT32_MIN, RealFloor(-2147483648.5));
    EXPECT_EQ(INT32_MIN, RealFloor(-2147483648.0));
}

TEST(RealMathBeyondTheDomainTest, ExtremeExponents)
{
    EXPECT_TRUE(SameBits(0.0, RealScale(1.0, INT32_MIN)));
    EXPECT_TRUE(SameBits(-0.0, RealScale(-1e308, INT32_MIN)));
    EXPECT_TRUE(SameBits(Infinity, RealExp(2e9)));
    EXPECT_TRUE(SameBits(0.0, RealExp(-2e9)));

    int32_t k = 0;
    EXPECT_TRUE(SameBits(0.75, RealDecompose(std::ldexp(1.5, 1023), &k)));
    EXPECT_EQ(1024, k);
    EXPECT_TRUE(SameBits(-0.5, RealDecompose(-std::ldexp(1.0, -1074), &k)));
    EXPECT_EQ(-1073, k);

    // Where the defined steps have no power of two, the logarithm is still right.
    EXPECT_NEAR(709.782712893384, RealLog(std::numeric_limits<double>::max()), 1e-12);
    EXPECT_NEAR(-744.4400719213812, RealLog(std::ldexp(1.0, -1074)), 1e-12);
    EXPECT_NEAR(-708.3964185322641, RealLog(std::numeric_limits<double>::min()), 1e-12);
}

TEST(RealMathTableTest, EveryGeneratedCaseMatchesToTheBit)
{
    int passed = 0, total = 0;
    for (const RealMathCase& c : RealMathCases) {
        ++total;
        RealMathOutcome got = EvaluateCase(c);
        if (got.Bits == c.Expected && got.K == c.K)
            ++passed;
        else
            ADD_FAILURE() << RoutineName(c.Which) << " case " << total << ": expected 0x" << std::hex << c.Expected
                          << " k " << std::dec << c.K << ", got 0x" << std::hex << got.Bits << " k " << std::dec
                          << got.K;
    }
    printf("%d of %d generated cases match to the bit\n", passed, total);
    EXPECT_GE(total, 2000);
}

} // namespace
