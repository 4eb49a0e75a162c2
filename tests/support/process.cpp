#include "support/process.h"

#include <vector>

std::string WindowsPath(const std::string& path)
{
    std::string result = path;
    if (!result.empty() && result[0] == '/')
        result = "Z:" + result;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

std::string DirectoryOf(const std::string& path)
{
    std::string windows = WindowsPath(path);
    size_t slash = windows.find_last_of('\\');
    return slash == std::string::npos ? std::string(".") : windows.substr(0, slash);
}

bool StartChild(const std::string& commandLine, const std::string& workingDirectory, ChildProcess* child)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingDirectory.empty() ? nullptr : workingDirectory.c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    child->Process = info.hProcess;
    child->ProcessId = info.dwProcessId;
    return true;
}

DWORD WaitForExit(ChildProcess* child, DWORD milliseconds)
{
    if (WaitForSingleObject(child->Process, milliseconds) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(child->Process, &code);
    return code;
}

void EndChild(ChildProcess* child)
{
    if (!child->Process)
        return;
    if (WaitForSingleObject(child->Process, 0) != WAIT_OBJECT_0) {
        TerminateProcess(child->Process, 99);
        WaitForSingleObject(child->Process, 5000);
    }
    CloseHandle(child->Process);
    child->Process = nullptr;
}

namespace {

struct WindowSearch {
    DWORD ProcessId;
    const char* ClassName;
    HWND Found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    char className[64] = "";
    GetClassNameA(window, className, sizeof className);
    if (owner == search->ProcessId && lstrcmpA(className, search->ClassName) == 0 && IsWindowVisible(window)) {
        search->Found = window;
        return FALSE;
    }
    return TRUE;
}

HWND FindProcessWindow(DWORD processId, const char* className)
{
    WindowSearch search{processId, className, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

} // namespace

HWND WaitForWindow(DWORD processId, const char* className, DWORD milliseconds)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (HWND window = FindProcessWindow(processId, className))
            return window;
        if (GetTickCount() - start >= milliseconds)
            return nullptr;
        Sleep(20);
    }
}

bool WaitForMessageBox(DWORD processId, DWORD milliseconds, MessageBoxSeen* seen)
{
    HWND box = WaitForWindow(processId, "#32770", milliseconds);
    if (!box)
        return false;
    seen->Box = box;
    seen->Title = WindowText(box);
    char text[1024] = "";
    GetDlgItemTextA(box, 0xFFFF, text, sizeof text); // the static text of a message box
    seen->Text = text;
    return true;
}

void PressMessageBoxButton(HWND box)
{
    HWND button = GetDlgItem(box, IDOK);
    if (!button)
        button = GetDlgItem(box, IDCANCEL);
    SendMessageA(button, BM_CLICK, 0, 0);
}

std::string EnvironmentValue(const char* name)
{
    char value[2048] = "";
    DWORD length = GetEnvironmentVariableA(name, value, sizeof value);
    return length > 0 && length < sizeof value ? std::string(value) : std::string();
}

double NowMicroseconds()
{
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}
