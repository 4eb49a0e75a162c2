#include "runtime/system_library.h"

bool LimitLibrarySearch()
{
    static const bool limited = [] {
        using SetDirectories = BOOL(WINAPI*)(DWORD);
        FARPROC found = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
        auto set = reinterpret_cast<SetDirectories>(reinterpret_cast<void*>(found));
        return set && set(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }();
    return limited;
}

FARPROC SystemFunction(const wchar_t* library, const char* name)
{
    LimitLibrarySearch();
    wchar_t path[MAX_PATH];
    UINT folder = GetSystemDirectoryW(path, MAX_PATH);
    size_t nameLength = lstrlenW(library);
    if (folder == 0 || folder + 1 + nameLength >= MAX_PATH)
        return nullptr;
    path[folder] = L'\\';
    lstrcpyW(path + folder + 1, library);
    // Kept for the life of the process, like a library the image imports.
    HMODULE module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    return module ? GetProcAddress(module, name) : nullptr;
}

namespace {

MCIERROR WINAPI NoMciSendCommand(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR)
{
    return MCIERR_DEVICE_NOT_INSTALLED;
}
BOOL WINAPI NoPlaySound(LPCWSTR, HMODULE, DWORD)
{
    return FALSE;
}
MMRESULT WINAPI NoTimerPeriod(UINT)
{
    return TIMERR_NOCANDO;
}
MMRESULT WINAPI NoWaveOutOpen(LPHWAVEOUT, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD)
{
    return MMSYSERR_NODRIVER;
}
MMRESULT WINAPI NoWaveOut(HWAVEOUT)
{
    return MMSYSERR_INVALHANDLE;
}
MMRESULT WINAPI NoWaveOutHeader(HWAVEOUT, LPWAVEHDR, UINT)
{
    return MMSYSERR_INVALHANDLE;
}

template <typename Function>
Function Take(const char* name, Function standIn)
{
    FARPROC found = SystemFunction(L"winmm.dll", name);
    return found ? reinterpret_cast<Function>(reinterpret_cast<void*>(found)) : standIn;
}

} // namespace

const WinmmFunctions& Winmm()
{
    static const WinmmFunctions functions = {
        Take("mciSendCommandW", &NoMciSendCommand),
        Take("PlaySoundW", &NoPlaySound),
        Take("timeBeginPeriod", &NoTimerPeriod),
        Take("timeEndPeriod", &NoTimerPeriod),
        Take("waveOutOpen", &NoWaveOutOpen),
        Take("waveOutClose", &NoWaveOut),
        Take("waveOutPrepareHeader", &NoWaveOutHeader),
        Take("waveOutUnprepareHeader", &NoWaveOutHeader),
        Take("waveOutWrite", &NoWaveOutHeader),
        Take("waveOutPause", &NoWaveOut),
        Take("waveOutRestart", &NoWaveOut),
        Take("waveOutReset", &NoWaveOut),
    };
    return functions;
}
