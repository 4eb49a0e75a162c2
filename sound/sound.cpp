#include "sound/sound.h"

#include <digitalv.h>

#include <atomic>

#include <prompt/console.h>

#include "runtime/code_page.h"
#include "runtime/lock.h"
#include "runtime/system_library.h"

char MusicFileName[MusicFileNameBytes];
MCI_OPEN_PARMSW MusicOpenParms;
MCIDEVICEID& MusicDevice = MusicOpenParms.wDeviceID;

namespace {

const char ErrorTitle[] = "error";

void ShowError(const char* text)
{
    ShowMessageBox(ConsoleWindowHandle(), text, ErrorTitle, MB_OK);
}

// Looped music is opened, played again at its end and closed by the music
// thread: under Wine a device id is good only on the thread that opened it.
// The program's calls hand that device's commands to the thread (a sent
// message, so they wait for the result as if they had made them); music of
// MusicPlay stays on the caller's thread.
const UINT MusicCommandMessage = WM_APP + 1;

struct MusicCommand {
    MCIDEVICEID Device;
    UINT Message;
    DWORD_PTR Flags;
    DWORD_PTR Parameters;
};

struct MusicLoopRecord {
    HANDLE Thread;
    HANDLE Ready;
    HWND Window;                     // message-only: the music thread's
    LONG OnMusicThread;              // the open device belongs to the music thread
    std::atomic<MCIDEVICEID> LoopDevice; // the device to play again at its end; 0: none
    LONG Volume = 100;
    LONG VolumeSet;                  // the program has asked for a volume
    std::atomic<LONG> Restarts;
};

MusicLoopRecord MusicLoop;
Lock MusicThreadStart;

const wchar_t MusicWindowClass[] = L"PromptMusicNotify";

MCIERROR SendMusicCommand(MCIDEVICEID device, UINT message, DWORD_PTR flags, void* parameters)
{
    DWORD_PTR block = reinterpret_cast<DWORD_PTR>(parameters);
    if (!MusicLoop.OnMusicThread)
        return Winmm().MciSendCommand(device, message, flags, block);
    MusicCommand command{device, message, flags, block};
    return static_cast<MCIERROR>(
        SendMessageW(MusicLoop.Window, MusicCommandMessage, 0, reinterpret_cast<LPARAM>(&command)));
}

MCIERROR ApplyMusicVolume()
{
    MCI_DGV_SETAUDIO_PARMSW volume{};
    volume.dwItem = MCI_DGV_SETAUDIO_VOLUME;
    volume.dwValue = static_cast<DWORD>(MusicLoop.Volume) * 10; // the device counts to 1000
    return SendMusicCommand(MusicDevice, MCI_SETAUDIO, MCI_DGV_SETAUDIO_ITEM | MCI_DGV_SETAUDIO_VALUE, &volume);
}

// On the music thread: the looped music has ended, so it starts again.
void PlayLoopAgain(LPARAM device)
{
    MCIDEVICEID looping = MusicLoop.LoopDevice;
    // Wine gives 0 for the device; Windows names the device that ended.
    if (looping == 0 || (device != 0 && static_cast<MCIDEVICEID>(device) != looping))
        return;
    // A seek, then a plain play: under Wine a play "from" the start sent no
    // notification at its end.
    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(MusicLoop.Window);
    MCI_SEEK_PARMS seek{};
    Winmm().MciSendCommand(looping, MCI_SEEK, MCI_SEEK_TO_START | MCI_WAIT, reinterpret_cast<DWORD_PTR>(&seek));
    if (Winmm().MciSendCommand(looping, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)) == 0)
        ++MusicLoop.Restarts;
    else
        MusicLoop.LoopDevice.compare_exchange_strong(looping, 0); // unless a new loop has begun meanwhile
}

