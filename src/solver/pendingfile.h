// Files replaced as a whole. Each is written under a temporary name beside its target and
// renamed over it only once complete, so a failed write (a full disk, a lost connection)
// never leaves half a file; files that belong together (a project and its model) are
// replaced all together or not at all.
#pragma once
#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace rv {

class PendingFile {
public:
  PendingFile() = default;
  ~PendingFile();  // a temporary that was not committed is removed
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;

  // Creates the temporary for `target`. Refused as a write to the target would be: when
  // the target exists and is read-only (for any user, root included) or is no regular
  // file, and when the folder takes no new file. False with err saying so.
  bool Open(const std::string& target, std::string& err);
  // Appends bytes; a failure is remembered and reported by Finish.
  void Write(std::string_view bytes);
  // Puts the data on the disk and closes the temporary; false with err when any of it
  // was not written (the temporary is then removed).
  bool Finish(std::string& err);
  // Removes the temporary.
  void Discard();
  const std::string& Target() const { return target_; }

private:
  friend bool CommitFiles(std::initializer_list<PendingFile*> files, std::string& err);
  std::FILE* f_ = nullptr;
  std::string target_, tmp_;
  bool ok_ = false, finished_ = false;
  int why_ = 0;         // errno of the failed write
  unsigned mode_ = 0;   // the replaced file's permissions, kept by the new one
  bool hadTarget_ = false;
};

// Renames finished files over their targets in the order given. When one rename fails,
// the targets already replaced get their old files back (or are removed when there was
// none), every temporary is removed and err names the file: either every target holds its
// new file or every target is as it was.
bool CommitFiles(std::initializer_list<PendingFile*> files, std::string& err);

// What a write of `target` that was killed halfway left beside it: a temporary or a kept
// copy named exactly as PendingFile and CommitFiles name them (the target's name, ".tmp"
// or ".old", a process id, "_", a number); regular files only. While the target is there,
// only those whose process no longer runs (another may be saving right now); when it is
// missing, every one, whatever its process id: after a restart an id is reused, and the
// copy is all that is left of the file.
struct Leftover {
  std::string Path;
  bool Kept = false;  // ".old": the target as it was before that write; else what it wrote
  long long Pid = 0;  // the process id and number in its name
  unsigned long long Seq = 0;
};
// anyProcess: every one, whatever the target (for a message about a torn pair).
std::vector<Leftover> Leftovers(const std::string& target, bool anyProcess = false);

// Removes the leftovers of files written together, but only while every one of them is
// there: where a disk takes no hard links, a write killed between its two renames leaves
// a target missing, and then its kept copy is the only one.
void RemoveLeftovers(std::initializer_list<std::string> targets);

// For a message about a missing `target`: its leftovers by name, what each is and how to
// put one back; empty when there are none.
std::string LeftoversNote(const std::string& target);

// True when a new file can be made in the folder (tried with a file of our own, removed
// at once: permission bits alone do not tell for root or a read-only disk).
bool FolderTakesFiles(const std::string& dir);

// One file written whole: Open, Write(bytes), Finish and commit.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& err);

}  // namespace rv
