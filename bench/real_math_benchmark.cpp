// Google Benchmark view of the same comparison, natively.
#include <benchmark/benchmark.h>

#include <cmath>

#include <prompt/numeric.h>

static void Inputs(benchmark::State& state, double (*f)(double), double x)
{
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(f(x));
    }
}

static double PlatformExp(double x) { return std::exp(x); }
static double PlatformLog(double x) { return std::log(x); }

BENCHMARK_CAPTURE(Inputs, RealExp_0_7, RealExp, 0.7);
BENCHMARK_CAPTURE(Inputs, exp_0_7, PlatformExp, 0.7);
BENCHMARK_CAPTURE(Inputs, RealExp_500, RealExp, 500.0);
BENCHMARK_CAPTURE(Inputs, exp_500, PlatformExp, 500.0);
BENCHMARK_CAPTURE(Inputs, RealLog_3, RealLog, 3.0);
BENCHMARK_CAPTURE(Inputs, log_3, PlatformLog, 3.0);
BENCHMARK_CAPTURE(Inputs, RealLog_1e300, RealLog, 1e300);
BENCHMARK_CAPTURE(Inputs, log_1e300, PlatformLog, 1e300);
BENCHMARK_CAPTURE(Inputs, RealLog_1e-300, RealLog, 1e-300);
BENCHMARK_CAPTURE(Inputs, log_1e-300, PlatformLog, 1e-300);

static void PowerInputs(benchmark::State& state, double (*f)(double, double))
{
    double x = 2.5, y = 0.37;
    for (auto _ : state) {
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(f(x, y));
    }
}
static double PlatformPow(double x, double y) { return std::pow(x, y); }
BENCHMARK_CAPTURE(PowerInputs, RealPower, RealPower);
BENCHMARK_CAPTURE(PowerInputs, pow, PlatformPow);

BENCHMARK_MAIN();
