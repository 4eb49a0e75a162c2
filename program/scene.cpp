#include "program.h"

#include <prompt/mouse.h>
#include <prompt/sound.h>

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
    MouseTrackingStart();
    PictureAttachWindow(&ScreenPicture);
    ProgramString = AllocString(0);
    SpriteX = 100;
    SpriteY = 200;
    lstrcpyA(MusicFileName, "sound\\start.mp3");
    MusicPlay();
}
