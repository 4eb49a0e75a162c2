#pragma once
// Frames on the window. While held (ScreenHold) the window shows the frame
// composed at the last ScreenShow, kept in an image of its own, so that a
// repaint never shows a half-drawn back buffer; otherwise a repaint shows the
// frame composed now, taking only what changed since the last one.
#include <windows.h>

#include "screen/back_buffer.h"
#include "text/text_store.h"

// Whether drawing is held. Written with the text store's lock and the back
// buffer's lock held; read under the back buffer's, so that a draw and a show
// never cross.
bool FrameHeld();

// Any thread: something was drawn on the window (or into the back buffer)
// apart from a compose, so that what the window shows is no longer the last
// compose.
void FrameWindowDrawnApart();

// The console thread's WM_PAINT onto its paint device context.
void FramePaint(HDC dc);
// The console thread: the rows printing stored onto the window (unless held:
// ScreenShow shows them), only those touched unless every row is pending.
// False when nothing was drawn.
bool FrameDrawPendingRows();

// Scrolls the rows if the cursor row is not wholly visible, then draws rows
// (first -1: every visible row, over the back buffer's copy; otherwise first
// to last, each over its strip of the back buffer) onto a device context of
// the window.
void RenderRows(HDC dc, LONG first, LONG last);

// With both locks held: the frame the window shows, composed now unless held
// (written, where given: the part of it that changed); null without a
// console or when no image can be made for it.
const OffscreenImage* ShownFrameLocked(const RECT& client, RECT* written = nullptr);

// Where the screen is stretched on the window (screen/screen_scale.h), a
// draw that is not held reaches it through the composed frame: what changed
// since the last compose, put on the window now. Any thread, holding neither
// lock; nothing while held or where the window is drawn on directly.
void FramePresentChanges();
