// The smallest complete program on the runtime: a greeting, a question, an
// answer. Closing the window ends it.
#include <prompt/prompt.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    StringsInit();
    if (!ConsoleStart(60000))
        return 1;
    ConsoleSetCaption("こんにちは");

    ConsoleSetColors(RGB(255, 255, 255), NoBackground);
    ConsolePrint("こんにちは。お名前は？ ");
    for (;;) {
        TrackedString name = ReadLine();
        ConsoleSetColors(RGB(120, 230, 120), NoBackground);
        ConsolePrint("ようこそ、");
        ConsolePrint(name);
        ConsolePrint(" さん。\r\n");
        ReleaseString(name);
        ConsoleSetColors(RGB(255, 255, 255), NoBackground);
        ConsolePrint("もう一度どうぞ： ");
    }
}
