#include <prompt/pad.h>

#include <xinput.h>

#include <algorithm>
#include <cmath>

#include "runtime/system_library.h"

namespace {

using GetStateFunction = DWORD(WINAPI*)(DWORD pad, XINPUT_STATE* state);

const int ButtonBits = 16;          // XInput's wButtons, one counter a bit
const WORD NamedButtons = 0xF3FF;   // the bits pad.h names; XInput leaves 0x0400 and 0x0800 unused

// One pad as its last read left it. The polling thread is the one program
// thread that makes the pad calls (pad.h); nothing else touches these, so no lock.
struct PadRecord {
    bool Connected;                  // polling thread, no lock: the last read answered
    XINPUT_GAMEPAD Now;              // polling thread, no lock: as of the last read; all zero while not connected
    LONGLONG NextMissingRead;        // polling thread, no lock: counter ticks from which a missing pad is asked again
    LONG Downs[ButtonBits];          // polling thread, no lock: the times each button went down between two reads
    LONG Ups[ButtonBits];            // polling thread, no lock: and up
    LONG DownsTaken[ButtonBits];     // polling thread, no lock: how many of them PadButtonPressed has answered
    LONG UpsTaken[ButtonBits];       // polling thread, no lock: and PadButtonReleased
};

struct PadsRecord {
    bool Started;                    // polling thread, no lock: XInput looked for, every pad read once
    GetStateFunction GetState;       // polling thread, no lock: null without XInput (no pads)
    LONGLONG TicksPerSecond;         // polling thread, no lock: of the performance counter
    LONGLONG LastRead;               // polling thread, no lock: counter ticks at the last read of the connected pads
    PadRecord Pads[PadCount];        // polling thread, no lock
};

PadsRecord Pads;

// 1.4 comes with Windows 8 and later, 1.3 with the DirectX runtime, 9.1.0 with Vista and 7.
GetStateFunction FindXInput()
{
    for (const wchar_t* library : {L"xinput1_4.dll", L"xinput1_3.dll", L"xinput9_1_0.dll"})
        if (FARPROC found = SystemFunction(library, "XInputGetState"))
            return reinterpret_cast<GetStateFunction>(reinterpret_cast<void*>(found));
    return nullptr;
}

// A button that goes down counts a press; the first read of a pad (at start,
// or once plugged in) counts nothing, as a key already held when the window
// gets the focus does not; and unplugging is no release.
void Read(int index, LONGLONG now)
{
    PadRecord& pad = Pads.Pads[index];
    XINPUT_STATE state{};
    if (Pads.GetState(static_cast<DWORD>(index), &state) != ERROR_SUCCESS) {
        pad.Connected = false;
        pad.Now = XINPUT_GAMEPAD{};
        pad.NextMissingRead = now + Pads.TicksPerSecond;
        return;
    }
    WORD before = pad.Connected ? pad.Now.wButtons : state.Gamepad.wButtons;
    WORD after = state.Gamepad.wButtons;
    for (int bit = 0; bit < ButtonBits; ++bit) {
        WORD mask = static_cast<WORD>(1u << bit);
        if (after & mask & ~before)
            ++pad.Downs[bit];
        if (before & mask & ~after)
            ++pad.Ups[bit];
    }
    pad.Now = state.Gamepad;
    pad.Connected = true;
}

// Every call reads through here. The calls of one frame share one read (the
// connected pads are read again once the last read is 2 ms old), and a pad
// not connected is asked at most once a second, one such pad a read: on
// Windows asking for a missing pad takes long enough to cost a frame.
void Refresh()
{
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    LONGLONG now = counter.QuadPart;
    if (!Pads.Started) {
        Pads.Started = true;
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        Pads.TicksPerSecond = frequency.QuadPart;
        Pads.GetState = FindXInput();
        Pads.LastRead = now;
        for (int index = 0; Pads.GetState && index < PadCount; ++index)
            Read(index, now);
        return;
    }
    if (!Pads.GetState || now - Pads.LastRead < Pads.TicksPerSecond / 500)
        return;
    Pads.LastRead = now;
    bool missingAsked = false;
    for (int index = 0; index < PadCount; ++index) {
        const PadRecord& pad = Pads.Pads[index];
        if (pad.Connected) {
            Read(index, now);
        } else if (!missingAsked && now >= pad.NextMissingRead) {
            Read(index, now);
            missingAsked = true;
        }
    }
}

bool ValidPad(int pad)
{
    return pad >= 0 && pad < PadCount;
}

// The counter of one of the buttons pad.h names, or -1.
int ButtonIndex(int button)
{
    if (button <= 0 || button > 0xFFFF || (button & (button - 1)) != 0 || !(button & NamedButtons))
        return -1;
    int index = 0;
    while (!(button & (1 << index)))
        ++index;
    return index;
}

bool TakeOne(LONG happened, LONG* taken)
{
    if (happened == *taken)
        return false;
    ++*taken;
    return true;
}

// 0 inside the dead zone (a circle round the centre); beyond it the distance
// rises from 0 at its edge to 1 at full deflection, the direction kept.
void StickPosition(SHORT rawX, SHORT rawY, double deadZone, double* x, double* y)
{
    const double full = 32767;
    double distance = std::sqrt(double(rawX) * rawX + double(rawY) * rawY);
    if (distance <= deadZone) {
        *x = *y = 0;
        return;
    }
    double scale = (std::min(distance, full) - deadZone) / (full - deadZone);
    *x = std::clamp(rawX / distance * scale, -1.0, 1.0);
    *y = std::clamp(rawY / distance * scale, -1.0, 1.0);
}

} // namespace

