// The editor window "Объект": owner of the model while it is edited. It keeps the model
// and the materials sized and filled, holds the one-level undo, the material counters, the
// section positions, the camera and the element arrays the section and the 3-D view show.
// The section grid and the 3-D view are their own widgets in the places kept for them.
#pragma once
#include <QMainWindow>

#include <array>
#include <functional>
#include <string>

#include "editor/modelstore.h"
#include "editor/section.h"
#include "editor/view3d.h"
#include "project/projectfile.h"
#include "project/tables.h"
#include "solver/elements.h"

class QAction;
class QActionGroup;
class QDialog;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QSpinBox;
class QGridLayout;
class QSplitter;
class QStackedLayout;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace rv {

struct SolverData;
class Prompter;
class TfmLayers;
class SectionGrid;
class View3D;
class TfmParobolaDLG;
class TfmSellParms;
class TfmCopy;
class TfmMove;
class TfmRotate;
class TfmObject;
class TfmTriangle;
class TfmGetDWGUnit;
class TfmGetValue;
struct CellPlan;
struct Turn;

// What the editor reaches of the main window.
struct EditorMainLinks {
  // The main window's grid handler, called without a sender (marks nothing modified).
  std::function<void()> spXChange;
  // The texts of the main window's cell-size fields edX, edY, edZ.
  std::function<std::array<std::string, 3>()> cellSizes;
  OutPointTables* outputs = nullptr;  // the editor places and moves outputs
  LampedTables* lamped = nullptr;  // the editor places and moves elements
  std::function<void()> tablesChanged;  // the table windows show the tables again
  std::function<void()> showOutputs, showLamped;  // the table windows, modally
};

class TfmOpenGL : public QMainWindow {
  Q_OBJECT
public:
  TfmOpenGL(SolverData& d, Prompter& prompter, QWidget* parent = nullptr);

  // Completes the creation once the main window exists: takes its grid and cell sizes.
  void SetMainLinks(const EditorMainLinks& links);
  void SetLayersWindow(TfmLayers* w) { fmLayers_ = w; }
  TfmLayers* LayersWindow() const { return fmLayers_; }

  SolverData& Data() { return d_; }
  MaterialState& Materials() { return mat_; }
  int LayerCount() const { return mat_.LayerCount; }
  int CurLayer() const { return mat_.CurLayer; }
  const ElementArrays& Elements() const { return elements_; }

  // The project's view of the editor (section planes, camera, material count). Setting it
  // also stops the delayed redraw and drops the undo snapshot, which belongs to the model
  // before.
  EditorState GetEditorState() const;
  void SetEditorState(const EditorState& s);
  // The main window changed the grid (run start, doubled volume): the section planes, first
  // multiplied by `scale`, are held to the model's cells.
  void GridChanged(int scale = 1);

  // ---- handlers, named as the window's events
  void FormActivate();
  void FormShow();
  // The main window's "Объект": re-sizes the model, limits the section planes, shows.
  void ShowFromMain();
  void SaveUndo();
  void RestoreUndo();
  void mnUndoClick();
  void LoadElementArrays();
  void FillMaterialCombo();
  void rbXClick();
  void rbYClick();
  void rbZClick();
  void SpinEdit1Change(QSpinBox* changed);
  void SpeedButton3Click();  // "Материалы"
  void N23Click();
  void N24Click();
  // Repaints the section and the 3-D view.
  void Redraw();

  // ---- the 3-D view
  Camera GetCamera() const;
  void SetCamera(const Camera& c);
  // The main window's cell-size texts ("1" each before it is linked).
  std::array<std::string, 3> CellSizeTexts() const;
  void SetupView();  // the initial camera
  // The grid's size differs from the one the camera was placed for (the grid page, a doubled
  // volume): the camera goes where a new project's would be. A stored camera counts as placed
  // for the grid it is set with, so a project load keeps its own.
  void FitCameraToGrid();
  // While the camera is where the rule placed it (the reset, a new grid, a new project or a
  // project stored with it) and the user has not moved it, each frame puts it on the rule's
  // line of sight as far back as this view needs to show the whole box, so that it follows
  // the view's size as the window settles or is resized; a camera the user moved stays.
  void FitCameraToView(const ViewFrame& frame);
  // A camera key; false when it is not one, or when a section control has the focus.
  bool FormKeyDown(int key, Qt::KeyboardModifiers mods);
  void FormKeyUp(Qt::KeyboardModifiers mods);
  void RotateStep();
  void SpeedButton1Click();  // "Вращение" / "Остановить"
  void SpeedButton2Click();  // one rotation step
  void Timer1Timer();
  void btnResetClick();
  void N26Click();  // "Создать параболу.."
  // Describes the cell in the cell window when it differs from the one described last.
  void ShowCellParameters(int x, int y, int z);
  void N25Click();  // "Окно параметров ячеек"
  std::array<int, 3> InfoCell{0, 0, 0};
  // Saves the view as the next numbered snapshot; false (counter kept) when it cannot.
  bool btnKadrClick();
  void StopRotationTimer();
  // Redraws the 3-D view only (the camera moved).
  void RedrawView();
  // The last frame's drawing time in lbSpeed.
  void ShowFrameTime(qint64 ms);

