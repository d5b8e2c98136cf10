// Wires the editor and its dialogs to the main window: the grid handler, the cell sizes,
// the tables. The main window's own links (fmOpenGL, fmLayers) are set before, with
// SetLinks.
#pragma once

namespace rv {

class TfmCalculate;
class TfmLayers;
class TfmNew3dMain;
class TfmOpenGL;

void LinkEditorToMain(TfmNew3dMain& main, TfmOpenGL& editor, TfmLayers& layers,
                      TfmCalculate& calculator);

}  // namespace rv
