#pragma once
// The generated table of expected results, and how to evaluate one case.
#include <cstdint>
#include <cstring>

#include <prompt/numeric.h>

enum class Routine { Floor, Abs, IntPower, Scale, Decompose, Log, Exp, Power };

struct RealMathCase {
    Routine Which;
    uint64_t Argument;       // bits of the real argument
    uint64_t Second;         // bits of y, or the integer n
    uint64_t Expected;       // bits of the result (the integer for Floor)
    int32_t K;               // the exponent for Decompose
};

static const RealMathCase RealMathCases[] = {
#include "data/real_math_cases.inc"
};

struct RealMathOutcome {
    uint64_t Bits;
    int32_t K;
};

inline double RealFromBits(uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline uint64_t BitsOfReal(double x)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline RealMathOutcome EvaluateCase(const RealMathCase& c)
{
    double x = RealFromBits(c.Argument);
    int32_t n = static_cast<int32_t>(static_cast<uint32_t>(c.Second));
    int32_t k = 0;
    switch (c.Which) {
    case Routine::Floor: return {static_cast<uint64_t>(static_cast<int64_t>(RealFloor(x))), 0};
    case Routine::Abs: return {BitsOfReal(RealAbs(x)), 0};
    case Routine::IntPower: return {BitsOfReal(RealIntPower(x, n)), 0};
    case Routine::Scale: return {BitsOfReal(RealScale(x, n)), 0};
    case Routine::Decompose: {
        double q = RealDecompose(x, &k);
        return {BitsOfReal(q), k};
    }
    case Routine::Log: return {BitsOfReal(RealLog(x)), 0};
    case Routine::Exp: return {BitsOfReal(RealExp(x)), 0};
    case Routine::Power: return {BitsOfReal(RealPower(x, RealFromBits(c.Second))), 0};
    }
    return {0, 0};
}

inline const char* RoutineName(Routine r)
{
    static const char* names[] = {"RealFloor", "RealAbs", "RealIntPower", "RealScale",
                                  "RealDecompose", "RealLog", "RealExp", "RealPower"};
    return names[static_cast<int>(r)];
}
