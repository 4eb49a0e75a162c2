// Line input's window side: the echo of what is typed, the clipboard, the
// caret and the input method's windows on the cursor's cell. The line and its
// bytes are the text store's (text/line_input.h).
#include "console/console.h"
#include "console/console_testing.h"

#include <imm.h>

#include <string>

#include "runtime/code_page.h"
#include "text/line_input.h"
#include "text/text_font.h"
#include "text/text_store.h"

namespace {

const int CaretWidth = 9;
const int CaretHeight = 6;
const LONG MaxPastedCharacters = InputBufferBytes - 1; // no more can be taken

// Unicode text, in code page 932: characters that have no code page 932 form
// are left out. The platform's own conversion would use the system's code
// page, which on a non-Japanese system turns Japanese into question marks.
bool PasteUnicode(TrackedString* echo)
{
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const wchar_t* wide = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (!wide)
        return false;
    int count = 0;
    while (count < MaxPastedCharacters && wide[count])
        ++count;
    std::string bytes = TextFromWide(wide, count);
    GlobalUnlock(data);
    LineTakePasted(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<LONG>(bytes.size()), echo);
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
            LineTakePasted(text, lstrlenA(reinterpret_cast<const char*>(text)), echo);
            GlobalUnlock(data);
        }
        pasted = data != nullptr;
    }
    CloseClipboard();
    return pasted;
}

} // namespace

// One byte of a typed character, or Ctrl+V; its echo printed.
void ConsoleChar(HWND window, BYTE byte, TrackedString* echo)
{
    if (!LineRunning())
        return;
    bool echoed = byte == PasteCode ? Paste(window, echo) : LineTakeCharacter(byte, echo);
    if (!echoed)
        return;
    // The caret leaves the cell before the echo and comes back after it, as
    // the focus messages take and give it.
    SendMessageW(window, WM_KILLFOCUS, 0, 0);
    PrintText(StringCopy(*echo));
    SendMessageW(window, WM_SETFOCUS, 0, 0);
}

// Characters arrive as UTF-16, from the keyboard and the input method alike;
// the line takes their code page 932 bytes one at a time, as a double-byte
// character's two bytes arrive in an ANSI window. A character with no code
// page 932 form is left out.
void LineCharacter(HWND window, WPARAM code, TrackedString* echo)
{
    wchar_t character = static_cast<wchar_t>(code);
    for (char byte : TextFromWide(&character, 1))
        ConsoleChar(window, static_cast<BYTE>(byte), echo);
}

void PrintText(TrackedString text)
{
    TextPrint(text, RowsClientHeight());
    ReleaseString(text);
    DrawPendingRows();
}

void CaretShow(HWND window)
{
    if (!LineRunning())
        return;
    const ConsoleCellMetrics cell = ConsoleMetrics();
    CellPosition cursor = TextCursor();
    LONG x = cursor.Column * cell.CellWidth;
    LONG y = cursor.Row * cell.LineHeight;
    if (HIMC context = ImmGetContext(window)) {
        COMPOSITIONFORM form{};
        form.dwStyle = CFS_POINT;
        form.ptCurrentPos = POINT{x, y};
        ImmSetCompositionWindow(context, &form);
        ImmSetCompositionFontW(context, const_cast<LOGFONTW*>(&ConsoleFontDescription()));
        // The candidate list goes beside the cursor's cell, never over it.
        CANDIDATEFORM candidates{};
        candidates.dwIndex = 0;
        candidates.dwStyle = CFS_EXCLUDE;
        candidates.ptCurrentPos = POINT{x, y};
        candidates.rcArea = RECT{x, y, x + 2 * cell.CellWidth, y + cell.LineHeight};
        ImmSetCandidateWindow(context, &candidates);
        ImmReleaseContext(window, context);
    }
    CreateCaret(window, nullptr, CaretWidth, CaretHeight);
    SetCaretPos(x, y + cell.LineHeight - 7);
    ShowCaret(window);
}

void CaretHide(HWND window)
{
    HideCaret(window);
    DestroyCaret();
}
