#include "runtime/fatal.h"

void FatalError(const char* text, UINT exitCode)
{
    // No owner: the console window may be the very thing that failed.
    MessageBoxA(nullptr, text, "エラー", MB_OK | MB_ICONERROR | MB_SETFOREGROUND);
    ExitProcess(exitCode);
}

void FatalOutOfMemory()
{
    FatalError("メモリが足りないため、プログラムを終了します。", ExitOutOfMemory);
}
