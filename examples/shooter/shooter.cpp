// Rocks drift in from every side; the ship in the middle turns (the arrows,
// or a gamepad's left stick) and fires (space, or the pad's A button). The
// mouse wheel or the triggers change the weapon. Escape ends the game and
// writes the score to score.txt. 60 frames a second, each built off screen:
// sprites from one sheet, turned about their centres, and explosions that
// add their light. The field is in its own pixels at any display scale, and
// Alt+Enter plays full screen.
#include <prompt/prompt.h>

#include <cmath>
#include <cstdio>

namespace {

const LONG FieldWidth = 640, FieldHeight = 480;
const double CentreX = FieldWidth / 2.0, CentreY = FieldHeight / 2.0;
const LONG Cell = 32;                                   // the sheet's cells
const int ShipCell = 0, BulletCell = 1, RockCell = 2; // the top row
const int BlastFrames = 8;                           // the row below: an explosion, frame by frame
const double TurnPerFrame = 0.06, BulletSpeed = 7, Pi = 3.14159265358979323846;
const int MaxBullets = 64, MaxRocks = 24, MaxBlasts = 16;
const COLORREF Space = RGB(8, 8, 24), TextColour = RGB(255, 255, 255);

struct Mover {
    bool Live;
    double X, Y, DX, DY, Turn, Spin;
    int Age;
};

struct Weapon {
    const char* Name;
    int Shots;       // bullets a volley
    double Spread;   // radians between them
    int Every;       // frames between volleys
};

const Weapon Weapons[] = {{"単発", 1, 0, 10}, {"拡散", 3, 0.22, 14}, {"連射", 1, 0, 4}};
const int WeaponCount = 3;

Mover Bullets[MaxBullets], Rocks[MaxRocks], Blasts[MaxBlasts];

// A fixed seed: every run sends the same rocks in the same frames.
unsigned RandomState = 11;

double Random01()
{
    RandomState = RandomState * 1103515245u + 12345u;
    return ((RandomState >> 8) & 0xFFFF) / 65536.0;
}

Mover* FreeSlot(Mover* movers, int count)
{
    for (int i = 0; i < count; ++i)
        if (!movers[i].Live)
            return &movers[i];
    return nullptr;
}

void LaunchRock()
{
    Mover* rock = FreeSlot(Rocks, MaxRocks);
    if (!rock)
        return;
    double from = Random01() * 2 * Pi, aim = from + Pi + (Random01() - 0.5) * 0.8, speed = 0.8 + Random01() * 1.4;
    *rock = Mover{true, CentreX + std::cos(from) * 380, CentreY + std::sin(from) * 380, std::cos(aim) * speed,
                  std::sin(aim) * speed, Random01() * 2 * Pi, (Random01() - 0.5) * 0.08, 0};
}

void Fire(double heading, const Weapon& weapon)
{
    for (int shot = 0; shot < weapon.Shots; ++shot) {
        Mover* bullet = FreeSlot(Bullets, MaxBullets);
        if (!bullet)
            return;
        double angle = heading + (shot - (weapon.Shots - 1) / 2.0) * weapon.Spread;
        // Heading 0 points up the screen; a turn goes clockwise.
        double dx = std::sin(angle), dy = -std::cos(angle);
        *bullet = Mover{true, CentreX + dx * 18, CentreY + dy * 18, dx * BulletSpeed, dy * BulletSpeed, angle, 0, 0};
    }
}

void Explode(double x, double y)
{
    if (Mover* blast = FreeSlot(Blasts, MaxBlasts))
        *blast = Mover{true, x, y, 0, 0, Random01() * 2 * Pi, 0, 0};
}

bool Held(int key)
{
    return (GetAsyncKeyState(key) & 0x8000) != 0;
}

bool Outside(const Mover& m, double margin)
{
    return m.X < -margin || m.Y < -margin || m.X > FieldWidth + margin || m.Y > FieldHeight + margin;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StringsInit();
    if (!ConsoleStart(60000))
        return 1;
    ConsoleSetCaption("ロックシューター");
    ScreenSetSize(FieldWidth, FieldHeight); // the client area the field's size
    MouseTrackingStart(); // the wheel reaches the program from here on

    Picture sheet;
    PictureCreate(&sheet);
    PictureSetCaptureDelay(&sheet, -1);
    PictureAttachWindow(&sheet);
    if (!PictureLoadWithAlpha(&sheet, "picture\\sheet.png"))
        return 2;
    int font = FontMake("ＭＳ ゴシック", 24, FontBold); // 0 if it cannot be made: the console's font then
    int boom = SoundLoad("sound\\boom.wav");
    MusicPlayLooped("sound\\loop.wav");

    double heading = 0;
    int weapon = 0, score = 0, frame = 0, lastVolley = -100, weaponChanges = 0;
    bool triggerWasDown = false;
    ScreenHold();
    while (!KeyPressed(VK_ESCAPE)) {
        // Turning: the arrows, or the left stick's x.
        double stickX = 0, stickY = 0;
        PadStick(0, PadStickLeft, &stickX, &stickY);
        heading += ((Held(VK_RIGHT) ? 1 : 0) - (Held(VK_LEFT) ? 1 : 0) + stickX) * TurnPerFrame;
        // The weapon: a notch of the wheel, or a trigger pressed past half way.
        int notches = MouseWheel();
        bool triggerDown = PadTrigger(0, PadTriggerRight) > 0.5 || PadTrigger(0, PadTriggerLeft) > 0.5;
        if (triggerDown && !triggerWasDown)
            notches += PadTrigger(0, PadTriggerRight) > 0.5 ? 1 : -1;
        triggerWasDown = triggerDown;
        if (notches != 0) {
            weapon = ((weapon + notches) % WeaponCount + WeaponCount) % WeaponCount;
            ++weaponChanges;
        }
        bool firing = Held(VK_SPACE) || PadButtonDown(0, PadA);
        if (firing && frame - lastVolley >= Weapons[weapon].Every) {
            Fire(heading, Weapons[weapon]);
            lastVolley = frame;
        }
        if (frame % 40 == 0)
            LaunchRock();

        for (Mover& bullet : Bullets)
            if (bullet.Live) {
                bullet.X += bullet.DX;
                bullet.Y += bullet.DY;
                bullet.Live = !Outside(bullet, 16);
            }
        for (Mover& rock : Rocks) {
            if (!rock.Live)
                continue;
            rock.X += rock.DX;
            rock.Y += rock.DY;
            rock.Turn += rock.Spin;
            for (Mover& bullet : Bullets)
                if (bullet.Live && std::hypot(bullet.X - rock.X, bullet.Y - rock.Y) < 16) {
                    bullet.Live = rock.Live = false;
                    Explode(rock.X, rock.Y);
                    SoundPlay(boom);
                    score += 10;
                    break;
                }
            if (rock.Live && std::hypot(rock.X - CentreX, rock.Y - CentreY) < 20) {
                rock.Live = false; // it breaks on the ship's shield
                Explode(rock.X, rock.Y);
            }
            if (rock.Live && ++rock.Age > 600)
                rock.Live = false;
        }
        for (Mover& blast : Blasts)
            if (blast.Live && ++blast.Age >= BlastFrames * 3)
                blast.Live = false;

        ScreenClear(Space);
        for (const Mover& rock : Rocks)
            if (rock.Live)
                PictureDrawPartRotated(&sheet, LONG(rock.X), LONG(rock.Y), RockCell * Cell, 0, Cell, Cell, 1.5,
                                       rock.Turn, 255);
        for (const Mover& bullet : Bullets)
            if (bullet.Live)
                PictureDrawCell(&sheet, LONG(bullet.X) - Cell / 2, LONG(bullet.Y) - Cell / 2, Cell, Cell, BulletCell);
        PictureDrawPartRotated(&sheet, LONG(CentreX), LONG(CentreY), ShipCell * Cell, 0, Cell, Cell, 1.5, heading, 255);
        ScreenSetBlend(BlendAdd, 255); // explosions are light
        for (const Mover& blast : Blasts)
            if (blast.Live)
                PictureDrawPartRotated(&sheet, LONG(blast.X), LONG(blast.Y), blast.Age / 3 * Cell, Cell, Cell, Cell,
                                       2.0, blast.Turn, 255);
        ScreenSetBlend(BlendNormal, 255);
        char text[64];
        std::snprintf(text, sizeof text, "スコア %d  武器 %s", score, Weapons[weapon].Name);
        DrawTextIn(font, 12, 8, text, TextColour);
        ScreenShow();
        FrameWait(60);
        ++frame;
    }

    MusicStop();
    if (FILE* file = std::fopen("score.txt", "w")) {
        std::fprintf(file, "%d %d\n", score, weaponChanges);
        std::fclose(file);
    }
    return 0;
}
