#include "solver/pendingfile.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <vector>

namespace rv {

namespace {

// A name of our own beside `path`, unique in this process and across processes.
std::string SideName(const std::string& path, const char* what) {
  static std::atomic<unsigned> counter{0};
  return path + what + std::to_string(::getpid()) + "_" + std::to_string(counter++);
}

// The process id and number in a side name's tail "<pid>_<n>" as SideName writes them
// (decimal, no leading zeros); false when the tail is not of that form.
bool SideNumbers(const std::string& tail, long long& pid, unsigned long long& seq) {
  const size_t bar = tail.find('_');
  auto number = [](const std::string& s) {
    return !s.empty() && s.size() <= 18 && (s == "0" || s[0] != '0') &&
           s.find_first_not_of("0123456789") == std::string::npos;
  };
  if (bar == std::string::npos || !number(tail.substr(0, bar)) || !number(tail.substr(bar + 1))) return false;
  pid = std::stoll(tail.substr(0, bar));
  seq = std::stoull(tail.substr(bar + 1));
  return pid != 0;
}

bool ProcessRuns(long long pid) {
  if (pid <= 0 || pid != (long long)pid_t(pid)) return false;
  return ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
}

// Why a write failed, for the user, after a colon; empty when errno says nothing useful.
std::string Reason(int err) {
  switch (err) {
    case ENOSPC: case EDQUOT: case EFBIG: return ": нет места на диске";
    case EROFS: return ": диск только для чтения";
    case EACCES: case EPERM: return ": нет прав на запись";
    default: return "";
  }
}

std::string WriteError(const std::string& path, int err) {
  return "Ошибка записи в файл " + path + Reason(err);
}

}  // namespace

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::Open(const std::string& target, std::string& err) {
  Discard();
  target_ = target;
  ok_ = finished_ = hadTarget_ = false;
  why_ = 0;
  struct stat st {};
  if (::stat(target.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode)) {
      err = "Не удалось записать файл " + target + ": это не файл";
      return false;
    }
    // Root may write anything: the permission bits still say the user wants it kept.
    if ((st.st_mode & 0222) == 0) {
      err = "Ошибка записи в файл " + target + ": файл только для чтения";
      return false;
    }
    if (::access(target.c_str(), W_OK) != 0) {
      err = WriteError(target, errno);
      return false;
    }
    hadTarget_ = true;
    mode_ = unsigned(st.st_mode & 07777);
  }
  // Created exclusively, so neither another writer's temporary nor a file of the user's is
  // ever overwritten.
  for (int attempt = 0; attempt < 100 && !f_; ++attempt) {
    tmp_ = SideName(target, ".tmp");
    f_ = std::fopen(tmp_.c_str(), "wbx");
    if (!f_ && errno != EEXIST) break;
  }
  if (!f_) {
    const int why = errno;
    tmp_.clear();
    err = "Не удалось создать файл " + target + Reason(why);
    return false;
  }
  if (hadTarget_) ::fchmod(::fileno(f_), mode_t(mode_));
  ok_ = true;
  return true;
}

void PendingFile::Write(std::string_view bytes) {
  if (!f_ || !ok_ || bytes.empty()) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), f_) != bytes.size()) ok_ = false, why_ = errno;
}

bool PendingFile::Finish(std::string& err) {
  if (!f_) {
    if (!finished_) err = "Не удалось создать файл " + target_;
    return finished_;
  }
  bool ok = ok_;
  int why = why_;
  // The data must be on the disk before a rename makes it the file.
  if (ok && (std::fflush(f_) != 0 || ::fsync(::fileno(f_)) != 0)) ok = false, why = errno;
  if (std::fclose(f_) != 0 && ok) ok = false, why = errno;
  f_ = nullptr;
  if (!ok) {
    Discard();
    err = WriteError(target_, why);
    return false;
  }
  finished_ = true;
  return true;
}

void PendingFile::Discard() {
  if (f_) std::fclose(f_);
  f_ = nullptr;
  if (!tmp_.empty()) std::remove(tmp_.c_str());
  tmp_.clear();
  finished_ = ok_ = false;
}

