#include "console/console.h"

#include "runtime/lock.h"
#include "screen/back_buffer.h"
#include "screen/frame.h"
#include "text/text_store.h"

namespace {

const UINT_PTR DrawTimer = 0x7072; // private to the console window
const LONGLONG FrameMicroseconds = 16000;

struct DrawSchedule {
    std::atomic<bool> Requested; // a draw message is on its way to the console thread
    LONGLONG LastDraw;           // console thread: performance-counter ticks at the last draw
    bool TimerSet;               // console thread
};

DrawSchedule Schedule;

// The performance counter: GetTickCount steps by 10 to 16 ms on Windows.
LONGLONG MicrosecondsNow()
{
    static const LONGLONG perSecond = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return frequency.QuadPart;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart / perSecond * 1000000 + now.QuadPart % perSecond * 1000000 / perSecond;
}

} // namespace

void RequestDraw()
{
    if (!Schedule.Requested.exchange(true))
        PostMessageW(BackBufferWindow(), ConsoleDrawMessage, 0, 0);
}

void DrawSoon()
{
    Schedule.Requested = false;
    if (!TextAnyPending())
        return; // a flush drew it already
    if (MicrosecondsNow() - Schedule.LastDraw >= FrameMicroseconds) {
        DrawPendingRows();
    } else if (!Schedule.TimerSet) {
        SetTimer(BackBufferWindow(), DrawTimer, static_cast<UINT>(FrameMicroseconds / 1000), nullptr);
        Schedule.TimerSet = true;
    }
}

void DrawPendingRows()
{
    if (Schedule.TimerSet) {
        KillTimer(BackBufferWindow(), DrawTimer);
        Schedule.TimerSet = false;
    }
    if (FrameDrawPendingRows())
        Schedule.LastDraw = MicrosecondsNow();
}

bool IsDrawTimer(WPARAM timer)
{
    return timer == DrawTimer;
}

LONG RowsClientHeight()
{
    return ClientArea().bottom;
}
