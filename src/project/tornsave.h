// What a killed save of a project left beside its pair (the project file and its model
// file), each copy told by the file it fits: a project file keeps the stamp of the model
// file it was saved with, so a copy of either file is matched to the other by that stamp.
#pragma once
#include <string>

namespace rv {

// For a message about the pair of `projectFile` (a file missing, or a model file the project
// was not saved with): every copy a killed save left of either file, first those that fit a
// file present, then copies that fit each other, then the rest, each with what putting it
// back gives; opensSentence: with a capital. Empty when there are none.
std::string TornSaveNote(const std::string& projectFile, bool opensSentence = false);

// Removes every such copy, but only while both files of the pair are there: a good save
// replacing the pair leaves nothing of it or of earlier torn saves.
void RemoveTornSaveLeftovers(const std::string& projectFile);

}  // namespace rv
