// Matrix steps, projection and the process-wide matrix stack.
#include "dxdraw/matrix.h"

#include <cmath>
#include <new>

#include "platform/assert.h"

MatrixStack g_MatrixStack;

namespace {

void Angle(int32_t a, double& s, double& c) {
  const double pi = 3.1415927410125732;
  const double theta = static_cast<double>(static_cast<uint32_t>(a) & 0xFFFFu) * 2.0 * pi * 1.52587890625e-5;
  s = std::sin(theta);
  c = std::cos(theta);
}

// row a' = ca*a + cb*b, row b' = da*b + db*a over all four columns.
void Mix(float* ra, float* rb, double ca, double cb, double da, double db) {
  for (int i = 0; i < 4; ++i) {
    const double a = ra[i], b = rb[i];
    ra[i] = static_cast<float>(ca * a + cb * b);
    rb[i] = static_cast<float>(da * b + db * a);
  }
}

int16_t Clamp16(double v) {
  if (!(v == v)) return 0;  // NaN
  v = std::trunc(v);
  if (v > 32767.0) return 32767;
  if (v < -32768.0) return -32768;
  return static_cast<int16_t>(v);
}

}  // namespace

Matrix& Matrix::Translate(float x, float y, float z) {
  for (int i = 0; i < 4; ++i) {
    const double v = (static_cast<double>(x) * m[i] + static_cast<double>(y) * m[4 + i]) +
                     static_cast<double>(z) * m[8 + i] + m[12 + i];
    m[12 + i] = static_cast<float>(v);
  }
  return *this;
}

Matrix& Matrix::RotateX(int32_t angle) {
  double s, c;
  Angle(angle, s, c);
  Mix(m + 4, m + 8, c, s, c, -s);
  return *this;
}

Matrix& Matrix::RotateY(int32_t angle) {
  double s, c;
  Angle(angle, s, c);
  Mix(m + 0, m + 8, c, -s, c, s);
  return *this;
}

Matrix& Matrix::RotateZ(int32_t angle) {
  double s, c;
  Angle(angle, s, c);
  Mix(m + 0, m + 4, c, s, c, -s);
  return *this;
}

Matrix& Matrix::Rotate(int32_t ax, int32_t ay, int32_t az) {
  RotateY(ay);
  RotateX(ax);
  RotateZ(az);
  return *this;
}

Matrix& Matrix::Scale(float x, float y, float z) {
  for (int i = 0; i < 3; ++i) {
    m[i] *= x;
    m[4 + i] *= y;
    m[8 + i] *= z;
  }
  return *this;
}

const Matrix& Matrix::Project(const float p[3], int16_t out[2]) const {
  const long double x = static_cast<long double>(p[0]) * m[0] + static_cast<long double>(p[1]) * m[4] +
                        static_cast<long double>(p[2]) * m[8] + m[12];
  const float y = static_cast<float>(static_cast<long double>(p[0]) * m[1] + static_cast<long double>(p[1]) * m[5] +
                                     static_cast<long double>(p[2]) * m[9] + m[13]);
  out[0] = Clamp16(static_cast<double>(x));
  out[1] = Clamp16(y);
  return *this;
}

bool MatrixStack::Allocate(uint32_t count) {
  m_pEntries.reset(new (std::nothrow) Matrix[count]);
  m_Count = m_pEntries ? count : 0;
  m_Depth = 0;
  return m_pEntries != nullptr;
}

void MatrixStack::Free() {
  m_pEntries.reset();
  m_Count = 0;
  m_Depth = 0;
}

bool MatrixStack::Push(const Matrix& matrix) {
  if (m_Depth >= m_Count) {
    platform::ReportAssertion("m_Depth < m_Count", "dxdraw/matrix", __LINE__);
    return false;
  }
  m_pEntries[m_Depth++] = matrix;
  return true;
}

bool MatrixStack::Pop(Matrix& matrix) {
  if (m_Depth == 0) {
    platform::ReportAssertion("m_Depth > 0", "dxdraw/matrix", __LINE__);
    return false;
  }
  matrix = m_pEntries[--m_Depth];
  return true;
}
