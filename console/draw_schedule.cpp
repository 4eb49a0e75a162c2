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
    std::atomic<bool> Ticking;   // written by the console thread: the frame timer runs and draws at its tick
    LONGLONG LastDraw;           // console thread: microseconds at the last draw
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

void StartTicking()
{
    if (!Schedule.Ticking && SetTimer(BackBufferWindow(), DrawTimer, static_cast<UINT>(FrameMicroseconds / 1000),
                                      nullptr))
        Schedule.Ticking = true;
}

// A tick found nothing to draw: the timer stops until the next request. A
// print that saw it ticking just before is found by the look after.
void StopTicking()
{
    KillTimer(BackBufferWindow(), DrawTimer);
    Schedule.Ticking = false;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    DrawPendingRows();
}

} // namespace

// While the timer ticks, its next tick draws what was stored: a print then
// costs the console thread nothing, and a flush one message.
void RequestDraw()
{
    std::atomic_thread_fence(std::memory_order_seq_cst); // the text stored, then the timer read (see StopTicking)
    if (!Schedule.Ticking && !Schedule.Requested.exchange(true))
        PostMessageW(BackBufferWindow(), ConsoleDrawMessage, 0, 0);
}

void DrawSoon()
{
    Schedule.Requested = false;
    if (!TextAnyPending())
        return; // a flush drew it already
    if (MicrosecondsNow() - Schedule.LastDraw >= FrameMicroseconds)
        DrawPendingRows();
    else
        StartTicking();
}

void DrawPendingRows()
{
    if (FrameDrawPendingRows()) {
        Schedule.LastDraw = MicrosecondsNow();
        StartTicking(); // more may follow within the frame
    }
}

void DrawTick()
{
    // Nothing drawn (nothing stored, or drawing held: ScreenShow shows it).
    if (!FrameDrawPendingRows()) {
        StopTicking();
        return;
    }
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
