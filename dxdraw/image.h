// Device-independent images: the packed-bitmap format shared with the decoders, DxDraw::DxImage,
// the conversions into 16- and 32-bit images, the HBM reader and the BMP writers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "dxdraw/pixelstore.h"
#include "platform/msgbox.h"

struct IArchive;

namespace DxDraw {

// Largest picture the engine takes: each side and the pixel bytes of a 32-bit image.
constexpr int32_t kMaxImageSide = 16384;
constexpr uint64_t kMaxImageBytes = 64u << 20;

// The 40-byte bitmap information header, field by field.
struct DibHeader {
  uint32_t size = 40;
  int32_t width = 0;
  int32_t height = 0;  // positive: bottom-up rows; negative: top-down
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

constexpr size_t kDibHeaderSize = 40;

// Bytes of one row: ((width x bits + 31) / 32) x 4; 0 for a negative width.
uint64_t DibRowSize(int64_t width, uint32_t bits);
// True when width x height of the given depth is within the engine's limits.
bool DibSizeAcceptable(int64_t width, int64_t height, uint32_t bits);

void WriteDibHeader(uint8_t* out, const DibHeader& h);
// Reads the 40 bytes at data (size checked); false when too short.
bool ReadDibHeader(const uint8_t* data, size_t size, DibHeader& h);

// A packed bitmap: header, colour table of four-byte entries (B, G, R, 0), bottom-up rows.
struct PackedDib {
  std::vector<uint8_t> bytes;
  bool empty() const { return bytes.empty(); }
};

// Entries in the colour table that follows a header: the count given, else 2^bits up to 8 bits.
uint32_t DibColorCount(const DibHeader& h);
// Builds an allocation holding the header, a zeroed table of tableEntries and zeroed rows.
// Returns false (and leaves out empty) when the size is out of bounds.
bool AllocatePackedDib(PackedDib& out, int32_t width, int32_t height, uint16_t bits, uint32_t tableEntries);

class DxImage {
 public:
  explicit DxImage(uint32_t bits);
  DxImage(const DxImage&) = delete;
  DxImage& operator=(const DxImage&) = delete;
  virtual ~DxImage();

  // Builds the header (height kept with its sign), a grey table below 16 bits and zeroed bits.
  virtual bool Create(int32_t width, int32_t height);
  // Converts a packed bitmap into this image (16- and 32-bit images only).
  virtual int CopyFromDib(const uint8_t* dib, size_t size, const uint8_t* bits = nullptr, size_t bitsSize = 0);
  // Reads the member (or, without an archive, the disk file) and loads it.
  virtual int Load(IArchive* archive, const char16_t* name, int ignored = 0);
  virtual int SaveBmp24(const char16_t* path, int ignored = 0);
  virtual int SaveBmp32(const char16_t* path, int ignored = 0);
  // A drawing context over the bits: counted; the image itself stands for it.
  virtual DxImage* GetDC();
  virtual int ReleaseDC();

  // Loads a whole file held in memory: BMP, PNG or HBM by its first bytes.
  int LoadFromMemory(const uint8_t* data, size_t size);

  int32_t GetWidth() const { return m_HasInfo ? m_Header.width : 0; }
  int32_t GetHeight() const { return m_HasInfo ? m_Header.height : 0; }
  int32_t GetAbsHeight() const { return m_HasInfo ? (m_Header.height < 0 ? -m_Header.height : m_Header.height) : 0; }
  uint32_t GetStride() const { return m_Stride; }
  int32_t GetPitch() const;
  uint32_t GetBitCount() const { return m_HasInfo ? m_Bits : 0; }
  uint32_t GetDepth() const { return m_Bits; }
  bool IsBottomUp() const { return m_Header.height > 0; }
  uint8_t* GetPixelAddress(int32_t x, int32_t y) const;
  uint8_t* GetBits() const { return m_pBits.get(); }
  const DibHeader& GetHeader() const { return m_Header; }
  // The colour table (B, G, R, 0 per entry) of an image below 16 bits.
  const std::vector<uint8_t>& GetColorTable() const { return m_ColorTable; }
  int GetDCCount() const { return m_DCCount; }

 protected:
  void DestroyImage();

 private:
  uint32_t m_Bits;
  bool m_HasInfo = false;
  DibHeader m_Header;
  std::vector<uint8_t> m_ColorTable;
  PixelBytes m_pBits;  // cache-line aligned
  uint32_t m_Stride = 0;
  int m_DCCount = 0;
};

// Packed-bitmap conversions. bits, when given, is where the rows start (bitsSize bytes);
// else they follow the header and the colour table. False on a malformed bitmap.
bool ConvertDibTo16(DxImage& image, const uint8_t* dib, size_t size, const uint8_t* bits = nullptr,
                    size_t bitsSize = 0);
bool ConvertDibTo32(DxImage& image, const uint8_t* dib, size_t size, const uint8_t* bits = nullptr,
                    size_t bitsSize = 0);

// The decoders: a packed bitmap from a whole file in memory, empty on failure.
PackedDib LoadPngToDib(const uint8_t* data, size_t size);
// A PNG into an empty 32-bit image: true colour, grey with alpha and pictures with transparency
// go straight into the image's rows, with the pixels ConvertDibTo32 would make of LoadPngToDib's
// bitmap; the others come back in dib for that conversion. On failure the image may hold a
// partly decoded picture.
enum class PngDecode { Failed, InImage, InDib };
PngDecode LoadPngInto32(DxImage& image, const uint8_t* data, size_t size, PackedDib& dib);
PackedDib LoadJpegToDib(const uint8_t* data, size_t size);
PackedDib LoadTiffToDib(const uint8_t* data, size_t size);
// A BMP file: the packed bitmap behind its 14-byte file header, the rows taken right after the
// colour table and checked against the file; a 32-bit BITFIELDS file is decoded by its masks from
// the file's own offset to the bits. Empty when the file is not a usable BMP.
PackedDib LoadBmpToDib(const uint8_t* data, size_t size);

// While one lives on a thread, the message boxes the decoders would show on that thread are kept,
// in order, instead of shown: a picture decoded away from the main thread has its boxes shown by
// the thread that takes it, where and when the plain load would have shown them.
class KeptDecoderBoxes {
 public:
  KeptDecoderBoxes();
  ~KeptDecoderBoxes();
  KeptDecoderBoxes(const KeptDecoderBoxes&) = delete;
  KeptDecoderBoxes& operator=(const KeptDecoderBoxes&) = delete;
  std::vector<platform::MessageBoxRequest> Take() { return std::move(m_Boxes); }

 private:
  friend void ShowDecoderBox(platform::MessageBoxRequest request);
  std::vector<platform::MessageBoxRequest> m_Boxes;
  KeptDecoderBoxes* m_pOuter;
};
// A decoder's box: kept by this thread's KeptDecoderBoxes, else shown at once.
void ShowDecoderBox(platform::MessageBoxRequest request);

// The engine's own 16-bit format into a 16-bit image; false on a damaged or short file.
bool LoadHbm(DxImage& image, const uint8_t* data, size_t size);

// The bytes SaveBmp24 / SaveBmp32 write.
std::vector<uint8_t> EncodeBmp24(const DxImage& image);
std::vector<uint8_t> EncodeBmp32(const DxImage& image);

}  // namespace DxDraw
