#pragma once
// Frames composed from the back buffer and the text rows over it: the pixels
// a repaint shows. Every call here requires the text store's lock and then the
// back buffer's to be held by the caller.
#include <windows.h>

#include "screen/back_buffer.h"

// The back buffer with every visible row over it into a screen-sized
// image's top-left width x height, taking again only what changed since the
// last compose into the same image; written, where given, gets the
// rectangle of the image it wrote (empty when nothing changed).
void ComposeFrameLocked(OffscreenImage* target, LONG width, LONG height, RECT* written = nullptr);

// Rows drawn by the platform onto a device context (first -1: every visible
// row, over what the caller put there; otherwise first to last, over their
// strip of the back buffer, restored first).
void DrawRowsOverLocked(HDC dc, LONG first, LONG last, LONG clientWidth, LONG clientHeight);

// Whether nothing was drawn into the back buffer since the last compose and
// its top-left width x height is one colour: there, rows shifted on the
// window show what a compose would.
bool BackBufferStillAndPlainLocked(LONG width, LONG height);
