#include "sim/config.h"

#include <limits>
#include <type_traits>

#include "sim/flash_layout.h"
#include "sim/platform.h"

namespace orv_sim {

namespace {

constexpr int64_t kInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kInt32Max = std::numeric_limits<int32_t>::max();
// A longer delay is a typing error, not a slow device.
constexpr int64_t kMaxDelayMs = 60000;

// Digits with an optional minus sign and nothing else: no spaces, no plus, no hex.
bool ParseInteger(const std::string& text, int64_t low, int64_t high, int64_t& value) {
    std::size_t i = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (i == text.size()) {
        return false;
    }
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kInt32Max + 1) {
            return false;  // beyond every range here; stops before int64_t could overflow
        }
    }
    value = text[0] == '-' ? -magnitude : magnitude;
    return value >= low && value <= high;
}

}  // namespace

bool LoadConfig(Config& config) {
    config = Config();
    config.flashPath = EnvironmentValue("ORV_SIM_FLASH");
    if (config.flashPath.empty()) {
        config.flashPath = LibraryDirectory() + "kavix_flash.bin";
    }
    config.tracePath = EnvironmentValue("ORV_SIM_TRACE");

    bool valid = true;
    auto read = [&valid](const char* name, int64_t low, int64_t high, auto& field) {
        std::string text = EnvironmentValue(name);
        int64_t value = 0;
        if (text.empty()) {
            return;
        }
        if (ParseInteger(text, low, high, value)) {
            field = static_cast<std::remove_reference_t<decltype(field)>>(value);
        } else {
            valid = false;
        }
    };
    read("ORV_SIM_SERIAL", kInt32Min, kInt32Max, config.serial);
    read("ORV_SIM_TYPE", kInt32Min, kInt32Max, config.type);
    read("ORV_SIM_OPEN_FAIL", 0, 1, config.openFails);
    read("ORV_SIM_TYPE_STORES_NOTHING", 0, 1, config.typeStoresNothing);
    read("ORV_SIM_READ_FAIL_SECTOR", 0, kSectorCount - 1, config.readFailSector);
    read("ORV_SIM_ERASE_FAIL", 0, 1, config.eraseFails);
    read("ORV_SIM_ERASE_SKIPS_SECTOR", 0, kClearedSize / kSectorSize - 1, config.eraseSkipsSector);
    read("ORV_SIM_WRITE_FAIL_PAGE", 0, kPageCount - 1, config.writeFailPage);
    read("ORV_SIM_UNPLUG_AFTER", 0, kInt32Max, config.unplugAfter);
    read("ORV_SIM_EXIT_AT_PAGE", 0, kPageCount - 1, config.exitAtPage);
    read("ORV_SIM_TEAR_AT_PAGE", 0, kPageCount - 1, config.tearAtPage);
    read("ORV_SIM_CUT_ERASE_AT_SECTOR", 0, kClearedSize / kSectorSize - 1, config.cutEraseAtSector);
    read("ORV_SIM_CUT_ERASE_ALL", 0, 1, config.cutEraseAll);
    read("ORV_SIM_CUT_SEED", kInt32Min, kInt32Max, config.cutSeed);
    read("ORV_SIM_READ_DELAY_MS", 0, kMaxDelayMs, config.readDelayMs);
    read("ORV_SIM_WRITE_DELAY_MS", 0, kMaxDelayMs, config.writeDelayMs);
    read("ORV_SIM_ERASE_DELAY_MS", 0, kMaxDelayMs, config.eraseDelayMs);
    return valid && !(config.cutEraseAtSector && config.cutEraseAll);
}

}  // namespace orv_sim
