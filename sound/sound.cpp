#include "sound/sound.h"

#include <digitalv.h>

#include "console/console.h"

char MusicFileName[MusicFileNameBytes];
MCI_OPEN_PARMSA MusicOpenParms;
MCIDEVICEID& MusicDevice = MusicOpenParms.wDeviceID;

namespace {

const char ErrorTitle[] = "error";

void ShowError(const char* text)
{
    MessageBoxA(Console.ConsoleWindow, text, ErrorTitle, MB_OK);
}

// Who may touch the music device now: the program's calls, or the music
// thread restarting looped music.
CRITICAL_SECTION* MusicLock()
{
    static CRITICAL_SECTION* lock = [] {
        static CRITICAL_SECTION section;
        InitializeCriticalSection(&section);
        return &section;
    }();
    return lock;
}

struct MusicGuard {
    MusicGuard() { EnterCriticalSection(MusicLock()); }
    ~MusicGuard() { LeaveCriticalSection(MusicLock()); }
    MusicGuard(const MusicGuard&) = delete;
    MusicGuard& operator=(const MusicGuard&) = delete;
};

struct MusicLoopRecord {
    HANDLE Thread;
    HANDLE Ready;
    HWND Window;             // message-only: where looped music reports its end
    MCIDEVICEID LoopDevice;  // the device to play again at its end; 0: none
    LONG Volume = 100;
    LONG VolumeSet;          // the program has asked for a volume
    LONG Restarts;
};

MusicLoopRecord MusicLoop;

const char MusicWindowClass[] = "PromptMusicNotify";

// Under the music lock.
MCIERROR ApplyMusicVolume()
{
    MCI_DGV_SETAUDIO_PARMSA volume{};
    volume.dwItem = MCI_DGV_SETAUDIO_VOLUME;
    volume.dwValue = static_cast<DWORD>(MusicLoop.Volume) * 10; // the device counts to 1000
    return mciSendCommandA(MusicDevice, MCI_SETAUDIO, MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE,
                           reinterpret_cast<DWORD_PTR>(&volume));
}

void PlayLoopAgain(LPARAM device)
{
    MusicGuard guard;
    // Wine gives 0 for the device; Windows names the device that ended.
    if (MusicLoop.LoopDevice == 0 || MusicLoop.LoopDevice != MusicDevice ||
        (device != 0 && static_cast<MCIDEVICEID>(device) != MusicDevice))
        return;
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(MusicLoop.Window);
    play.dwFrom = 0;
    if (mciSendCommandA(MusicDevice, MCI_PLAY, MCI_NOTIFY | MCI_FROM, reinterpret_cast<DWORD_PTR>(&play)) == 0)
        ++MusicLoop.Restarts;
    else
        MusicLoop.LoopDevice = 0;
}

LRESULT CALLBACK MusicWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == MM_MCINOTIFY) {
        if (wParam == MCI_NOTIFY_SUCCESSFUL)
            PlayLoopAgain(lParam);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI MusicThreadMain(LPVOID)
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = MusicWindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = MusicWindowClass;
    RegisterClassA(&windowClass);
    MusicLoop.Window = CreateWindowExA(0, MusicWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleA(nullptr), nullptr);
    SetEvent(MusicLoop.Ready);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0)
        DispatchMessageA(&message);
    return 0;
}

// The music thread's window, started by the first looped music; 0 if it could not be made.
HWND MusicLoopWindow()
{
    {
        MusicGuard guard;
        if (!MusicLoop.Thread) {
            if (!MusicLoop.Ready)
                MusicLoop.Ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
            if (MusicLoop.Ready)
                MusicLoop.Thread = CreateThread(nullptr, 0, MusicThreadMain, nullptr, 0, nullptr);
            if (!MusicLoop.Thread)
                return nullptr;
        }
    }
    WaitForSingleObject(MusicLoop.Ready, 10000);
    return MusicLoop.Window;
}

// MusicPlay's steps, with the end of the play reported to callback.
void OpenAndPlay(HWND callback, bool looped)
{
    if (MusicDevice != 0)
        MusicStop();

    MCIERROR opened, played = 0;
    {
        MusicGuard guard;
        MusicOpenParms.lpstrElementName = MusicFileName;
        MusicOpenParms.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
        opened = mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&MusicOpenParms));
        if (opened != 0) {
            MusicDevice = 0; // the platform may have written an id even though nothing opened
        } else {
            if (MusicLoop.VolumeSet)
                ApplyMusicVolume();
            MCI_PLAY_PARMS play{};
            play.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
            played = mciSendCommandA(MusicDevice, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play));
            if (looped && played == 0)
                MusicLoop.LoopDevice = MusicDevice;
        }
    }
    if (opened != 0)
        ShowError("デバイスのオープンに失敗");
    else if (played != 0)
        ShowError("デバイスの再生に失敗");
}

} // namespace

void MusicPlay()
{
    OpenAndPlay(Console.ConsoleWindow, false);
}

void MusicPlayLooped(const char* name)
{
    lstrcpynA(MusicFileName, name, MusicFileNameBytes);
    HWND window = MusicLoopWindow();
    OpenAndPlay(window ? window : Console.ConsoleWindow, window != nullptr);
}

int MusicSetVolume(int percent)
{
    MusicGuard guard;
    MusicLoop.Volume = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    MusicLoop.VolumeSet = 1;
    return MusicDevice == 0 || ApplyMusicVolume() == 0;
}

LONG MusicLoopRestarts()
{
    MusicGuard guard;
    return MusicLoop.Restarts;
}

void MusicPlayFile(const char* name)
{
    lstrcpynA(MusicFileName, name, MusicFileNameBytes);
    MusicPlay();
}

void MusicStop()
{
    if (MusicDevice == 0)
        return; // nothing open: nothing to stop, and no error to show
    MCIERROR stopped;
    {
        MusicGuard guard;
        MusicLoop.LoopDevice = 0;
        MCI_GENERIC_PARMS generic{};
        stopped = mciSendCommandA(MusicDevice, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&generic));
        if (stopped == 0) {
            mciSendCommandA(MusicDevice, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&generic));
            MusicDevice = 0;
        }
    }
    if (stopped != 0)
        ShowError("デバイスの停止に失敗");
}

void SoundEffectPlay(const char* name)
{
    PlaySoundA(name, nullptr, SND_FILENAME | SND_ASYNC);
}
