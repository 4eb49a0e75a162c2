#pragma once
// Power, exponential and natural logarithm on 64-bit reals, built from the
// four arithmetic operations alone. Every step rounds to a double, in the
// order written, so results are the same to the bit on every machine that
// does IEEE double arithmetic without excess precision or fused operations.
#include <cstdint>

double RealPower(double x, double y);
double RealExp(double x);
double RealLog(double x);
double RealIntPower(double x, int32_t n);
double RealScale(double x, int32_t n);
double RealDecompose(double v, int32_t* k);
int32_t RealFloor(double x);
double RealAbs(double x);
