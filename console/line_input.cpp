#include "console/line_input.h"

#include <imm.h>

#include "console/console.h"

// Line input keeps the InputBuffer within its 255 bytes of text: typing and
// pasting stop storing when it is full, a double-byte character goes in whole
// or not at all, and Backspace never moves the cursor left of column 0.

namespace {

const LONG MaxLineBytes = InputBufferBytes - 1; // 255, and the terminator
const int CaretWidth = 9;
const int CaretHeight = 6;

void Assign(TrackedString* variable, TrackedString value)
{
    ReleaseString(*variable);
    *variable = value;
}

TrackedString StringFromBytes(const char* bytes, LONG length)
{
    TrackedString s = AllocString(length);
    RtlMoveMemory(s, bytes, length);
    return s;
}

void Backspace()
{
    LONG length = Console.InputLength;
    if (length <= 0)
        return;
    length -= 1;
    Console.InputBuffer[length] = 0;
    Console.InputLength = length;
    if (Console.Cursor.Column > 0) {
        Console.Cursor.Column -= 1;
        Console.TextScreen.Text[Console.Cursor.Row][Console.Cursor.Column] = 0;
    }
}

void EndLine(TrackedString* echo)
{
    Console.InputBuffer[Console.InputLength] = 0;
    Console.InputLength = -1;
    Assign(echo, StringFromText("\r\n"));
}

// How many bytes of text fit into room bytes without cutting a double-byte character.
LONG WholeCharactersThatFit(const BYTE* text, LONG available, LONG room)
{
    LONG taken = 0;
    while (taken < available) {
        LONG size = IsDBCSLeadByte(text[taken]) && taken + 1 < available ? 2 : 1;
        if (taken + size > room)
            break;
        taken += size;
    }
    return taken;
}

// Takes as much of the text as fits, whole characters only, and echoes it.
void TakePastedText(const BYTE* text, LONG available, TrackedString* echo)
{
    LONG length = Console.InputLength;
    LONG taken = WholeCharactersThatFit(text, available, MaxLineBytes - length);
    RtlMoveMemory(Console.InputBuffer + length, text, taken);
    Console.InputBuffer[length + taken] = 0;
    Console.InputLength = length + taken;
    Assign(echo, StringFromBytes(reinterpret_cast<const char*>(text), taken));
}

// Text from a Unicode program is converted in the process's own code page
// (932): the platform would convert it with the keyboard's locale, which on a
// non-Japanese system turns Japanese into question marks. Text put there as
// bytes is taken as it is.
bool PasteUnicode(TrackedString* echo)
{
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* wide = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (!wide)
        return false;
    // Enough for the line: no more than 255 characters can be taken.
    char bytes[2 * InputBufferBytes] = {};
    int count = 0;
    while (count < MaxLineBytes && wide[count])
        ++count;
    int converted = WideCharToMultiByte(CP_ACP, 0, wide, count, bytes, sizeof bytes, nullptr, nullptr);
    GlobalUnlock(data);
    TakePastedText(reinterpret_cast<const BYTE*>(bytes), converted, echo);
    return true;
}

// The text format the clipboard's text was put there in: the platform lists
// it before the ones it converts to.
UINT OriginalTextFormat()
{
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format))
        if (format == CF_TEXT || format == CF_UNICODETEXT)
            return format;
    return 0;
}

// False when the clipboard holds no text: then nothing is echoed at all.
bool Paste(HWND window, TrackedString* echo)
{
    OpenClipboard(window);
    bool pasted = OriginalTextFormat() == CF_UNICODETEXT && PasteUnicode(echo);
    if (!pasted) {
        HANDLE data = GetClipboardData(CF_TEXT);
        const BYTE* text = data ? static_cast<const BYTE*>(GlobalLock(data)) : nullptr;
        if (text) {
            TakePastedText(text, lstrlenA(reinterpret_cast<const char*>(text)), echo);
            GlobalUnlock(data);
        }
        pasted = data != nullptr;
    }
    CloseClipboard();
    return pasted;
}

void Type(BYTE byte, bool trailOfDropped, TrackedString* echo)
{
    if (trailOfDropped)
        return;
    LONG length = Console.InputLength;
    LONG room = MaxLineBytes - length;
    if (room <= 0 || (IsDBCSLeadByte(byte) && room < 2)) {
        Console.DropTrailByte = IsDBCSLeadByte(byte) != 0;
        return;
    }
    Console.InputBuffer[length] = static_cast<char>(byte);
    Console.InputLength = length + 1;
    char typed[1] = {static_cast<char>(byte)};
    Assign(echo, StringFromBytes(typed, 1));
}

} // namespace

void ConsoleKeyDown(WPARAM virtualKey)
{
    if (Console.InputLength == -1)
        Console.LastKey = static_cast<BYTE>(virtualKey & 0xFF);
}

void ConsoleChar(HWND window, WPARAM code, TrackedString* echo)
{
    if (Console.InputLength == -1)
        return;
    std::lock_guard<std::recursive_mutex> hold(TextStoreLock()); // program threads may print meanwhile
    // Only the character right after a dropped lead byte can be its trail byte.
    bool trailOfDropped = Console.DropTrailByte;
    Console.DropTrailByte = false;
    switch (code) {
    case 8: Backspace(); break;
    case 13: EndLine(echo); break;
    case 22:
        if (!Paste(window, echo))
            return;
        break;
    default: Type(static_cast<BYTE>(code & 0xFF), trailOfDropped, echo); break;
    }

    SendMessageA(window, WM_KILLFOCUS, 0, 0);
    PrintText(StringCopy(*echo));
    SendMessageA(window, WM_SETFOCUS, 0, 0);
}

void ConsoleSetFocus(HWND window)
{
    if (Console.InputLength == -1)
        return;
    LONG x = Console.Cursor.Column * Console.CellWidth;
    LONG y = Console.Cursor.Row * Console.LineHeight;
    if (HIMC context = ImmGetContext(window)) {
        COMPOSITIONFORM form{};
        form.dwStyle = CFS_POINT;
        form.ptCurrentPos = POINT{x, y};
        ImmSetCompositionWindow(context, &form);
        ImmSetCompositionFontA(context, &Console.ConsoleFontDescription);
        ImmReleaseContext(window, context);
    }
    CreateCaret(window, nullptr, CaretWidth, CaretHeight);
    SetCaretPos(x, y + Console.LineHeight - 7);
    ShowCaret(window);
}

void ConsoleKillFocus(HWND window)
{
    HideCaret(window);
    DestroyCaret();
}
