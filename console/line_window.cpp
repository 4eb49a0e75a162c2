// Line input's window side: the echo of what is typed, the clipboard, the
// caret and the input method's windows on the cursor's cell. The line and its
// bytes are the text store's (text/line_input.h).
#include "console/console.h"
#include "console/console_testing.h"

#include <imm.h>

#include <string>

#include "runtime/code_page.h"
#include "screen/screen_scale.h"
#include "text/line_input.h"
#include "text/text_font.h"
#include "text/text_store.h"

namespace {

const int CaretWidth = 9;
const int CaretHeight = 6;
const LONG MaxPastedCharacters = InputBufferBytes - 1; // no more can be taken

// The window's input method context while no line runs (console thread).
HIMC DetachedContext;

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
// it before the ones it makes from it. Text put there as bytes is read by its
// own locale's code page: the Unicode the platform makes of it reads the
// bytes in the keyboard's code page, which need not be the one they are in.
UINT OriginalTextFormat()
{
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format))
        if (format == CF_TEXT || format == CF_UNICODETEXT)
            return format;
    return 0;
}

// The ANSI code page of the locale the clipboard's CF_TEXT was put there in
// (CF_LOCALE; without it, the keyboard's), which need not be 932.
UINT ClipboardTextCodePage()
{
    LCID locale = LOWORD(GetKeyboardLayout(0));
    if (HANDLE data = GetClipboardData(CF_LOCALE)) {
        if (const LCID* given = static_cast<const LCID*>(GlobalLock(data))) {
            locale = *given;
            GlobalUnlock(data);
        }
    }
    UINT codePage = 0;
    if (GetLocaleInfoW(locale, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER, reinterpret_cast<LPWSTR>(&codePage),
                       sizeof codePage / sizeof(wchar_t)) == 0 || codePage == 0)
        codePage = CP_ACP;
    return codePage;
}

// Bytes another program put there: taken as they are when they are code
// page 932; in another locale's code page they go through Unicode.
bool PasteBytes(TrackedString* echo)
{
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (!text)
        return data != nullptr;
    LONG length = lstrlenA(text);
    UINT codePage = ClipboardTextCodePage();
    if (codePage == TextCodePage || (codePage == CP_ACP && GetACP() == TextCodePage)) {
        LineTakePasted(reinterpret_cast<const BYTE*>(text), length, echo);
    } else {
        int units = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
        std::wstring wide(units > 0 ? units : 0, L'\0');
        if (units > 0)
            MultiByteToWideChar(codePage, 0, text, length, &wide[0], units);
        std::string bytes = TextFromWide(wide.c_str(), static_cast<int>(wide.size()));
        LineTakePasted(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<LONG>(bytes.size()), echo);
    }
    GlobalUnlock(data);
    return true;
}

// Another program (clipboard history, a remote desktop) often holds the
// clipboard open for a moment: the paste waits for it a little.
bool OpenClipboardSoon(HWND window)
{
    const DWORD patience = 500, pause = 10;
    for (DWORD waited = 0;; waited += pause) {
        if (OpenClipboard(window))
            return true;
        if (waited >= patience)
            return false;
        Sleep(pause);
    }
}

// False when the clipboard holds no text (or stays busy): then nothing is echoed at all.
bool Paste(HWND window, TrackedString* echo)
{
    if (!OpenClipboardSoon(window))
        return false;
    bool pasted = OriginalTextFormat() == CF_UNICODETEXT && PasteUnicode(echo);
    if (!pasted)
        pasted = PasteBytes(echo);
    CloseClipboard();
    return pasted;
}

} // namespace

// One byte of a typed character, or Ctrl+V; its echo printed.
void ConsoleChar(HWND window, BYTE code, TrackedString* echo)
{
    if (!LineRunning())
        return;
    bool echoed = code == PasteCode ? Paste(window, echo) : LineTakeCharacter(code, echo);
    if (!echoed)
        return;
    // The caret leaves the cell before the echo and comes back after it, as
    // the focus messages take and give it.
    SendMessageW(window, WM_KILLFOCUS, 0, 0);
    PrintText(StringCopy(*echo));
    SendMessageW(window, WM_SETFOCUS, 0, 0);
    if (!LineRunning())
        InputMethodDetach(window);
}

// Characters arrive as UTF-16, from the keyboard and the input method alike;
// the line takes their code page 932 bytes one at a time, as a double-byte
// character's two bytes arrive in an ANSI window. A character with no code
// page 932 form is left out.
void LineCharacter(HWND window, WPARAM code, TrackedString* echo)
{
    wchar_t character = static_cast<wchar_t>(code);
    for (char part : TextFromWide(&character, 1))
        ConsoleChar(window, static_cast<BYTE>(part), echo);
}

void PrintText(TrackedString text)
{
    TextPrint(text, RowsClientHeight());
    ReleaseString(text);
    DrawPendingRows();
}

void InputMethodDetach(HWND window)
{
    // Outside a line the keys are a program's (a game's Z or space): the
    // input method, left on after a Japanese line, would take them. Its
    // context is kept and given back for the next line.
    HIMC context = ImmAssociateContext(window, nullptr);
    if (context)
        DetachedContext = context;
}

void CaretShow(HWND window)
{
    if (!LineRunning())
        return;
    if (DetachedContext)
        ImmAssociateContext(window, DetachedContext);
    // The cell in the program's pixels, placed on the window at its scale.
    const ConsoleCellMetrics cell = ConsoleMetrics();
    CellPosition cursor = TextCursor();
    const LONG scale = CurrentScreenPlacement().Scale;
    const POINT corner = WindowPointFromProgram(POINT{cursor.Column * cell.CellWidth, cursor.Row * cell.LineHeight});
    const LONG x = corner.x, y = corner.y, width = cell.CellWidth * scale, height = cell.LineHeight * scale;
    if (HIMC context = ImmGetContext(window)) {
        COMPOSITIONFORM form{};
        form.dwStyle = CFS_POINT;
        form.ptCurrentPos = POINT{x, y};
        ImmSetCompositionWindow(context, &form);
        LOGFONTW font = ConsoleFontDescription();
        font.lfHeight *= scale;
        font.lfWidth *= scale;
        ImmSetCompositionFontW(context, &font);
        // The candidate list goes below the cursor's cell (input methods of
        // the text services take only that), or beside it, never over it.
        CANDIDATEFORM below{};
        below.dwIndex = 0;
        below.dwStyle = CFS_CANDIDATEPOS;
        below.ptCurrentPos = POINT{x, y + height};
        ImmSetCandidateWindow(context, &below);
        CANDIDATEFORM candidates{};
        candidates.dwIndex = 0;
        candidates.dwStyle = CFS_EXCLUDE;
        candidates.ptCurrentPos = POINT{x, y};
        candidates.rcArea = RECT{x, y, x + 2 * width, y + height};
        ImmSetCandidateWindow(context, &candidates);
        ImmReleaseContext(window, context);
    }
    CreateCaret(window, nullptr, CaretWidth * scale, CaretHeight * scale);
    SetCaretPos(x, y + (cell.LineHeight - 7) * scale);
    ShowCaret(window);
}

void CaretHide(HWND window)
{
    HideCaret(window);
    DestroyCaret();
}
