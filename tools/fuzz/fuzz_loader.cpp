// Loads image files with the runtime's own loader, one after another, and
// reports what each load left behind and what the whole batch kept.
//   fuzz_loader.exe LIST [alpha]
// With "alpha" every load goes the imaging component's way (PictureLoadWithAlpha's).
// LIST has one line per step: "warm PATH" (loaded before the counting
// starts), "load PATH", and for checking the counters themselves
// "keep-bitmap" (makes a bitmap and keeps it) and "crash" (crashes).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "picture/image_loader.h"
#include "support/files.h"
#include "support/gdi_count.h"

namespace {

// Committed private memory of this process, from a walk of its address space
// (GetProcessMemoryInfo answers 0 under Wine).
SIZE_T PrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        if (static_cast<const char*>(region.BaseAddress) + region.RegionSize < at)
            break;
    }
    return total;
}

// Whether a GIF's first frame has a transparent colour: the platform's picture
// then makes a mask and a second bitmap that its interface never hands out.
bool FirstGifFrameIsTransparent(const std::string& gif)
{
    if (gif.size() < 13)
        return false;
    size_t at = 13 + ((gif[10] & 0x80) ? 3u << ((gif[10] & 7) + 1) : 0);
    while (at + 1 < gif.size() && static_cast<BYTE>(gif[at]) == 0x21) {
        BYTE label = static_cast<BYTE>(gif[at + 1]);
        if (label == 0xF9 && at + 3 < gif.size() && (gif[at + 3] & 1))
            return true;
        at += 2;
        while (at < gif.size() && gif[at] != 0)
            at += static_cast<BYTE>(gif[at]) + 1;
        ++at;
    }
    return false;
}

// What no load may leave: a result without a bitmap, a bitmap without a
// result, a loaded image of no size, a PNG with a bitmap where PNG gives only its size.
const char* Inconsistency(int result, const ImageLoader& loader, HBITMAP handle, bool alpha)
{
    if (result == 1 && (!handle || GetObjectType(handle) != OBJ_BITMAP))
        return "loaded-without-bitmap";
    if (result == 0 && handle)
        return "bitmap-without-result";
    if (result == 1 && (loader.Width <= 0 || loader.Height <= 0))
        return "loaded-with-no-size";
    if (!alpha && loader.Format == FormatPng && handle)
        return "png-with-bitmap";
    return nullptr;
}

// A crash ends the process at once with a code of its own, with no dialog waiting for a user.
LONG WINAPI ReportCrash(EXCEPTION_POINTERS* exception)
{
    fflush(stdout);
    fprintf(stderr, "crash: exception %08lx\n", static_cast<unsigned long>(exception->ExceptionRecord->ExceptionCode));
    ExitProcess(3);
}

} // namespace

int main(int argc, char** argv)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    SetUnhandledExceptionFilter(ReportCrash);
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: fuzz_loader LIST [alpha]\n");
        return 2;
    }
    bool alpha = argc == 3 && strcmp(argv[2], "alpha") == 0;
    auto load = [&](ImageLoader* loader, const std::string& path) {
        return alpha ? LoaderLoadWithAlpha(loader, path.c_str()) : LoaderLoad(loader, path.c_str());
    };
    std::ifstream list(argv[1]);
    std::vector<std::string> warm, steps;
    for (std::string line; std::getline(list, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.rfind("warm ", 0) == 0)
            warm.push_back(line.substr(5));
        else if (!line.empty())
            steps.push_back(line);
    }

    ImageLoader loader{};
    LoaderInit(&loader);
    for (const std::string& path : warm)
        load(&loader, path);
    LoaderRelease(&loader);

    GdiSnapshot gdiBefore = TakeGdiSnapshot();
    SIZE_T memoryBefore = PrivateBytes();
    int files = 0, loaded = 0, inconsistent = 0, transparentGifs = 0;
    std::vector<HBITMAP> kept;
    for (const std::string& step : steps) {
        if (step == "keep-bitmap") {
            kept.push_back(CreateBitmap(4, 4, 1, 32, nullptr));
            continue;
        }
        if (step == "crash") {
            fflush(stdout);
            *static_cast<volatile int*>(nullptr) = 1;
        }
        std::string path = step.substr(step.find(' ') + 1);
        int result = load(&loader, path);
        HBITMAP handle = LoaderHandle(&loader);
        const char* wrong = Inconsistency(result, loader, handle, alpha);
        ++files;
        loaded += result == 1;
        inconsistent += wrong != nullptr;
        if (result == 1 && loader.Decoding == DecodedPlainly && loader.Format == FormatGif &&
            FirstGifFrameIsTransparent(ReadWholeFile(path)))
            ++transparentGifs;
        printf("file %s result %d format %lu size %ldx%ld %s\n", path.c_str(), result,
               static_cast<unsigned long>(loader.Format), loader.Width, loader.Height, wrong ? wrong : "ok");
        LoaderRelease(&loader);
        fflush(stdout);
    }
    long long memoryGrowth = static_cast<long long>(PrivateBytes()) - static_cast<long long>(memoryBefore);
    int gdiKept = GdiObjectsAddedSince(gdiBefore);
    printf("batch files %d loaded %d inconsistent %d gdi-kept %d transparent-gifs %d memory-growth %lld\n", files,
           loaded, inconsistent, gdiKept, transparentGifs, memoryGrowth);
    return 0;
}
