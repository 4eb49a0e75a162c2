#include <windows.h>

#include "program/program.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    ProgramMain();
}