  // ---- the section grid and its tools
  void StringGrid1MouseDown(int col, int row, bool right);
  void StringGrid1MouseMove(int col, int row, bool right);
  void StringGrid1MouseUp(int col, int row, bool right);
  void SelectSectionCell(int col, int row);
  void SetCellMaterial(int row, int col);
  void ClearCell(int row, int col);
  void FillSection();
  void FillVolume();
  void DrawSectionLine();
  void DrawLineFromAnchor();
  void SpeedButton7Click();  // zoom in
  void SpeedButton6Click();  // zoom out
  // The section as the grid shows it now.
  SectionView View() const;
  bool SelActive() const;

  // ---- placing at the anchor (the output and element tool bars)
  void ToolButton1Click(QToolButton* sender);  // any output button: add or remove its output
  void btnDelLampedClick();
  void DisableLumpedButtons();
  void EnableLumpedButtons();
  // The tool bars show what the anchor cell holds.
  void ShowAnchorButtons();
  void mnCurrentRegionClick();
  void btnShowOutputsClick();
  void btnShowLampedClick();
  QToolButton *btnShowOutputs = nullptr, *btnShowLamped = nullptr;
  std::array<QToolButton*, 21> OutputButtons{};
  std::array<QToolButton*, 15> ElementButtons{};  // R, C, V, B, L; X, Y, Z each
  std::array<TfmGetValue*, 5> ValueDialogs{};      // fmGeRValue, fmGetCValue, fmGetVValue, fmGetBValue, fmGetLValue
  QToolButton* btnDelLamped = nullptr;

  // ---- model operations and files
  void mnDeleteAllClick();
  void N12Click();  // "Перерисовать"
  void mnDelSelectedClick();
  void mnCopyClick();
  void mnMoveClick();
  void X2Click();  // rotate
  void mnShapeRotateClick();
  void N8Click();   // save an object
  void N15Click();  // load an object
  void N1Click();   // import a drawing, cell file or point list
  void ImportDxf(const std::string& path);
  // Runs a modal dialog (tests answer it instead).
  std::function<int(QDialog&)> ExecDialog;
  // The file dialogs: a path, or "" when cancelled.
  std::function<std::string(bool save, const char* title, const char* filter)> ChooseFile;
  bool Importing = false;  // the editor's commands are off meanwhile
  TfmCopy* fmCopy = nullptr;
  TfmMove* fmMove = nullptr;
  TfmRotate* fmRotate = nullptr;
  TfmObject* fmObject = nullptr;
  TfmTriangle* fmTriangle = nullptr;
  TfmGetDWGUnit* fmGetDWGUnit = nullptr;
  QAction *N8 = nullptr, *N15 = nullptr, *N1 = nullptr, *mnDeleteAll = nullptr, *N12 = nullptr,
          *mnMove = nullptr, *N901 = nullptr;

  // ---- the editor's shared state (defaults as the window's creation sets them)
  float EyeX = 50, EyeY = 50, EyeZ = 100, CenterX = 50, CenterY = 50, CenterZ = 50;
  float MoveStep = 1.0f, TiltStep = 5.0f;
  double RotationStep = 0.2;
  using GLColor = std::array<float, 4>;
  GLColor GLCyan{0, 1, 1, 1}, GLGreen{0, 1, 0, 1}, GLMagenta{1, 0, 1, 1}, GLRed{1, 0, 0, 1},
      GLBlue{0, 0, 1, 1}, GLYellow{1, 1, 0, 1}, GLWhite{1, 1, 1, 1}, GLBlack{0, 0, 0, 1};
  int SliceX = 1, SliceY = 1, SliceZ = 1;
  std::array<int, 3> AnchorCell{1, 1, 1};
  std::array<int, 3> MouseCell{0, 0, 0};
  int RasterDivisor = 1;
  int FrameCounter = 0;
  bool StrokeActive = false;
  int LastRow = -1, LastCol = -1, PressCol = -1, PressRow = -1, ReleaseCol = -1, ReleaseRow = -1;
  int AnchorRow = 0, AnchorCol = 0;

