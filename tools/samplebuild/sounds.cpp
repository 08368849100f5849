// The sample game's sounds, synthesised: the town's music (plucked strings over soft chords),
// the voice lines of the three speakers (a hummed vowel voice), the test voice, a wind-chime and
// a bell effect, and the two system sounds.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/samplebuild/oggencode.h"
#include "tools/samplebuild/samplebuild.h"

namespace samplebuild {
namespace {

constexpr int kRate = 44100;
constexpr double kTau = 6.283185307179586;

// Interleaved stereo samples, -1..1.
struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(size_t frames) : left(frames), right(frames) {}
  size_t Frames() const { return left.size(); }
};

double MidiToHz(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

// A plucked string (Karplus-Strong), added into the buffer at a frame; the tail wraps round,
// so that music made this way loops without a seam.
void Pluck(Stereo& out, size_t at, double hz, double seconds, float gain, float pan, Random& rng, float damping) {
  const size_t period = std::max<size_t>(2, static_cast<size_t>(std::lround(kRate / hz)));
  std::vector<float> line(period);
  for (float& v : line) v = rng.Uniform(-1, 1);
  // Soften the noise burst so the attack is round, like a koto's.
  for (int pass = 0; pass < 2; ++pass)
    for (size_t i = 1; i < period; ++i) line[i] = 0.5f * (line[i] + line[i - 1]);
  const size_t frames = static_cast<size_t>(seconds * kRate);
  const float l = gain * std::sqrt(0.5f * (1 - pan)), r = gain * std::sqrt(0.5f * (1 + pan));
  size_t idx = 0;
  for (size_t i = 0; i < frames; ++i) {
    const size_t next = (idx + 1) % period;
    const float v = line[idx];
    line[idx] = damping * 0.5f * (line[idx] + line[next]);
    idx = next;
    const float fade = i + 2000 > frames ? (frames - i) / 2000.0f : 1.0f;
    const size_t f = (at + i) % out.Frames();
    out.left[f] += v * l * fade;
    out.right[f] += v * r * fade;
  }
}

// A soft chord pad: detuned sines per note, slow swell and release.
void Pad(Stereo& out, size_t at, size_t frames, const std::vector<int>& notes, float gain) {
  const size_t attack = kRate / 2, release = kRate;
  for (size_t i = 0; i < frames + release; ++i) {
    float env = 1;
    if (i < attack) env = static_cast<float>(i) / attack;
    if (i >= frames) env = 1 - static_cast<float>(i - frames) / release;
    env = env * env * (3 - 2 * env);
    const double t = static_cast<double>(i) / kRate;
    float l = 0, r = 0;
    for (int n : notes) {
      const double hz = MidiToHz(n);
      l += static_cast<float>(std::sin(kTau * hz * 0.998 * t) + 0.25 * std::sin(kTau * hz * 2.001 * t));
      r += static_cast<float>(std::sin(kTau * hz * 1.002 * t) + 0.25 * std::sin(kTau * hz * 1.999 * t));
    }
    const size_t f = (at + i) % out.Frames();
    out.left[f] += l * gain * env / notes.size();
    out.right[f] += r * gain * env / notes.size();
  }
}

// A struck glass bell: inharmonic partials that ring down.
void Bell(Stereo& out, size_t at, double hz, float gain, float pan, double seconds) {
  const double ratios[] = {1.0, 2.76, 5.40, 8.93};
  const double decays[] = {1.4, 2.6, 4.5, 7.0};
  const double levels[] = {1.0, 0.5, 0.25, 0.12};
  const size_t frames = static_cast<size_t>(seconds * kRate);
  const float l = gain * std::sqrt(0.5f * (1 - pan)), r = gain * std::sqrt(0.5f * (1 + pan));
  for (size_t i = 0; i < frames && at + i < out.Frames(); ++i) {
    const double t = static_cast<double>(i) / kRate;
    double v = 0;
    for (int k = 0; k < 4; ++k) v += levels[k] * std::exp(-decays[k] * t) * std::sin(kTau * hz * ratios[k] * t);
    const float attack = std::min(1.0f, static_cast<float>(i) / 40.0f);
    out.left[at + i] += static_cast<float>(v) * l * attack;
    out.right[at + i] += static_cast<float>(v) * r * attack;
  }
}

// Brings the loudest sample to the level given.
void Normalise(Stereo& s, float peak) {
  float m = 1e-6f;
  for (size_t i = 0; i < s.Frames(); ++i) m = std::max({m, std::fabs(s.left[i]), std::fabs(s.right[i])});
  for (size_t i = 0; i < s.Frames(); ++i) {
    s.left[i] *= peak / m;
    s.right[i] *= peak / m;
  }
}

// "Town": eight bars in the yo scale at 96 beats a minute, a loop of 20 seconds.
Stereo TownMusic() {
  const double beat = 60.0 / 96;
  const size_t bar = static_cast<size_t>(4 * beat * kRate);
  Stereo s(8 * bar);
  Random rng(0x544F574Eull);
  const std::vector<int> chords[4] = {{55, 59, 62, 69}, {52, 55, 59, 66}, {57, 60, 64, 67}, {50, 57, 62, 64}};
  const int bass[4] = {43, 40, 45, 38};
  for (int b = 0; b < 8; ++b) {
    Pad(s, b * bar, bar, chords[b % 4], 0.22f);
    Pluck(s, b * bar, MidiToHz(bass[b % 4]), 2.4, 0.55f, 0.0f, rng, 0.996f);
    Pluck(s, b * bar + bar / 2, MidiToHz(bass[b % 4] + 7), 1.6, 0.35f, 0.0f, rng, 0.995f);
  }
  struct Note {
    double beat, length;
    int midi;
  };
  const Note melody[] = {
      {0, 1, 71},  {1, 1, 69},  {2, 1, 67},  {3, 1, 64},  {4, 2, 67},    {6, 1, 69},      {7, 1, 71},
      {8, 1, 74},  {9, 1, 71},  {10, 2, 69}, {12, 1, 69}, {13, 1, 67},   {14, 2, 64},     {16, 1, 76},
      {17, 1, 74}, {18, 1, 71}, {19, 1, 69}, {20, 2, 67}, {22, 1, 64},   {23, 1, 67},     {24, 1, 69},
      {25, 1, 71}, {26, 1, 74}, {27, 1, 76}, {28, 3, 74}, {31, 0.5, 71}, {31.5, 0.5, 69},
  };
  for (const Note& n : melody) {
    const size_t at = static_cast<size_t>(n.beat * beat * kRate);
    Pluck(s, at, MidiToHz(n.midi), n.length * beat + 1.2, 0.5f, 0.25f, rng, 0.997f);
    // A quiet octave echo on the other side, an eighth later.
    Pluck(s, at + static_cast<size_t>(beat * kRate / 2), MidiToHz(n.midi + 12), 0.9, 0.12f, -0.5f, rng, 0.994f);
  }
  Normalise(s, 0.7f);
  return s;
}

// "Bell": a wind chime struck twice.
Stereo WindChime() {
  Stereo s(static_cast<size_t>(2.6 * kRate));
  Bell(s, 0, 1760, 0.6f, -0.2f, 2.6);
  Bell(s, static_cast<size_t>(0.32 * kRate), 2093, 0.4f, 0.3f, 2.2);
  Normalise(s, 0.6f);
  return s;
}

// A hummed voice: a glottal tone whose harmonics follow the formants of each syllable's vowel.
struct Syllable {
  char vowel;     // a, i, u, e, o
  double length;  // seconds
  double pitch;   // semitones above the voice's base
};

void Formants(char vowel, double f[3]) {
  switch (vowel) {
    case 'a':
      f[0] = 850, f[1] = 1250, f[2] = 2800;
      break;
    case 'i':
      f[0] = 320, f[1] = 2500, f[2] = 3200;
      break;
    case 'u':
      f[0] = 360, f[1] = 1400, f[2] = 2600;
      break;
    case 'e':
      f[0] = 520, f[1] = 2000, f[2] = 2800;
      break;
    default:
      f[0] = 520, f[1] = 950, f[2] = 2700;
      break;
  }
}

Stereo Voice(const std::vector<Syllable>& syllables, double baseHz) {
  double total = 0.25;
  for (const Syllable& s : syllables) total += s.length;
  Stereo out(static_cast<size_t>(total * kRate));
  double phase = 0, t0 = 0.05;
  double previous[3];
  Formants(syllables.front().vowel, previous);
  for (size_t si = 0; si < syllables.size(); ++si) {
    const Syllable& s = syllables[si];
    double target[3];
    Formants(s.vowel, target);
    const double nextPitch = si + 1 < syllables.size() ? syllables[si + 1].pitch : s.pitch;
    const size_t start = static_cast<size_t>(t0 * kRate), frames = static_cast<size_t>(s.length * kRate);
    for (size_t i = 0; i < frames && start + i < out.Frames(); ++i) {
      const double u = static_cast<double>(i) / frames;
      const double glide = std::min(1.0, u * 4);
      double f[3];
      for (int k = 0; k < 3; ++k) f[k] = previous[k] + (target[k] - previous[k]) * glide;
      const double semis = s.pitch + (nextPitch - s.pitch) * std::max(0.0, u - 0.7) / 0.3;
      const double hz = baseHz * std::pow(2.0, semis / 12) * (1 + 0.006 * std::sin(kTau * 5.5 * (t0 + u * s.length)));
      phase += kTau * hz / kRate;
      double v = 0;
      for (int h = 1; h * hz < 5000; ++h) {
        double gain = 0;
        for (int k = 0; k < 3; ++k) {
          const double bw = 80 + f[k] * 0.08, d = (h * hz - f[k]) / bw;
          gain += (k == 0 ? 1.0 : k == 1 ? 0.6 : 0.25) / (1 + d * d);
        }
        v += gain * std::sin(h * phase) / std::pow(h, 0.6);
      }
      // Each syllable swells and falls, with a short dip between morae.
      const double env = std::sin(3.14159265 * std::min(1.0, u * 1.15)) * 0.85 + 0.15;
      const double edge = std::min({1.0, (start + i) / 800.0, (out.Frames() - start - i) / 4000.0});
      const float x = static_cast<float>(v * env * edge);
      out.left[start + i] += x;
      out.right[start + i] += x;
    }
    for (int k = 0; k < 3; ++k) previous[k] = target[k];
    t0 += s.length;
  }
  Normalise(out, 0.75f);
  return out;
}

bool EncodeOgg(const Stereo& s, int serial, std::vector<uint8_t>& out, std::string& error) {
  const oggencode::Format format{2, kRate, 0.4f, serial, "Lanternfall"};
  const bool encoded = oggencode::Encode(
      format, s.Frames(),
      [&s](float** buffer, size_t first, size_t count) {
        std::memcpy(buffer[0], &s.left[first], count * sizeof(float));
        std::memcpy(buffer[1], &s.right[first], count * sizeof(float));
      },
      out);
  if (!encoded) error = "vorbisenc refused the format";
  return encoded;
}

void Put16(std::vector<uint8_t>& v, uint32_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x) {
  Put16(v, x & 0xFFFF);
  Put16(v, x >> 16);
}
void PutTag(std::vector<uint8_t>& v, const char* tag) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(tag[i]));
}

