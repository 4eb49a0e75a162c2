#include "runtime/string_ops.h"

TrackedString StringConcat(TrackedString left, TrackedString right)
{
    LONG a = StringLength(left);
    LONG b = StringLength(right);
    TrackedString result = AllocString(a + b);
    RtlMoveMemory(result, left, a);
    RtlMoveMemory(result + a, right, b);
    ReleaseString(left);
    ReleaseString(right);
    return result;
}

static int CompareInSystemOrder(TrackedString left, TrackedString right)
{
    return CompareStringA(LOCALE_SYSTEM_DEFAULT, 0, left, StringLength(left), right, StringLength(right));
}

int StringCompare(TrackedString left, TrackedString right)
{
    int result = CompareInSystemOrder(left, right);
    ReleaseString(left);
    ReleaseString(right);
    return result;
}

int StringCompareKeepLeft(TrackedString left, TrackedString right)
{
    int result = CompareInSystemOrder(left, right);
    ReleaseString(right);
    return result;
}
