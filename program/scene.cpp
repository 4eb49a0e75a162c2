#include "program/program.h"

#include "console/console.h"
#include "program/mouse.h"
#include "sound/sound.h"

Picture ScreenPicture;
Picture SpritePicture;
TrackedString ProgramString;
SHORT SpriteX;
SHORT SpriteY;

void SceneSetUp()
{
    PictureInit(&ScreenPicture);
    PictureCreate(&SpritePicture);
    PictureSetCaptureDelay(&SpritePicture, -1);
    PictureAttachWindow(&SpritePicture);
    PictureLoad(&SpritePicture, "bmp\\chr01.bmp");
    PreviousWndProc = reinterpret_cast<WNDPROC>(
        SetWindowLongA(Console.ConsoleWindow, GWL_WNDPROC, reinterpret_cast<LONG>(MouseWindowProc)));
    PictureAttachWindow(&ScreenPicture);
    ProgramString = AllocString(0);
    SpriteX = 100;
    SpriteY = 200;
    lstrcpyA(MusicFileName, "sound\\start.mp3");
    MusicPlay();
}
