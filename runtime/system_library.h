#pragma once
// Functions of system libraries that are not among the system's known DLLs
// (winmm, atl), taken from the system folder by full path: a file of the same
// name beside the program, in a Downloads folder say, is never loaded instead.
#include <windows.h>
#include <mmsystem.h>

// The function, or null when the library or the function is not there.
FARPROC SystemFunction(const wchar_t* library, const char* name);

// Once a process, before the runtime loads its first library (StringsInit
// and SystemFunction call it): from then on a library loaded by name alone,
// by the runtime or by winmm for its drivers and MCI handlers, comes from
// the system folder only. True where Windows has SetDefaultDllDirectories
// (8 and later; 7 with its update KB2533623) and took it.
bool LimitLibrarySearch();

// The multimedia functions the runtime uses. Each is the system's own, or a
// stand-in that fails as the real one fails when no device is there.
struct WinmmFunctions {
    decltype(&mciSendCommandW) MciSendCommand;
    decltype(&PlaySoundW) PlaySound;
    decltype(&timeBeginPeriod) TimeBeginPeriod;
    decltype(&timeEndPeriod) TimeEndPeriod;
    decltype(&waveOutOpen) WaveOutOpen;
    decltype(&waveOutClose) WaveOutClose;
    decltype(&waveOutPrepareHeader) WaveOutPrepareHeader;
    decltype(&waveOutUnprepareHeader) WaveOutUnprepareHeader;
    decltype(&waveOutWrite) WaveOutWrite;
    decltype(&waveOutPause) WaveOutPause;
    decltype(&waveOutRestart) WaveOutRestart;
    decltype(&waveOutReset) WaveOutReset;
};

const WinmmFunctions& Winmm();