  // ---- controls
  QAction* mnUndo = nullptr;
  QAction *rbX = nullptr, *rbY = nullptr, *rbZ = nullptr;
  QAction *N23 = nullptr, *N24 = nullptr;
  QToolBar *ToolBar2 = nullptr, *ToolBar3 = nullptr;
  QSplitter* Splitter1 = nullptr;  // between the 3-D view and Panel4
  QWidget* Panel4 = nullptr;       // the right-hand panel: materials and the section
  QWidget* ViewArea = nullptr;     // holds the 3-D view
  View3D* GLView = nullptr;
  QAction *rbOff = nullptr, *mnShowCLines = nullptr, *mnGround = nullptr, *N14 = nullptr;
  QToolButton *SpeedButton2 = nullptr, *btnKadr = nullptr;
  QAction* N26 = nullptr;
  QLabel* lbSpeed = nullptr;
  TfmParobolaDLG* fmParobolaDLG = nullptr;
  TfmSellParms* fmSellParms = nullptr;
  QAction* N25 = nullptr;
  QGroupBox* GroupBox1 = nullptr;  // "Сечение"
  QWidget* SectionArea = nullptr;  // where the section grid goes
  QComboBox* ComboBox1 = nullptr;  // the current material
  QToolButton* SpeedButton3 = nullptr;  // "Материалы"
  QToolButton* SpeedButton1 = nullptr;  // "Вращение"
  QSpinBox *SpinEdit1 = nullptr, *SpinEdit2 = nullptr, *SpinEdit3 = nullptr;
  QLabel *lb1 = nullptr, *lb2 = nullptr, *lbCoord2 = nullptr;
  // The section's axes: arrows up the grid's left edge and along its bottom edge, "0" where
  // they meet.
  QWidget *Image1 = nullptr, *Image2 = nullptr;
  QLabel* Label1 = nullptr;
  QStatusBar* StatusBar1 = nullptr;
  QLabel *StatusPanel0 = nullptr, *StatusPanel1 = nullptr;
  QTimer *Timer1 = nullptr, *Timer2 = nullptr;
  SectionGrid* StringGrid1 = nullptr;
  QToolButton *btnSelect = nullptr, *btnPen = nullptr, *btnFill = nullptr, *btnLine = nullptr,
              *btnEraser = nullptr, *btnLine3D = nullptr, *btnLine3Dcontunue = nullptr,
              *btn3Dfill = nullptr, *SpeedButton4 = nullptr, *SpeedButton5 = nullptr;
  QToolButton* tbEnterUout = nullptr;
  QAction *mnZoomIn = nullptr, *mnZoomOut = nullptr, *mnGridLines = nullptr;
  QAction *mnShowPred = nullptr, *mnShowNext = nullptr, *mnShowCurrent = nullptr;
  QLabel *lbSloy = nullptr, *lbCoord = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction *mnCopy = nullptr, *mnShapeRotate = nullptr, *mnDelSelected = nullptr,
          *mnCurrentRegion = nullptr;

protected:
  void changeEvent(QEvent* e) override;
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  bool eventFilter(QObject* o, QEvent* e) override;

private:
  void buildWindow();
  void buildView();
  void chooseSection(QAction* item, QSpinBox* front, const char* v, const char* h,
                     const char* coord);
  void showElementMessages(const std::vector<std::string>& msgs);
  void minimiseProgram();
  void limitSections(const int* values = nullptr);
  // A new or loaded project starts clean: no undo, selection, anchor or described cell of the
  // model before, and the lists show the new one's materials and elements.
  void forgetModel();
  void forgetPickedCells();
  void buildSection(QWidget* area);
  void buildOperations();
  void buildPlacing();
  void elementClick(int kind, QToolButton* sender);
  void tablesEdited();
  void afterOperation();
  bool askTurn(const char* caption, bool angle, Turn& t);
  void rememberFolder(const std::string& path);
  bool readText(const std::string& path, std::string& text);
  void placePlan(const CellPlan& plan);
  void setCommandsEnabled(bool on);
  void toolChosen();
  // The main window's cell sizes; false, with a message unless quiet, when one is no
  // positive number.
  bool cellSizes(double& dx, double& dy, double& dz, bool quiet = false);
  void applySides(const CellSides& s);
  // Zooms an unzoomed section in while the whole of it fits maxWidth x maxHeight pixels.
  void fitSectionZoom(const SectionView& v, int maxWidth, int maxHeight);
  // The section's zoom fitted to the grid's room for a layer just loaded or re-sized.
  void refitSection();
  // Refits a section whose zoom the user has not chosen to the room the grid has now.
  void followSectionRoom();
  // The first showing: sized to the model and placed wholly on the screen.
  void placeOnScreen();
  void keepOnScreen();
  void showNeighbour(QAction* item);
  bool currentOn() const;

  SolverData& d_;
  Prompter& prompter_;
  EditorMainLinks main_;
  TfmLayers* fmLayers_ = nullptr;
  MaterialState mat_;
  ElementArrays elements_;
  QStackedLayout* spins_ = nullptr;
  SectionAxis axis_ = SectionAxis::X;
  bool activating_ = false;
  std::array<int, 3> cameraGrid_{0, 0, 0};  // SpaceNx..SpaceNz when the camera was placed
  std::array<int, 3> selectionGrid_{0, 0, 0};  // SpaceNx..SpaceNz the section's selection is on
  bool cameraByRule_ = false;                // placed by the rule and not moved since
  bool placed_ = false;
  // No zoom chosen by the user for the layer shown: the zoom follows the grid's room.
  bool sectionFitPending_ = true;
  bool roomRefitQueued_ = false;
  QGridLayout* sectionLayout_ = nullptr;  // the grid's cell in it is its room
  std::string shownRegionTables_;  // the current-region rows whose messages were shown
  QString fileFolder_;  // where the file dialogs open
  uint64_t boundsVersion_ = ~uint64_t(0);  // the model's version when the cell window last found the object box
};

}  // namespace rv
