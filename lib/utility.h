// Shared small helpers: UTF-16 code points, display width, path parts, disk files, random.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "lib/sjis.h"  // MultiByteToWide, the ANSI (code page 932) to UTF-16 conversion
#include "lib/wstring.h"
#include "platform/files.h"
#include "platform/geometry.h"

// Writes a code point as one unit (below 0x10000) or as a surrogate pair; returns 1 or 2.
int EncodeUtf16(char16_t* out, uint32_t codePoint);

// Reads one code point from text with `available` units (negative: the text is
// NUL-terminated and may be read up to its terminator). A high surrogate followed by a low
// one gives the joined code point; any other unit, a lone high surrogate included, is its
// own code point. Returns the position after the character, or null with no unit available.
const char16_t* DecodeUtf16(const char16_t* text, int available, uint32_t* codePoint);

// Columns a NUL-terminated text takes: 2 for each code point from 256 up, except the
// half-width katakana U+FF61 to U+FF9F, else 1.
int GetDisplayWidth(const char16_t* text);

// Splits path into drive ("X:"), folder (up to and including the last '\' or '/'), name and
// extension (from the last '.' of the name); each part that is given (not null) replaces the
// path's own, then the parts are joined again into out.
void ReplacePathParts(WString& out, const char16_t* path, const char16_t* drive, const char16_t* folder,
                      const char16_t* name, const char16_t* extension);

// A buffer from the C heap, freed with free().
struct CHeapFree {
  void operator()(void* p) const { std::free(p); }
};
using CHeapBuffer = std::unique_ptr<uint8_t[], CHeapFree>;

// Reads a whole file into a new buffer of the file's size; null when it cannot be opened or
// read. The size is stored when asked for.
CHeapBuffer ReadDiskFile(const char16_t* path, size_t* outSize);
// Reads a whole file into the caller's buffer of `capacity` bytes and returns the buffer;
// null (and nothing written past capacity) when the file cannot be read or does not fit.
void* ReadDiskFile(const char16_t* path, void* buffer, size_t capacity, size_t* outSize);

// Creates or truncates a file for writing (others may read it meanwhile); null on failure.
std::unique_ptr<platform::File> CreateFileForWrite(const char16_t* path);

// Moves the file position by the 64-bit offset (high:low) from origin (0 begin, 1 current,
// 2 end); the new position, or -1 on error.
int64_t SeekFile64(platform::File* file, uint32_t offsetLow, int32_t offsetHigh, int origin);

// The first rectangle with left <= x < right and top <= y < bottom; -1 when none.
int FindRectAt(const platform::Rect* rects, int count, int x, int y);

// Exchanges two non-overlapping blocks of `bytes` bytes.
void SwapMemory(void* a, void* b, size_t bytes);

// The system's one random generator: 0 to 32767, a linear congruential sequence starting
// from state 1 (41, 18467, 6334, ...). Safe to call from any thread.
int SafeRand();
// Puts the generator back to its start state (for tests).
void ResetSafeRand();

// There are no common controls to register here; the instance word is kept for the window
// and resource code.
void InitCommonControlsAndInstance(void* instance);
void* GetAppInstance();
