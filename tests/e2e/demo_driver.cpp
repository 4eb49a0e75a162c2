#include "e2e/demo_driver.h"

#include <psapi.h>

#include <cstdlib>
#include <fstream>

namespace {

const char Caption[] = "\x83\x5E\x83\x43\x83\x67\x83\x8B\x96\xBC"; // "タイトル名"

std::string AssetsDirectory()
{
    return WindowsPath(EnvironmentValue("ASSETS_DIR"));
}

void CopyAsset(const std::string& directory, const char* relative)
{
    CopyFileA((AssetsDirectory() + "\\" + relative).c_str(), (directory + "\\" + relative).c_str(), FALSE);
}

void SendKey(WORD virtualKey, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = virtualKey;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags;
    if (virtualKey == VK_LEFT || virtualKey == VK_RIGHT || virtualKey == VK_UP || virtualKey == VK_DOWN)
        input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    SendInput(1, &input, sizeof input);
}

} // namespace

std::string PrepareWorkingDirectory(const DemoFiles& files)
{
    // An unpacked package brings its own files: the programs run where they stand.
    std::string package = EnvironmentValue("PACKAGE_DIR");
    if (!package.empty() && files.Sprite && files.Music && files.Zap)
        return WindowsPath(package);
    static int serial = 0;
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    // A directory no earlier run has used: process ids recur, and a directory
    // left with the music in it would make a run without music play it.
    std::string directory;
    do
        directory = std::string(temp) + "demo-run-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(GetTickCount()) + "-" + std::to_string(++serial);
    while (!CreateDirectoryA(directory.c_str(), nullptr));
    CreateDirectoryA((directory + "\\bmp").c_str(), nullptr);
    CreateDirectoryA((directory + "\\sound").c_str(), nullptr);
    if (files.Sprite)
        CopyAsset(directory, "bmp\\chr01.bmp");
    if (files.Music)
        CopyAsset(directory, "sound\\start.mp3");
    if (files.Zap)
        CopyAsset(directory, "sound\\zapper.wav");
    return directory;
}

