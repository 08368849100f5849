// Makes Ogg Vorbis files in memory with libvorbisenc, for tests, benchmarks and fuzz seeds.
#pragma once

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace testing_ogg {

// Encodes interleaved 16-bit samples (frames × channels) at the rate.
inline std::vector<uint8_t> EncodeOgg(int channels, long rate, const std::vector<int16_t>& samples,
                                      float quality = 0.3f) {
  std::vector<uint8_t> out;
  vorbis_info vi;
  vorbis_info_init(&vi);
  if (vorbis_encode_init_vbr(&vi, channels, rate, quality) != 0) {
    vorbis_info_clear(&vi);
    return out;
  }
  vorbis_comment vc;
  vorbis_comment_init(&vc);
  vorbis_dsp_state vd;
  vorbis_block vb;
  vorbis_analysis_init(&vd, &vi);
  vorbis_block_init(&vd, &vb);
  ogg_stream_state os;
  ogg_stream_init(&os, 12345);
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

  const size_t frames = channels ? samples.size() / size_t(channels) : 0;
  size_t done = 0;
  bool eos = false;
  while (!eos) {
    const size_t chunk = std::min<size_t>(1024, frames - done);
    if (chunk == 0) {
      vorbis_analysis_wrote(&vd, 0);
    } else {
      float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(chunk));
      for (size_t i = 0; i < chunk; ++i)
        for (int c = 0; c < channels; ++c) buffer[c][i] = samples[(done + i) * channels + c] / 32768.0f;
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
  return out;
}

// A sine tone of the frequency, amplitude 0..1, on every channel.
inline std::vector<int16_t> Tone(int channels, long rate, double seconds, double frequency, double amplitude) {
  const size_t frames = static_cast<size_t>(seconds * rate);
  std::vector<int16_t> samples(frames * channels);
  for (size_t i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2.0 * M_PI * frequency * double(i) / double(rate));
    for (int c = 0; c < channels; ++c) samples[i * channels + c] = static_cast<int16_t>(std::lround(v * 32767.0));
  }
  return samples;
}

}  // namespace testing_ogg
