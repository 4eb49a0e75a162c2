#pragma once
// Power, exponential and natural logarithm on doubles, built from the four
// arithmetic operations alone, each step rounded in a fixed order: the same
// bits wherever every step is rounded to a double (SSE2 doubles, no fused
// multiply-add contraction, as Prompt::runtime's compile options ask; the x87
// unit's wider intermediates give other bits). Accuracy against a correctly
// rounded library, per range: docs/runtime.md. No errors, no traps: outside
// its domain a routine returns a value (below). Pure functions; any thread.
#include <cstdint>

double RealPower(double x, double y);      // x to the power y; 0 for x <= 0 unless y is a whole number
double RealExp(double x);                  // e to the power x
double RealLog(double x);                  // natural logarithm; 0 for x <= 0
double RealIntPower(double x, int32_t n);  // x to the integer power n
double RealScale(double x, int32_t n);     // x times 2 to the power n
double RealDecompose(double v, int32_t* k); // m with v = m * 2^k, 0.5 <= |m| < 1 (0 and k = 0 for 0)
int32_t RealFloor(double x);               // the largest integer not above x
double RealAbs(double x);