SpriteImage LoadSpriteImage()
{
    SpriteImage image;
    std::string path = AssetsDirectory() + "\\bmp\\chr01.bmp";
    HBITMAP bitmap = static_cast<HBITMAP>(LoadImageA(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
    if (!bitmap)
        return image;
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    image.Width = info.bmWidth;
    image.Height = info.bmHeight;
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, bitmap);
    for (LONG y = 0; y < image.Height; ++y)
        for (LONG x = 0; x < image.Width; ++x)
            image.Cells.push_back(GetPixel(dc, x, y));
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(bitmap);
    return image;
}

bool DemoRun::Start(const std::string& directory)
{
    std::string exe = WindowsPath(EnvironmentValue("DEMO_EXE"));
    startTick_ = GetTickCount();
    if (!StartChild("\"" + exe + "\"", directory, &child_))
        return false;
    window_ = WaitForWindow(child_.ProcessId, "PROMPT", 60000);
    if (!window_)
        return false;
    char text[64] = "";
    while (GetTickCount() - startTick_ < 60000) {
        GetWindowTextA(window_, text, sizeof text);
        if (lstrcmpA(text, Caption) == 0)
            return true;
        Sleep(5);
    }
    return false;
}

DemoRun::~DemoRun()
{
    EndChild(&child_);
}

bool DemoRun::ReadMouseState(SHORT fields[4])
{
    std::string exe = WindowsPath(EnvironmentValue("DEMO_EXE"));
    HMODULE image = LoadLibraryExA(exe.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    if (!image)
        return false;
    FARPROC exported = GetProcAddress(image, "MouseState");
    UINT_PTR offset = reinterpret_cast<UINT_PTR>(exported) - reinterpret_cast<UINT_PTR>(image);
    FreeLibrary(image);
    if (!exported)
        return false;
    HMODULE remote[1] = {};
    DWORD needed = 0;
    if (!EnumProcessModules(child_.Process, remote, sizeof remote, &needed) || !remote[0])
        return false;
    SIZE_T read = 0;
    return ReadProcessMemory(child_.Process, reinterpret_cast<char*>(remote[0]) + offset, fields,
                             4 * sizeof(SHORT), &read) && read == 4 * sizeof(SHORT);
}

POINT DemoRun::ClientOrigin() const
{
    POINT origin{0, 0};
    ClientToScreen(window_, &origin);
    return origin;
}

ScreenPixels DemoRun::CaptureClient() const
{
    return CaptureClientOf(window_);
}

LONG ExpectedScale()
{
    int scale = atoi(EnvironmentValue("EXPECTED_SCALE").c_str());
    return scale > 1 ? scale : 1;
}

bool SpriteAt(const ScreenPixels& client, POINT origin, const SpriteImage& sprite, LONG x, LONG y)
{
    // Parts of the sprite outside the client area are clipped by the window:
    // skip them. At a scale each of its pixels is a whole block.
    const LONG n = ExpectedScale();
    int compared = 0;
    for (LONG row = 0; row < sprite.Height; ++row)
        for (LONG dy = 0; dy < n; ++dy) {
            LONG screenY = origin.y + (y + row) * n + dy;
            if (screenY < client.Top || screenY >= client.Top + client.Height)
                continue;
            for (LONG column = 0; column < sprite.Width; ++column)
                for (LONG dx = 0; dx < n; ++dx) {
                    LONG screenX = origin.x + (x + column) * n + dx;
                    if (screenX < client.Left || screenX >= client.Left + client.Width)
                        continue;
                    if (client.At(screenX, screenY) != sprite.At(column, row))
                        return false;
                    compared += dx == 0 && dy == 0;
                }
        }
    return compared >= sprite.Width * sprite.Height / 4;
}

bool WaitForSpriteAt(const DemoRun& demo, const SpriteImage& sprite, LONG x, LONG y, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        if (SpriteAt(demo.CaptureClient(), demo.ClientOrigin(), sprite, x, y))
            return true;
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
    return false;
}

bool WaitForClient(const DemoRun& demo, const ScreenPixels& expected, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        if (demo.CaptureClient().Cells == expected.Cells)
            return true;
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
    return false;
}

bool WaitForCaret(HWND window, DWORD milliseconds)
{
    DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    for (DWORD start = GetTickCount(); GetTickCount() - start < milliseconds; Sleep(5))
        if (GetGUIThreadInfo(thread, &info) && info.hwndCaret)
            return true;
    return false;
}

void PaintOver(HWND window, COLORREF colour)
{
    RECT client{};
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

bool FindSpriteOnRow(const ScreenPixels& client, POINT origin, const SpriteImage& sprite, LONG y, LONG* x)
{
    for (LONG candidate = -8; candidate < client.Width / ExpectedScale(); ++candidate)
        if (SpriteAt(client, origin, sprite, candidate, y)) {
            *x = candidate;
            return true;
        }
    return false;
}

bool FindSpriteOnColumn(const ScreenPixels& client, POINT origin, const SpriteImage& sprite, LONG x, LONG* y)
{
    for (LONG candidate = -40; candidate < client.Height / ExpectedScale(); ++candidate)
        if (SpriteAt(client, origin, sprite, x, candidate)) {
            *y = candidate;
            return true;
        }
    return false;
}

void PressKey(WORD virtualKey)
{
    SendKey(virtualKey, 0);
}

void ReleaseKey(WORD virtualKey)
{
    SendKey(virtualKey, KEYEVENTF_KEYUP);
}

void TapKey(WORD virtualKey, DWORD holdMilliseconds)
{
    PressKey(virtualKey);
    Sleep(holdMilliseconds);
    ReleaseKey(virtualKey);
}

void TypeCharacters(const wchar_t* text)
{
    for (const wchar_t* c = text; *c; ++c)
        for (DWORD flags : {DWORD(KEYEVENTF_UNICODE), DWORD(KEYEVENTF_UNICODE | KEYEVENTF_KEYUP)}) {
            INPUT input{};
            input.type = INPUT_KEYBOARD;
            input.ki.wScan = *c;
            input.ki.dwFlags = flags;
            SendInput(1, &input, sizeof input);
        }
}

size_t MixedBlocks(const ScreenPixels& client, LONG n)
{
    size_t mixed = 0;
    for (LONG top = 0; top + n <= client.Height; top += n)
        for (LONG left = 0; left + n <= client.Width; left += n) {
            const COLORREF first = client.Cells[top * client.Width + left];
            bool same = true;
            for (LONG dy = 0; dy < n && same; ++dy)
                for (LONG dx = 0; dx < n && same; ++dx)
                    same = client.Cells[(top + dy) * client.Width + left + dx] == first;
            mixed += !same;
        }
    return mixed;
}
