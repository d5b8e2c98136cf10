// The 3-D view's geometry without any drawing: the camera and its moves, the projection and
// look-at matrices, the model's runs of equal cells along Y and the cached face lists that
// the view draws from vertex arrays.
#pragma once
#include <array>
#include <cstdint>
#include <vector>

#include "solver/solverdata.h"

namespace rv {

// Column-major 4 x 4 matrix, as glLoadMatrixd takes it.
using Mat4 = std::array<double, 16>;

// The perspective and look-at matrices as GLU defines gluPerspective and gluLookAt.
Mat4 PerspectiveMatrix(double fovyDeg, double aspect, double zNear, double zFar);
Mat4 LookAtMatrix(double ex, double ey, double ez, double cx, double cy, double cz, double ux,
                  double uy, double uz);
Mat4 MatMul(const Mat4& a, const Mat4& b);
// Window coordinates of a point (y from the bottom), as gluProject gives them.
// False when the point has w = 0.
bool ProjectPoint(const Mat4& projection, const Mat4& modelview, const std::array<int, 4>& viewport,
                  double x, double y, double z, double& wx, double& wy, double& wz);

struct Camera {
  float EyeX = 0, EyeY = 0, EyeZ = 0, CenterX = 0, CenterY = 0, CenterZ = 0;
};

// The initial view: eye at (SpaceNx/2, SpaceNy/2, 3 SpaceNz), looking 10 cells along -Z.
Camera InitialCamera(int spaceNx, int spaceNy, int spaceNz);
// Whether the camera is exactly where the initial view of that grid puts it.
bool IsInitialCamera(const Camera& c, int spaceNx, int spaceNy, int spaceNz);

// What the view draws through: its size in pixels, the drawing units per cell along each axis,
// the grid's node counts (the domain box) and the height of the axis names in pixels.
struct ViewFrame {
  int Width = 1, Height = 1;
  double Sx = 1, Sy = 1, Sz = 1;
  int Nx = 0, Ny = 0, Nz = 0;
  double LabelPx = 0;
};
// The matrices and viewport of a frame drawn from camera `c`: a 40-degree perspective over the
// view's aspect, the far plane past the whole box, the look-at with the up vector (1, 1000, 1)
// and a 3-pixel margin on every side.
struct ViewTransform {
  Mat4 Projection{}, ModelView{};
  std::array<int, 4> Viewport{};
};
ViewTransform ViewTransformFor(const Camera& c, const ViewFrame& f);
// Points whose hull holds everything the view draws of an empty model in the model's space
// (the axis names are drawn in pixels): the domain box with the section plane on it, and the
// arrowheads reaching across their axes.
std::vector<std::array<double, 3>> DrawnOutline(const ViewFrame& f);
// The size of the axes' arrowheads in drawing units: one cell's length and as much to either
// side of the axis; on a box less than eight units deep, an eighth of its shortest side.
double ArrowSize(const ViewFrame& f);
// The corners of the section plane across `axis` (0 X, 1 Y, 2 Z) at cell `position`, in
// drawing units: through the centres of that layer's cells, spanning the domain box.
std::array<std::array<double, 3>, 4> SectionQuad(const ViewFrame& f, int axis, int position);

// The axis names X, Y and Z, drawn upright in the view's own pixels beside the far ends of the
// axes, so that they keep their size whatever the grid: each is a box `LabelPx` high centred
// at (X, Y) in window coordinates (y up); not shown when its axis' end is behind the eye.
struct AxisLabel {
  char Letter = 'X';
  double X = 0, Y = 0, HalfW = 0, HalfH = 0;
  bool Shown = false;
};
// Placed along each axis' direction on the screen past its end, then pushed apart where
// two would overlap (a short axis seen end-on ends near another's).
std::array<AxisLabel, 3> PlaceAxisLabels(const ViewTransform& t, const ViewFrame& f);
// How far past the end of its axis a name may reach, in pixels.
double LabelRoom(double labelPx);
// The strokes of a label's letter: segments (x0, y0, x1, y1) in window coordinates.
std::vector<std::array<double, 4>> LetterStrokes(const AxisLabel& l);
// Whether every point lies in front of the camera, inside the depth range and at least
// `margin` pixels inside the viewport.
bool ShowsPoints(const ViewTransform& t, const std::vector<std::array<double, 3>>& points,
                 double margin = 0);
// The camera moved back along its line of sight just far enough that everything drawn, the
// axis names included, is in view with a small margin; unchanged when it already is, or when
// it has no direction.
Camera BackedOffToShowAll(const Camera& c, const ViewFrame& f);

// Key speeds by the modifiers held: Shift the slowest, Ctrl (with or without Shift) the fastest.
struct CameraSpeeds {
  float MoveStep;
  float TiltStep;
  double RotationStep;
  const char* Text;  // the first status panel
};
CameraSpeeds SpeedsFor(bool shift, bool ctrl);

enum class CameraKey {
  Raise, Lower, Level, TiltDown, TiltUp, Forward, Back, TurnLeft, TurnRight, StepLeft, StepRight
};
// Moves the camera by one key press. Turns and tilts with eye and centre on one vertical line
// and moves with eye on centre have no direction and do nothing; the elevation stays within
// +-89 degrees so that a tilt never flips the view over.
void MoveCamera(Camera& c, CameraKey key, float moveStep, float tiltStep);

// One rotation tick: the eye circles the vertical through the grid's centre (Nx/2, Nz/2).
void RotateCamera(Camera& c, int nx, int nz, double step);

// The far plane: at least `base`, and far enough that the whole domain box
// [0, Nx sx] x [0, Ny sy] x [0, Nz sz] lies inside it.
double FarPlane(double base, const Camera& c, double xm, double ym, double zm);

// A run of consecutive cells along Y holding the same nonzero material.
struct CellRun {
  int x, y0, z, n;
  uint8_t material;
};
// Every maximal run over the cells 1..SpaceN-1, columns in x then z order, bounded by the
// array's own extents.
std::vector<CellRun> CollectRuns(const SolverData& d);

// Face shades by the axis a face is perpendicular to: x 0.75, y 0.5, z full colour.
inline constexpr std::array<float, 3> FaceShade{0.75f, 0.5f, 1.0f};
// Red, green, blue of a material colour 0x00BBGGRR.
std::array<float, 3> LayerRgb(uint32_t color);
// A material is drawn when it is in 1..254 and switched on.
bool MaterialShown(const SolverData& d, int m);

// Cell faces in cell units (the view scales them), grouped by material and face direction so
// that each group is one colour. Faces against another drawn cell are left out: seen from
// outside the cells the picture is the same.
struct CellMesh {
  struct Group {
    uint8_t material;
    int axis;                     // 0 x faces, 1 y faces, 2 z faces
    std::vector<int16_t> verts;  // 4 vertices (x, y, z) per quad
  };
  std::vector<Group> groups;
  size_t quads() const;
};
// False (mesh empty) when a grid extent does not fit the 16-bit vertices; the view then draws
// the runs one by one.
bool BuildCellMesh(const SolverData& d, CellMesh& mesh);

// What a built mesh depends on, read without touching the cells: the model's change count,
// its array and the grid's extents. A mesh whose key differs is rebuilt.
struct MeshKey {
  uint64_t Version = 0;
  const void* Cells = nullptr;
  int N[3] = {0, 0, 0}, Len[3] = {0, 0, 0};
  bool operator==(const MeshKey&) const = default;
};
MeshKey MeshKeyOf(const SolverData& d);

// Cell sizes read from texts; false when one is not a number, <= 0 or infinite.
bool ViewScales(const std::array<std::string, 3>& sizes, double& sx, double& sy, double& sz);

// A snapshot's file name: "Frame3D" + the counter padded on the left with "_" to 6 + ".bmp".
std::string SnapshotName(int counter);

}  // namespace rv
