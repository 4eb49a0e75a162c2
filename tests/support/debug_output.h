#pragma once
// Catches what the process writes with OutputDebugString, without a debugger:
// the call raises DBG_PRINTEXCEPTION_C (and the W call first its UTF-16 twin,
// where the system does), which a vectored handler sees first. Lines are
// code page 932 bytes where they came as UTF-16.
#include <string>
#include <vector>

void StartRecordingDebugOutput();
std::vector<std::string> RecordedDebugOutput();
void ClearRecordedDebugOutput();
// Whether the last line came as UTF-16 (Windows 10 and later), not only as
// bytes in the system's code page (Wine).
bool LastDebugLineWasUnicode();
