#pragma once
// Starting a Windows program and watching it from outside.
#include <windows.h>

#include <string>

// A path as Windows sees it: Unix paths (from the build system) go through drive Z:.
std::string WindowsPath(const std::string& path);
std::string DirectoryOf(const std::string& path);

struct ChildProcess {
    HANDLE Process = nullptr;
    DWORD ProcessId = 0;
};

bool StartChild(const std::string& commandLine, const std::string& workingDirectory, ChildProcess* child);
// The exit code, or STILL_ACTIVE if it did not end within the time.
DWORD WaitForExit(ChildProcess* child, DWORD milliseconds);
void EndChild(ChildProcess* child);

// A visible top-level window of the process with the given class, or 0 after the time.
HWND WaitForWindow(DWORD processId, const char* className, DWORD milliseconds);

struct MessageBoxSeen {
    HWND Box = nullptr;
    std::string Title;
    std::string Text;
};

// Finds a message box of the process; with press, answers it with its first button.
bool WaitForMessageBox(DWORD processId, DWORD milliseconds, MessageBoxSeen* seen);
void PressMessageBoxButton(HWND box);

std::string EnvironmentValue(const char* name);
// The performance counter in microseconds (under Wine: the host's monotonic clock).
double NowMicroseconds();
