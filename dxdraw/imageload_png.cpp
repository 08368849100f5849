// PNG into a packed bitmap over libpng, or true colour straight into a 32-bit image: palettes padded
// to 256, low depths unpacked, interlace handled.
#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

#include "dxdraw/image.h"
#include "lib/error.h"
#include "lib/sjis.h"
#include "platform/msgbox.h"

namespace DxDraw {

namespace {

struct PngCursor {
  const uint8_t* data;
  size_t size;
  size_t pos;
};

void PngReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* c = static_cast<PngCursor*>(png_get_io_ptr(png));
  const size_t left = c->size - c->pos;
  const size_t n = length < left ? length : left;
  if (n) std::memcpy(out, c->data + c->pos, n);
  c->pos += n;
  // A short read is an error: libpng would otherwise decode garbage past the end.
  if (n < length) png_error(png, "Read Error: unexpected end of data");
}

std::u16string Widen(const char* message) {
  std::u16string w;
  if (message) {
    char16_t buf[1024];
    const int n = MultiByteToWide(buf, 1023, message, static_cast<int>(strnlen(message, 1023)));
    if (n > 0) w.assign(buf, static_cast<size_t>(n));
  }
  return w;
}

void PngErrorHandler(png_structp png, png_const_charp message) {
  platform::MessageBoxRequest box;
  box.text = Widen(message) + u"\n\nOnMemory:\n";
  box.caption = u"libpng error";
  box.icon = platform::MsgIcon::Error;
  ShowDecoderBox(std::move(box));
  png_longjmp(png, 1);
}

// Warnings are not worth interrupting the player for: they go to the log.
void PngWarningHandler(png_structp, png_const_charp message) {
  DebugPrintf(u"libpng warning: %s\n", Widen(message).c_str());
}

struct PngJob {
  PngCursor cursor;
  PackedDib* out;
  std::vector<png_bytep>* rows;
  std::vector<uint8_t>* table;
  DxImage* image;  // an empty 32-bit image to decode into where the pixels allow, or null
  bool inImage;    // the pixels went into the image rather than into out
};

// Points the row array at the image's rows, PNG row i at picture row i from the top.
void RowsOfImage(DxImage& image, png_uint_32 height, std::vector<png_bytep>& rows) {
  rows.resize(height);
  for (png_uint_32 i = 0; i < height; ++i) rows[i] = image.GetPixelAddress(0, static_cast<int32_t>(i));
}

// Everything that libpng may jump out of lives here; the owners of memory are the caller's.
bool DecodePng(png_structp png, png_infop info, PngJob& job) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colorType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colorType, &interlace, nullptr, nullptr);
  if (!DibSizeAcceptable(width, height, 32)) return false;
  if (bitDepth == 16) png_set_strip_16(png);
  if (bitDepth < 8) png_set_packing(png);  // one byte per sample, values unchanged
  const bool trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  uint16_t depth = 8;
  std::vector<uint8_t>& table = *job.table;
  switch (colorType) {
    case PNG_COLOR_TYPE_PALETTE:
      if (trns) {
        png_set_palette_to_rgb(png);
        png_set_tRNS_to_alpha(png);
        depth = 32;
      } else {
        png_colorp palette = nullptr;
        int count = 0;
        if (png_get_PLTE(png, info, &palette, &count) == 0) count = 0;
        table.assign(256 * 4, 0);  // indices past a short palette read black
        for (int i = 0; i < count && i < 256; ++i) {
          table[i * 4] = palette[i].blue;
          table[i * 4 + 1] = palette[i].green;
          table[i * 4 + 2] = palette[i].red;
        }
      }
      break;
    case PNG_COLOR_TYPE_GRAY:
      if (trns) {
        if (bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
        png_set_gray_to_rgb(png);
        png_set_tRNS_to_alpha(png);
        depth = 32;
      } else {
        const int n = 1 << (bitDepth > 8 ? 8 : bitDepth);
        table.assign(256 * 4, 0);
        for (int i = 0; i < n; ++i) {
          const auto v = static_cast<uint8_t>(i * 255 / (n - 1));
          table[i * 4] = table[i * 4 + 1] = table[i * 4 + 2] = v;
        }
      }
      break;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      png_set_gray_to_rgb(png);
      depth = 32;
      break;
    case PNG_COLOR_TYPE_RGB:
      if (trns) {
        png_set_tRNS_to_alpha(png);
        depth = 32;
      } else {
        depth = 24;
      }
      break;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      depth = 32;
      break;
    default:
      return false;
  }
  if (depth >= 24) png_set_bgr(png);
  // A 32-bit image keeps B, G, R and T = 255 - alpha, opaque as T = 0: libpng writes that itself
  // for true colour (a zero filler after B, G, R; the alpha inverted), which spares the packed
  // bitmap and the conversion pass.
  const bool direct = job.image && depth >= 24;
  if (direct) {
    if (depth == 24)
      png_set_filler(png, 0, PNG_FILLER_AFTER);
    else
      png_set_invert_alpha(png);
  }
  if (interlace != PNG_INTERLACE_NONE) png_set_interlace_handling(png);
  png_read_update_info(png, info);
  if (direct) {
    if (png_get_rowbytes(png, info) != DibRowSize(width, 32)) return false;
    if (!job.image->Create(static_cast<int32_t>(width), static_cast<int32_t>(height))) return false;
    job.inImage = true;
    RowsOfImage(*job.image, height, *job.rows);
    png_read_image(png, job.rows->data());
    png_read_end(png, nullptr);
    return true;
  }
  const uint32_t entries = depth == 8 ? 256 : 0;
  const size_t rowBytes = png_get_rowbytes(png, info);
  if (rowBytes > DibRowSize(width, depth)) return false;
  if (!AllocatePackedDib(*job.out, static_cast<int32_t>(width), static_cast<int32_t>(height), depth, entries))
    return false;
  uint8_t* base = job.out->bytes.data();
  if (entries) std::memcpy(base + kDibHeaderSize, table.data(), table.size());
  uint8_t* rows = base + kDibHeaderSize + entries * 4;
  const uint64_t stride = DibRowSize(width, depth);
  job.rows->resize(height);
  for (png_uint_32 i = 0; i < height; ++i) (*job.rows)[i] = rows + (height - 1 - i) * stride;
  png_read_image(png, job.rows->data());
  png_read_end(png, nullptr);
  return true;
}

