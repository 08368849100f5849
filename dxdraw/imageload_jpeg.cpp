// JPEG into a 24-bit packed bitmap over libjpeg: greyscale read as RGB, CMYK refused, truncation ended.
// clang-format off
#include <cstdio>  // before jpeglib.h, which needs FILE and size_t
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>
#include <cstring>

#include "dxdraw/image.h"
#include "lib/error.h"

namespace DxDraw {

namespace {

struct JpegError {
  jpeg_error_mgr pub;
  jmp_buf jump;
};

void JpegErrorExit(j_common_ptr cinfo) {
  (*cinfo->err->output_message)(cinfo);
  longjmp(reinterpret_cast<JpegError*>(cinfo->err)->jump, 1);
}

// libjpeg's messages go to the log rather than stderr.
void JpegOutputMessage(j_common_ptr cinfo) {
  char buffer[JMSG_LENGTH_MAX];
  (*cinfo->err->format_message)(cinfo, buffer);
  DebugPrintf(u"libjpeg: %hs\n", buffer);
}

struct JpegSource {
  jpeg_source_mgr pub;
  const uint8_t* data;
  size_t size;
  bool given;
};

const JOCTET kFakeEnd[2] = {0xFF, JPEG_EOI};

void JpegInitSource(j_decompress_ptr) {}
void JpegTermSource(j_decompress_ptr) {}

// The data is handed out once; after that the file is over and a fake end marker stops the decoder.
boolean JpegFillInputBuffer(j_decompress_ptr cinfo) {
  auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
  if (!src->given) {
    src->given = true;
    src->pub.next_input_byte = src->data;
    src->pub.bytes_in_buffer = src->size;
  } else {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    src->pub.next_input_byte = kFakeEnd;
    src->pub.bytes_in_buffer = 2;
  }
  return TRUE;
}

void JpegSkipInputData(j_decompress_ptr cinfo, long n) {
  if (n <= 0) return;
  auto* src = reinterpret_cast<JpegSource*>(cinfo->src);
  while (n > static_cast<long>(src->pub.bytes_in_buffer)) {
    n -= static_cast<long>(src->pub.bytes_in_buffer);
    JpegFillInputBuffer(cinfo);
    if (src->pub.next_input_byte == kFakeEnd) return;  // skipping past the end: stop at the marker
  }
  src->pub.next_input_byte += n;
  src->pub.bytes_in_buffer -= static_cast<size_t>(n);
}

bool DecodeJpeg(jpeg_decompress_struct& cinfo, JpegError& err, PackedDib& out) {
  if (setjmp(err.jump)) return false;
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) return false;
  cinfo.out_color_space = JCS_RGB;  // greyscale comes out as three equal channels
  if (!DibSizeAcceptable(cinfo.image_width, cinfo.image_height, 32)) return false;
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 3) return false;
  const uint32_t width = cinfo.output_width, height = cinfo.output_height;
  JSAMPARRAY buffer = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, width * 3, 1);
  if (!AllocatePackedDib(out, static_cast<int32_t>(width), static_cast<int32_t>(height), 24, 0)) return false;
  const uint64_t stride = DibRowSize(width, 24);
  uint8_t* rows = out.bytes.data() + kDibHeaderSize;
  while (cinfo.output_scanline < height) {
    const uint32_t line = cinfo.output_scanline;
    if (jpeg_read_scanlines(&cinfo, buffer, 1) != 1) return false;
    uint8_t* d = rows + (height - 1 - line) * stride;
    const JSAMPLE* s = buffer[0];
    for (uint32_t x = 0; x < width; ++x) {
      d[x * 3] = s[x * 3 + 2];
      d[x * 3 + 1] = s[x * 3 + 1];
      d[x * 3 + 2] = s[x * 3];
    }
  }
  jpeg_finish_decompress(&cinfo);
  DibHeader h;
  ReadDibHeader(out.bytes.data(), out.bytes.size(), h);
  h.sizeImage = static_cast<uint32_t>(stride * height);
  WriteDibHeader(out.bytes.data(), h);
  return true;
}

}  // namespace

PackedDib LoadJpegToDib(const uint8_t* data, size_t size) {
  PackedDib out;
  if (!data || size == 0) return out;
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  JpegError err;
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = JpegErrorExit;
  err.pub.output_message = JpegOutputMessage;
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return PackedDib();
  }
  jpeg_create_decompress(&cinfo);
  cinfo.mem->max_memory_to_use = 256L << 20;  // a progressive picture at the size limit still fits
  JpegSource* src = static_cast<JpegSource*>(
      (*cinfo.mem->alloc_small)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_PERMANENT, sizeof(JpegSource)));
  src->pub.next_input_byte = nullptr;
  src->pub.bytes_in_buffer = 0;
  src->pub.init_source = JpegInitSource;
  src->pub.fill_input_buffer = JpegFillInputBuffer;
  src->pub.skip_input_data = JpegSkipInputData;
  src->pub.resync_to_restart = jpeg_resync_to_restart;
  src->pub.term_source = JpegTermSource;
  src->data = data;
  src->size = size;
  src->given = false;
  cinfo.src = &src->pub;
  const bool ok = DecodeJpeg(cinfo, err, out);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) out.bytes.clear();
  return out;
}

}  // namespace DxDraw
