// Matrices and the matrix stack.
#include "dxdraw/matrix.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/assert.h"

namespace {

void ProjectXY(const Matrix& m, float x, float y, int16_t out[2]) {
  const float p[3] = {x, y, 0};
  m.Project(p, out);
}

TEST(Matrix, QuarterTurnAboutZ) {
  Matrix m;
  m.RotateZ(16384);
  EXPECT_NEAR(m.m[0], 0, 1e-6);
  EXPECT_NEAR(m.m[1], 1, 1e-6);
  EXPECT_NEAR(m.m[4], -1, 1e-6);
  EXPECT_NEAR(m.m[5], 0, 1e-6);
  int16_t p[2];
  ProjectXY(m, 1.0f, 0.0f, p);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 1);
}

TEST(Matrix, AnglesUseTheLowSixteenBits) {
  Matrix a, b, c, d;
  a.RotateX(65536 + 1000);
  b.RotateX(1000);
  EXPECT_EQ(0, std::memcmp(a.m, b.m, sizeof a.m));
  c.RotateY(-1);
  d.RotateY(65535);
  EXPECT_EQ(0, std::memcmp(c.m, d.m, sizeof c.m));
}

TEST(Matrix, ProjectionTruncatesTowardZeroAndClampsToSixteenBits) {
  Matrix m;
  int16_t p[2];
  ProjectXY(m, 0.9f, -0.9f, p);
  EXPECT_EQ(p[0], 0);
  EXPECT_EQ(p[1], 0);
  ProjectXY(m, 2.7f, -2.7f, p);
  EXPECT_EQ(p[0], 2);
  EXPECT_EQ(p[1], -2);
  ProjectXY(m, 40000.0f, -40000.0f, p);
  EXPECT_EQ(p[0], 32767);
  EXPECT_EQ(p[1], -32768);
}

TEST(Matrix, LaterStepsActOnThePointFirst) {
  Matrix m;
  m.Scale(2, 2, 1);
  m.Translate(10, 0, 0);
  int16_t p[2];
  ProjectXY(m, 0, 0, p);
  EXPECT_EQ(p[0], 20);
  ProjectXY(m, 1, 1, p);
  EXPECT_EQ(p[0], 22);
  EXPECT_EQ(p[1], 2);
}

TEST(MatrixStack, PushPopRestoresBitForBitAndRefusesOverflow) {
  MatrixStack s;
  ASSERT_TRUE(s.Allocate(2));
  Matrix m;
  m.Translate(1.5f, 2.25f, 0).RotateZ(1234);
  const Matrix saved = m;
  ASSERT_TRUE(s.Push(m));
  m.Scale(3, 3, 3).RotateX(777);
  ASSERT_TRUE(s.Pop(m));
  EXPECT_EQ(0, std::memcmp(m.m, saved.m, sizeof m.m));

  int reports = 0;
  platform::SetAssertHook([&](const platform::AssertionReport&) { ++reports; });
  EXPECT_TRUE(s.Push(m));
  EXPECT_TRUE(s.Push(m));
  EXPECT_FALSE(s.Push(m)) << "a third push into two entries";
  EXPECT_EQ(s.Depth(), 2u);
  EXPECT_TRUE(s.Pop(m));
  EXPECT_TRUE(s.Pop(m));
  EXPECT_FALSE(s.Pop(m));
  platform::SetAssertHook({});
  EXPECT_EQ(reports, 2);
}

}  // namespace