// Decodes into out, or into image where the pixels allow (job.inImage); false on failure.
bool RunPngJob(const uint8_t* data, size_t size, PngJob& job) {
  if (!data || size < 8) return false;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, PngErrorHandler, PngWarningHandler);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  job.cursor = PngCursor{data, size, 0};
  png_set_read_fn(png, &job.cursor, PngReadFromMemory);
  const bool ok = DecodePng(png, info, job);
  png_destroy_read_struct(&png, &info, nullptr);
  return ok;
}

}  // namespace

PackedDib LoadPngToDib(const uint8_t* data, size_t size) {
  PackedDib out;
  std::vector<png_bytep> rows;
  std::vector<uint8_t> table;
  PngJob job{{}, &out, &rows, &table, nullptr, false};
  if (!RunPngJob(data, size, job)) out.bytes.clear();
  return out;
}

PngDecode LoadPngInto32(DxImage& image, const uint8_t* data, size_t size, PackedDib& dib) {
  dib.bytes.clear();
  std::vector<png_bytep> rows;
  std::vector<uint8_t> table;
  PngJob job{{}, &dib, &rows, &table, &image, false};
  const bool ok = RunPngJob(data, size, job);
  if (ok) return job.inImage ? PngDecode::InImage : PngDecode::InDib;
  dib.bytes.clear();
  return PngDecode::Failed;
}

}  // namespace DxDraw
