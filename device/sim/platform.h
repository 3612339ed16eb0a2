// The few operating-system services the simulator needs.
#ifndef ORV_SIM_PLATFORM_H
#define ORV_SIM_PLATFORM_H

#include <string>

namespace orv_sim {

// Empty when unset: Windows' C run-time cannot keep a variable with an empty value either.
std::string EnvironmentValue(const char* name);

// The folder of this library file with a trailing separator; empty when it cannot be found.
std::string LibraryDirectory();

unsigned long CurrentThreadId();

}  // namespace orv_sim

#endif
