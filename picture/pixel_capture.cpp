#include <cstdint>

#include "picture/picture.h"
#include "picture/picture_testing.h"
#include "runtime/code_page.h"
#include "runtime/owners.h"

// A running capture is asked to stop through an event that it looks at after
// every row (and sleeps on between rows), so that it always frees its device
// context and its copy. Only a thread that does not answer within the grace
// time is ended by force; what it held is then freed by the one who stopped it.

namespace {

const char StopFailedText[] = "前回のピクセル情報の取得スレッドの停止（破棄）に失敗。";
const char SelectFailedText[] = "ピクセル情報の取得に失敗。与えられたHBITMAPが新規DCに結合できない。";
const char ErrorTitle[] = "エラー";
const DWORD DefaultStopGrace = 10000;
DWORD StopGraceMilliseconds = DefaultStopGrace;
const int TerminateAttempts = 4;
const DWORD ExitCompleted = 0;
const DWORD ExitStopped = 1;

bool Running(HANDLE thread)
{
    return WaitForSingleObject(thread, 0) == WAIT_TIMEOUT;
}

// Sleeps the row delay; true when asked to stop.
bool PauseAfterRow(Picture* picture)
{
    LONG delay = picture->CaptureDelay;
    if (delay <= 0) {
        Sleep(0);
        return WaitForSingleObject(picture->CaptureStop, 0) == WAIT_OBJECT_0;
    }
    return WaitForSingleObject(picture->CaptureStop, static_cast<DWORD>(delay)) == WAIT_OBJECT_0;
}

void EndByForce(Picture* picture)
{
    for (int attempt = 0; attempt < TerminateAttempts; ++attempt)
        if (TerminateThread(picture->CaptureThread, ExitStopped)) {
            WaitForSingleObject(picture->CaptureThread, INFINITE);
            return;
        }
    ShowMessageBox(picture->Window, StopFailedText, ErrorTitle, MB_ICONERROR);
}

// The capture's device context and copy, taken out of the record before they
// are freed: a thread ended in between leaves them, never frees them twice.
void FreeCaptureObjects(Picture* picture)
{
    if (auto dc = static_cast<HDC>(InterlockedExchangePointer(reinterpret_cast<PVOID*>(&picture->CaptureDc), nullptr)))
        DeleteDC(dc);
    if (auto copy = static_cast<HBITMAP>(
            InterlockedExchangePointer(reinterpret_cast<PVOID*>(&picture->CaptureCopy), nullptr)))
        DeleteObject(copy);
}

// The rows into PixelBuffer; false when asked to stop, or when there is no buffer.
bool CaptureRows(Picture* picture)
{
    LONG width = PictureWidth(picture);
    LONG height = PictureHeight(picture);
    // The size in 64 bits: a bitmap too large for one block ends the capture, unready.
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * sizeof(COLORREF);
    if (width < 0 || height < 0 || bytes > 0x7FFFFFFFu ||
        !(picture->PixelBuffer = static_cast<COLORREF*>(
              HeapAlloc(picture->PrivateHeap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(bytes)))))
        return false;

    {
        WindowDc windowDc(picture->Window);
        picture->CaptureDc = CreateCompatibleDC(windowDc.Dc);
    }
    HDC memory = picture->CaptureDc;
    Selection copy(memory, picture->CaptureCopy);
    for (LONG y = 0; y < height; ++y) {
        COLORREF* row = picture->PixelBuffer + static_cast<size_t>(y) * width;
        for (LONG x = 0; x < width; ++x)
            row[x] = GetPixel(memory, x, y);
        if (PauseAfterRow(picture))
            return false;
    }
    return true;
}

} // namespace

void SetCaptureStopGrace(DWORD milliseconds)
{
    StopGraceMilliseconds = milliseconds ? milliseconds : DefaultStopGrace;
}

void StopPixelCapture(Picture* picture)
{
    if (!picture->CaptureThread)
        return;
    if (Running(picture->CaptureThread)) {
        SetEvent(picture->CaptureStop);
        if (WaitForSingleObject(picture->CaptureThread, StopGraceMilliseconds) == WAIT_TIMEOUT)
            EndByForce(picture);
        SetPixelsReady(picture, 0); // a capture that ended as it was stopped may have set it
    }
    if (!Running(picture->CaptureThread))
        FreeCaptureObjects(picture); // nothing, unless the thread was ended by force
    CloseHandle(picture->CaptureThread);
    picture->CaptureThread = nullptr;
    if (picture->CaptureStop) {
        CloseHandle(picture->CaptureStop);
        picture->CaptureStop = nullptr;
    }
}

void StartPixelCapture(Picture* picture, HBITMAP bitmap)
{
    StopPixelCapture(picture);
    if (picture->CaptureDelay < 0)
        return;

    LONG width = PictureWidth(picture);
    LONG height = PictureHeight(picture);
    GdiOwner<HBITMAP> copy;
    {
        WindowDc windowDc(picture->Window);
        MemoryDc source(windowDc.Dc);
        MemoryDc destination(windowDc.Dc);
        copy.Object = CreateCompatibleBitmap(windowDc.Dc, width, height);
        if (!copy.Object)
            return; // no room for a copy: no capture, PixelsReady stays 0
        Selection sourceHeld(source.Dc, bitmap);
        if (!sourceHeld.Held())
            ShowMessageBox(picture->Window, SelectFailedText, ErrorTitle, MB_ICONERROR);
        Selection copyHeld(destination.Dc, copy.Object);
        BitBlt(destination.Dc, 0, 0, width, height, source.Dc, 0, 0, SRCCOPY);
    }

    HandleOwner stop(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!stop.Held())
        return;
    picture->CaptureCopy = copy.Object;
    picture->CaptureStop = stop.Handle;
    picture->CaptureThread = CreateThread(nullptr, 0, PixelCaptureMain, picture, 0, &picture->CaptureThreadId);
    if (!picture->CaptureThread) {
        picture->CaptureCopy = nullptr; // the owners free both
        picture->CaptureStop = nullptr;
        return;
    }
    copy.Release();
    stop.Release();
}

DWORD WINAPI PixelCaptureMain(LPVOID parameter)
{
    auto* picture = static_cast<Picture*>(parameter);
    if (picture->PixelBuffer) {
        HeapFree(picture->PrivateHeap, 0, picture->PixelBuffer);
        picture->PixelBuffer = nullptr;
    }
    bool complete = CaptureRows(picture);
    FreeCaptureObjects(picture);
    if (!complete)
        return ExitStopped;
    SetPixelsReady(picture, 1);
    return ExitCompleted;
}

void SetPixelsReady(Picture* picture, LONG value)
{
    EnterCriticalSection(&picture->PixelLock);
    picture->PixelsReady = value;
    LeaveCriticalSection(&picture->PixelLock);
}

LONG PixelsReadyNow(Picture* picture)
{
    EnterCriticalSection(&picture->PixelLock);
    LONG value = picture->PixelsReady;
    LeaveCriticalSection(&picture->PixelLock);
    return value;
}