bool CommitFiles(std::initializer_list<PendingFile*> files, std::string& err) {
  auto discardAll = [&] {
    for (PendingFile* f : files) f->Discard();
  };
  for (PendingFile* f : files)
    if (!f->finished_) {
      err = "Не удалось записать файл " + f->target_;
      discardAll();
      return false;
    }
  // Each replaced file is kept under a side name until all are in place: a hard link, so
  // the target never goes missing; a rename where the disk has no links.
  std::vector<std::string> old(files.size());
  size_t done = 0;
  bool ok = true;
  for (PendingFile* f : files) {
    std::string& keep = old[done];
    if (f->hadTarget_) {
      keep = SideName(f->target_, ".old");
      if (::link(f->target_.c_str(), keep.c_str()) != 0 &&
          std::rename(f->target_.c_str(), keep.c_str()) != 0)
        keep.clear(), ok = false;
    }
    if (ok && std::rename(f->tmp_.c_str(), f->target_.c_str()) != 0) ok = false;
    if (!ok) {
      err = "Не удалось записать файл " + f->target_;
      if (!keep.empty()) std::rename(keep.c_str(), f->target_.c_str());
      break;
    }
    f->tmp_.clear();
    ++done;
  }
  size_t n = 0;
  for (PendingFile* f : files) {
    if (n < done) {
      if (!ok && !old[n].empty()) std::rename(old[n].c_str(), f->target_.c_str());
      else if (!ok) std::remove(f->target_.c_str());
      else if (!old[n].empty()) std::remove(old[n].c_str());
    }
    ++n;
  }
  discardAll();
  return ok;
}

namespace {

std::vector<Leftover> ScanLeftovers(const std::string& target, bool anyProcess) {
  namespace fs = std::filesystem;
  std::vector<Leftover> found;
  const fs::path t(target);
  const std::string name = t.filename().string();
  if (name.empty()) return found;
  const fs::path dir = t.has_parent_path() ? t.parent_path() : fs::path(".");
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= name.size() + 4 || file.compare(0, name.size(), name) != 0) continue;
    const std::string kind = file.substr(name.size(), 4);
    if (kind != ".tmp" && kind != ".old") continue;
    Leftover l{it->path().string(), kind == ".old"};
    std::error_code sec;
    if (SideNumbers(file.substr(name.size() + 4), l.Pid, l.Seq) && (anyProcess || !ProcessRuns(l.Pid)) &&
        fs::is_regular_file(it->symlink_status(sec)))
      found.push_back(l);
  }
  std::sort(found.begin(), found.end(), [](const Leftover& a, const Leftover& b) { return a.Path < b.Path; });
  return found;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::exists(path, ec);
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

std::vector<Leftover> Leftovers(const std::string& target, bool anyProcess) {
  return ScanLeftovers(target, anyProcess || !Exists(target));
}

void RemoveLeftovers(std::initializer_list<std::string> targets) {
  for (const std::string& t : targets)
    if (!Exists(t)) return;
  std::error_code ec;
  for (const std::string& t : targets)
    for (const Leftover& f : Leftovers(t)) std::filesystem::remove(f.Path, ec);
}

std::string LeftoversNote(const std::string& target) {
  const std::vector<Leftover> left = Leftovers(target);
  if (left.empty()) return "";
  const std::string name = FileName(target);
  const bool one = left.size() == 1;
  std::string s = one ? "рядом лежит файл, оставленный прерванным сохранением: "
                      : "рядом лежат файлы, оставленные прерванным сохранением: ";
  for (size_t i = 0; i < left.size(); ++i)
    s += (i ? ", " : "") + FileName(left[i].Path) +
         (left[i].Kept ? " — прежний " + name : std::string(" — новый, который это сохранение записывало"));
  return s + "; чтобы вернуть файл, переименуйте " + (one ? "его" : "нужный") + " в " + name;
}

bool FolderTakesFiles(const std::string& dir) {
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string probe = SideName(base + ".probe", "");
    std::FILE* f = std::fopen(probe.c_str(), "wbx");
    if (f) {
      std::fclose(f);
      std::remove(probe.c_str());
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& err) {
  PendingFile f;
  if (!f.Open(path, err)) return false;
  f.Write(bytes);
  return f.Finish(err) && CommitFiles({&f}, err);
}

}  // namespace rv