// 16-bit mono PCM WAVE: RIFF header, a 16-byte "fmt " chunk and the "data" chunk.
std::vector<uint8_t> EncodeWave(const std::vector<float>& samples) {
  std::vector<uint8_t> v;
  const uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
  PutTag(v, "RIFF");
  Put32(v, 4 + 8 + 16 + 8 + dataBytes);
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, 16);
  Put16(v, 1);  // PCM
  Put16(v, 1);  // mono
  Put32(v, kRate);
  Put32(v, kRate * 2);
  Put16(v, 2);
  Put16(v, 16);
  PutTag(v, "data");
  Put32(v, dataBytes);
  for (float x : samples)
    Put16(v, static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::clamp(x, -1.0f, 1.0f) * 32767))));
  return v;
}

// A short chime of two soft bell tones.
std::vector<float> Chime(double first, double second, double gap, float gain) {
  const size_t frames = static_cast<size_t>(0.32 * kRate);
  std::vector<float> out(frames);
  for (int n = 0; n < 2; ++n) {
    const double hz = n ? second : first;
    const size_t at = n ? static_cast<size_t>(gap * kRate) : 0;
    for (size_t i = at; i < frames; ++i) {
      const double t = static_cast<double>(i - at) / kRate;
      const double v = std::exp(-14 * t) * (std::sin(kTau * hz * t) + 0.3 * std::sin(kTau * hz * 2.0 * t));
      out[i] += static_cast<float>(v) * gain * std::min(1.0f, (i - at) / 60.0f);
    }
  }
  for (size_t i = frames - 600; i < frames; ++i) out[i] *= (frames - i) / 600.0f;
  return out;
}

}  // namespace

