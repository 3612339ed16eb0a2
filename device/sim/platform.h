// The few operating-system services the simulator needs.
#ifndef ORV_SIM_PLATFORM_H
#define ORV_SIM_PLATFORM_H

#include <cstdio>
#include <string>

namespace orv_sim {

// Paths are UTF-8 on Windows too: a user's folder may have characters that the ANSI code page
// cannot spell. They are opened by their wide-character form.

// Empty when unset: Windows' C run-time cannot keep a variable with an empty value either.
std::string EnvironmentValue(const char* name);

// The folder of this library file with a trailing separator; empty when it cannot be found.
std::string LibraryDirectory();

// std::fopen, std::rename and std::remove for such paths.
std::FILE* OpenFile(const std::string& path, const char* mode);
bool RenameFile(const std::string& from, const std::string& to);
void RemoveFile(const std::string& path);

unsigned long CurrentThreadId();

// Creates the file `path`; false if it exists already or cannot be made.
bool CreateNewFile(const std::string& path);

// Ends the process at once, as a power loss would: nothing is flushed, nothing else runs. Its
// exit code is none the program's runs end with, so that a cut never passes for a result.
[[noreturn]] void EndProcessAbruptly();

}  // namespace orv_sim

#endif
