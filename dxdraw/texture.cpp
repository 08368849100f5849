// Textured triangles and quads: scan-line spans between two edges, texels stepped in 16.16 fixed
// point, one pixel routine call per covered pixel.
#include "dxdraw/texture.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dxdraw/surface.h"

namespace DxDraw {

void EdgeLine::Set(int32_t ax, int32_t ay, int32_t bx, int32_t by) {
  x0 = ax;
  y0 = ay;
  x1 = bx;
  y1 = by;
  flags = 0;
  if (bx == ax)
    flags |= kVertical;
  else
    slope = static_cast<double>(by - ay) / static_cast<double>(bx - ax);
  if (by == ay)
    flags |= kHorizontal;
  else
    inverseSlope = static_cast<double>(bx - ax) / static_cast<double>(by - ay);
}

int32_t EdgeLine::XAtY(int32_t y) const {
  if (slope == 0) return x0;
  return x0 + static_cast<int32_t>(std::trunc(static_cast<double>(y - y0) * inverseSlope));
}

namespace {

struct Raster {
  DxSurface* dst;
  DxSurface* tex;
  DxSurface* mask;
  BltFunc routine;
  BltParams params;
  platform::Rect clip;
  int bpp;
};

// A 16.16 value truncated toward zero and kept within 32 bits: a span far narrower than its
// texture distance has a step beyond the range.
int32_t Fixed(double v) {
  v = std::trunc(v);
  if (!(v >= -2147483648.0)) return INT32_MIN;
  if (v > 2147483647.0) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// Texels outside the texture (or the mask) are skipped rather than read.
bool Inside(DxSurface* s, int32_t x, int32_t y) {
  return s && x >= 0 && y >= 0 && x < s->GetWidth() && y < s->GetAbsHeight();
}

void Span(Raster& r, int32_t y, const EdgeLine& a, const EdgeLine& ta, const EdgeLine& b, const EdgeLine& tb) {
  if (y < r.clip.top || y >= r.clip.bottom) return;
  const int32_t xa = a.XAtY(y), xb = b.XAtY(y);
  const float ua = static_cast<float>(static_cast<double>(ta.x1 - ta.x0) * (y - a.y0) / (a.y1 - a.y0) + ta.x0);
  const float va = static_cast<float>(static_cast<double>(ta.y1 - ta.y0) * (y - a.y0) / (a.y1 - a.y0) + ta.y0);
  const float vb = static_cast<float>(static_cast<double>(tb.y1 - tb.y0) * (y - b.y0) / (b.y1 - b.y0) + tb.y0);
  int32_t du = -1, dv = -1;
  if (xa != xb) {
    const float ub = static_cast<float>(static_cast<double>(tb.x1 - tb.x0) * (y - b.y0) / (b.y1 - b.y0) + tb.x0);
    du = Fixed((static_cast<double>(ub) - ua) * 65536.0 / (xb - xa));
    dv = Fixed((static_cast<double>(vb) - va) * 65536.0 / (xb - xa));
  }
  const int32_t u = Fixed(static_cast<double>(ua) * 65536.0);
  const int32_t v = Fixed(static_cast<double>(va) * 65536.0);
  int32_t dir = 1;
  int64_t su = du, sv = dv;  // negated in 64 bits: -INT32_MIN does not fit 32
  if (xa > xb) {
    dir = -1;
    su = -su;
    sv = -sv;
  }
  // Only the steps whose pixel lies inside the clip are visited; texels advance as if every
  // step had been taken.
  const int64_t n = xa > xb ? int64_t{xa} - xb : int64_t{xb} - xa;
  int64_t kmin, kmax;
  if (dir > 0) {
    kmin = int64_t{r.clip.left} - xa;
    kmax = int64_t{r.clip.right} - 1 - xa;
  } else {
    kmin = int64_t{xa} - (int64_t{r.clip.right} - 1);
    kmax = int64_t{xa} - r.clip.left;
  }
  kmin = std::max<int64_t>(kmin, 0);
  kmax = std::min<int64_t>(kmax, n);
  const bool masked = BltUsesMask(r.params.mode);
  for (int64_t k = kmin; k <= kmax; ++k) {
    const auto x = static_cast<int32_t>(xa + dir * k);
    const int64_t fu = (int64_t{u} + k * su) >> 16, fv = (int64_t{v} + k * sv) >> 16;
    if (fu < INT32_MIN || fu > INT32_MAX || fv < INT32_MIN || fv > INT32_MAX) continue;
    const auto tx = static_cast<int32_t>(fu), ty = static_cast<int32_t>(fv);
    if (Inside(r.tex, tx, ty) && (!masked || Inside(r.mask, tx, ty))) {
      r.routine(r.dst->GetPixelAddress(x, y), r.tex->GetPixelAddress(tx, ty),
                masked ? r.mask->GetPixelAddress(tx, ty) : nullptr, 1, &r.params, 0, 0, 0, 1);
    }
  }
}

bool Prepare(DxSurface* dst, DxSurface* tex, const platform::Rect* clip, const BltParams* params, Raster& r) {
  r.dst = dst;
  r.tex = tex;
  r.params = params ? *params : BltParams();
  if (r.params.mode & kBltInvertMask)
    r.params.maskXor[0] = r.params.maskXor[1] = 0xFFFFFFFFu;
  else
    r.params.maskXor[0] = r.params.maskXor[1] = 0;
  const bool is16 = dst->GetDepth() == 16;
  r.params.colorMask |= is16 ? 0x8000u : 0xFF000000u;
  r.routine = LookupBlt(is16 ? g_BltTable16 : g_BltTable32, r.params.mode);
  r.mask = BltUsesMask(r.params.mode) ? r.params.maskImage : nullptr;
  if (r.mask && r.mask->GetDepth() != dst->GetDepth()) r.mask = nullptr;
  r.bpp = is16 ? 2 : 4;
  r.clip = IntersectRect(dst->GetClipRect(), dst->Bounds());
  if (clip) r.clip = IntersectRect(r.clip, *clip);
  return r.routine != nullptr;
}

void MarkBox(DxSurface* dst, const Point16* pts, int n, const platform::Rect& clip) {
  platform::Rect box{pts[0].x, pts[0].y, pts[0].x, pts[0].y};
  for (int i = 1; i < n; ++i) {
    box.left = std::min<int32_t>(box.left, pts[i].x);
    box.top = std::min<int32_t>(box.top, pts[i].y);
    box.right = std::max<int32_t>(box.right, pts[i].x);
    box.bottom = std::max<int32_t>(box.bottom, pts[i].y);
  }
  box.right += 1;
  box.bottom += 1;
  const platform::Rect m = IntersectRect(box, clip);
  if (!m.IsEmpty()) dst->AddUpdateRect(&m);
}

bool Usable(DxSurface* dst, DxSurface* tex) {
  return dst->GetBits() && tex && tex->GetBits() && tex->GetDepth() == dst->GetDepth();
}

}  // namespace

int DxSurface::DrawTriangle(const Point16 points[3], DxSurface* texture, const Point16 texturePoints[3],
                            const platform::Rect* clip, const BltParams* params) {
  Raster r;
  if (!points || !texturePoints || !Prepare(this, texture, clip, params, r)) return 0;
  if (!Usable(this, texture)) return 0;
  int order[3] = {0, 1, 2};
  std::stable_sort(order, order + 3, [&](int a, int b) { return points[a].y < points[b].y; });
  const Point16 &top = points[order[0]], &mid = points[order[1]], &bot = points[order[2]];
  const Point16 &ttop = texturePoints[order[0]], &tmid = texturePoints[order[1]], &tbot = texturePoints[order[2]];
  EdgeLine b, tb, a, ta;
  b.Set(top.x, top.y, bot.x, bot.y);
  tb.Set(ttop.x, ttop.y, tbot.x, tbot.y);
  for (int pass = 0; pass < 2; ++pass) {
    const Point16& p0 = pass ? mid : top;
    const Point16& p1 = pass ? bot : mid;
    const Point16& t0 = pass ? tmid : ttop;
    const Point16& t1 = pass ? tbot : tmid;
    a.Reset();
    ta.Reset();
    a.Set(p0.x, p0.y, p1.x, p1.y);
    ta.Set(t0.x, t0.y, t1.x, t1.y);
    if (a.IsHorizontal() || b.IsHorizontal()) continue;
    for (int32_t y = a.y0; y < a.y1; ++y) Span(r, y, a, ta, b, tb);
  }
  MarkBox(this, points, 3, r.clip);
  return 1;
}

int DxSurface::DrawQuad(const Point16 points[4], DxSurface* texture, const Point16 texturePoints[4],
                        const platform::Rect* clip, const BltParams* params) {
  Raster r;
  if (!points || !texturePoints || !Prepare(this, texture, clip, params, r)) return 0;
  if (!Usable(this, texture)) return 0;
  int t = 0;
  for (int i = 1; i < 4; ++i)
    if (points[i].y < points[t].y) t = i;
  int ca = t, cb = t;
  int32_t start = points[t].y;
  for (int pass = 0; pass < 3; ++pass) {
    const int na = (ca + 1) % 4, nb = (cb + 3) % 4;
    const bool endsA = points[na].y <= points[nb].y;
    const int32_t end = endsA ? points[na].y : points[nb].y;
    EdgeLine a, ta, b, tb;
    a.Set(points[ca].x, points[ca].y, points[na].x, points[na].y);
    ta.Set(texturePoints[ca].x, texturePoints[ca].y, texturePoints[na].x, texturePoints[na].y);
    b.Set(points[cb].x, points[cb].y, points[nb].x, points[nb].y);
    tb.Set(texturePoints[cb].x, texturePoints[cb].y, texturePoints[nb].x, texturePoints[nb].y);
    if (!a.IsHorizontal() && !b.IsHorizontal())
      for (int32_t y = start; y <= end; ++y) Span(r, y, a, ta, b, tb);
    if (endsA) {
      ca = na;
      start = points[ca].y;
    } else {
      cb = nb;
      start = points[cb].y;
    }
  }
  MarkBox(this, points, 4, r.clip);
  return 1;
}

}  // namespace DxDraw
