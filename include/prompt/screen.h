#pragma once
// For games: frames built off screen and shown whole, shapes and text drawn
// as graphics, a steady frame clock, and key presses that no poll misses.
#include <windows.h>

// Held drawing. After ScreenHold every graphics draw (pictures, the shapes
// below, DrawTextAt, ScreenClear) goes into the back buffer only, and printed
// text is stored but not drawn; the window keeps showing the last frame shown,
// repaints included. ScreenShow puts the back buffer with the console's rows
// over it on the window in one go; drawing stays held. ScreenRelease shows and
// goes back to drawing straight to the window. Any program thread, after
// ConsoleStart.
void ScreenHold();
void ScreenShow();
void ScreenRelease();

// How what follows is drawn, pictures and shapes alike, until the next call:
// BlendNormal as each call draws (ScreenSetBlend(BlendNormal, 255) undoes any
// other); BlendAlpha the same, times opacity (0 to 255); BlendAdd adds its
// colours to what is there (light, fire); BlendMultiply multiplies (shadow,
// tint). 1 when set; 0 for a mode not one of these or an opacity outside
// 0 to 255, and nothing changes. Any program thread.
const int BlendNormal = 0;
const int BlendAlpha = 1;
const int BlendAdd = 2;
const int BlendMultiply = 3;
int ScreenSetBlend(int mode, LONG opacity);

// Every graphics draw (pictures, shapes, DrawTextAt, DrawTextIn, ScreenClear)
// goes into the picture from now on, a picture made by PictureMake or loaded
// with PictureLoadWithAlpha, its alpha composed; ScreenDrawTo(nullptr) sends
// them to the screen again. 1 when set; 0 for a picture that cannot be drawn
// into (no image, or one of another kind), and drawing stays where it went.
// The picture draws nothing while drawing goes into it. Any program thread.
struct Picture;
int ScreenDrawTo(Picture* picture);

// Graphics in client pixels, clipped, into the back buffer and (unless held)
// the window, like a picture's draw; under the console's rows. Any program
// thread, after ConsoleStart; colours are COLORREFs.
void ScreenClear(COLORREF color);                              // the whole back buffer
void DrawPixel(LONG x, LONG y, COLORREF color);
COLORREF ReadPixel(LONG x, LONG y);                            // from the back buffer; CLR_INVALID outside it
void DrawLine(LONG x0, LONG y0, LONG x1, LONG y1, COLORREF color); // both end points drawn
void DrawBox(LONG x, LONG y, LONG width, LONG height, COLORREF color); // outline
void FillBox(LONG x, LONG y, LONG width, LONG height, COLORREF color);
void DrawEllipse(LONG x, LONG y, LONG width, LONG height, COLORREF color); // inside that box
void FillEllipse(LONG x, LONG y, LONG width, LONG height, COLORREF color);
// Code page 932 text with its top-left corner at (x, y), in the console's
// font and cells, without a background.
void DrawTextAt(LONG x, LONG y, const char* text, COLORREF color);

// What the window shows, graphics and rows, in the program's pixels: a PNG
// file when the name ends in .png, else a 24-bit BMP file. 1 when written, 0
// when not (a folder that does not exist, say). Any program thread.
int ScreenSave(const char* name);

// The screen at a whole scale. A program's screen keeps its size in its own
// pixels (the client size it gave the window, less the frame: the back
// buffer, the rows, every draw, MouseState and ScreenSave are in those); the
// window shows each of its pixels as a block of scale x scale, sharp. By
// default the scale follows the window's monitor: 1 at 100 % and 125 %, 2
// from 150 % to 249 %, 3 from 250 %..., and changes when the window moves to
// a monitor of another scale. A program's own SetWindowPos of the console
// window is taken in its pixels too: the window grows by the scale.
//
// ScreenSetScale: that scale (0: the monitor's again), the window resized
// for it; 1 when set, 0 for a scale below 0 or one at which the window would
// not fit the monitor's work area, and nothing changes. In full screen it is
// kept for when full screen ends. ScreenScale: the scale the screen is shown
// at now (in full screen or a window the user sized: the largest that fits);
// 0 before ConsoleStart.
int ScreenSetScale(LONG scale);
LONG ScreenScale();
// The program's screen width x height of its pixels, the window sized for
// it at the scale (whatever its frame and the display's scale), its top-left
// corner kept or moved onto the work area; 1 when done, 0 for a size below 1
// or beyond the back buffer (the primary display's size), or without a
// console. In full screen, kept for when it ends.
int ScreenSetSize(LONG width, LONG height);
// ScreenAllowResize(true), as the window is made: a sizing border and a
// maximise box; the user may make it larger, never smaller than one window
// pixel a program pixel; the screen keeps its size and is shown at the
// largest whole scale that fits, centred, the rest black. false: neither, the
// window fixed at the target scale (as a program that clears WS_THICKFRAME
// itself). 1 when done, 0 without a console.
int ScreenAllowResize(bool allow);
// ScreenFullscreen(true), or Alt+Enter: a borderless window covering the
// monitor, the screen at the largest whole scale that fits, centred, the
// rest black; false (or Alt+Enter again): the window's place, frame and size
// from before. Lines being read and held frames go on as they were. 1 when
// done, 0 without a console.
int ScreenFullscreen(bool on);
// These five: any program thread, after ConsoleStart; the window changes on
// the console's thread before the call returns.

// Waits for the next tick of a steady clock at that many frames a second and
// returns. Each deadline is the previous one plus the period, so a loop does
// not drift; one that falls more than a frame behind starts again from now
// instead of racing to catch up. From one program thread.
void FrameWait(LONG framesPerSecond);
// How many frames FrameWait has waited for.
LONG FrameCount();

// True once for each time the key (a virtual-key code, VK_LEFT, 'A') went
// down while the console window had the focus, auto-repeat aside, since the
// call before: three taps between two frames answer true three times. Recorded
// from the window's key messages, so no press is lost however short.
// KeyReleased: the same for the key going up. From one program thread.
bool KeyPressed(int virtualKey);
bool KeyReleased(int virtualKey);
