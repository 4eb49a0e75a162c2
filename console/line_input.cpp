#include "console/line_input.h"

#include <imm.h>

#include "console/console.h"
#include "runtime/code_page.h"

// Line input keeps the InputBuffer within its 255 bytes of text: typing and
// pasting stop storing when it is full, a double-byte character goes in whole
// or not at all, and Backspace never moves the cursor left of column 0.

namespace {

const LONG MaxLineBytes = InputBufferBytes - 1; // 255, and the terminator
const int CaretWidth = 9;
const int CaretHeight = 6;

// Every step below runs on the console thread; those that touch the rows or
// the cursor hold the store's lock (ConsoleChar takes it).
LineInput& Input = Console.Input;
TextStore& Store = Console.Text;

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

// How many bytes the line's last character takes: 2 for a double-byte pair,
// 1 for a single byte or a lone lead byte (a cut paste can leave one).
LONG LastCharacterBytes(const BYTE* text, LONG length)
{
    LONG start = 0;
    while (start < length) {
        LONG size = IsLeadByte(text[start]) && start + 1 < length ? 2 : 1;
        if (start + size >= length)
            return length - start;
        start += size;
    }
    return 0;
}

// Takes back the whole last character: both bytes and both cells of a pair.
void Backspace()
{
    LONG length = Input.InputLength;
    if (length <= 0)
        return;
    LONG bytes = LastCharacterBytes(reinterpret_cast<const BYTE*>(Input.InputBuffer), length);
    length -= bytes;
    Input.InputBuffer[length] = 0;
    Input.InputLength = length;
    CellPosition& cursor = Store.Cursor;
    for (LONG i = 0; i < bytes && cursor.Column > 0; ++i) {
        cursor.Column -= 1;
        Store.TextScreen.Text[cursor.Row][cursor.Column] = 0;
    }
}

void EndLine(TrackedString* echo)
{
    Input.InputBuffer[Input.InputLength] = 0;
    Input.InputLength = -1;
    Assign(echo, StringFromText("\r\n"));
}

// How many bytes of text fit into room bytes without cutting a double-byte character.
LONG WholeCharactersThatFit(const BYTE* text, LONG available, LONG room)
{
    LONG taken = 0;
    while (taken < available) {
        LONG size = IsLeadByte(text[taken]) && taken + 1 < available ? 2 : 1;
        if (taken + size > room)
            break;
        taken += size;
    }
    return taken;
}

// Takes as much of the text as fits, whole characters only, and echoes it.
void TakePastedText(const BYTE* text, LONG available, TrackedString* echo)
{
    LONG length = Input.InputLength;
    LONG taken = WholeCharactersThatFit(text, available, MaxLineBytes - length);
    RtlMoveMemory(Input.InputBuffer + length, text, taken);
    Input.InputBuffer[length + taken] = 0;
    Input.InputLength = length + taken;
    Assign(echo, StringFromBytes(reinterpret_cast<const char*>(text), taken));
}

// Unicode text, in code page 932: characters that have no code page 932 form
// are left out. The platform's own conversion would use the system's code
// page, which on a non-Japanese system turns Japanese into question marks.
bool PasteUnicode(TrackedString* echo)
{
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* wide = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (!wide)
        return false;
    // Enough for the line: no more than 255 characters can be taken.
    int count = 0;
    while (count < MaxLineBytes && wide[count])
        ++count;
    std::string bytes = TextFromWide(wide, count);
    GlobalUnlock(data);
    TakePastedText(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<LONG>(bytes.size()), echo);
    return true;
}

// The text format the clipboard's text was put there in: the platform lists
// it before the ones it makes from it. Text put there as bytes is taken as
// it is: the Unicode the platform makes of it reads the bytes in the
// keyboard's code page, which need not be 932.
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
    LONG length = Input.InputLength;
    LONG room = MaxLineBytes - length;
    if (room <= 0 || (IsLeadByte(byte) && room < 2)) {
        Input.DropTrailByte = IsLeadByte(byte);
        return;
    }
    Input.InputBuffer[length] = static_cast<char>(byte);
    Input.InputLength = length + 1;
    char typed[1] = {static_cast<char>(byte)};
    Assign(echo, StringFromBytes(typed, 1));
}

// The character into the line, its echo into echo; false when nothing is to be echoed.
bool TakeCharacter(HWND window, WPARAM code, TrackedString* echo)
{
    std::lock_guard<std::recursive_mutex> hold(Store.Lock); // program threads may print meanwhile
    // Only the character right after a dropped lead byte can be its trail byte.
    bool trailOfDropped = Input.DropTrailByte;
    Input.DropTrailByte = false;
    switch (code) {
    case 8: Backspace(); return true;
    case 13: EndLine(echo); return true;
    case 22: return Paste(window, echo);
    default: Type(static_cast<BYTE>(code & 0xFF), trailOfDropped, echo); return true;
    }
}

} // namespace

void ConsoleKeyDown(WPARAM virtualKey)
{
    if (Input.InputLength == -1)
        Input.LastKey = static_cast<BYTE>(virtualKey & 0xFF);
}

void ConsoleChar(HWND window, WPARAM code, TrackedString* echo)
{
    if (Input.InputLength == -1 || !TakeCharacter(window, code, echo))
        return;
    // The focus messages outside the store's lock: their handlers take it.
    SendMessageW(window, WM_KILLFOCUS, 0, 0);
    PrintText(StringCopy(*echo));
    SendMessageW(window, WM_SETFOCUS, 0, 0);
}

void ConsoleSetFocus(HWND window)
{
    if (Input.InputLength == -1)
        return;
    ConsoleSurface& surface = Console.Surface;
    CellPosition cursor = ConsoleCursor();
    LONG x = cursor.Column * surface.CellWidth;
    LONG y = cursor.Row * surface.LineHeight;
    if (HIMC context = ImmGetContext(window)) {
        COMPOSITIONFORM form{};
        form.dwStyle = CFS_POINT;
        form.ptCurrentPos = POINT{x, y};
        ImmSetCompositionWindow(context, &form);
        ImmSetCompositionFontW(context, &surface.ConsoleFontDescription);
        // The candidate list goes beside the cursor's cell, never over it.
        CANDIDATEFORM candidates{};
        candidates.dwIndex = 0;
        candidates.dwStyle = CFS_EXCLUDE;
        candidates.ptCurrentPos = POINT{x, y};
        candidates.rcArea = RECT{x, y, x + 2 * surface.CellWidth, y + surface.LineHeight};
        ImmSetCandidateWindow(context, &candidates);
        ImmReleaseContext(window, context);
    }
    CreateCaret(window, nullptr, CaretWidth, CaretHeight);
    SetCaretPos(x, y + surface.LineHeight - 7);
    ShowCaret(window);
}

void ConsoleKillFocus(HWND window)
{
    HideCaret(window);
    DestroyCaret();
}
