// A small program on the runtime: coloured text over a picture with a soft
// sprite blended on it, and line input. Each line read is echoed with its length and kept in
// transcript.txt in the working directory.
#include <windows.h>

#include <prompt/prompt.h>

namespace {

const COLORREF White = RGB(255, 255, 255);
const COLORREF Yellow = RGB(255, 230, 80);
const COLORREF Aqua = RGB(120, 230, 255);
const COLORREF Green = RGB(140, 255, 140);

Picture Backdrop;
Picture Ball;

void ShowBackdrop()
{
    PictureCreate(&Backdrop);
    PictureSetCaptureDelay(&Backdrop, -1);
    PictureAttachWindow(&Backdrop);
    // The window's client area in the program's pixels: on a scaled display
    // the window is ScreenScale() times larger than the screen drawn on.
    RECT client{};
    GetClientRect(ConsoleWindowHandle(), &client);
    client.right /= ScreenScale();
    client.bottom /= ScreenScale();
    if (PictureLoad(&Backdrop, "picture\\backdrop.jpg"))
        PictureDrawSized(&Backdrop, 0, 0, client.right, client.bottom, 0);

    // A PNG with soft edges, blended by its alpha channel over the hills.
    PictureCreate(&Ball);
    PictureSetCaptureDelay(&Ball, -1);
    PictureAttachWindow(&Ball);
    if (PictureLoadWithAlpha(&Ball, "picture\\ball.png"))
        PictureDrawBlended(&Ball, client.right - 120, client.bottom - 90, 0, 0, 255);
}

void KeepInTranscript(TrackedString line)
{
    HANDLE file = CreateFileA("transcript.txt", FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(StringLength(line)), &written, nullptr);
    WriteFile(file, "\r\n", 2, &written, nullptr);
    CloseHandle(file);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StringsInit();
    if (!ConsoleStart(60000))
        return 1;
    HWND window = ConsoleWindowHandle();
    ConsoleSetCaption("ランタイムのサンプル");
    // 640 x 460 in the program's pixels, shown sharp at the display's whole
    // scale; the user may enlarge it, and Alt+Enter goes full screen.
    ScreenAllowResize(true);
    SetWindowPos(window, HWND_TOP, 0, 0, 640, 460, SWP_SHOWWINDOW);
    ShowBackdrop();

    ConsoleSetColors(Yellow, NoBackground);
    ConsolePrint("ランタイムのサンプル：色つきの文字と行の入力\r\n");
    ConsoleSetColors(Aqua, NoBackground);
    ConsolePrint("Text is drawn over the picture; type a line and press Enter.\r\n");
    ConsolePrint("Alt+Enter: full screen. The window may be made larger.\r\n\r\n");

    for (;;) {
        ConsoleSetColors(White, NoBackground);
        ConsolePrint("入力してください> ");
        TrackedString line = ReadLine();
        KeepInTranscript(line);

        char answer[400];
        wsprintfA(answer, "「%s」は %ld バイトです。\r\n", line, StringLength(line));
        ConsoleSetColors(Green, 0);
        ConsolePrint(answer);
        ReleaseString(line);
    }
}
