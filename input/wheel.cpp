// The mouse wheel: turns as the console's window procedure hears them, taken
// as whole notches by the program.
#include <prompt/mouse.h>

#include <atomic>

#include "input/mouse.h"

namespace {

// The wheel's turns, between the console thread that hears them and the
// program thread that asks for notches.
struct WheelRecord {
    std::atomic<LONG> Unread; // the console thread adds each turn; MouseWheel's thread takes it all (exchange)
    LONG Remainder;           // MouseWheel's thread only, no lock: less than a notch, kept for the next call
};

WheelRecord Wheel;

} // namespace

void MouseWheelTurned(SHORT delta)
{
    Wheel.Unread += delta;
}

int MouseWheel()
{
    LONG turned = Wheel.Remainder + Wheel.Unread.exchange(0);
    // Toward zero: a part of a notch waits for more in either direction.
    LONG notches = turned / WHEEL_DELTA;
    Wheel.Remainder = turned - notches * WHEEL_DELTA;
    return notches;
}
