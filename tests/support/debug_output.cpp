#include "support/debug_output.h"

#include <windows.h>

#include <mutex>

namespace {

std::mutex RecordLock;
std::vector<std::string> Recorded;
const DWORD DebugPrintException = 0x40010006; // DBG_PRINTEXCEPTION_C

LONG CALLBACK RecordDebugPrint(EXCEPTION_POINTERS* pointers)
{
    const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
    if (record->ExceptionCode == DebugPrintException && record->NumberParameters >= 2) {
        const char* text = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        std::lock_guard<std::mutex> hold(RecordLock);
        Recorded.emplace_back(text ? text : "");
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
