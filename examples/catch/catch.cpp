// Catch the falling stars: the arrow keys move the basket, a chime sounds for
// each star caught, Escape ends the game and writes the score to score.txt.
// 60 frames a second; every frame is built off screen and shown whole, sharp
// at any display scale; the window may be enlarged, Alt+Enter plays full screen.
#include <prompt/prompt.h>

#include <cstdio>

namespace {

const LONG FieldWidth = 640, FieldHeight = 400;
const LONG BasketWidth = 80, BasketHeight = 16, BasketY = FieldHeight - 40, BasketSpeed = 6;
const LONG StarSize = 14;
const int StarCount = 6;

const COLORREF Sky = RGB(10, 10, 40), StarColour = RGB(255, 220, 60);
const COLORREF BasketColour = RGB(200, 120, 50), ScoreColour = RGB(255, 255, 255);

struct Star {
    LONG X, Y, Speed;
};

// A fixed seed: every run drops the same stars in the same frames.
unsigned RandomState = 7;

unsigned Random()
{
    RandomState = RandomState * 1103515245u + 12345u;
    return (RandomState >> 16) & 0x7FFF;
}

void Drop(Star* star)
{
    star->X = static_cast<LONG>(Random() % (FieldWidth - StarSize));
    star->Y = -static_cast<LONG>(Random() % 200) - StarSize;
    star->Speed = 2 + static_cast<LONG>(Random() % 4);
}

bool Caught(const Star& star, LONG basketX)
{
    return star.Y + StarSize >= BasketY && star.Y <= BasketY + BasketHeight && star.X + StarSize > basketX &&
           star.X < basketX + BasketWidth;
}

bool Held(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StringsInit();
    if (!ConsoleStart(60000))
        return 1;
    ConsoleSetCaption("星をキャッチ");
    ScreenSetSize(FieldWidth, FieldHeight); // the client area the field's size
    // The field is 640 x 400 of the game's pixels whatever the display's
    // scale; the player may enlarge the window, and Alt+Enter plays full screen.
    ScreenAllowResize(true);
    int chime = SoundLoad("sound\\chime.wav"); // 0 if it is missing: the game is silent

    Star stars[StarCount];
    for (Star& star : stars)
        Drop(&star);
    LONG basketX = (FieldWidth - BasketWidth) / 2;
    int score = 0;

    ScreenHold();
    while (!KeyPressed(VK_ESCAPE)) {
        if (Held(VK_LEFT))
            basketX = basketX - BasketSpeed < 0 ? 0 : basketX - BasketSpeed;
        if (Held(VK_RIGHT))
            basketX = basketX + BasketSpeed > FieldWidth - BasketWidth ? FieldWidth - BasketWidth : basketX + BasketSpeed;
        for (Star& star : stars) {
            star.Y += star.Speed;
            if (Caught(star, basketX)) {
                ++score;
                SoundPlay(chime);
                Drop(&star);
            } else if (star.Y > FieldHeight) {
                Drop(&star);
            }
        }

        ScreenClear(Sky);
        for (const Star& star : stars)
            FillEllipse(star.X, star.Y, StarSize, StarSize, StarColour);
        FillBox(basketX, BasketY, BasketWidth, BasketHeight, BasketColour);
        char text[32];
        std::snprintf(text, sizeof text, "スコア %d", score);
        DrawTextAt(8, 8, text, ScoreColour);
        ScreenShow();
        FrameWait(60);
    }

    if (FILE* file = std::fopen("score.txt", "w")) {
        std::fprintf(file, "%d\n", score);
        std::fclose(file);
    }
    return 0;
}
