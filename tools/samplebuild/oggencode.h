// Ogg Vorbis encoding with libvorbisenc, header-only: the sample builder's music, voices and
// effects, and the Ogg files the sound tests and benchmarks make in memory.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace oggencode {

struct Format {
  int channels = 2;
  long rate = 44100;
  float quality = 0.4f;
  int serial = 1;
  const char* title = nullptr;  // a TITLE comment when set
};

// Encodes `frames` frames into out (emptied first). fill(buffers, first, count) writes frames
// first to first + count - 1 of each channel c into buffers[c][0 .. count - 1]. False when the
// encoder refuses the format.
template <typename Fill>
bool Encode(const Format& f, size_t frames, Fill fill, std::vector<uint8_t>& out) {
  out.clear();
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, f.channels, f.rate, f.quality) != 0) {
    vorbis_info_clear(&vi);
    return false;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  if (f.title) vorbis_comment_add_tag(&vc, "TITLE", f.title);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, f.serial);
  ogg_packet header, comment, code;
  vorbis_analysis_headerout(&vd, &vc, &header, &comment, &code);
  ogg_stream_packetin(&os, &header);
  ogg_stream_packetin(&os, &comment);
  ogg_stream_packetin(&os, &code);
  ogg_page page;
  auto emit = [&out](const ogg_page& p) {
    out.insert(out.end(), p.header, p.header + p.header_len);
    out.insert(out.end(), p.body, p.body + p.body_len);
  };
  while (ogg_stream_flush(&os, &page) != 0) emit(page);

  size_t done = 0;
  bool eos = false;
  while (!eos) {
    const size_t chunk = std::min<size_t>(1024, frames - done);
    if (chunk == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
      fill(buffer, done, chunk);
      vorbis_analysis_wrote(&vd, static_cast<int>(chunk));
      done += chunk;
    }
    while (vorbis_analysis_blockout(&vd, &vb) == 1) {
      vorbis_analysis(&vb, nullptr);
      vorbis_bitrate_addblock(&vb);
      ogg_packet packet;
      while (vorbis_bitrate_flushpacket(&vd, &packet)) {
        ogg_stream_packetin(&os, &packet);
        while (!eos && ogg_stream_pageout(&os, &page) != 0) {
          emit(page);
          if (ogg_page_eos(&page)) eos = true;
        }
      }
    }
    // Everything was written and no end page came: the rest goes out as it is.
    if (chunk == 0 && !eos) {
      while (ogg_stream_flush(&os, &page) != 0) emit(page);
      eos = true;
    }
  }
  ogg_stream_clear(&os);
  vorbis_block_clear(&vb);
  vorbis_dsp_clear(&vd);
  vorbis_comment_clear(&vc);
  vorbis_info_clear(&vi);
  return true;
}

}  // namespace oggencode
