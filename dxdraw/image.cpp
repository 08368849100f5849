// DxDraw::DxImage, the packed-bitmap helpers and conversions, the BMP reader and writers, HBM.
#include "dxdraw/image.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

#include "lib/bytes.h"
#include "platform/files.h"

namespace DxDraw {

namespace {

void Put32(std::vector<uint8_t>& v, uint32_t x) {
  uint8_t b[4];
  StoreLE32(b, x);
  v.insert(v.end(), b, b + 4);
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
  uint8_t b[2];
  StoreLE16(b, x);
  v.insert(v.end(), b, b + 2);
}

uint8_t Expand5(uint32_t c) {
  return static_cast<uint8_t>((c << 3) | (c & 7));
}

bool SupportedDepth(uint32_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// The rows and table of a packed bitmap, validated against its size.
struct DibView {
  DibHeader h;
  const uint8_t* table = nullptr;
  uint32_t tableEntries = 0;
  const uint8_t* rows = nullptr;
  uint64_t rowSize = 0;
  int32_t absHeight = 0;

  // The source row that is row y from the top of the picture.
  const uint8_t* TopRow(int32_t y) const {
    const int32_t mem = h.height > 0 ? absHeight - 1 - y : y;
    return rows + static_cast<uint64_t>(mem) * rowSize;
  }
  // Colour table entry i as B, G, R (black outside the table).
  void Entry(uint32_t i, uint8_t& b, uint8_t& g, uint8_t& r) const {
    if (i >= tableEntries) {
      b = g = r = 0;
      return;
    }
    b = table[i * 4];
    g = table[i * 4 + 1];
    r = table[i * 4 + 2];
  }
  // Palette index of pixel x in a row of 1, 4 or 8 bits.
  uint32_t Index(const uint8_t* row, int32_t x) const {
    switch (h.bitCount) {
      case 1:
        return (row[x >> 3] >> (7 - (x & 7))) & 1;
      case 4:
        return (x & 1) ? (row[x >> 1] & 15) : (row[x >> 1] >> 4);
      default:
        return row[x];
    }
  }
};

bool ParseDib(const uint8_t* dib, size_t size, const uint8_t* bits, size_t bitsSize, DibView& v) {
  if (!ReadDibHeader(dib, size, v.h)) return false;
  if (v.h.size < kDibHeaderSize || v.h.size > size) return false;
  if (v.h.compression != 0 || !SupportedDepth(v.h.bitCount)) return false;
  if (v.h.width <= 0 || v.h.height == 0 || v.h.height == INT32_MIN) return false;
  v.absHeight = v.h.height < 0 ? -v.h.height : v.h.height;
  if (!DibSizeAcceptable(v.h.width, v.absHeight, 32)) return false;
  uint64_t tableBytes;
  if (v.h.bitCount <= 8) {
    v.tableEntries = DibColorCount(v.h);
    if (v.tableEntries > 256) return false;
    tableBytes = uint64_t{v.tableEntries} * 4;
  } else {
    if (v.h.clrUsed > 256) return false;
    tableBytes = uint64_t{v.h.clrUsed} * 4;
  }
  if (v.h.size + tableBytes > size) return false;
  v.table = dib + v.h.size;
  v.rowSize = DibRowSize(v.h.width, v.h.bitCount);
  const uint64_t need = v.rowSize * static_cast<uint64_t>(v.absHeight);
  if (bits) {
    if (need > bitsSize) return false;
    v.rows = bits;
  } else {
    if (v.h.size + tableBytes + need > size) return false;
    v.rows = dib + v.h.size + tableBytes;
  }
  return true;
}

}  // namespace

uint64_t DibRowSize(int64_t width, uint32_t bits) {
  if (width <= 0) return 0;
  return ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
}

bool DibSizeAcceptable(int64_t width, int64_t height, uint32_t bits) {
  if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return false;
  const uint32_t b = std::max<uint32_t>(bits, 32);
  return DibRowSize(width, b) * static_cast<uint64_t>(height) <= kMaxImageBytes;
}

void WriteDibHeader(uint8_t* out, const DibHeader& h) {
  StoreLE32(out + 0, h.size);
  StoreLE32(out + 4, static_cast<uint32_t>(h.width));
  StoreLE32(out + 8, static_cast<uint32_t>(h.height));
  StoreLE16(out + 12, h.planes);
  StoreLE16(out + 14, h.bitCount);
  StoreLE32(out + 16, h.compression);
  StoreLE32(out + 20, h.sizeImage);
  StoreLE32(out + 24, static_cast<uint32_t>(h.xPelsPerMeter));
  StoreLE32(out + 28, static_cast<uint32_t>(h.yPelsPerMeter));
  StoreLE32(out + 32, h.clrUsed);
  StoreLE32(out + 36, h.clrImportant);
}

bool ReadDibHeader(const uint8_t* p, size_t size, DibHeader& h) {
  if (!p || size < kDibHeaderSize) return false;
  h.size = LoadLE32(p + 0);
  h.width = static_cast<int32_t>(LoadLE32(p + 4));
  h.height = static_cast<int32_t>(LoadLE32(p + 8));
  h.planes = LoadLE16(p + 12);
  h.bitCount = LoadLE16(p + 14);
  h.compression = LoadLE32(p + 16);
  h.sizeImage = LoadLE32(p + 20);
  h.xPelsPerMeter = static_cast<int32_t>(LoadLE32(p + 24));
  h.yPelsPerMeter = static_cast<int32_t>(LoadLE32(p + 28));
  h.clrUsed = LoadLE32(p + 32);
  h.clrImportant = LoadLE32(p + 36);
  return true;
}

uint32_t DibColorCount(const DibHeader& h) {
  if (h.clrUsed) return h.clrUsed;
  if (h.bitCount == 1) return 2;
  if (h.bitCount == 4) return 16;
  if (h.bitCount == 8) return 256;
  return 0;
}

bool AllocatePackedDib(PackedDib& out, int32_t width, int32_t height, uint16_t bits, uint32_t tableEntries) {
  out.bytes.clear();
  const int32_t absH = height < 0 ? -height : height;
  if (height == INT32_MIN || !DibSizeAcceptable(width, absH, bits) || tableEntries > 256) return false;
  const uint64_t rows = DibRowSize(width, bits) * static_cast<uint64_t>(absH);
  try {
    out.bytes.assign(kDibHeaderSize + size_t{tableEntries} * 4 + static_cast<size_t>(rows), 0);
  } catch (const std::bad_alloc&) {
    out.bytes.clear();
    return false;
  }
  DibHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = bits;
  h.clrUsed = tableEntries;
  WriteDibHeader(out.bytes.data(), h);
  return true;
}

// ---- decoder boxes ----

namespace {
thread_local KeptDecoderBoxes* t_KeptBoxes = nullptr;
}  // namespace

KeptDecoderBoxes::KeptDecoderBoxes() : m_pOuter(t_KeptBoxes) {
  t_KeptBoxes = this;
}

KeptDecoderBoxes::~KeptDecoderBoxes() {
  t_KeptBoxes = m_pOuter;
}

void ShowDecoderBox(platform::MessageBoxRequest request) {
  if (t_KeptBoxes) {
    t_KeptBoxes->m_Boxes.push_back(std::move(request));
    return;
  }
  platform::ShowMessageBox(request);
}

// ---- DxImage ----

DxImage::DxImage(uint32_t bits) : m_Bits(bits) {}

DxImage::~DxImage() = default;

void DxImage::DestroyImage() {
  m_HasInfo = false;
  m_Header = DibHeader();
  m_ColorTable.clear();
  m_pBits.reset();
  m_Stride = 0;
}

bool DxImage::Create(int32_t width, int32_t height) {
  DestroyImage();
  const int64_t absH = height < 0 ? -int64_t{height} : height;
  if (!SupportedDepth(m_Bits) || m_Bits == 24 || !DibSizeAcceptable(width, absH, m_Bits)) return false;
  const uint64_t stride = DibRowSize(width, m_Bits);
  m_pBits = AllocatePixelBytes(stride * absH);
  if (!m_pBits) return false;
  m_Header = DibHeader();
  m_Header.width = width;
  m_Header.height = height;
  m_Header.bitCount = static_cast<uint16_t>(m_Bits);
  if (m_Bits < 16) {
    const uint32_t n = 1u << m_Bits;
    const uint32_t step = n == 2 ? 255 : n == 16 ? 17 : 1;
    m_ColorTable.assign(n * 4, 0);
    for (uint32_t i = 0; i < n; ++i) {
      const auto v = static_cast<uint8_t>(i * step);
      m_ColorTable[i * 4] = m_ColorTable[i * 4 + 1] = m_ColorTable[i * 4 + 2] = v;
    }
  }
  m_Stride = static_cast<uint32_t>(stride);
  m_HasInfo = true;
  return true;
}

int32_t DxImage::GetPitch() const {
  if (!m_HasInfo) return 0;
  return m_Header.height > 0 ? -static_cast<int32_t>(m_Stride) : static_cast<int32_t>(m_Stride);
}

uint8_t* DxImage::GetPixelAddress(int32_t x, int32_t y) const {
  if (!m_HasInfo || !m_pBits) return nullptr;
  const int64_t row = m_Header.height > 0 ? int64_t{m_Header.height} - y - 1 : y;
  return m_pBits.get() + row * m_Stride + int64_t{x} * m_Bits / 8;
}

int DxImage::CopyFromDib(const uint8_t* dib, size_t size, const uint8_t* bits, size_t bitsSize) {
  if (m_Bits == 16) return ConvertDibTo16(*this, dib, size, bits, bitsSize) ? 1 : 0;
  if (m_Bits == 32) return ConvertDibTo32(*this, dib, size, bits, bitsSize) ? 1 : 0;
  return 0;
}

DxImage* DxImage::GetDC() {
  if (!m_pBits) return nullptr;
  ++m_DCCount;
  return this;
}

int DxImage::ReleaseDC() {
  if (m_DCCount > 0) --m_DCCount;
  return m_DCCount;
}

int DxImage::LoadFromMemory(const uint8_t* data, size_t size) {
  if (!data || size == 0) return 0;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    PackedDib dib = LoadBmpToDib(data, size);
    if (dib.empty()) return 0;
    return CopyFromDib(dib.bytes.data(), dib.bytes.size());
  }
  if (size >= 4 && data[1] == 'P' && data[2] == 'N' && data[3] == 'G') {
    if (m_Bits != 16 && m_Bits != 32) return 0;
    if (m_Bits == 32 && !m_HasInfo) {
      PackedDib dib;
      switch (LoadPngInto32(*this, data, size, dib)) {
        case PngDecode::InImage:
          return 1;
        case PngDecode::InDib:
          return CopyFromDib(dib.bytes.data(), dib.bytes.size());
        case PngDecode::Failed:
          DestroyImage();  // empty again, as it came
          return 0;
      }
    }
    PackedDib dib = LoadPngToDib(data, size);
    if (dib.empty()) return 0;
    return CopyFromDib(dib.bytes.data(), dib.bytes.size());
  }
  if (size >= 3 && data[0] == 'H' && data[1] == 'B' && data[2] == 'M') {
    if (m_Bits != 16) return 0;
    return LoadHbm(*this, data, size) ? 1 : 0;
  }
  return 0;
}

int DxImage::SaveBmp24(const char16_t* path, int) {
  if (!path) return 0;
  const std::vector<uint8_t> bytes = EncodeBmp24(*this);
  return platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size()) ? 1 : 0;
}

