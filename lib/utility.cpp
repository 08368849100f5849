// Shared small helpers: UTF-16 code points, display width, path parts, disk files, random.
#include "lib/utility.h"

#include <cstring>
#include <mutex>

#include "platform/thread.h"

int EncodeUtf16(char16_t* out, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    out[0] = static_cast<char16_t>(codePoint);
    return 1;
  }
  out[0] = static_cast<char16_t>(((codePoint >> 10) + 0xD7C0) & 0xFFFF);
  out[1] = static_cast<char16_t>(((codePoint & 0x3FF) + 0xDC00) & 0xFFFF);
  return 2;
}

const char16_t* DecodeUtf16(const char16_t* text, int available, uint32_t* codePoint) {
  if (!text || available == 0) return nullptr;
  uint32_t unit = text[0];
  uint32_t cp = unit;
  int used = 1;
  if (unit >= 0xD800 && unit <= 0xDBFF && (available < 0 || available >= 2)) {
    // Unlimited text ends at its terminator, which is no low surrogate, so this read stays inside.
    uint32_t low = text[1];
    if (low >= 0xDC00 && low <= 0xDFFF) {
      cp = ((unit - 0xD7C0) << 10) | (low - 0xDC00);
      used = 2;
    }
  }
  if (codePoint) *codePoint = cp;
  return text + used;
}

int GetDisplayWidth(const char16_t* text) {
  if (!text) return 0;
  int width = 0;
  const char16_t* p = text;
  while (*p) {
    uint32_t cp = 0;
    p = DecodeUtf16(p, -1, &cp);
    width += (cp >= 256 && !(cp >= 0xFF61 && cp <= 0xFF9F)) ? 2 : 1;
  }
  return width;
}

namespace {

bool IsSeparator(char16_t c) {
  return c == u'\\' || c == u'/';
}

}  // namespace

void ReplacePathParts(WString& out, const char16_t* path, const char16_t* drive, const char16_t* folder,
                      const char16_t* name, const char16_t* extension) {
  std::u16string_view rest = path ? std::u16string_view(path) : std::u16string_view();
  std::u16string_view ownDrive, ownFolder, ownName, ownExt;
  if (rest.size() >= 2 && rest[1] == u':' &&
      ((rest[0] >= u'A' && rest[0] <= u'Z') || (rest[0] >= u'a' && rest[0] <= u'z'))) {
    ownDrive = rest.substr(0, 2);
    rest.remove_prefix(2);
  }
  size_t slash = rest.find_last_of(u"\\/");
  if (slash != std::u16string_view::npos) {
    ownFolder = rest.substr(0, slash + 1);
    rest.remove_prefix(slash + 1);
  }
  size_t dot = rest.rfind(u'.');
  if (dot != std::u16string_view::npos) {
    ownName = rest.substr(0, dot);
    ownExt = rest.substr(dot);
  } else {
    ownName = rest;
  }

  std::u16string_view d = drive ? std::u16string_view(drive) : ownDrive;
  std::u16string_view f = folder ? std::u16string_view(folder) : ownFolder;
  std::u16string_view n = name ? std::u16string_view(name) : ownName;
  std::u16string_view e = extension ? std::u16string_view(extension) : ownExt;

  WString result;
  result += d;
  if (d.size() == 1) result += u':';
  result += f;
  if (!f.empty() && !IsSeparator(f.back())) result += f.find(u'/') != std::u16string_view::npos ? u'/' : u'\\';
  result += n;
  if (!e.empty() && e.front() != u'.') result += u'.';
  result += e;
  out = std::move(result);
}

namespace {

// Reads the whole of an open file into buffer (capacity bytes); -1 when it does not fit or
// a read fails.
int64_t ReadAll(platform::File& file, uint8_t* buffer, size_t size) {
  size_t done = 0;
  while (done < size) {
    int64_t n = file.Read(buffer + done, size - done);
    if (n <= 0) return -1;
    done += static_cast<size_t>(n);
  }
  return static_cast<int64_t>(done);
}

}  // namespace

CHeapBuffer ReadDiskFile(const char16_t* path, size_t* outSize) {
  if (!path) return nullptr;
  auto file = platform::File::OpenRead(path);
  if (!file) return nullptr;
  int64_t size = file->Size();
  if (size < 0 || static_cast<uint64_t>(size) > SIZE_MAX - 1) return nullptr;
  CHeapBuffer buffer(static_cast<uint8_t*>(std::malloc(static_cast<size_t>(size) + 1)));
  if (!buffer) return nullptr;
  if (ReadAll(*file, buffer.get(), static_cast<size_t>(size)) < 0) return nullptr;
  if (outSize) *outSize = static_cast<size_t>(size);
  return buffer;
}

void* ReadDiskFile(const char16_t* path, void* buffer, size_t capacity, size_t* outSize) {
  if (!path || !buffer) return nullptr;
  auto file = platform::File::OpenRead(path);
  if (!file) return nullptr;
  int64_t size = file->Size();
  if (size < 0 || static_cast<uint64_t>(size) > capacity) return nullptr;
  if (ReadAll(*file, static_cast<uint8_t*>(buffer), static_cast<size_t>(size)) < 0) return nullptr;
  if (outSize) *outSize = static_cast<size_t>(size);
  return buffer;
}

std::unique_ptr<platform::File> CreateFileForWrite(const char16_t* path) {
  if (!path) return nullptr;
  return platform::File::CreateWrite(path);
}

int64_t SeekFile64(platform::File* file, uint32_t offsetLow, int32_t offsetHigh, int origin) {
  if (!file || origin < 0 || origin > 2) return -1;
  const int64_t offset =
      static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(offsetHigh)) << 32) | offsetLow);
  return file->Seek(offset, static_cast<platform::SeekOrigin>(origin));
}

int FindRectAt(const platform::Rect* rects, int count, int x, int y) {
  if (!rects || count < 1) return -1;
  for (int i = 0; i < count; ++i) {
    const platform::Rect& r = rects[i];
    if (r.left <= x && x <= r.right - 1 && r.top <= y && y <= r.bottom - 1) return i;
  }
  return -1;
}

void SwapMemory(void* a, void* b, size_t bytes) {
  auto* pa = static_cast<uint8_t*>(a);
  auto* pb = static_cast<uint8_t*>(b);
  size_t i = 0;
  for (; i + 4 <= bytes; i += 4) {
    uint32_t wa, wb;
    std::memcpy(&wa, pa + i, 4);
    std::memcpy(&wb, pb + i, 4);
    std::memcpy(pa + i, &wb, 4);
    std::memcpy(pb + i, &wa, 4);
  }
  for (; i < bytes; ++i) {
    uint8_t t = pa[i];
    pa[i] = pb[i];
    pb[i] = t;
  }
}

namespace {

uint32_t g_RandState = 1;

// Made on first use, so it is ready whichever start-up code draws the first number.
platform::RecursiveLock& RandLock() {
  static platform::RecursiveLock lock;
  return lock;
}

void* g_Instance = nullptr;

}  // namespace

int SafeRand() {
  platform::LockGuard guard(RandLock());
  g_RandState = g_RandState * 214013u + 2531011u;
  return static_cast<int>((g_RandState >> 16) & 0x7FFF);
}

void ResetSafeRand() {
  platform::LockGuard guard(RandLock());
  g_RandState = 1;
}

void InitCommonControlsAndInstance(void* instance) {
  g_Instance = instance;
}

void* GetAppInstance() {
  return g_Instance;
}
