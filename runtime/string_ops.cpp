#include <prompt/strings.h>

#include "runtime/code_page.h"

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

// Japanese order on any system: the texts are code page 932, and a Japanese
// system's own order is the Japanese locale's.
static int CompareInJapaneseOrder(TrackedString left, TrackedString right)
{
    const LCID japanese = MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
    std::wstring a = WideFromText(left, StringLength(left)), b = WideFromText(right, StringLength(right));
    return CompareStringW(japanese, 0, a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()));
}

int StringCompare(TrackedString left, TrackedString right)
{
    int result = CompareInJapaneseOrder(left, right);
    ReleaseString(left);
    ReleaseString(right);
    return result;
}

int StringCompareKeepLeft(TrackedString left, TrackedString right)
{
    int result = CompareInJapaneseOrder(left, right);
    ReleaseString(right);
    return result;
}