int DxImage::SaveBmp32(const char16_t* path, int) {
  if (!path) return 0;
  const std::vector<uint8_t> bytes = EncodeBmp32(*this);
  return platform::WriteWholeFileAtomic(path, bytes.data(), bytes.size()) ? 1 : 0;
}

// ---- conversions ----

bool ConvertDibTo32(DxImage& image, const uint8_t* dib, size_t size, const uint8_t* bits, size_t bitsSize) {
  DibView v;
  if (image.GetDepth() != 32 || !ParseDib(dib, size, bits, bitsSize, v)) return false;
  if (!image.Create(v.h.width, v.absHeight)) return false;
  const int32_t w = v.h.width;
  // One loop per source depth: the depth is the same for every pixel, and a loop of its own lets
  // the compiler keep each one tight.
  for (int32_t y = 0; y < v.absHeight; ++y) {
    const uint8_t* s = v.TopRow(y);
    uint8_t* d = image.GetPixelAddress(0, y);
    switch (v.h.bitCount) {
      case 1:
      case 4:
      case 8:
        for (int32_t x = 0; x < w; ++x, d += 4) {
          v.Entry(v.Index(s, x), d[0], d[1], d[2]);
          d[3] = 0;
        }
        break;
      case 16:
        for (int32_t x = 0; x < w; ++x, d += 4) {
          const uint16_t p = LoadLE16(s + x * 2);
          d[0] = Expand5(p & 31);
          d[1] = Expand5((p >> 5) & 31);
          d[2] = Expand5((p >> 10) & 31);
          d[3] = (p & 0x8000) ? 255 : 0;
        }
        break;
      case 24:
        for (int32_t x = 0; x < w; ++x, d += 4, s += 3) {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
          d[3] = 0;
        }
        break;
      default:
        for (int32_t x = 0; x < w; ++x, d += 4, s += 4) {
          d[0] = s[0];
          d[1] = s[1];
          d[2] = s[2];
          d[3] = static_cast<uint8_t>(255 - s[3]);
        }
        break;
    }
  }
  return true;
}

