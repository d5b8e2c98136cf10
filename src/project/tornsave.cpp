#include "project/tornsave.h"

#include <filesystem>
#include <optional>
#include <vector>

#include "project/modelfile.h"
#include "project/projectfile.h"
#include "solver/codepage.h"
#include "solver/inifile.h"

namespace rv {

namespace {

namespace fs = std::filesystem;

std::string NameOf(const std::string& path) { return fs::path(path).filename().string(); }

// The model stamp a project file records; none when it is unreadable or keeps none.
std::optional<ModelFileStamp> SavedStamp(const std::string& projectFile) {
  std::string text, err;
  if (!ReadTextFile(projectFile, text, err)) return std::nullopt;
  IniFile ini;
  ini.parse(text);
  ModelFileStamp s;
  if (!ParseStamp(ini.readString("Version", ModelStampKey, ""), s)) return std::nullopt;
  return s;
}

// A model file, its stamp read only when its size matches the one asked about (a copy can
// be large).
struct ModelCopy {
  std::string Path;
  bool Kept = false;
  uint64_t Size = 0;
  std::optional<ModelFileStamp> Stamp;
  bool Read = false;
  bool Fits(const std::optional<ModelFileStamp>& saved) {
    if (!saved || saved->Size != Size) return false;
    if (!Read) {
      Read = true;
      if (ModelFileStamp s; FileStamp(Path, s)) Stamp = s;
    }
    return Stamp && *Stamp == *saved;
  }
};

ModelCopy ModelAt(const std::string& path, bool kept) {
  ModelCopy m;
  m.Path = path;
  m.Kept = kept;
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  m.Size = ec ? ~uint64_t(0) : uint64_t(size);
  return m;
}

struct ProjectCopy {
  std::string Path;
  bool Kept = false;
  std::optional<ModelFileStamp> Saved;
};

std::string Kind(bool kept, const std::string& name) { return (kept ? "прежний " : "новый ") + name; }

}  // namespace

std::string TornSaveNote(const std::string& projectFile, bool opensSentence) {
  const std::string modelFile = ModelFileName(projectFile);
  std::error_code ec;
  // With a file of the pair missing its save was torn: the copies of both count whatever
  // process their names hold (an id is reused after a restart).
  const bool torn = !fs::exists(projectFile, ec) || !fs::exists(modelFile, ec);
  std::vector<ProjectCopy> projects;
  for (const Leftover& l : Leftovers(projectFile, torn)) projects.push_back({l.Path, l.Kept, SavedStamp(l.Path)});
  std::vector<ModelCopy> models;
  for (const Leftover& l : Leftovers(modelFile, torn)) models.push_back(ModelAt(l.Path, l.Kept));
  if (projects.empty() && models.empty()) return "";

  const std::string fdt = NameOf(projectFile), bin = NameOf(modelFile);
  const std::optional<ModelFileStamp> saved =
      fs::is_regular_file(projectFile, ec) ? SavedStamp(projectFile) : std::nullopt;
  std::optional<ModelCopy> model;
  if (fs::is_regular_file(modelFile, ec)) model = ModelAt(modelFile, false);
  std::vector<bool> projectDone(projects.size()), modelDone(models.size());
  std::vector<std::string> items;

  // Those that fit a file present: either restores the pair.
  for (size_t i = 0; i < models.size(); ++i)
    if (models[i].Fits(saved)) {
      modelDone[i] = true;
      items.push_back(NameOf(models[i].Path) + " — " + Kind(models[i].Kept, bin) + ", с которым сохранен имеющийся " +
                      fdt + ": переименованный в " + bin + ", он вернет пару");
    }
  for (size_t i = 0; i < projects.size(); ++i)
    if (model && model->Fits(projects[i].Saved)) {
      projectDone[i] = true;
      items.push_back(NameOf(projects[i].Path) + " — " + Kind(projects[i].Kept, fdt) + ", сохраненный с имеющимся " +
                      bin + ": переименованный в " + fdt + ", он вернет пару");
    }
  // Copies of both files that belong together.
  for (size_t i = 0; i < projects.size(); ++i)
    for (size_t j = 0; j < models.size() && !projectDone[i]; ++j)
      if (!modelDone[j] && models[j].Fits(projects[i].Saved)) {
        projectDone[i] = modelDone[j] = true;
        items.push_back(NameOf(projects[i].Path) + " — " + Kind(projects[i].Kept, fdt) + ", сохраненный с " +
                        NameOf(models[j].Path) + " (" + Kind(models[j].Kept, bin) + "): переименованные в " + fdt +
                        " и " + bin + ", они вернут эту пару");
      }
  // The rest fit nothing here.
  for (size_t i = 0; i < projects.size(); ++i)
    if (!projectDone[i])
      items.push_back(NameOf(projects[i].Path) + " — " + Kind(projects[i].Kept, fdt) +
                      (projects[i].Saved ? ", сохраненный с файлом модели, которого здесь нет"
                                         : ", в нем не записано, с каким файлом модели он сохранен"));
  // A project file of an older version keeps no stamp: a copy may still be its model file.
  const bool unstamped = !saved && fs::is_regular_file(projectFile, ec);
  for (size_t i = 0; i < models.size(); ++i)
    if (!modelDone[i])
      items.push_back(NameOf(models[i].Path) + " — " + Kind(models[i].Kept, bin) +
                      (unstamped ? " (в имеющемся " + fdt + " не записано, с каким файлом модели он сохранен)"
                                 : ", ни с одним из этих файлов проекта не сохранен"));

  std::string s = std::string(opensSentence ? "Рядом" : "рядом") +
                  (items.size() == 1 ? " лежит файл, оставленный прерванным сохранением: "
                                     : " лежат файлы, оставленные прерванным сохранением: ");
  for (size_t i = 0; i < items.size(); ++i) s += (i ? "; " : "") + items[i];
  return s;
}

void RemoveTornSaveLeftovers(const std::string& projectFile) {
  RemoveLeftovers({projectFile, ModelFileName(projectFile)});
}

}  // namespace rv
