// Result folders of a project and the bounding box of the object.
#pragma once
#include <string>

#include "solver/solverdata.h"

namespace rv {

// From the project file's full path: ProjectDir (the folder, ending in "/"), ProjectName
// (file name without extension), ResultDir = ProjectDir + "Results - " + ProjectName + "/",
// and its "Images/", "SAR/" and "FAR/" sub-folders. Creates no folder.
void SetResultPaths(SolverData& d, const std::string& fileName);

// Creates a folder and its parents when missing; false (err set) when that fails.
bool EnsureDir(const std::string& dir, std::string* err = nullptr);

// Bounding box of the cells holding a switched-on material, over indices 1..Nx, 1..Ny,
// 1..Nz (bounded by Space's own extents): each minimum is the first such index, each
// maximum the last plus 1. With no such cell every axis gets the one-point box N div 2.
void FindObjectBounds(SolverData& d);

}  // namespace rv
