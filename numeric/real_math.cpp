#include <prompt/numeric.h>

#include <limits>

// The nearest doubles to ln 2 and the square root of 2.
static const double Ln2 = 0.6931471805599453;
static const double Sqrt2 = 1.4142135623730951;

static const double Infinity = std::numeric_limits<double>::infinity();
static const double Int32Limit = 2147483648.0; // 2 to the 31

static bool IsNan(double x) { return x != x; }
static bool IsFinite(double x) { return x - x == 0.0; }

double RealAbs(double x)
{
    return x < 0 ? x * -1.0 : x;
}

int32_t RealFloor(double x)
{
    // Outside the 32-bit range (and for NaN) the conversion has no value of
    // its own; clamp rather than trap.
    if (IsNan(x))
        return 0;
    if (x >= Int32Limit)
        return INT32_MAX;
    if (x < -Int32Limit)
        return INT32_MIN;
    int32_t t = static_cast<int32_t>(x);
    if (x < 0 && x < static_cast<double>(t))
        return t - 1;
    return t;
}

double RealIntPower(double x, int32_t n)
{
    uint32_t m = static_cast<uint32_t>(static_cast<int64_t>(RealAbs(static_cast<double>(n))));
    double acc = 1.0;
    while (m != 0) {
        if (m & 1)
            acc = acc * x;
        x = x * x;
        m = m / 2;
    }
    return n >= 0 ? acc : 1.0 / acc;
}

double RealScale(double x, int32_t n)
{
    double b = 2.0;
    // The magnitude as unsigned, so that -2147483648 scales by 2 to the -2147483648.
    uint32_t m = static_cast<uint32_t>(n);
    if (n < 0) {
        b = 0.5;
        m = 0u - m;
    }
    while (m != 0) {
        if (m & 1)
            x = x * b;
        b = b * b;
        m >>= 1;
    }
    return x;
}

// 2 to the 64, exact: brings a subnormal into the normal range in one step.
static const double TwoTo64 = 18446744073709551616.0;

// The k with 0.5 <= |v| / 2^k < 1 for a finite nonzero v, found by halving
// the distance instead of trying one k after another. Every factor is a power
// of two, so each step is exact, and the k found is the one that a search
// through every k finds, since only one k fits.
static int32_t ExponentOf(double v)
{
    double up[10], down[10]; // 2^1, 2^2, 2^4, ... 2^512 and their reciprocals, by squaring
    up[0] = 2.0;
    down[0] = 0.5;
    for (int i = 1; i < 10; ++i) {
        up[i] = up[i - 1] * up[i - 1];
        down[i] = down[i - 1] * down[i - 1];
    }

    double a = RealAbs(v);
    int32_t k = 0;
    if (a >= 1.0) {
        for (int i = 9; i >= 0; --i)
            if (a >= up[i]) {
                a = a * down[i];
                k += 1 << i;
            }
        return k + 1; // now 1 <= a < 2
    }
    if (a < 0.5 * down[9] * down[9]) { // deep in the subnormals
        a = a * TwoTo64;
        k -= 64;
    }
    for (int i = 9; i >= 0; --i)
        if (a * up[i] < 0.5) {
            a = a * up[i];
            k -= 1 << i;
        }
    if (a < 0.5) // now 0.25 <= a < 0.5
        k -= 1;
    return k;
}

double RealDecompose(double v, int32_t* k)
{
    if (v == 0 || !IsFinite(v)) {
        *k = 0;
        return v == 0 ? 0.0 : v; // NaN and infinities come back as they are
    }
    int32_t e = ExponentOf(v);
    *k = e;
    if (e >= -1023 && e <= 1023)
        return v / RealIntPower(2.0, e); // the very division of the search at this k
    // 2^e itself is not a finite double here: divide in two exact steps.
    if (e > 1023)
        return (v / 2.0) / RealIntPower(2.0, e - 1);
    return (v * TwoTo64) / RealIntPower(2.0, e + 64);
}

double RealLog(double x)
{
    if (x <= 0)
        return 0.0;
    if (!IsFinite(x))
        return x; // +infinity and NaN

    // Only the exponent of the split of x / sqrt 2 is needed, not its mantissa.
    int32_t k = ExponentOf(x / Sqrt2);
    // Where 2^k is no finite double, take the logarithm of a scaled x and add
    // the scale back.
    if (k > 1023)
        return RealLog(x * 0.5) + Ln2;
    if (k < -1023)
        return RealLog(x * TwoTo64) - 64 * Ln2;

    double m = x / RealScale(1.0, k);
    double u = m - 1;
    double t = 0.0;
    for (int i = 9; i >= 1; --i) {
        double ui = u * i;
        t = ui / (2 + ui / ((2 * i + 1) + t));
    }
    double scaled = k * Ln2;
    return scaled + u / (1 + t);
}

double RealExp(double x)
{
    double w = x / Ln2;
    int32_t k;
    if (x >= 0) {
        if (!(w + 0.5 < Int32Limit))
            return IsNan(x) ? x : Infinity; // far past overflow
        k = RealFloor(w + 0.5);
    } else {
        if (!(w - 0.5 >= -Int32Limit))
            return IsNan(x) ? x : 0.0; // far past underflow
        k = RealFloor(w - 0.5);
    }
    double kLn2 = k * Ln2;
    double r = x - kLn2;
    double z = r * r;
    double g = z / 22;
    for (int i = 18; i >= 6; i -= 4)
        g = z / (i + g);
    double n = (g + 2) + r;
    double d = (g + 2) - r;
    return RealScale(n / d, k);
}

double RealPower(double x, double y)
{
    if (y >= -2147483647.0 && y <= 2147483647.0 && y == static_cast<double>(RealFloor(y)))
        return RealIntPower(x, static_cast<int32_t>(y));
    if (IsNan(x))
        return x; // not a number is no base below zero
    if (x > 0) {
        double exponent = y * RealLog(x);
        return RealExp(exponent);
    }
    return 0.0;
}
