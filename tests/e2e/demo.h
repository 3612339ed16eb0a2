// One update run through the window of a demo folder's orvflash.exe, then a run that fails, pausing
// at each moment worth a screenshot until the screenshot has been taken.
#ifndef ORVFLASH_TESTS_E2E_DEMO_H
#define ORVFLASH_TESTS_E2E_DEMO_H

#include <string>

namespace e2e {

// At each moment NAME it writes `shots`\NAME.rect ("left top width height" of the window, in
// screen pixels) and waits for `shots`\NAME.taken. Returns the exit status.
int RunDemo(const std::string& folder, const std::string& shots);

}  // namespace e2e

#endif
