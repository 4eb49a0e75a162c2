// Hours without a leak, and many starts and closes: the demo and the sample
// under random input for a while (SOAK_SECONDS, 60 by default), watched from
// outside by their memory, and CHURN_CYCLES (10) starts closed at random moments.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "e2e/demo_driver.h"
#include "support/clipboard.h"

#include <psapi.h>

namespace {

int Setting(const char* name, int fallback)
{
    std::string value = EnvironmentValue(name);
    return value.empty() ? fallback : std::atoi(value.c_str());
}

struct MemorySample {
    double Seconds;
    SIZE_T Resident;
    SIZE_T Private;
};

// Under Wine each Windows process is a Linux process of its own, whose
// /proc/PID/status tells its resident (VmRSS) and private resident (RssAnon)
// memory; it is found by the program's name in its command line. Elsewhere
// the platform's own counters serve.
std::string ReadSmallFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string text(65536, '\0');
    DWORD read = 0;
    ReadFile(file, &text[0], static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    return text;
}

std::string LinuxStatusFile(const char* programName)
{
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA("Z:\\proc\\*", &entry);
    if (search == INVALID_HANDLE_VALUE)
        return std::string();
    long newest = -1;
    do {
        long pid = std::atol(entry.cFileName);
        if (pid <= newest)
            continue;
        std::string command = ReadSmallFile(std::string("Z:\\proc\\") + entry.cFileName + "\\cmdline");
        if (command.find(programName) != std::string::npos &&
            ReadSmallFile(std::string("Z:\\proc\\") + entry.cFileName + "\\status").find("State:\tZ") == std::string::npos)
            newest = pid;
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    return newest < 0 ? std::string() : "Z:\\proc\\" + std::to_string(newest) + "\\status";
}

SIZE_T StatusKilobytes(const std::string& status, const char* field)
{
    size_t at = status.find(field);
    return at == std::string::npos ? 0 : static_cast<SIZE_T>(std::atol(status.c_str() + at + std::strlen(field))) * 1024;
}

bool SampleMemory(HANDLE process, const std::string& statusFile, double seconds, std::vector<MemorySample>* samples)
{
    if (!statusFile.empty()) {
        std::string status = ReadSmallFile(statusFile);
        samples->push_back(MemorySample{seconds, StatusKilobytes(status, "VmRSS:"), StatusKilobytes(status, "RssAnon:")});
        return samples->back().Resident != 0;
    }
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
        return false;
    samples->push_back(MemorySample{seconds, counters.WorkingSetSize, counters.PrivateUsage});
    return counters.WorkingSetSize != 0;
}

// Growth from the first third of the samples to the last third, in bytes.
long long Growth(const std::vector<MemorySample>& samples, SIZE_T MemorySample::*field)
{
    size_t third = std::max<size_t>(1, samples.size() / 3);
    double early = 0, late = 0;
    for (size_t i = 0; i < third; ++i) {
        early += samples[i].*field;
        late += samples[samples.size() - 1 - i].*field;
    }
    return static_cast<long long>((late - early) / third);
}

void ReportAndCheck(const char* program, const std::vector<MemorySample>& samples)
{
    printf("%s memory, every few seconds after the warm-up (resident / private KiB):\n", program);
    for (const MemorySample& s : samples)
        printf("  %6.1f s  %8lu  %8lu\n", s.Seconds, static_cast<unsigned long>(s.Resident / 1024),
               static_cast<unsigned long>(s.Private / 1024));
    long long resident = Growth(samples, &MemorySample::Resident), privateBytes = Growth(samples, &MemorySample::Private);
    printf("%s growth from the first third to the last: resident %lld KiB, private %lld KiB\n", program,
           resident / 1024, privateBytes / 1024);
    const long long allowed = 1024 * 1024; // a megabyte of noise from the platform's caches
    EXPECT_LT(privateBytes, allowed) << program << ": private bytes grow";
    EXPECT_LT(resident, allowed) << program << ": resident memory grows";
}

void SendMouse(DWORD flags)
{
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

HWND Cover(HWND window, std::mt19937& random)
{
    RECT frame{};
    GetWindowRect(window, &frame);
    int left = frame.left + static_cast<int>(random() % 300), top = frame.top + static_cast<int>(random() % 200);
    HWND cover = CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP | WS_VISIBLE | SS_GRAYRECT, left, top, 300, 200,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    UpdateWindow(cover);
    return cover;
}

// One random input of the given kind: 0 key, 1 click, 2 repaint, 3 cover.
void RandomInput(int kind, HWND window, std::mt19937& random)
{
    const WORD keys[] = {VK_LEFT, VK_RIGHT, VK_UP, VK_DOWN, VK_SPACE};
    switch (kind) {
    case 0:
        TapKey(keys[random() % 5], 100 + random() % 200);
        break;
    case 1: {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        SetCursorPos(origin.x + static_cast<int>(random() % 600), origin.y + static_cast<int>(random() % 400));
        bool right = random() % 4 == 0;
        SendMouse(right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN);
        Sleep(30 + random() % 100);
        SendMouse(right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP);
        break;
    }
    case 2:
        InvalidateRect(window, nullptr, TRUE);
        break;
    default: {
        HWND cover = Cover(window, random);
        Sleep(100 + random() % 200);
        DestroyWindow(cover);
        break;
    }
    }
    MSG message; // our own cover windows need their messages
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

TEST(EnduranceTest, DemoUnderRandomInputKeepsItsMemory)
{
    const int seconds = Setting("SOAK_SECONDS", 60);
    DemoRun demo;
    ASSERT_TRUE(demo.Start(PrepareWorkingDirectory(DemoFiles{})));
    unsigned seed = GetTickCount();
    printf("demo soak for %d s, seed %u\n", seconds, seed);
    std::mt19937 random(seed);
    for (int kind = 0; kind < 4; ++kind) // the warm-up: every kind of input once
        for (int i = 0; i < 3; ++i)
            RandomInput(kind, demo.Window(), random);

    std::vector<MemorySample> samples;
    DWORD start = GetTickCount(), lastSample = 0;
    std::string status = LinuxStatusFile("demo.exe");
    printf("memory read from %s\n", status.empty() ? "the platform's counters" : status.c_str());
    ASSERT_TRUE(SampleMemory(demo.Process().Process, status, 0, &samples)) << "no memory figures for the demo";
    int inputs = 0;
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        RandomInput(static_cast<int>(random() % 4), demo.Window(), random);
        ++inputs;
        if (GetTickCount() - lastSample >= 3000) {
            lastSample = GetTickCount();
            SampleMemory(demo.Process().Process, status, (lastSample - start) / 1000.0, &samples);
        }
    }
    printf("%d random inputs\n", inputs);
    ReportAndCheck("demo", samples);
    PostMessageA(demo.Window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&demo.Process(), 10000));
}

TEST(EnduranceTest, SampleTypingAndPastingKeepsItsMemory)
{
    const int seconds = Setting("SOAK_SECONDS", 60);
    std::string directory = PrepareWorkingDirectory(DemoFiles{});
    ChildProcess child;
    ASSERT_TRUE(StartChild("\"" + WindowsPath(EnvironmentValue("SAMPLE_EXE")) + "\"", directory, &child));
    HWND window = WaitForWindow(child.ProcessId, "PROMPT", 60000);
    ASSERT_NE(nullptr, window);
    ASSERT_TRUE(WaitForCaret(window, 30000)) << "the sample reads its first line";
    unsigned seed = GetTickCount();
    printf("sample soak for %d s, seed %u\n", seconds, seed);
    std::mt19937 random(seed);

    // Keys typed while no line input runs are dropped, as they should be: wait
    // until the sample reads again, which its caret shows.
    auto waitUntilReading = [&] { WaitForCaret(window, 30000); };
    enum class Paste { Random, Long, None };
    auto typeLine = [&](Paste paste) {
        SetForegroundWindow(window);
        waitUntilReading();
        int length = 1 + static_cast<int>(random() % 40);
        for (int i = 0; i < length; ++i)
            TapKey(static_cast<WORD>('A' + random() % 26), 10);
        if (paste == Paste::Long || (paste == Paste::Random && random() % 3 == 0)) {
            std::string text = std::string(paste == Paste::Long ? 300 : 1 + random() % 300, 'p') + "\tテキスト";
            PutTextOnClipboard(&text);
            PressKey(VK_CONTROL);
            TapKey('V', 20);
            ReleaseKey(VK_CONTROL);
        }
        TapKey(VK_RETURN, 10);
    };
    // The warm-up: lines typed and lines pasted until the window has scrolled
    // (about ten lines: a line input takes one row), so that the one-time
    // allocations of each (2.5 MB for the composed frames at the first
    // scroll) come before the samples.
    for (int i = 0; i < 16; ++i)
        typeLine(i % 2 ? Paste::None : Paste::Long);

    std::vector<MemorySample> samples;
    DWORD start = GetTickCount(), lastSample = 0;
    std::string status = LinuxStatusFile("sample.exe");
    ASSERT_TRUE(SampleMemory(child.Process, status, 0, &samples));
    int lines = 0;
    while (GetTickCount() - start < static_cast<DWORD>(seconds) * 1000) {
        typeLine(Paste::Random);
        ++lines;
        if (GetTickCount() - lastSample >= 3000) {
            lastSample = GetTickCount();
            SampleMemory(child.Process, status, (lastSample - start) / 1000.0, &samples);
        }
    }
    std::string transcript = ReadSmallFile(directory + "\\transcript.txt");
    size_t kept = 0;
    for (size_t at = transcript.find("\r\n"); at != std::string::npos; at = transcript.find("\r\n", at + 2))
        ++kept;
    printf("%d lines typed, %zu in the sample's transcript\n", lines, kept);
    EXPECT_GE(kept + 1, static_cast<size_t>(lines) + 16) << "every line reached the sample (the last may be on its way)";
    ReportAndCheck("sample", samples);
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0u, WaitForExit(&child, 10000));
    EndChild(&child);
}

TEST(EnduranceTest, StartsAndClosesAtRandomMomentsAllEndWithZero)
{
    const int cycles = Setting("CHURN_CYCLES", 10);
    unsigned seed = GetTickCount();
    std::mt19937 random(seed);
    printf("%d starts and closes, seed %u\n", cycles, seed);
    std::string exe = WindowsPath(EnvironmentValue("DEMO_EXE"));
    std::string directory = PrepareWorkingDirectory(DemoFiles{});
    for (int cycle = 0; cycle < cycles; ++cycle) {
        DWORD delay = random() % 2500; // from at once (during start-up) to well after it
        ChildProcess child;
        ASSERT_TRUE(StartChild("\"" + exe + "\"", directory, &child));
        DWORD start = GetTickCount();
        HWND window = WaitForWindow(child.ProcessId, "PROMPT", 60000);
        ASSERT_NE(nullptr, window) << "cycle " << cycle;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed < delay)
            Sleep(delay - elapsed);
        PostMessageA(window, WM_CLOSE, 0, 0);
        DWORD code = WaitForExit(&child, 15000);
        EXPECT_EQ(0u, code) << "cycle " << cycle << ", closed " << std::max(delay, elapsed) << " ms after its start";
        EndChild(&child);
    }
}

} // namespace