bool PadConnected(int pad)
{
    if (!ValidPad(pad))
        return false;
    Refresh();
    return Pads.Pads[pad].Connected;
}

bool PadButtonDown(int pad, int button)
{
    if (!ValidPad(pad) || ButtonIndex(button) < 0)
        return false;
    Refresh();
    return (Pads.Pads[pad].Now.wButtons & button) != 0;
}

namespace {

// A press (or a release) of the button since the last call that asked.
bool TakeEdge(int pad, int button, bool pressed)
{
    int index = ButtonIndex(button);
    if (!ValidPad(pad) || index < 0)
        return false;
    Refresh();
    PadRecord& record = Pads.Pads[pad];
    return pressed ? TakeOne(record.Downs[index], &record.DownsTaken[index])
                   : TakeOne(record.Ups[index], &record.UpsTaken[index]);
}

} // namespace

bool PadButtonPressed(int pad, int button)
{
    return TakeEdge(pad, button, true);
}

bool PadButtonReleased(int pad, int button)
{
    return TakeEdge(pad, button, false);
}

bool PadStick(int pad, int stick, double* x, double* y)
{
    if (!x || !y)
        return false;
    *x = *y = 0;
    if (!ValidPad(pad) || (stick != PadStickLeft && stick != PadStickRight))
        return false;
    Refresh();
    const PadRecord& record = Pads.Pads[pad];
    if (!record.Connected)
        return false;
    if (stick == PadStickLeft)
        StickPosition(record.Now.sThumbLX, record.Now.sThumbLY, XINPUT_GAMEPAD_LEFT_THUMB_DEADZONE, x, y);
    else
        StickPosition(record.Now.sThumbRX, record.Now.sThumbRY, XINPUT_GAMEPAD_RIGHT_THUMB_DEADZONE, x, y);
    return true;
}

double PadTrigger(int pad, int side)
{
    if (!ValidPad(pad) || (side != PadTriggerLeft && side != PadTriggerRight))
        return 0;
    Refresh();
    const XINPUT_GAMEPAD& now = Pads.Pads[pad].Now; // all zero while not connected
    int raw = side == PadTriggerLeft ? now.bLeftTrigger : now.bRightTrigger;
    const int threshold = XINPUT_GAMEPAD_TRIGGER_THRESHOLD;
    return raw <= threshold ? 0 : double(raw - threshold) / (255 - threshold);
}
