// Stands in for the system's XInput, where no pad is plugged in (Wine here):
// XInputGetState answers from a script of pad states over time, read from
// the file XINPUT_SCRIPT names (no file: no pads). Each line is
// "milliseconds pad missing" or "milliseconds pad buttons left-trigger
// right-trigger left-x left-y right-x right-y", in time order; from its time
// on it is that pad's state, and before its first line a pad is missing. The
// clock starts at the first XInputGetState. Three calls more tell a test what
// the stand-in did.
#include <windows.h>
#include <xinput.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "runtime/lock.h"

namespace {

struct ScriptLine {
    DWORD At;  // milliseconds from the first call
    DWORD Pad;
    bool Missing;
    XINPUT_GAMEPAD Gamepad;
};

struct StandInRecord {
    Lock Guard;
    bool Started;                   // any calling thread, under Guard: the script read and the clock started
    DWORD Start;                    // any calling thread, under Guard: GetTickCount at the first XInputGetState
    std::vector<ScriptLine> Lines;  // any calling thread, under Guard: the script, in time order
    LONG Reads[XUSER_MAX_COUNT];    // any calling thread, under Guard: XInputGetState calls, per pad
};

StandInRecord StandIn;

void StartOnce()
{
    if (StandIn.Started)
        return;
    StandIn.Started = true;
    StandIn.Start = GetTickCount();
    char name[MAX_PATH];
    DWORD length = GetEnvironmentVariableA("XINPUT_SCRIPT", name, MAX_PATH);
    if (FILE* script = length && length < MAX_PATH ? std::fopen(name, "r") : nullptr) {
        char text[256];
        while (std::fgets(text, sizeof text, script)) {
            ScriptLine line{};
            char state[16] = "";
            long buttons = 0;
            int values[6] = {};
            if (std::sscanf(text, "%lu %lu %15s", &line.At, &line.Pad, state) != 3 || line.Pad >= XUSER_MAX_COUNT)
                continue; // a comment, or not a line of the script
            line.Missing = std::strcmp(state, "missing") == 0;
            if (!line.Missing) {
                if (std::sscanf(text, "%*u %*u %li %d %d %d %d %d %d", &buttons, &values[0], &values[1], &values[2],
                                &values[3], &values[4], &values[5]) != 7)
                    continue;
                line.Gamepad.wButtons = static_cast<WORD>(buttons);
                line.Gamepad.bLeftTrigger = static_cast<BYTE>(values[0]);
                line.Gamepad.bRightTrigger = static_cast<BYTE>(values[1]);
                line.Gamepad.sThumbLX = static_cast<SHORT>(values[2]);
                line.Gamepad.sThumbLY = static_cast<SHORT>(values[3]);
                line.Gamepad.sThumbRX = static_cast<SHORT>(values[4]);
                line.Gamepad.sThumbRY = static_cast<SHORT>(values[5]);
            }
            StandIn.Lines.push_back(line);
        }
        std::fclose(script);
    }
}

} // namespace

extern "C" {

DWORD WINAPI XInputGetState(DWORD pad, XINPUT_STATE* state)
{
    if (pad >= XUSER_MAX_COUNT || !state)
        return ERROR_BAD_ARGUMENTS;
    LockHold hold(StandIn.Guard);
    StartOnce();
    ++StandIn.Reads[pad];
    DWORD now = GetTickCount() - StandIn.Start;
    const ScriptLine* current = nullptr;
    DWORD packet = 0;
    for (size_t i = 0; i < StandIn.Lines.size() && StandIn.Lines[i].At <= now; ++i) {
        if (StandIn.Lines[i].Pad == pad) {
            current = &StandIn.Lines[i];
            packet = static_cast<DWORD>(i + 1);
        }
    }
    if (!current || current->Missing)
        return ERROR_DEVICE_NOT_CONNECTED;
    state->dwPacketNumber = packet;
    state->Gamepad = current->Gamepad;
    return ERROR_SUCCESS;
}

// GetTickCount when the script's clock started; 0 before the first XInputGetState.
DWORD WINAPI StandInClockStart()
{
    LockHold hold(StandIn.Guard);
    return StandIn.Started ? StandIn.Start : 0;
}

// GetTickCount when the script first gives the pad a state; 0 when it never
// does, or before the clock started.
DWORD WINAPI StandInPluggedIn(DWORD pad)
{
    LockHold hold(StandIn.Guard);
    for (const ScriptLine& line : StandIn.Lines)
        if (line.Pad == pad && !line.Missing)
            return StandIn.Start + line.At;
    return 0;
}

// How many times XInputGetState was asked for the pad.
LONG WINAPI StandInReads(DWORD pad)
{
    LockHold hold(StandIn.Guard);
    return pad < XUSER_MAX_COUNT ? StandIn.Reads[pad] : 0;
}

} // extern "C"
