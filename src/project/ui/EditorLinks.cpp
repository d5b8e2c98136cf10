#include "project/ui/EditorLinks.h"

#include <QLineEdit>

#include "editor/ui/TfmCalculate.h"
#include "editor/ui/TfmLayers.h"
#include "editor/ui/TfmOpenGL.h"
#include "project/ui/TfmNew3dMain.h"

namespace rv {

void LinkEditorToMain(TfmNew3dMain& main, TfmOpenGL& editor, TfmLayers& layers,
                      TfmCalculate& calculator) {
  EditorMainLinks l;
  l.spXChange = [&main] { main.spXChange(false); };
  l.cellSizes = [&main] {
    return std::array<std::string, 3>{main.edX->text().toStdString(), main.edY->text().toStdString(),
                                      main.edZ->text().toStdString()};
  };
  l.outputs = &main.Outputs();
  l.lamped = &main.Lamped();
  l.tablesChanged = [&main] { main.TablesLoaded(); };
  l.showOutputs = [&main] { main.N14Click(); };
  l.showLamped = [&main] { main.N15Click(); };
  layers.SetMaterialsChanged(l.spXChange);
  calculator.SetCellSizes(l.cellSizes);
  editor.SetMainLinks(l);
}

}  // namespace rv
