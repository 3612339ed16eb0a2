// The simulated Kavix's behaviour, as the ORV_SIM_ environment variables ask for it.
#ifndef ORV_SIM_CONFIG_H
#define ORV_SIM_CONFIG_H

#include <cstdint>
#include <optional>
#include <string>

namespace orv_sim {

struct Config {
    std::string flashPath;      // ORV_SIM_FLASH, else kavix_flash.bin beside the library
    std::string tracePath;      // ORV_SIM_TRACE; empty: no trace
    int32_t serial = 20481234;  // for a newly created flash image only
    int32_t type = 1;
    bool openFails = false;
    bool typeStoresNothing = false;
    std::optional<int32_t> readFailSector;
    bool eraseFails = false;
    std::optional<int32_t> eraseSkipsSector;  // orvClearFlash succeeds but leaves this sector
    std::optional<int32_t> writeFailPage;
    std::optional<int32_t> unplugAfter;  // calls that still work, the open included
    std::optional<int32_t> exitAtPage;   // the process ends as this page's write begins
    std::optional<int32_t> tearAtPage;   // this page's write is cut halfway, then the process ends
    // orvClearFlash is cut halfway through this sector of the erased range, or through all of them
    // at once, then the process ends.
    std::optional<int32_t> cutEraseAtSector;
    bool cutEraseAll = false;
    int32_t cutSeed = 0;  // picks the bits that a cut leaves done
    int32_t readDelayMs = 0;
    int32_t writeDelayMs = 0;
    int32_t eraseDelayMs = 0;

    // Whether this open asks for a power loss at some call.
    bool CutsPower() const { return exitAtPage || tearAtPage || cutEraseAtSector || cutEraseAll; }
    void ForgetPowerLoss() {
        exitAtPage.reset();
        tearAtPage.reset();
        cutEraseAtSector.reset();
        cutEraseAll = false;
    }
};

// Reads every variable. False when one holds anything but a decimal integer in its range, or when
// both ways of cutting the erase are asked for; the paths are read even then.
bool LoadConfig(Config& config);

}  // namespace orv_sim

#endif
