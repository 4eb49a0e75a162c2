#include "support/debug_output.h"

#include <windows.h>

#include <mutex>

namespace {

std::mutex RecordLock;
std::vector<std::string> Recorded;
bool AnsiCopyFollows; // OutputDebugStringW raises its text as UTF-16, then as bytes
bool LastWasUnicode;
const DWORD DebugPrintException = 0x40010006;     // DBG_PRINTEXCEPTION_C
const DWORD DebugPrintWideException = 0x4001000A; // DBG_PRINTEXCEPTION_WIDE_C

LONG CALLBACK RecordDebugPrint(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    std::lock_guard<std::mutex> hold(RecordLock);
    if (record->ExceptionCode == DebugPrintWideException) {
        // In code page 932, like the runtime's texts, whatever the system's code page.
        const wchar_t* text = reinterpret_cast<const wchar_t*>(record->ExceptionInformation[1]);
        char bytes[1024] = "";
        if (text)
            WideCharToMultiByte(932, 0, text, -1, bytes, sizeof bytes, nullptr, nullptr);
        Recorded.emplace_back(bytes);
        AnsiCopyFollows = LastWasUnicode = true;
    } else if (record->ExceptionCode == DebugPrintException) {
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        if (!AnsiCopyFollows) {
            Recorded.emplace_back(text ? text : "");
            LastWasUnicode = false;
        }
        AnsiCopyFollows = false;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

void StartRecordingDebugOutput()
{
    static PVOID handler = AddVectoredExceptionHandler(1, RecordDebugPrint);
    (void)handler;
}

std::vector<std::string> RecordedDebugOutput()
{
    std::lock_guard<std::mutex> hold(RecordLock);
    return Recorded;
}

void ClearRecordedDebugOutput()
{
    std::lock_guard<std::mutex> hold(RecordLock);
    Recorded.clear();
}

bool LastDebugLineWasUnicode()
{
    std::lock_guard<std::mutex> hold(RecordLock);
    return LastWasUnicode;
}
