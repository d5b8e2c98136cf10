#include "editor/view3d.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "solver/numtext.h"

namespace rv {

namespace {
constexpr double Pi = 3.14159265358979323846;
constexpr double MaxElevation = 89.0 * Pi / 180.0;

Mat4 Identity() {
  Mat4 m{};
  m[0] = m[5] = m[10] = m[15] = 1;
  return m;
}
}  // namespace

Mat4 PerspectiveMatrix(double fovyDeg, double aspect, double zNear, double zFar) {
  const double f = 1.0 / std::tan(fovyDeg * Pi / 360.0);
  Mat4 m{};
  m[0] = f / aspect;
  m[5] = f;
  m[10] = (zFar + zNear) / (zNear - zFar);
  m[11] = -1;
  m[14] = 2 * zFar * zNear / (zNear - zFar);
  return m;
}

Mat4 LookAtMatrix(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                  double uy, double uz) {
  double f[3] = {cx - ex, cy - ey, cz - ez};
  const auto normalise = [](double* v) {
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l > 0) { v[0] /= l; v[1] /= l; v[2] /= l; }
  };
  normalise(f);
  double up[3] = {ux, uy, uz};
  double s[3] = {f[1] * up[2] - f[2] * up[1], f[2] * up[0] - f[0] * up[2],
                 f[0] * up[1] - f[1] * up[0]};
  normalise(s);
  const double u[3] = {s[1] * f[2] - s[2] * f[1], s[2] * f[0] - s[0] * f[2],
                       s[0] * f[1] - s[1] * f[0]};
  Mat4 m = Identity();
  for (int i = 0; i < 3; ++i) {
    m[i * 4 + 0] = s[i];
    m[i * 4 + 1] = u[i];
    m[i * 4 + 2] = -f[i];
  }
  Mat4 t = Identity();
  t[12] = -ex;
  t[13] = -ey;
  t[14] = -ez;
  return MatMul(m, t);
}

Mat4 MatMul(const Mat4& a, const Mat4& b) {
  Mat4 r{};
  for (int c = 0; c < 4; ++c)
    for (int rr = 0; rr < 4; ++rr) {
      double s = 0;
      for (int k = 0; k < 4; ++k) s += a[k * 4 + rr] * b[c * 4 + k];
      r[c * 4 + rr] = s;
    }
  return r;
}

bool ProjectPoint(const Mat4& projection, const Mat4& modelview, const std::array<int, 4>& vp,
                  double x, double y, double z, double& wx, double& wy, double& wz) {
  const Mat4 pm = MatMul(projection, modelview);
  double o[4];
  for (int r = 0; r < 4; ++r) o[r] = pm[r] * x + pm[4 + r] * y + pm[8 + r] * z + pm[12 + r];
  if (o[3] == 0) return false;
  wx = vp[0] + vp[2] * (o[0] / o[3] + 1) / 2;
  wy = vp[1] + vp[3] * (o[1] / o[3] + 1) / 2;
  wz = (o[2] / o[3] + 1) / 2;
  return true;
}

Camera InitialCamera(int spaceNx, int spaceNy, int spaceNz) {
  Camera c;
  c.EyeX = c.CenterX = spaceNx / 2.0f;
  c.EyeY = c.CenterY = spaceNy / 2.0f;
  c.EyeZ = 3.0f * spaceNz;
  c.CenterZ = c.EyeZ - 10;
  return c;
}

ViewTransform ViewTransformFor(const Camera& c, const ViewFrame& f) {
  const int W = std::max(1, f.Width), H = std::max(1, f.Height);
  ViewTransform t;
  t.Projection = PerspectiveMatrix(40, double(W) / H, 1,
                                   FarPlane(2000, c, f.Nx * f.Sx, f.Ny * f.Sy, f.Nz * f.Sz));
  t.ModelView = LookAtMatrix(c.EyeX, c.EyeY, c.EyeZ, c.CenterX, c.CenterY, c.CenterZ, 1, 1000, 1);
  t.Viewport = {3, 3, std::max(1, W - 6), std::max(1, H - 6)};
  return t;
}

namespace {
// The domain box's far corner in drawing units; its near corner is (1, 1, 1).
std::array<double, 3> BoxEnd(const ViewFrame& f) { return {f.Nx * f.Sx, f.Ny * f.Sy, f.Nz * f.Sz}; }
}  // namespace

double ArrowSize(const ViewFrame& f) {
  const std::array<double, 3> end = BoxEnd(f);
  const double depth = std::min({end[0], end[1], end[2]}) - 1;
  return std::clamp(depth / 8, 0.0, 1.0);
}