LRESULT CALLBACK MusicWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == MusicCommandMessage) {
        const MusicCommand* command = reinterpret_cast<const MusicCommand*>(lParam);
        return Winmm().MciSendCommand(command->Device, command->Message, command->Flags, command->Parameters);
    }
    if (message == MM_MCINOTIFY) {
        if (wParam == MCI_NOTIFY_SUCCESSFUL)
            PlayLoopAgain(lParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

DWORD WINAPI MusicThreadMain(LPVOID)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = MusicWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = MusicWindowClass;
    RegisterClassW(&windowClass);
    MusicLoop.Window = CreateWindowExW(0, MusicWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    SetEvent(MusicLoop.Ready);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    return 0;
}

// The music thread's window, the thread started by the first looped music; 0 if it could not be made.
HWND MusicLoopWindow()
{
    {
        LockHold hold(MusicThreadStart);
        if (!MusicLoop.Ready)
            MusicLoop.Ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        if (!MusicLoop.Thread && MusicLoop.Ready)
            MusicLoop.Thread = CreateThread(nullptr, 0, MusicThreadMain, nullptr, 0, nullptr);
    }
    if (!MusicLoop.Thread)
        return nullptr;
    WaitForSingleObject(MusicLoop.Ready, 10000);
    return MusicLoop.Window;
}

// MusicPlay's steps; looped, on the music thread and played again at the end.
void OpenAndPlay(HWND callback, bool looped)
{
    if (MusicDevice != 0)
        MusicStop();

    MusicLoop.OnMusicThread = looped;
    // The name is code page 932, whatever the system's code page.
    static wchar_t wideName[MusicFileNameBytes];
    if (!MultiByteToWideChar(TextCodePage, 0, MusicFileName, -1, wideName, MusicFileNameBytes))
        wideName[0] = 0;
    MusicOpenParms.lpstrElementName = wideName;
    MusicOpenParms.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    if (SendMusicCommand(0, MCI_OPEN, MCI_OPEN_ELEMENT, &MusicOpenParms) != 0) {
        MusicDevice = 0; // the platform may have written an id even though nothing opened
        MusicLoop.OnMusicThread = 0;
        ShowError("デバイスのオープンに失敗");
        return;
    }
    if (MusicLoop.VolumeSet)
        ApplyMusicVolume();

    MCI_PLAY_PARMS play{};
    play.dwCallback = reinterpret_cast<DWORD_PTR>(callback);
    if (SendMusicCommand(MusicDevice, MCI_PLAY, MCI_NOTIFY, &play) != 0)
        ShowError("デバイスの再生に失敗");
    else if (looped)
        MusicLoop.LoopDevice = MusicDevice;
}

} // namespace

void MusicPlay()
{
    OpenAndPlay(ConsoleWindowHandle(), false);
}

void MusicPlayFile(const char* name)
{
    lstrcpynA(MusicFileName, name, MusicFileNameBytes);
    MusicPlay();
}

void MusicPlayLooped(const char* name)
{
    lstrcpynA(MusicFileName, name, MusicFileNameBytes);
    HWND window = MusicLoopWindow();
    if (window)
        OpenAndPlay(window, true);
    else
        MusicPlay(); // no thread to loop it on: it plays once
}

void MusicStop()
{
    if (MusicDevice == 0)
        return; // nothing open: nothing to stop, and no error to show
    MusicLoop.LoopDevice = 0;
    MCI_GENERIC_PARMS generic{};
    if (SendMusicCommand(MusicDevice, MCI_STOP, MCI_WAIT, &generic) != 0) {
        ShowError("デバイスの停止に失敗");
        return;
    }
    SendMusicCommand(MusicDevice, MCI_CLOSE, MCI_WAIT, &generic);
    MusicDevice = 0;
    MusicLoop.OnMusicThread = 0;
}

int MusicSetVolume(int percent)
{
    MusicLoop.Volume = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    MusicLoop.VolumeSet = 1;
    return MusicDevice == 0 || ApplyMusicVolume() == 0;
}

LONG MusicLoopRestarts()
{
    return MusicLoop.Restarts;
}

void SoundEffectPlay(const char* name)
{
    Winmm().PlaySound(WideFromText(name).c_str(), nullptr, SND_FILENAME | SND_ASYNC);
}
