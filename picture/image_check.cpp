#include "picture/image_check.h"

#include <algorithm>

namespace {

// Reads a file forwards through a small buffer; every read is bounded by the file's size.
struct FileReader {
    HANDLE File;
    DWORD Size;
    DWORD Position;
    DWORD BufferStart;
    DWORD BufferLength;
    BYTE Buffer[16384];
};

void ReaderInit(FileReader* reader, HANDLE file)
{
    reader->File = file;
    reader->Size = GetFileSize(file, nullptr);
    reader->Position = 0;
    reader->BufferStart = 0;
    reader->BufferLength = 0;
}

bool ReadByte(FileReader* reader, BYTE* byte)
{
    if (reader->Size == INVALID_FILE_SIZE || reader->Position >= reader->Size)
        return false;
    if (reader->Position < reader->BufferStart || reader->Position >= reader->BufferStart + reader->BufferLength) {
        SetFilePointer(reader->File, static_cast<LONG>(reader->Position), nullptr, FILE_BEGIN);
        DWORD read = 0;
        if (!ReadFile(reader->File, reader->Buffer, sizeof reader->Buffer, &read, nullptr) || read == 0)
            return false;
        reader->BufferStart = reader->Position;
        reader->BufferLength = read;
    }
    *byte = reader->Buffer[reader->Position - reader->BufferStart];
    ++reader->Position;
    return true;
}

bool ReadBytes(FileReader* reader, BYTE* bytes, DWORD count)
{
    for (DWORD i = 0; i < count; ++i)
        if (!ReadByte(reader, &bytes[i]))
            return false;
    return true;
}

bool Skip(FileReader* reader, DWORD count)
{
    if (reader->Size - reader->Position < count)
        return false;
    reader->Position += count;
    return true;
}

DWORD Little16(const BYTE* p) { return p[0] | (DWORD(p[1]) << 8); }
DWORD Little32(const BYTE* p) { return Little16(p) | (Little16(p + 2) << 16); }
DWORD Big16(const BYTE* p) { return (DWORD(p[0]) << 8) | p[1]; }

bool BmpLooksSound(FileReader* reader)
{
    BYTE head[14 + 40] = {};
    if (!ReadBytes(reader, head, 14 + 12))
        return false;
    ULONGLONG size = reader->Size;
    ULONGLONG pixelsAt = Little32(head + 10);
    DWORD headerSize = Little32(head + 14);
    LONGLONG width, height;
    DWORD planes, bits, compression = BI_RGB, imageSize = 0, masks = 0;
    if (headerSize == 12) { // the OS/2 core header: 16-bit sizes
        width = Little16(head + 18);
        height = Little16(head + 20);
        planes = Little16(head + 22);
        bits = Little16(head + 24);
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 64 || headerSize == 108 ||
               headerSize == 124) {
        if (!ReadBytes(reader, head + 26, 40 - 12))
            return false;
        width = static_cast<LONG>(Little32(head + 18));
        height = static_cast<LONG>(Little32(head + 22));
        planes = Little16(head + 26);
        bits = Little16(head + 28);
        compression = Little32(head + 30);
        imageSize = Little32(head + 34);
        // The three colour masks of a plain 40-byte header follow it.
        masks = headerSize == 40 && compression == BI_BITFIELDS ? 12 : 0;
    } else {
        return false;
    }
    if (planes != 1)
        return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    // A palette that claims more than 2^bits colours is not refused: the
    // platform takes 2^bits of them from where the header ends, and the pixels
    // from their own offset, which is checked below.
    bool runLength = compression == BI_RLE8 || compression == BI_RLE4;
    if (!(compression == BI_RGB || (compression == BI_RLE8 && bits == 8) || (compression == BI_RLE4 && bits == 4) ||
          (compression == BI_BITFIELDS && (bits == 16 || bits == 32))))
        return false;
    bool topDown = height < 0;
    if (topDown && runLength)
        return false;
    if (!ImageSizeWithinLimits(width, topDown ? -height : height))
        return false;
    if (pixelsAt < 14 + headerSize + masks || pixelsAt >= size)
        return false;
    // The pixels must lie wholly inside the file: the platform reads as far as the header says.
    ULONGLONG rowBytes = ((static_cast<ULONGLONG>(width) * bits + 31) / 32) * 4;
    ULONGLONG pixelBytes = runLength ? imageSize : rowBytes * static_cast<ULONGLONG>(topDown ? -height : height);
    if (runLength && imageSize == 0)
        return false;
    return pixelsAt + pixelBytes <= size && pixelsAt + imageSize <= size;
}

// Sub-blocks up to their terminator; their data bytes are added to total.
bool SkipSubBlocks(FileReader* reader, ULONGLONG* total)
{
    for (BYTE length = 0;;) {
        if (!ReadByte(reader, &length))
            return false;
        if (length == 0)
            return true;
        if (!Skip(reader, length))
            return false;
        *total += length;
    }
}

// Up to the end of the first image's data; the screen and the frame within limits.
bool GifLooksSound(FileReader* reader)
{
    BYTE screen[13];
    if (!ReadBytes(reader, screen, sizeof screen))
        return false;
    // The logical screen may give 0 for a side; only its size is bounded.
    LONGLONG screenWidth = Little16(screen + 6), screenHeight = Little16(screen + 8);
    if (!ImageSizeWithinLimits(std::max<LONGLONG>(screenWidth, 1), std::max<LONGLONG>(screenHeight, 1)))
        return false;
    if ((screen[10] & 0x80) && !Skip(reader, 3u << ((screen[10] & 7) + 1)))
        return false;
    for (BYTE introducer = 0;;) {
        if (!ReadByte(reader, &introducer))
            return false;
        if (introducer == 0x21) { // an extension: its label, then sub-blocks
            BYTE label = 0;
            ULONGLONG ignored = 0;
            if (!ReadByte(reader, &label) || !SkipSubBlocks(reader, &ignored))
                return false;
            continue;
        }
        if (introducer != 0x2C) // the trailer before any image, or no block at all
            return false;
        BYTE frame[9];
        BYTE codeSize = 0;
        if (!ReadBytes(reader, frame, sizeof frame))
            return false;
        LONGLONG width = Little16(frame + 4), height = Little16(frame + 6);
        if (!ImageSizeWithinLimits(width, height))
            return false;
        if ((frame[8] & 0x80) && !Skip(reader, 3u << ((frame[8] & 7) + 1)))
            return false;
        if (!ReadByte(reader, &codeSize) || codeSize < 1 || codeSize > 11)
            return false;
        ULONGLONG dataBytes = 0;
        if (!SkipSubBlocks(reader, &dataBytes))
            return false;
        // No code stands for more than 4,096 pixels, and no code is shorter
        // than codeSize + 1 bits: data too short to fill the frame is cut off.
        ULONGLONG codes = dataBytes * 8 / (codeSize + 1u);
        return static_cast<ULONGLONG>(width * height) <= codes * 4096;
    }
}

bool IsFrameMarker(BYTE marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Segments up to the first scan, a frame within limits before it, and an end marker after it.
bool JpegLooksSound(FileReader* reader)
{
    BYTE start[2];
    if (!ReadBytes(reader, start, 2))
        return false;
    bool frameSeen = false;
    for (;;) {
        BYTE marker = 0;
        if (!ReadByte(reader, &marker) || marker != 0xFF)
            return false;
        while (marker == 0xFF) // fill bytes
            if (!ReadByte(reader, &marker))
                return false;
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01)
            continue;
        if (marker == 0xD9 || marker == 0xD8 || marker == 0x00)
            return false;
        BYTE length[2];
        if (!ReadBytes(reader, length, 2) || Big16(length) < 2)
            return false;
        DWORD body = Big16(length) - 2;
        if (IsFrameMarker(marker)) {
            BYTE frame[5];
            if (body < sizeof frame || !ReadBytes(reader, frame, sizeof frame))
                return false;
            if (!ImageSizeWithinLimits(Big16(frame + 3), Big16(frame + 1)))
                return false;
            frameSeen = true;
            body -= sizeof frame;
        }
        if (!Skip(reader, body))
            return false;
        if (marker == 0xDA)
            break;
    }
    if (!frameSeen)
        return false;
    // Entropy-coded data never holds 0xFF 0xD9: the end marker is there or the file is cut.
    for (BYTE previous = 0, byte = 0; ReadByte(reader, &byte); previous = byte)
        if (previous == 0xFF && byte == 0xD9)
            return true;
    return false;
}

// Runs a check over the open file from its start; the file is left at offset 0.
bool FileLooksSound(HANDLE file, bool (*check)(FileReader*), DWORD maxBytes)
{
    FileReader reader;
    ReaderInit(&reader, file);
    bool sound = reader.Size <= maxBytes && check(&reader);
    SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    return sound;
}

} // namespace

bool ImageSizeWithinLimits(LONGLONG width, LONGLONG height)
{
    return width > 0 && height > 0 && width <= MaxImageSide && height <= MaxImageSide &&
           width * height <= MaxImagePixels;
}

bool BmpFileLooksSound(HANDLE file)
{
    return FileLooksSound(file, BmpLooksSound, MAXDWORD);
}

bool GifFileLooksSound(HANDLE file)
{
    return FileLooksSound(file, GifLooksSound, MaxOleFileBytes);
}

bool JpegFileLooksSound(HANDLE file)
{
    return FileLooksSound(file, JpegLooksSound, MaxOleFileBytes);
}

bool GifFirstFrameIsTransparent(const BYTE* gif, DWORD size)
{
    if (size < 13)
        return false;
    ULONGLONG at = 13 + ((gif[10] & 0x80) ? 3u << ((gif[10] & 7) + 1) : 0);
    while (at + 1 < size && gif[at] == 0x21) {
        BYTE label = gif[at + 1];
        if (label == 0xF9 && at + 3 < size && (gif[at + 3] & 1))
            return true;
        at += 2;
        while (at < size && gif[at] != 0)
            at += gif[at] + 1ull;
        ++at;
    }
    return false;
}