std::array<std::array<double, 3>, 4> SectionQuad(const ViewFrame& f, int axis, int position) {
  const std::array<double, 3> end = BoxEnd(f), scale = {f.Sx, f.Sy, f.Sz};
  const int a = std::clamp(axis, 0, 2), u = (a + 1) % 3, v = (a + 2) % 3;
  std::array<std::array<double, 3>, 4> q{};
  const double lo[2] = {1, 1}, hi[2] = {end[size_t(u)], end[size_t(v)]};
  const int corner[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  for (int i = 0; i < 4; ++i) {
    q[size_t(i)][size_t(a)] = (position + 0.5) * scale[size_t(a)];
    q[size_t(i)][size_t(u)] = corner[i][0] ? hi[0] : lo[0];
    q[size_t(i)][size_t(v)] = corner[i][1] ? hi[1] : lo[1];
  }
  return q;
}

std::vector<std::array<double, 3>> DrawnOutline(const ViewFrame& f) {
  // The box and the plane on it; the arrowheads reach their size across their axes.
  const std::array<double, 3> end = BoxEnd(f);
  const double a = ArrowSize(f), lo = 1 - a;
  std::vector<std::array<double, 3>> p;
  for (int i = 0; i < 8; ++i)
    p.push_back({i & 1 ? std::max(end[0], 1 + a) : lo, i & 2 ? std::max(end[1], 1 + a) : lo,
                 i & 4 ? std::max(end[2], 1 + a) : lo});
  return p;
}

namespace {
// Pixels between an axis' end and its name, and between two names.
constexpr double LabelGap = 4;
// A letter is 0.6 of its height wide; the box round it leaves room for the 2-pixel strokes.
void LabelHalves(double px, double& hw, double& hh) {
  hw = 0.3 * px + 1;
  hh = 0.5 * px + 1;
}
}  // namespace

double LabelRoom(double labelPx) {
  double hw, hh;
  LabelHalves(labelPx, hw, hh);
  return LabelGap + 2 * std::max(hw, hh);
}

std::array<AxisLabel, 3> PlaceAxisLabels(const ViewTransform& t, const ViewFrame& f) {
  std::array<AxisLabel, 3> out;
  double hw, hh;
  LabelHalves(f.LabelPx, hw, hh);
  double ox, oy, oz;
  const bool origin = ProjectPoint(t.Projection, t.ModelView, t.Viewport, 1, 1, 1, ox, oy, oz) && oz >= 0 && oz <= 1;
  const double ends[3][3] = {{f.Nx * f.Sx, 1, 1}, {1, f.Ny * f.Sy, 1}, {1, 1, f.Nz * f.Sz}};
  // Where an axis seen end-on, or from its middle, leaves no direction on the screen: right,
  // up, down-left.
  const double fallback[3][2] = {{1, 0}, {0, 1}, {-std::sqrt(0.5), -std::sqrt(0.5)}};
  for (int i = 0; i < 3; ++i) {
    AxisLabel& l = out[size_t(i)];
    l.Letter = "XYZ"[i];
    l.HalfW = hw, l.HalfH = hh;
    double x, y, z;
    if (!ProjectPoint(t.Projection, t.ModelView, t.Viewport, ends[i][0], ends[i][1], ends[i][2], x, y, z) ||
        !(z >= 0 && z <= 1))
      continue;
    double dx = x - ox, dy = y - oy;
    const double len = origin ? std::hypot(dx, dy) : 0;
    if (len >= 1) {
      dx /= len, dy /= len;
    } else {
      dx = fallback[i][0], dy = fallback[i][1];
    }
    // Along the direction, from the end to the box's edge and a gap beyond it.
    const double toEdge = std::min(std::abs(dx) > 1e-9 ? hw / std::abs(dx) : HUGE_VAL,
                                   std::abs(dy) > 1e-9 ? hh / std::abs(dy) : HUGE_VAL);
    l.X = x + dx * (LabelGap + toEdge);
    l.Y = y + dy * (LabelGap + toEdge);
    l.Shown = true;
  }
  // Overlapping names move apart, each half the overlap, across the side they overlap least.
  for (int pass = 0; pass < 8; ++pass) {
    bool moved = false;
    for (int i = 0; i < 3; ++i)
      for (int j = i + 1; j < 3; ++j) {
        AxisLabel &a = out[size_t(i)], &b = out[size_t(j)];
        if (!a.Shown || !b.Shown) continue;
        const double ex = 2 * hw + LabelGap - std::abs(a.X - b.X), ey = 2 * hh + LabelGap - std::abs(a.Y - b.Y);
        if (ex <= 0 || ey <= 0) continue;
        moved = true;
        if (ex <= ey) {
          const double s = a.X <= b.X ? -1 : 1;
          a.X += s * ex / 2, b.X -= s * ex / 2;
        } else {
          const double s = a.Y <= b.Y ? -1 : 1;
          a.Y += s * ey / 2, b.Y -= s * ey / 2;
        }
      }
    if (!moved) break;
  }
  return out;
}

std::vector<std::array<double, 4>> LetterStrokes(const AxisLabel& l) {
  const double w = l.HalfW - 1, h = l.HalfH - 1, x = l.X, y = l.Y;
  switch (l.Letter) {
    case 'X': return {{x - w, y - h, x + w, y + h}, {x - w, y + h, x + w, y - h}};
    case 'Y': return {{x - w, y + h, x, y}, {x + w, y + h, x, y}, {x, y, x, y - h}};
    case 'Z': return {{x - w, y + h, x + w, y + h}, {x + w, y + h, x - w, y - h}, {x - w, y - h, x + w, y - h}};
    default: return {};
  }
}

bool ShowsPoints(const ViewTransform& t, const std::vector<std::array<double, 3>>& points,
                 double margin) {
  const auto& vp = t.Viewport;
  for (const auto& p : points) {
    double wx, wy, wz;
    if (!ProjectPoint(t.Projection, t.ModelView, vp, p[0], p[1], p[2], wx, wy, wz)) return false;
    // Behind the eye or nearer than the near plane the depth falls outside 0..1.
    if (!(wz >= 0 && wz <= 1)) return false;
    if (!(wx >= vp[0] + margin && wx <= vp[0] + vp[2] - margin && wy >= vp[1] + margin &&
          wy <= vp[1] + vp[3] - margin))
      return false;
  }
  return true;
}

Camera BackedOffToShowAll(const Camera& c, const ViewFrame& f) {
  const std::vector<std::array<double, 3>> points = DrawnOutline(f);
  // The names reach past the axes' ends by their own size in pixels.
  const double room = f.LabelPx > 0 ? LabelRoom(f.LabelPx) : 0;
  if (ShowsPoints(ViewTransformFor(c, f), points, room)) return c;
  // Moved, it leaves a little white around the box.
  const double margin =
      std::max(room, 0.03 * std::min(std::max(1, f.Width - 6), std::max(1, f.Height - 6)));
  double dir[3] = {double(c.CenterX) - c.EyeX, double(c.CenterY) - c.EyeY,
                   double(c.CenterZ) - c.EyeZ};
  const double len = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
  if (!(len > 0) || !std::isfinite(len)) return c;
  for (double& v : dir) v /= len;
  const auto back = [&](double t) {
    Camera m = c;
    m.EyeX = float(c.EyeX - dir[0] * t), m.EyeY = float(c.EyeY - dir[1] * t),
    m.EyeZ = float(c.EyeZ - dir[2] * t);
    m.CenterX = float(c.CenterX - dir[0] * t), m.CenterY = float(c.CenterY - dir[1] * t),
    m.CenterZ = float(c.CenterZ - dir[2] * t);
    return m;
  };
  const auto shows = [&](double t) { return ShowsPoints(ViewTransformFor(back(t), f), points, margin); };
  // Seen from farther back along a fixed line every point's offset from the line stays and
  // its depth grows: once all are in view they stay, so the distance can be halved into.
  double lo = 0, hi = 1;
  for (const auto& p : points) hi = std::max({hi, std::abs(p[0]), std::abs(p[1]), std::abs(p[2])});
  int doublings = 0;
  while (!shows(hi)) {
    lo = hi;
    hi *= 2;
    if (++doublings > 60) return c;  // a box no camera could take in
  }
  for (int i = 0; i < 50 && hi - lo > 1e-3 * hi; ++i) {
    const double mid = (lo + hi) / 2;
    (shows(mid) ? hi : lo) = mid;
  }
  return back(hi);
}

bool IsInitialCamera(const Camera& c, int spaceNx, int spaceNy, int spaceNz) {
  const Camera r = InitialCamera(spaceNx, spaceNy, spaceNz);
  return std::tie(c.EyeX, c.EyeY, c.EyeZ, c.CenterX, c.CenterY, c.CenterZ) ==
         std::tie(r.EyeX, r.EyeY, r.EyeZ, r.CenterX, r.CenterY, r.CenterZ);
}

CameraSpeeds SpeedsFor(bool shift, bool ctrl) {
  if (ctrl) return {100, 20, 0.5, "Максимальная скорость"};
  if (shift) return {1, 1, 0.1, "Минимальная скорость"};
  return {10, 10, 0.2, "Средняя скорость"};
}

void MoveCamera(Camera& c, CameraKey key, float moveStep, float tiltStep) {
  const double dx = double(c.CenterX) - c.EyeX, dy = double(c.CenterY) - c.EyeY,
               dz = double(c.CenterZ) - c.EyeZ;
  const double d = std::hypot(dx, dz);
  const double L = std::sqrt(dx * dx + dy * dy + dz * dz);
  // Heading of the view in the x-z plane, measured with -z as positive turn.
  const double a = std::atan2(-dz, dx);
  const double turn = Pi * tiltStep / 180.0;
  switch (key) {
    case CameraKey::Raise:
      c.EyeY += moveStep;
      c.CenterY += moveStep;
      break;
    case CameraKey::Lower:
      c.EyeY -= moveStep;
      c.CenterY -= moveStep;
      break;
    case CameraKey::Level:
      if (d > 0) c.CenterY = c.EyeY;
      break;
    case CameraKey::TiltDown:
    case CameraKey::TiltUp: {
      if (d <= 0) break;
      double e = std::atan2(dy, d) + (key == CameraKey::TiltUp ? turn : -turn);
      e = std::clamp(e, -MaxElevation, MaxElevation);
      c.CenterY = float(c.EyeY + std::tan(e) * d);
      break;
    }
    case CameraKey::Forward:
    case CameraKey::Back: {
      if (L <= 0) break;
      const double k = (key == CameraKey::Forward ? moveStep : -moveStep) / L;
      c.EyeX += float(dx * k); c.EyeY += float(dy * k); c.EyeZ += float(dz * k);
      c.CenterX += float(dx * k); c.CenterY += float(dy * k); c.CenterZ += float(dz * k);
      break;
    }
    case CameraKey::TurnLeft:
    case CameraKey::TurnRight: {
      if (d <= 0) break;
      const double b = a + (key == CameraKey::TurnLeft ? turn : -turn);
      c.CenterX = float(c.EyeX + std::cos(b) * d);
      c.CenterZ = float(c.EyeZ - std::sin(b) * d);
      break;
    }
    case CameraKey::StepLeft:
    case CameraKey::StepRight: {
      if (d <= 0) break;
      const double s = key == CameraKey::StepLeft ? -1 : 1;
      const float mx = float(s * std::cos(Pi / 2 - a) * moveStep);
      const float mz = float(s * std::sin(Pi / 2 - a) * moveStep);
      c.EyeX += mx; c.CenterX += mx;
      c.EyeZ += mz; c.CenterZ += mz;
      break;
    }
  }
}

void RotateCamera(Camera& c, int nx, int nz, double step) {
  c.CenterX = nx / 2.0f;
  c.CenterZ = nz / 2.0f;
  const double ex = double(c.EyeX) - c.CenterX, ez = double(c.EyeZ) - c.CenterZ;
  const double r = std::hypot(ex, ez);
  if (r <= 0) return;
  const double a = std::atan2(ez, ex) + step;
  c.EyeX = float(c.CenterX + r * std::cos(a));
  c.EyeZ = float(c.CenterZ + r * std::sin(a));
}

double FarPlane(double base, const Camera& c, double xm, double ym, double zm) {
  double far = 0;
  for (double x : {0.0, xm})
    for (double y : {0.0, ym})
      for (double z : {0.0, zm})
        far = std::max(far, std::sqrt((x - c.EyeX) * (x - c.EyeX) + (y - c.EyeY) * (y - c.EyeY) +
                                      (z - c.EyeZ) * (z - c.EyeZ)));
  return std::isfinite(far) ? std::max(base, far + 1) : base;
}

std::vector<CellRun> CollectRuns(const SolverData& d) {
  std::vector<CellRun> runs;
  const tSpace& s = d.Space;
  const int nx = std::min(d.SpaceNx, s.len1()), ny = std::min(d.SpaceNy, s.len2()),
            nz = std::min(d.SpaceNz, s.len3());
  for (int x = 1; x < nx; ++x)
    for (int z = 1; z < nz; ++z) {
      int y = 1;
      while (y < ny) {
        const uint8_t m = s(x, y, z);
        int e = y + 1;
        while (e < ny && s(x, e, z) == m) ++e;
        if (m != 0) runs.push_back({x, y, z, e - y, m});
        y = e;
      }
    }
  return runs;
}

std::array<float, 3> LayerRgb(uint32_t color) {
  return {float(color & 255) / 255.0f, float((color >> 8) & 255) / 255.0f,
          float((color >> 16) & 255) / 255.0f};
}

bool MaterialShown(const SolverData& d, int m) {
  return m >= 1 && m <= 254 && d.Layers[size_t(m)].On != 0;
}

size_t CellMesh::quads() const {
  size_t n = 0;
  for (const Group& g : groups) n += g.verts.size() / 12;
  return n;
}

bool BuildCellMesh(const SolverData& d, CellMesh& mesh) {
  mesh.groups.clear();
  const tSpace& s = d.Space;
  const int nx = std::min(d.SpaceNx, s.len1()), ny = std::min(d.SpaceNy, s.len2()),
            nz = std::min(d.SpaceNz, s.len3());
  if (std::max({nx, ny, nz}) > std::numeric_limits<int16_t>::max()) return false;
  bool shown[256];
  for (int m = 0; m < 256; ++m) shown[m] = MaterialShown(d, m);
  const auto drawn = [&](int x, int y, int z) {
    return x >= 1 && y >= 1 && z >= 1 && x < nx && y < ny && z < nz && shown[s(x, y, z)];
  };
  std::vector<int> slot(256 * 3, -1);
  const auto quad = [&](uint8_t m, int axis, const std::array<int, 12>& v) {
    int& k = slot[size_t(m) * 3 + size_t(axis)];
    if (k < 0) {
      k = int(mesh.groups.size());
      mesh.groups.push_back({m, axis, {}});
    }
    auto& out = mesh.groups[size_t(k)].verts;
    for (int c : v) out.push_back(int16_t(c));
  };
  // Side faces of a run: the stretches of the run whose neighbour at (x + ox, z + oz) is
  // not drawn, as one quad each in the plane at `at` (x when ox != 0, else z).
  const auto sides = [&](const CellRun& r, int ox, int oz, int at) {
    int y = r.y0;
    const int end = r.y0 + r.n;
    while (y < end) {
      if (drawn(r.x + ox, y, r.z + oz)) { ++y; continue; }
      int e = y + 1;
      while (e < end && !drawn(r.x + ox, e, r.z + oz)) ++e;
      if (ox != 0)
        quad(r.material, 0, {at, y, r.z, at, e, r.z, at, e, r.z + 1, at, y, r.z + 1});
      else
        quad(r.material, 2, {r.x, y, at, r.x + 1, y, at, r.x + 1, e, at, r.x, e, at});
      y = e;
    }
  };
  for (const CellRun& r : CollectRuns(d)) {
    if (!shown[r.material]) continue;
    const int x = r.x, z = r.z, y1 = r.y0 + r.n;
    if (!drawn(x, r.y0 - 1, z))
      quad(r.material, 1, {x, r.y0, z, x + 1, r.y0, z, x + 1, r.y0, z + 1, x, r.y0, z + 1});
    if (!drawn(x, y1, z)) quad(r.material, 1, {x, y1, z, x + 1, y1, z, x + 1, y1, z + 1, x, y1, z + 1});
    sides(r, -1, 0, x);
    sides(r, 1, 0, x + 1);
    sides(r, 0, -1, z);
    sides(r, 0, 1, z + 1);
  }
  return true;
}

MeshKey MeshKeyOf(const SolverData& d) {
  MeshKey k;
  k.Version = d.ModelVersion;
  k.Cells = d.Space.data();
  k.N[0] = d.SpaceNx, k.N[1] = d.SpaceNy, k.N[2] = d.SpaceNz;
  k.Len[0] = d.Space.len1(), k.Len[1] = d.Space.len2(), k.Len[2] = d.Space.len3();
  return k;
}

bool ViewScales(const std::array<std::string, 3>& sizes, double& sx, double& sy, double& sz) {
  double v[3];
  for (int i = 0; i < 3; ++i)
    if (!TryStrToFloat(sizes[size_t(i)], v[i]) || !std::isfinite(v[i]) || v[i] <= 0) return false;
  sx = 1;
  sy = v[1] / v[0];
  sz = v[2] / v[0];
  return std::isfinite(sy) && std::isfinite(sz) && sy > 0 && sz > 0;
}

std::string SnapshotName(int counter) {
  std::string n = std::to_string(counter);
  if (n.size() < 6) n.insert(0, 6 - n.size(), '_');
  return "Frame3D" + n + ".bmp";
}

}  // namespace rv
