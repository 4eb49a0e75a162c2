// How far the floating-point routines stray from the platform's libm, in
// units in the last place, per range of arguments: today's worst cases over a
// fixed sample are the bounds, so a change that makes any range worse fails.
// Native only: the reference is the C library's exp, log and pow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <prompt/numeric.h>

namespace {

// The distance between two doubles in steps of the last place.
double UlpDistance(double a, double b)
{
    auto ordered = [](double x) {
        int64_t bits;
        std::memcpy(&bits, &x, sizeof bits);
        return bits < 0 ? INT64_MIN - bits : bits;
    };
    int64_t d = ordered(a) - ordered(b);
    return d < 0 ? -static_cast<double>(d) : static_cast<double>(d);
}

// The same sample on every run.
struct Sample {
    uint64_t State;
    double Next() // [0, 1)
    {
        State = State * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<double>(State >> 11) * (1.0 / 9007199254740992.0);
    }
};

const int Points = 200000;

struct Range {
    double Low, High;
    double Bound; // ulp
};

TEST(RealMathAccuracyTest, ExpStaysWithinItsFiguresPerRange)
{
    // The argument reduction rounds k * ln 2 once, so the error grows with
    // |x|; a negative x reduces into [ln2/2, 3 ln2/2), where the continued
    // fraction is least exact.
    for (Range r : {Range{0, 1, 2}, Range{1, 10, 7}, Range{10, 700, 715}, Range{-1, 0, 1877}, Range{-10, -1, 1879},
                    Range{-700, -10, 2360}}) {
        Sample sample{12345};
        double worst = 0;
        for (int i = 0; i < Points; ++i) {
            double x = r.Low + (r.High - r.Low) * sample.Next();
            worst = std::fmax(worst, UlpDistance(RealExp(x), std::exp(x)));
        }
        std::printf("RealExp on [%g, %g]: %g ulp\n", r.Low, r.High, worst);
        EXPECT_LE(worst, r.Bound) << "RealExp on [" << r.Low << ", " << r.High << "]";
    }
}

TEST(RealMathAccuracyTest, LogStaysWithinItsFiguresPerRange)
{
    // Spread evenly in the logarithm over the wide ranges, linearly over the narrow.
    struct LogRange {
        Range Span;
        bool Logarithmic;
    };
    for (LogRange r : {LogRange{{1e-300, 1e-10, 1}, true}, LogRange{{1e-10, 1, 2}, false}, LogRange{{1, 10, 2}, false},
                       LogRange{{10, 1e300, 1}, true}}) {
        Sample sample{777};
        double worst = 0;
        double low = std::log(r.Span.Low), high = std::log(r.Span.High);
        for (int i = 0; i < Points; ++i) {
            double t = sample.Next();
            double x = r.Logarithmic ? std::exp(low + (high - low) * t) : r.Span.Low + (r.Span.High - r.Span.Low) * t;
            worst = std::fmax(worst, UlpDistance(RealLog(x), std::log(x)));
        }
        std::printf("RealLog on [%g, %g]: %g ulp\n", r.Span.Low, r.Span.High, worst);
        EXPECT_LE(worst, r.Span.Bound) << "RealLog on [" << r.Span.Low << ", " << r.Span.High << "]";
    }
}

TEST(RealMathAccuracyTest, PowerStaysWithinItsFiguresPerRange)
{
    // Off the integer path RealPower is RealExp(y * RealLog(x)): a result
    // below 1 comes from RealExp of a negative argument.
    struct PowerRange {
        double XLow, XHigh, YLow, YHigh;
        double Bound;
    };
    for (PowerRange r : {PowerRange{0, 1, 0, 1, 1877}, PowerRange{0, 1, 1, 10, 1887}, PowerRange{1, 10, 0.01, 10, 56},
                         PowerRange{0.01, 1, -10, -0.01, 100}, PowerRange{1, 10, -10, -0.01, 1889}}) {
        Sample sample{999};
        double worst = 0;
        for (int i = 0; i < Points; ++i) {
            double x = r.XLow + (r.XHigh - r.XLow) * sample.Next();
            double y = r.YLow + (r.YHigh - r.YLow) * sample.Next();
            if (x <= 0 || y == std::floor(y))
                continue; // the integer path is exact by construction; x <= 0 gives 0
            worst = std::fmax(worst, UlpDistance(RealPower(x, y), std::pow(x, y)));
        }
        std::printf("RealPower x in [%g, %g], y in [%g, %g]: %g ulp\n", r.XLow, r.XHigh, r.YLow, r.YHigh, worst);
        EXPECT_LE(worst, r.Bound) << "RealPower x in [" << r.XLow << ", " << r.XHigh << "], y in [" << r.YLow << ", "
                                  << r.YHigh << "]";
    }
}

} // namespace
