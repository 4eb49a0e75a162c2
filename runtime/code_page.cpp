#include "runtime/code_page.h"

std::wstring WideFromText(const char* text, int length)
{
    if (!text || length == 0)
        return std::wstring();
    int wide = MultiByteToWideChar(TextCodePage, 0, text, length, nullptr, 0);
    if (wide <= 0)
        return std::wstring();
    std::wstring result(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(TextCodePage, 0, text, length, &result[0], wide);
    if (length < 0)
        result.pop_back(); // the terminating zero was converted too
    return result;
}

int ShowMessageBox(HWND owner, const char* text, const char* title, UINT type)
{
    return MessageBoxW(owner, WideFromText(text).c_str(), WideFromText(title).c_str(), type);
}

namespace {

// Text from the web and from Macs carries these where Japanese Windows text
// has a neighbour of its own (the wave dash, the double bar, the minus, the
// cent, pound and not signs). Code page 932 has no form for them without a
// best fit, so they take the bytes of the neighbour, as a reader expects.
struct Neighbour {
    wchar_t Character;
    unsigned short Bytes;
};
const Neighbour Neighbours[] = {{0x301C, 0x8160}, {0x2016, 0x8161}, {0x2212, 0x817C},
                                {0x00A2, 0x8191}, {0x00A3, 0x8192}, {0x00AC, 0x81CA}};

} // namespace

std::string TextFromWide(const wchar_t* text, int length)
{
    std::string result;
    if (!text)
        return result;
    // One character at a time, so that one without a code page 932 form is
    // dropped rather than turned into the platform's "?".
    for (int i = 0; length < 0 ? text[i] != 0 : i < length;) {
        const Neighbour* neighbour = nullptr;
        for (const Neighbour& n : Neighbours)
            neighbour = text[i] == n.Character ? &n : neighbour;
        if (neighbour) {
            result += static_cast<char>(neighbour->Bytes >> 8);
            result += static_cast<char>(neighbour->Bytes & 0xFF);
            ++i;
            continue;
        }
        int units = IS_HIGH_SURROGATE(text[i]) && (length < 0 || i + 1 < length) && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        char bytes[4];
        BOOL lost = FALSE;
        int made = WideCharToMultiByte(TextCodePage, WC_NO_BEST_FIT_CHARS, text + i, units, bytes, sizeof bytes,
                                       nullptr, &lost);
        if (made > 0 && !lost)
            result.append(bytes, static_cast<size_t>(made));
        i += units;
    }
    return result;
}
