#pragma once
// Catches what the process writes with OutputDebugStringA, without a debugger:
// the call raises DBG_PRINTEXCEPTION_C, which a vectored handler sees first.
#include <string>
#include <vector>

void StartRecordingDebugOutput();
std::vector<std::string> RecordedDebugOutput();
void ClearRecordedDebugOutput();
