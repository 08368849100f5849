// 4x4 float matrices for placing views (row vectors, translation in m[12..14]) and the matrix stack.
#pragma once

#include <cstdint>
#include <memory>

struct Matrix {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

  static Matrix Identity() { return Matrix(); }

  // Every step acts on a point before what the matrix already holds.
  Matrix& Translate(float x, float y, float z);
  Matrix& Translate(const float v[3]) { return Translate(v[0], v[1], v[2]); }
  Matrix& RotateX(int32_t angle);
  Matrix& RotateY(int32_t angle);
  Matrix& RotateZ(int32_t angle);
  // About z first, then x, then y (as seen by a point).
  Matrix& Rotate(int32_t ax, int32_t ay, int32_t az);
  Matrix& Scale(float x, float y, float z);
  Matrix& Scale(const float v[3]) { return Scale(v[0], v[1], v[2]); }
  // The screen point of p, each coordinate truncated toward zero and kept within 16 bits.
  const Matrix& Project(const float p[3], int16_t out[2]) const;
};

// A fixed-size stack of matrices shared by the draw tree.
class MatrixStack {
 public:
  // Storage for count matrices; depth 0.
  bool Allocate(uint32_t count);
  void Free();
  // Pushing beyond the storage (or without it) reports an assertion and returns false.
  bool Push(const Matrix& matrix);
  // Popping an empty stack reports an assertion and leaves matrix as it was.
  bool Pop(Matrix& matrix);
  uint32_t Depth() const { return m_Depth; }
  uint32_t Capacity() const { return m_Count; }
  // The matrix a view composes into when it has no parent to ask.
  Matrix* Current() { return &m_Current; }

 private:
  std::unique_ptr<Matrix[]> m_pEntries;
  uint32_t m_Count = 0;
  uint32_t m_Depth = 0;
  Matrix m_Current;
};

extern MatrixStack g_MatrixStack;