bool ConvertDibTo16(DxImage& image, const uint8_t* dib, size_t size, const uint8_t* bits, size_t bitsSize) {
  DibView v;
  if (image.GetDepth() != 16 || !ParseDib(dib, size, bits, bitsSize, v)) return false;
  if (!image.Create(v.h.width, v.absHeight)) return false;
  const int32_t w = v.h.width;
  auto pack = [](uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>(((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3));
  };
  for (int32_t y = 0; y < v.absHeight; ++y) {
    const uint8_t* s = v.TopRow(y);
    uint8_t* d = image.GetPixelAddress(0, y);
    if (v.h.bitCount == 16) {
      std::memcpy(d, s, size_t(w) * 2);
      continue;
    }
    for (int32_t x = 0; x < w; ++x) {
      uint16_t p;
      switch (v.h.bitCount) {
        case 1:
        case 4:
        case 8: {
          uint8_t b, g, r;
          v.Entry(v.Index(s, x), b, g, r);
          p = pack(r, g, b);
          break;
        }
        case 24:
          p = pack(s[x * 3 + 2], s[x * 3 + 1], s[x * 3]);
          break;
        default:
          p = pack(s[x * 4 + 2], s[x * 4 + 1], s[x * 4]);
          if (s[x * 4 + 3] == 0) p |= 0x8000;
          break;
      }
      StoreLE16(d + x * 2, p);
    }
  }
  return true;
}

// ---- BMP ----

namespace {

constexpr size_t kBmpFileHeader = 14;
constexpr uint32_t kBiBitfields = 3;

// One channel of a BITFIELDS pixel: where its bits are and how they become a byte.
struct MaskChannel {
  uint32_t mask = 0;
  int shift = 0, width = 0;

  // A mask is one run of set bits (or 0: the channel is absent).
  bool Set(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    shift = std::countr_zero(m);
    width = std::popcount(m);
    return width == 32 || ((m >> shift) == (1u << width) - 1);
  }
  // Wider channels keep their top eight bits (as 16-bit PNG samples do); narrower ones are scaled
  // so that their largest value is 255.
  uint8_t Byte(uint32_t pixel) const {
    const uint32_t v = (pixel & mask) >> shift;
    if (width >= 8) return static_cast<uint8_t>(v >> (width - 8));
    const uint32_t max = (1u << width) - 1;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

// A 32-bit BITFIELDS file: the masks (after a 40-byte header, or inside a larger one) say where each
// channel is, and the pixels are at the file's own offset to the bits. Without an alpha mask the
// pixels are opaque. The result is an ordinary 32-bit bitmap (B, G, R, alpha).
PackedDib LoadBitfieldsBmp(const uint8_t* data, size_t size, const DibHeader& h) {
  PackedDib out;
  if (h.bitCount != 32) return out;
  int maskCount;
  uint64_t headersEnd = kBmpFileHeader + h.size;
  switch (h.size) {
    case 40:  // the three colour masks follow the header
      maskCount = 3;
      headersEnd += 12;
      break;
    case 52:  // the colour masks in the header
      maskCount = 3;
      break;
    case 56:
    case 108:
    case 124:  // colour and alpha masks in the header
      maskCount = 4;
      break;
    default:
      return out;
  }
  if (headersEnd > size) return out;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return out;
  const int32_t absH = h.height < 0 ? -h.height : h.height;
  if (!DibSizeAcceptable(h.width, absH, 32)) return out;
  MaskChannel ch[4];  // red, green, blue, alpha
  uint32_t seen = 0;
  for (int i = 0; i < maskCount; ++i) {
    const uint32_t m = LoadLE32(data + kBmpFileHeader + kDibHeaderSize + 4 * i);
    if (!ch[i].Set(m) || (m & seen)) return out;  // scattered or overlapping bits
    seen |= m;
  }
  if (!ch[0].mask || !ch[1].mask || !ch[2].mask) return out;
  const uint64_t offBits = LoadLE32(data + 10);
  const uint64_t rowSize = DibRowSize(h.width, 32);
  if (offBits < headersEnd || offBits > size || rowSize * static_cast<uint64_t>(absH) > size - offBits) return out;
  if (!AllocatePackedDib(out, h.width, h.height, 32, 0)) return out;
  DibHeader oh;
  ReadDibHeader(out.bytes.data(), out.bytes.size(), oh);
  oh.xPelsPerMeter = h.xPelsPerMeter;
  oh.yPelsPerMeter = h.yPelsPerMeter;
  WriteDibHeader(out.bytes.data(), oh);
  const uint8_t* s = data + offBits;
  uint8_t* d = out.bytes.data() + kDibHeaderSize;
  const uint64_t pixels = static_cast<uint64_t>(h.width) * static_cast<uint64_t>(absH);
  for (uint64_t i = 0; i < pixels; ++i, s += 4, d += 4) {
    const uint32_t p = LoadLE32(s);
    d[0] = ch[2].Byte(p);
    d[1] = ch[1].Byte(p);
    d[2] = ch[0].Byte(p);
    d[3] = ch[3].mask ? ch[3].Byte(p) : 255;
  }
  return out;
}

}  // namespace

PackedDib LoadBmpToDib(const uint8_t* data, size_t size) {
  PackedDib out;
  if (!data || size < kBmpFileHeader + kDibHeaderSize || data[0] != 'B' || data[1] != 'M') return out;
  DibHeader h;
  ReadDibHeader(data + kBmpFileHeader, size - kBmpFileHeader, h);
  if (h.size < kDibHeaderSize || h.size > size - kBmpFileHeader) return out;
  if (h.compression == kBiBitfields) return LoadBitfieldsBmp(data, size, h);
  if (h.compression != 0 || !SupportedDepth(h.bitCount)) return out;
  if (h.width <= 0 || h.height == 0 || h.height == INT32_MIN) return out;
  const int32_t absH = h.height < 0 ? -h.height : h.height;
  if (!DibSizeAcceptable(h.width, absH, 32)) return out;
  uint32_t entries = 0;
  uint64_t tableBytes = 0;
  if (h.bitCount <= 8) {
    entries = DibColorCount(h);
    if (entries > (1u << h.bitCount)) return out;
    tableBytes = uint64_t{entries} * 4;
  } else {
    if (h.clrUsed > 256) return out;
    tableBytes = uint64_t{h.clrUsed} * 4;
  }
  const uint64_t tableOff = kBmpFileHeader + h.size;
  if (tableOff + tableBytes > size) return out;
  // The packed bitmap is what follows the file header: the rows come right after the colour table,
  // wherever the file's own offset to the bits points.
  const uint64_t rowsOff = tableOff + tableBytes;
  const uint64_t rows = DibRowSize(h.width, h.bitCount) * static_cast<uint64_t>(absH);
  if (rowsOff + rows > size) return out;
  if (!AllocatePackedDib(out, h.width, h.height, h.bitCount, entries)) return out;
  DibHeader oh;
  ReadDibHeader(out.bytes.data(), out.bytes.size(), oh);
  oh.xPelsPerMeter = h.xPelsPerMeter;
  oh.yPelsPerMeter = h.yPelsPerMeter;
  WriteDibHeader(out.bytes.data(), oh);
  if (entries) std::memcpy(out.bytes.data() + kDibHeaderSize, data + tableOff, size_t{entries} * 4);
  std::memcpy(out.bytes.data() + kDibHeaderSize + size_t{entries} * 4, data + rowsOff, static_cast<size_t>(rows));
  return out;
}

namespace {

std::vector<uint8_t> BmpHeaders(const DxImage& image, uint16_t bits, uint64_t rowSize) {
  std::vector<uint8_t> v;
  const uint64_t absH = static_cast<uint64_t>(image.GetAbsHeight());
  v.reserve(54 + rowSize * absH);
  v.push_back('B');
  v.push_back('M');
  Put32(v, static_cast<uint32_t>(54 + rowSize * absH));
  Put16(v, 0);
  Put16(v, 0);
  Put32(v, 54);
  uint8_t h[kDibHeaderSize];
  DibHeader dh;
  dh.width = image.GetWidth();
  dh.height = image.GetHeight();
  dh.bitCount = bits;
  WriteDibHeader(h, dh);
  v.insert(v.end(), h, h + kDibHeaderSize);
  return v;
}

// Row r in memory order (as the BMP height means it).
const uint8_t* MemoryRow(const DxImage& image, int32_t r) {
  return image.GetBits() + uint64_t(r) * image.GetStride();
}

}  // namespace

std::vector<uint8_t> EncodeBmp24(const DxImage& image) {
  const int32_t w = image.GetWidth(), h = image.GetAbsHeight();
  const uint64_t rowSize = DibRowSize(w, 24);
  std::vector<uint8_t> v = BmpHeaders(image, 24, rowSize);
  const uint32_t depth = image.GetBitCount();
  if ((depth != 16 && depth != 32) || !image.GetBits()) return v;
  std::vector<uint8_t> row(rowSize, 0);
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* s = MemoryRow(image, r);
    for (int32_t x = 0; x < w; ++x) {
      if (depth == 16) {
        const uint16_t p = LoadLE16(s + x * 2);
        row[x * 3] = Expand5(p & 31);
        row[x * 3 + 1] = Expand5((p >> 5) & 31);
        row[x * 3 + 2] = Expand5((p >> 10) & 31);
      } else {
        row[x * 3] = s[x * 4];
        row[x * 3 + 1] = s[x * 4 + 1];
        row[x * 3 + 2] = s[x * 4 + 2];
      }
    }
    v.insert(v.end(), row.begin(), row.end());
  }
  return v;
}

std::vector<uint8_t> EncodeBmp32(const DxImage& image) {
  const int32_t w = image.GetWidth(), h = image.GetAbsHeight();
  const uint64_t rowSize = uint64_t(w > 0 ? w : 0) * 4;
  std::vector<uint8_t> v = BmpHeaders(image, 32, rowSize);
  const uint32_t depth = image.GetBitCount();
  if ((depth != 16 && depth != 32) || !image.GetBits()) return v;
  for (int32_t r = 0; r < h; ++r) {
    const uint8_t* s = MemoryRow(image, r);
    for (int32_t x = 0; x < w; ++x) {
      if (depth == 16) {
        const uint16_t p = LoadLE16(s + x * 2);
        v.push_back(Expand5(p & 31));
        v.push_back(Expand5((p >> 5) & 31));
        v.push_back(Expand5((p >> 10) & 31));
        v.push_back((p & 0x8000) ? 0 : 255);
      } else {
        v.push_back(s[x * 4]);
        v.push_back(s[x * 4 + 1]);
        v.push_back(s[x * 4 + 2]);
        v.push_back(static_cast<uint8_t>(255 - s[x * 4 + 3]));
      }
    }
  }
  return v;
}

// ---- HBM ----

bool LoadHbm(DxImage& image, const uint8_t* data, size_t size) {
  if (!data || size < 16 || data[0] != 'H' || data[1] != 'B' || data[2] != 'M') return false;
  const uint32_t w = LoadLE32(data + 4), h = LoadLE32(data + 8), flags = LoadLE32(data + 12);
  if (w == 0 || h == 0 || w > uint32_t(kMaxImageSide) || h > uint32_t(kMaxImageSide)) return false;
  if (image.GetDepth() != 16 || !image.Create(static_cast<int32_t>(w), static_cast<int32_t>(h))) return false;
  const uint64_t rowSize = DibRowSize(w, 16);
  const uint64_t total = rowSize * h;
  uint8_t* bits = image.GetBits();
  const bool reverse = image.IsBottomUp() != ((flags & 0x20) != 0);
  if (!(flags & 0x10)) {
    if (16 + total > size) return false;
    const uint8_t* src = data + 16;
    if (!reverse) {
      std::memcpy(bits, src, static_cast<size_t>(total));
    } else {
      for (uint32_t i = 0; i < h; ++i) std::memcpy(bits + (h - 1 - i) * rowSize, src + i * rowSize, rowSize);
    }
    return true;
  }
  if (size < 20) return false;
  const uint32_t zsize = LoadLE32(data + 16);
  if (uint64_t{20} + zsize > size) return false;
  z_stream zs{};
  if (inflateInit(&zs) != Z_OK) return false;
  zs.next_in = const_cast<Bytef*>(data + 20);
  zs.avail_in = zsize;
  zs.next_out = bits;
  zs.avail_out = static_cast<uInt>(total);
  int rc;
  do {
    rc = inflate(&zs, Z_NO_FLUSH);
  } while (rc == Z_OK);
  const bool ok = rc == Z_STREAM_END && zs.total_out == total;
  inflateEnd(&zs);
  if (!ok) return false;
  if (reverse) {
    std::vector<uint8_t> tmp(rowSize);
    for (uint32_t i = 0; i < h / 2; ++i) {
      uint8_t* a = bits + i * rowSize;
      uint8_t* b = bits + (h - 1 - i) * rowSize;
      std::memcpy(tmp.data(), a, rowSize);
      std::memcpy(a, b, rowSize);
      std::memcpy(b, tmp.data(), rowSize);
    }
  }
  return true;
}

}  // namespace DxDraw
