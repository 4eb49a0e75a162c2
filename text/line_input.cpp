#include "text/line_input.h"

#include <atomic>

#include "runtime/code_page.h"
#include "text/text_store.h"
#include "text/text_testing.h"

// Line input keeps the buffer within its 255 bytes of text: typing and
// pasting stop storing when it is full, a double-byte character goes in whole
// or not at all, and Backspace never moves the cursor left of column 0.

namespace {

const LONG MaxLineBytes = InputBufferBytes - 1; // 255, and the terminator

struct LineInput {
    Lock Reading;                       // one reader at a time
    char InputBuffer[InputBufferBytes]; // the console thread, while a line runs
    std::atomic<LONG> InputLength{-1};  // -1 while no line runs
    bool DropTrailByte;                 // console thread: the next byte trails a lead byte that found no room
};

LineInput Line;

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
// The echo stays empty: printing it redraws the cursor row without the cells.
void Backspace()
{
    LONG length = Line.InputLength;
    if (length <= 0)
        return;
    LONG bytes = LastCharacterBytes(reinterpret_cast<const BYTE*>(Line.InputBuffer), length);
    length -= bytes;
    Line.InputBuffer[length] = 0;
    Line.InputLength = length;
    TextStoreHold hold; // program threads may print meanwhile
    TextBackspaceLocked(bytes);
}

void EndLine(TrackedString* echo)
{
    Line.InputBuffer[Line.InputLength] = 0;
    Line.InputLength = -1;
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

void Type(BYTE byte, bool trailOfDropped, TrackedString* echo)
{
    if (trailOfDropped)
        return;
    LONG length = Line.InputLength;
    LONG room = MaxLineBytes - length;
    if (room <= 0 || (IsLeadByte(byte) && room < 2)) {
        Line.DropTrailByte = IsLeadByte(byte);
        return;
    }
    Line.InputBuffer[length] = static_cast<char>(byte);
    Line.InputLength = length + 1;
    char typed[1] = {static_cast<char>(byte)};
    Assign(echo, StringFromBytes(typed, 1));
}

} // namespace

LineReaderHold::LineReaderHold() : LockHold(Line.Reading) {}

bool LineBegin()
{
    LONG idle = -1;
    return Line.InputLength.compare_exchange_strong(idle, 0);
}

void LineEnd()
{
    Line.InputLength = -1;
}

bool LineRunning()
{
    return Line.InputLength != -1;
}

LONG LineLength()
{
    return Line.InputLength;
}

const char* LineBuffer()
{
    return Line.InputBuffer;
}

bool LineTakeCharacter(WPARAM code, TrackedString* echo)
{
    if (!LineRunning())
        return false;
    // Only the character right after a dropped lead byte can be its trail byte.
    bool trailOfDropped = Line.DropTrailByte;
    Line.DropTrailByte = false;
    switch (code) {
    case BackspaceCode: Backspace(); return true;
    case EnterCode: EndLine(echo); return true;
    default: Type(static_cast<BYTE>(code & 0xFF), trailOfDropped, echo); return true;
    }
}

void LineTakePasted(const BYTE* text, LONG available, TrackedString* echo)
{
    Line.DropTrailByte = false;
    LONG length = Line.InputLength;
    LONG taken = WholeCharactersThatFit(text, available, MaxLineBytes - length);
    RtlMoveMemory(Line.InputBuffer + length, text, taken);
    Line.InputBuffer[length + taken] = 0;
    Line.InputLength = length + taken;
    Assign(echo, StringFromBytes(reinterpret_cast<const char*>(text), taken));
}

// Test hooks (text/text_testing.h).

bool ConsoleBeginLine()
{
    return LineBegin();
}

void ConsoleEndLine()
{
    LineEnd();
}

LONG ConsoleInputLength()
{
    return LineLength();
}

const char* ConsoleInputBuffer()
{
    return LineBuffer();
}
