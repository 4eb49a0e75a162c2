// Counts how many generated cases a build of the floating-point routines
// gets wrong. Built with x87 arithmetic it shows why the routines demand SSE2:
//   real_math_table_check [--expect-mismatch]
#include <cstdio>
#include <cstring>

#include "real_math_cases.h"

int main(int argc, char** argv)
{
    bool expectMismatch = argc > 1 && std::strcmp(argv[1], "--expect-mismatch") == 0;
    int total = 0, wrong = 0;
    for (const RealMathCase& c : RealMathCases) {
        ++total;
        RealMathOutcome got = EvaluateCase(c);
        if (got.Bits != c.Expected || got.K != c.K)
            ++wrong;
    }
    std::printf("%d of %d cases differ from the expected bits\n", wrong, total);
    return expectMismatch ? (wrong > 0 ? 0 : 1) : (wrong == 0 ? 0 : 1);
}
