// The LZSS decoder's vectors and bounds, and the encoder's round trip through it.
#include "archive/lzss.h"

#include <gtest/gtest.h>

#include "archive/archive.h"
#include "fixture.h"

namespace {

TEST(Lzss, DecodesTheReferenceVectors) {
  struct Case {
    const char* what;
    std::vector<uint8_t> in;
    std::vector<uint8_t> out;
  };
  const Case cases[] = {
      {"eight literals", {0xFF, 1, 2, 3, 4, 5, 6, 7, 8}, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"a reference to cleared ring bytes", {0x00, 0x00, 0x0F}, std::vector<uint8_t>(18, 0)},
      {"a copy reading what it writes", {0x01, 0x41, 0xEE, 0xF0}, {0x41, 0x41, 0x41, 0x41}},
      {"no source", {}, {}},
      {"only a flag byte", {0xFF}, {}},
      {"a reference cut short", {0x01, 0x41, 0xEE}, {0x41}},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> out(64, 0xCC);
    bool overflow = true;
    const size_t n = DecodeLzss(out.data(), out.size(), c.in.data(), c.in.size(), &overflow);
    EXPECT_EQ(std::vector<uint8_t>(out.begin(), out.begin() + n), c.out) << c.what;
    EXPECT_FALSE(overflow) << c.what;
  }
}

TEST(Lzss, EveryDecodeStartsFromAClearedRing) {
  // The first decode leaves 0x77 in ring slots 4078.., the second reads those slots first.
  const std::vector<uint8_t> fill{0xFF, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77, 0x77};
  std::vector<uint8_t> sink(8);
  ASSERT_EQ(DecodeLzss(sink.data(), sink.size(), fill.data(), fill.size()), 8u);
  const std::vector<uint8_t> top{0x00, 0xEE, 0xF2};
  std::vector<uint8_t> out(5, 0xCC);
  ASSERT_EQ(DecodeLzss(out.data(), out.size(), top.data(), top.size()), 5u);
  EXPECT_EQ(out, std::vector<uint8_t>(5, 0));
}

TEST(Lzss, NeverWritesPastTheDestination) {
  const std::vector<uint8_t> in{0x00, 0x00, 0x0F, 0x00, 0x0F};  // 36 bytes
  std::vector<uint8_t> out(40, 0xCC);
  bool overflow = false;
  EXPECT_EQ(DecodeLzss(out.data(), 20, in.data(), in.size(), &overflow), 18u);
  EXPECT_TRUE(overflow) << "the stream holds 36 bytes for 20 of room";
  EXPECT_EQ(out[18], 0xCC) << "the reference that does not fit is not written in part";
  EXPECT_EQ(DecodeLzss(out.data(), 36, in.data(), in.size(), &overflow), 36u);
  EXPECT_FALSE(overflow);
}

TEST(Lzss, EncoderRoundTrips) {
  std::vector<std::vector<uint8_t>> inputs{
      {}, {42}, std::vector<uint8_t>(10000, 7), MakeData(100000, 11), Bytes("abcabcabcabcabcabcabcabcabcabcabcxyz")};
  std::vector<uint8_t> noise(20000);
  uint32_t x = 99;
  for (auto& b : noise) b = static_cast<uint8_t>((x = x * 1664525u + 1013904223u) >> 24);
  inputs.push_back(noise);
  for (const auto& in : inputs) {
    const std::vector<uint8_t> packed = pux::EncodeLzss(in.data(), in.size());
    std::vector<uint8_t> out(in.size() + 1, 0xCC);
    bool overflow = true;
    const size_t n = DecodeLzss(out.data(), in.size(), packed.data(), packed.size(), &overflow);
    EXPECT_FALSE(overflow) << "input of " << in.size();
    ASSERT_EQ(n, in.size());
    EXPECT_TRUE(std::equal(in.begin(), in.end(), out.begin())) << "input of " << in.size();
    if (in.size() == 10000) {
      EXPECT_LT(packed.size(), 1300u) << "a run compresses";
    }
  }
}

}  // namespace
