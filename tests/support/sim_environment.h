// The environment that configures the simulated Kavix, as the tests set it.
#ifndef ORVFLASH_TESTS_SUPPORT_SIM_ENVIRONMENT_H
#define ORVFLASH_TESTS_SUPPORT_SIM_ENVIRONMENT_H

#include <string>
#include <vector>

namespace kavix_test {

// Sets a variable for this process and the programs it starts; an empty value unsets it.
void SetVariable(const char* name, const std::string& value);

// A simulated Kavix on `flash`, with its calls traced to `trace` (none if empty), and no other
// ORV_SIM_ variable, whatever the caller's environment brought: a stray fault or delay would change
// what a test sees.
void UseSimulatedKavix(const std::string& flash, const std::string& trace);

// This process's environment as NAME=value entries, without the ORV_SIM_ variables, for a program
// that is to get only the ones its test sets.
std::vector<std::string> EnvironmentWithoutSim();

}  // namespace kavix_test

#endif
