// Stand-ins for the operating-system services the program asks for: memory status,
// a millisecond tick count, the program's version and the folders its files live in.
#pragma once
#include <cstdint>
#include <string>

namespace rv::platform {

struct MemoryStatus {
  uint64_t totalPhys = 0;      // bytes
  uint64_t availPhys = 0;      // bytes
  int memoryLoad = 0;          // percent of physical memory in use
};
// From /proc/meminfo; false when it cannot be read.
bool GetMemoryStatus(MemoryStatus& st);
// Parses the text of /proc/meminfo (for tests).
bool ParseMemInfo(const std::string& text, MemoryStatus& st);

// Milliseconds since an arbitrary fixed point; wraps like a 32-bit counter.
uint32_t GetTickCount();

// "major.minor.release.build" of this build.
std::string VersionString();

// Sleeps, processing nothing, until more than `ms` milliseconds have passed since the tick
// count `t0` (GetTickCount; the difference taken unsigned).
void WaitSinceTick(uint32_t t0, uint32_t ms);

// The folder of the running executable, ending in "/".
std::string ExecutableDir();
// The user's configuration folder for this program (created when missing), ending in "/".
std::string UserConfigDir();
// A file the program keeps "beside the executable": there when that folder is writable,
// else in the user's configuration folder.
std::string BesideExecutable(const std::string& fileName);
// The user's home folder, ending in "/" (stands in for the old "C:\" defaults).
std::string HomeDir();

}  // namespace rv::platform
