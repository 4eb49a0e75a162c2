// Time per call of RealExp, RealLog and RealPower against the platform's
// exp, log and pow on the same inputs, printed as one table of ratios.
// Builds natively and for Windows (run under Wine).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

#include <prompt/numeric.h>

namespace {

volatile double Sink;

// Median over several runs of the time of one call, in nanoseconds.
double NanosecondsPerCall(const std::vector<double>& xs, const std::vector<double>& ys,
                          const std::function<double(double, double)>& f)
{
    const int runs = 7;
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        double sum = 0;
        auto start = std::chrono::steady_clock::now();
        for (size_t i = 0; i < xs.size(); ++i)
            sum += f(xs[i], ys[i]);
        auto end = std::chrono::steady_clock::now();
        Sink = sum;
        times.push_back(std::chrono::duration<double, std::nano>(end - start).count() / xs.size());
    }
    std::sort(times.begin(), times.end());
    return times[runs / 2];
}

struct Row {
    const char* Name;
    double Low, High;       // x drawn log-uniformly (or uniformly if Low <= 0) in [Low, High]
    double YLow, YHigh;     // y for the power rows
    std::function<double(double, double)> Ours, Platform;
};

std::vector<double> Draw(std::mt19937& rng, double low, double high, size_t count)
{
    std::vector<double> values(count);
    for (double& v : values) {
        if (low > 0) {
            std::uniform_real_distribution<double> exponent(std::log(low), std::log(high));
            v = std::exp(exponent(rng));
        } else {
            std::uniform_real_distribution<double> uniform(low, high);
            v = uniform(rng);
        }
    }
    return values;
}

} // namespace

int main()
{
    auto ourExp = [](double x, double) { return RealExp(x); };
    auto ourLog = [](double x, double) { return RealLog(x); };
    auto ourPow = [](double x, double y) { return RealPower(x, y); };
    auto theirExp = [](double x, double) { return std::exp(x); };
    auto theirLog = [](double x, double) { return std::log(x); };
    auto theirPow = [](double x, double y) { return std::pow(x, y); };

    const Row rows[] = {
        {"RealExp   x in [-1, 1]", -1, 1, 0, 0, ourExp, theirExp},
        {"RealExp   x in [-700, 700]", -700, 700, 0, 0, ourExp, theirExp},
        {"RealLog   x near 1", 0.5, 2, 0, 0, ourLog, theirLog},
        {"RealLog   x in [1e-5, 1e5]", 1e-5, 1e5, 0, 0, ourLog, theirLog},
        {"RealLog   x near 1e300", 1e299, 1e301, 0, 0, ourLog, theirLog},
        {"RealLog   x near 1e-300", 1e-301, 1e-299, 0, 0, ourLog, theirLog},
        {"RealLog   x subnormal", 1e-320, 1e-310, 0, 0, ourLog, theirLog},
        {"RealPower x in [0.1, 10], y in [-5, 5]", 0.1, 10, -5, 5, ourPow, theirPow},
        {"RealPower x in [1e-100, 1e100], y in [-3, 3]", 1e-100, 1e100, -3, 3, ourPow, theirPow},
    };

    std::mt19937 rng(1208);
    const size_t count = 200000;
    std::printf("%-46s %10s %10s %7s\n", "routine and inputs", "ours ns", "platform", "ratio");
    double worst = 0;
    for (const Row& row : rows) {
        std::vector<double> xs = Draw(rng, row.Low, row.High, count);
        std::vector<double> ys = row.YLow < row.YHigh ? Draw(rng, row.YLow, row.YHigh, count) : std::vector<double>(count, 0.0);
        double ours = NanosecondsPerCall(xs, ys, row.Ours);
        double theirs = NanosecondsPerCall(xs, ys, row.Platform);
        worst = std::max(worst, ours / theirs);
        std::printf("%-46s %10.1f %10.1f %6.2fx\n", row.Name, ours, theirs, ours / theirs);
    }
    std::printf("worst ratio %.2fx (medians of 7 runs of %zu calls)\n", worst, count);
    return 0;
}
