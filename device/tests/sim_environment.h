// The environment that configures the simulated Kavix, as the tests set it.
#ifndef ORV_SIM_ENVIRONMENT_H
#define ORV_SIM_ENVIRONMENT_H

#include <string>

namespace orv_sim {

// Sets a variable for this process and the programs it starts (on Windows an empty value unsets
// it; the simulator takes an empty variable as unset either way).
void SetVariable(const char* name, const std::string& value);

// Unsets every ORV_SIM_ variable, whatever the caller's environment brought: a stray fault or delay
// would change what a test sees.
void ClearSimVariables();

}  // namespace orv_sim

#endif