bool MakeStreamSounds(std::vector<OutputFile>& out, std::string& error) {
  struct Sound {
    const char* path;
    Stereo (*make)();
  };
  const Sound sounds[] = {
      {"bgm/town.ogg", TownMusic},
      {"se/bell.ogg", WindChime},
      // 灯子: "……ほんとに？" and "一緒に行こうよ", as hummed morae.
      {"voice/tk001.ogg",
       [] {
         return Voice({{'o', 0.22, 0}, {'o', 0.16, 1}, {'o', 0.18, 2}, {'i', 0.34, 7}}, 262);
       }},
      {"voice/tk002.ogg",
       [] {
         return Voice({{'i', 0.14, 2},
                       {'o', 0.18, 4},
                       {'i', 0.16, 2},
                       {'i', 0.14, 0},
                       {'o', 0.18, 2},
                       {'u', 0.14, 0},
                       {'o', 0.34, -2}},
                      262);
       }},
      // 灯子: "あそこ" and "流そう、今".
      {"voice/tk003.ogg",
       [] {
         return Voice({{'a', 0.16, 0}, {'o', 0.16, 2}, {'o', 0.3, 4}}, 262);
       }},
      {"voice/tk004.ogg",
       [] {
         return Voice({{'a', 0.18, 0}, {'a', 0.16, 2}, {'o', 0.3, 0}, {'i', 0.18, 3}, {'a', 0.3, -1}}, 262);
       }},
      // 朔: "おや、珍しい客だ", lower and slower.
      {"voice/sk001.ogg",
       [] {
         return Voice({{'o', 0.2, 0}, {'a', 0.26, -2}, {'a', 0.2, 2}, {'i', 0.2, 0}, {'a', 0.36, -3}}, 131);
       }},
      // 千代: "ねえちゃん！" and "わすれてたよ！", higher and quick.
      {"voice/cy001.ogg",
       [] {
         return Voice({{'e', 0.14, 0}, {'e', 0.12, 2}, {'a', 0.3, 5}}, 330);
       }},
      {"voice/cy002.ogg",
       [] {
         return Voice({{'a', 0.12, 0}, {'u', 0.12, 2}, {'e', 0.12, 4}, {'e', 0.12, 2}, {'o', 0.3, 7}}, 330);
       }},
      // The settings dialog's test voice and test effect.
      {"voice/V_TEST.ogg",
       [] {
         return Voice({{'a', 0.2, 0}, {'i', 0.2, 2}, {'u', 0.2, 4}, {'e', 0.2, 5}}, 262);
       }},
      {"se/INS02.ogg",
       [] {
         Stereo s(static_cast<size_t>(1.2 * kRate));
         Bell(s, 0, 1318.5, 0.5f, 0.0f, 1.2);
         Normalise(s, 0.6f);
         return s;
       }},
  };
  int serial = 0x4C46;
  for (const Sound& s : sounds) {
    OutputFile file{s.path, {}};
    if (!EncodeOgg(s.make(), serial++, file.bytes, error)) {
      error = std::string(s.path) + ": " + error;
      return false;
    }
    out.push_back(std::move(file));
  }
  return true;
}

bool EncodeStereoOgg(const std::vector<float>& left, const std::vector<float>& right, int serial,
                     std::vector<uint8_t>& out, std::string& error) {
  Stereo s(std::min(left.size(), right.size()));
  std::copy_n(left.begin(), s.Frames(), s.left.begin());
  std::copy_n(right.begin(), s.Frames(), s.right.begin());
  return EncodeOgg(s, serial, out, error);
}

bool MakeSystemSounds(std::vector<OutputFile>& out, std::string&) {
  out.push_back({"SUBMIT.WAV", EncodeWave(Chime(880.0, 1318.5, 0.06, 0.45f))});
  out.push_back({"CANCEL.WAV", EncodeWave(Chime(659.3, 440.0, 0.07, 0.4f))});
  return true;
}

}  // namespace samplebuild
