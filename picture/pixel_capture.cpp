#include <cstdint>

#include "picture/picture.h"

// A running capture is asked to stop through an event that it looks at after
// every row (and sleeps on between rows), so that it always frees its device
// contexts and its copy. Only a thread that does not answer within the grace
// time is ended by force.

namespace {

const char StopFailedText[] = "前回のピクセル情報の取得スレッドの停止（破棄）に失敗。";
const char SelectFailedText[] = "ピクセル情報の取得に失敗。与えられたHBITMAPが新規DCに結合できない。";
const char ErrorTitle[] = "エラー";
const DWORD StopGraceMilliseconds = 10000;
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
    MessageBoxA(picture->Window, StopFailedText, ErrorTitle, MB_ICONERROR);
}

} // namespace

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
    HDC windowDc = GetDC(picture->Window);
    HDC source = CreateCompatibleDC(windowDc);
    HDC destination = CreateCompatibleDC(windowDc);
    HBITMAP copy = CreateCompatibleBitmap(windowDc, width, height);

    HGDIOBJ previousSource = SelectObject(source, bitmap);
    if (!previousSource)
        MessageBoxA(picture->Window, SelectFailedText, ErrorTitle, MB_ICONERROR);
    HGDIOBJ previousDestination = SelectObject(destination, copy);
    BitBlt(destination, 0, 0, width, height, source, 0, 0, SRCCOPY);
    if (previousSource)
        SelectObject(source, previousSource);
    SelectObject(destination, previousDestination);
    DeleteDC(source);
    DeleteDC(destination);
    ReleaseDC(picture->Window, windowDc);

    picture->CaptureCopy = copy;
    picture->CaptureStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    picture->CaptureThread = CreateThread(nullptr, 0, PixelCaptureMain, picture, 0, &picture->CaptureThreadId);
    if (!picture->CaptureThread) {
        DeleteObject(copy);
        picture->CaptureCopy = nullptr;
        CloseHandle(picture->CaptureStop);
        picture->CaptureStop = nullptr;
    }
}

DWORD WINAPI PixelCaptureMain(LPVOID parameter)
{
    auto* picture = static_cast<Picture*>(parameter);
    HBITMAP copy = picture->CaptureCopy;
    if (picture->PixelBuffer) {
        HeapFree(picture->PrivateHeap, 0, picture->PixelBuffer);
        picture->PixelBuffer = nullptr;
    }
    LONG width = PictureWidth(picture);
    LONG height = PictureHeight(picture);

    // The size in 64 bits: a bitmap too large for one block ends the capture, unready.
    uint64_t bytes = static_cast<uint64_t>(width) * static_cast<uint64_t>(height) * sizeof(COLORREF);
    if (width < 0 || height < 0 || bytes > 0x7FFFFFFFu ||
        !(picture->PixelBuffer = static_cast<COLORREF*>(
              HeapAlloc(picture->PrivateHeap, HEAP_ZERO_MEMORY, static_cast<SIZE_T>(bytes))))) {
        DeleteObject(copy);
        ExitThread(ExitStopped);
    }

    HDC windowDc = GetDC(picture->Window);
    HDC memory = CreateCompatibleDC(windowDc);
    HGDIOBJ previous = SelectObject(memory, copy);
    bool stopped = false;
    for (LONG y = 0; y < height && !stopped; ++y) {
        COLORREF* row = picture->PixelBuffer + static_cast<size_t>(y) * width;
        for (LONG x = 0; x < width; ++x)
            row[x] = GetPixel(memory, x, y);
        stopped = PauseAfterRow(picture);
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(picture->Window, windowDc);
    DeleteObject(copy);

    if (stopped)
        ExitThread(ExitStopped);
    SetPixelsReady(picture, 1);
    ExitThread(ExitCompleted);
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
