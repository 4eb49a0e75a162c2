#include <prompt/strings.h>

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

// CompareStringA reads the bytes in the code page of the locale it is given.
// The text is code page 932 whatever the system: on a Japanese system that is
// the system locale's own, elsewhere the Japanese locale reads it right.
static LCID TextLocale()
{
    static const LCID locale = [] {
        char codePage[8] = "";
        GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, codePage, sizeof codePage);
        return lstrcmpA(codePage, "932") == 0 ? LCID(LOCALE_SYSTEM_DEFAULT)
                                              : MAKELCID(MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN), SORT_DEFAULT);
    }();
    return locale;
}

static int CompareInSystemOrder(TrackedString left, TrackedString right)
{
    return CompareStringA(TextLocale(), 0, left, StringLength(left), right, StringLength(right));
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
