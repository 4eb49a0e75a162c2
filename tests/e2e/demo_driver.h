#pragma once
// Starts the demo in a working directory of its own and watches it from outside.
#include <windows.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/screen.h"

// Which data files the demo's working directory gets.
struct DemoFiles {
    bool Sprite = true;
    bool Music = true;
    bool Zap = true;
};

// A fresh working directory holding the chosen files of assets/ (or, with all
// of them, PACKAGE_DIR: an unpacked package).
std::string PrepareWorkingDirectory(const DemoFiles& files);

struct SpriteImage {
    LONG Width = 0;
    LONG Height = 0;
    std::vector<COLORREF> Cells;
    COLORREF At(LONG x, LONG y) const { return Cells[y * Width + x]; }
};

SpriteImage LoadSpriteImage();

class DemoRun {
public:
    // Starts demo.exe in the directory and waits until start-up has captioned its window.
    bool Start(const std::string& directory);
    ~DemoRun();

    HWND Window() const { return window_; }
    ChildProcess& Process() { return child_; }
    DWORD StartTick() const { return startTick_; }

    POINT ClientOrigin() const;
    // Reads the demo's exported MouseState (four 16-bit values) from its memory.
    bool ReadMouseState(SHORT fields[4]);
    ScreenPixels CaptureClient() const;

private:
    ChildProcess child_;
    HWND window_ = nullptr;
    DWORD startTick_ = 0;
};

// Polls the window until the sprite stands whole at client (x, y).
bool WaitForSpriteAt(const DemoRun& demo, const SpriteImage& sprite, LONG x, LONG y, DWORD milliseconds);
// Polls the demo's client area until it equals expected.
bool WaitForClient(const DemoRun& demo, const ScreenPixels& expected, DWORD milliseconds);
// Waits until the window's thread shows a caret, as it does while a line input waits.
bool WaitForCaret(HWND window, DWORD milliseconds);
// Covers the window's client area with one colour, drawn from outside.
void PaintOver(HWND window, COLORREF colour);

// The scale the programs' screens are shown at in this run: EXPECTED_SCALE,
// set for the runs at 144 and 192 dpi; 1 without it.
LONG ExpectedScale();
// Every N x N block of the window's client area one colour (N: the scale);
// how many are not, counting from the client's corner.
size_t MixedBlocks(const ScreenPixels& client, LONG scale);

// Positions below are in the program's pixels; at a scale they are looked
// for as blocks of the window.
// Whether the sprite stands whole at client (x, y) (rows above the client area are skipped).
bool SpriteAt(const ScreenPixels& client, POINT origin, const SpriteImage& sprite, LONG x, LONG y);
// Where on the band of rows y (or the column x) the whole sprite stands, or false.
bool FindSpriteOnRow(const ScreenPixels& client, POINT origin, const SpriteImage& sprite, LONG y, LONG* x);
bool FindSpriteOnColumn(const ScreenPixels& client, POINT origin, const SpriteImage& sprite, LONG x, LONG* y);

// Keys through the platform's input queue, as a keyboard would send them.
void PressKey(WORD virtualKey);
void ReleaseKey(WORD virtualKey);
void TapKey(WORD virtualKey, DWORD holdMilliseconds);
// Characters as an input method delivers them (KEYEVENTF_UNICODE), whatever the keyboard.
void TypeCharacters(const wchar_t* text);
