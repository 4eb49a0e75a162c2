#include "runtime/fatal.h"

#include "runtime/code_page.h"

void FatalError(const char* text, UINT exitCode)
{
    // No owner: the console window may be the very thing that failed. No heap
    // either: memory may be what ran out.
    wchar_t message[256], title[16];
    if (!MultiByteToWideChar(TextCodePage, 0, text, -1, message, 256))
        message[0] = 0;
    MultiByteToWideChar(TextCodePage, 0, "エラー", -1, title, 16);
    MessageBoxW(nullptr, message, title, MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ExitProcess(exitCode);
}

void FatalOutOfMemory()
{
    FatalError("メモリが足りないため、プログラムを終了します。", ExitOutOfMemory);
}
