#include "sound/sound.h"

#include <prompt/console.h>

char MusicFileName[MusicFileNameBytes];
MCI_OPEN_PARMSA MusicOpenParms;
MCIDEVICEID& MusicDevice = MusicOpenParms.wDeviceID;

namespace {

const char ErrorTitle[] = "error";

void ShowError(const char* text)
{
    MessageBoxA(ConsoleWindowHandle(), text, ErrorTitle, MB_OK);
}

DWORD_PTR ConsoleCallback()
{
    return reinterpret_cast<DWORD_PTR>(ConsoleWindowHandle());
}

} // namespace

void MusicPlay()
{
    if (MusicDevice != 0)
        MusicStop();

    MusicOpenParms.lpstrElementName = MusicFileName;
    MusicOpenParms.dwCallback = ConsoleCallback();
    if (mciSendCommandA(0, MCI_OPEN, MCI_OPEN_ELEMENT, reinterpret_cast<DWORD_PTR>(&MusicOpenParms)) != 0) {
        MusicDevice = 0; // the platform may have written an id even though nothing opened
        ShowError("デバイスのオープンに失敗");
        return;
    }

    MCI_PLAY_PARMS play{};
    play.dwCallback = ConsoleCallback();
    if (mciSendCommandA(MusicDevice, MCI_PLAY, MCI_NOTIFY, reinterpret_cast<DWORD_PTR>(&play)) != 0)
        ShowError("デバイスの再生に失敗");
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
    MCI_GENERIC_PARMS generic{};
    if (mciSendCommandA(MusicDevice, MCI_STOP, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&generic)) != 0) {
        ShowError("デバイスの停止に失敗");
        return;
    }
    mciSendCommandA(MusicDevice, MCI_CLOSE, MCI_WAIT, reinterpret_cast<DWORD_PTR>(&generic));
    MusicDevice = 0;
}

void SoundEffectPlay(const char* name)
{
    PlaySoundA(name, nullptr, SND_FILENAME | SND_ASYNC);
}
