#include "expected_calls.h"

#include <algorithm>

#include "kavix_layout.h"

std::vector<std::string> CallNames(const std::vector<kavix_test::DeviceCall>& calls) {
    std::vector<std::string> names;
    for (const kavix_test::DeviceCall& call : calls) {
        names.push_back(call.index < 0 ? call.function
                                       : call.function + " " + std::to_string(call.index));
    }
    return names;
}

namespace {

void AddCalls(std::vector<std::string>& names, const char* function, std::size_t first,
              std::size_t end) {
    for (std::size_t index = first; index < end; ++index) {
        names.push_back(function + (" " + std::to_string(index)));
    }
}

// The sectors that the first `pages` pages fall in.
std::size_t SectorsOf(std::size_t pages) {
    return (pages * layout::kPage + layout::kSector - 1) / layout::kSector;
}

}  // namespace

std::vector<std::string> PreparationCalls() {
    std::vector<std::string> names = {"orvOpenDevice", "orvGetDeviceType"};
    AddCalls(names, "orvReadFlash", flash_map::kDataBlockFirstSector,
             flash_map::kDataBlockFirstSector + flash_map::kDataBlockSectors);
    return names;
}

std::vector<std::string> AttemptedRunCalls(std::size_t imageLength) {
    std::vector<std::string> names = CompleteRunCalls(imageLength);
    while (names.back().rfind("orvReadFlash", 0) == 0) {
        names.pop_back();
    }
    return names;
}

std::vector<std::string> CompleteRunCalls(std::size_t imageLength) {
    std::vector<std::string> names = PreparationCalls();
    // The worker reads the first data sector again, to know the device before the erase.
    AddCalls(names, "orvReadFlash", flash_map::kDataBlockFirstSector,
             flash_map::kDataBlockFirstSector + 1);
    names.push_back("orvClearFlash");
    const std::size_t imagePages = std::size_t(layout::ImagePages(imageLength));
    AddCalls(names, "orvWriteFlash", 0, imagePages);
    AddCalls(names, "orvWriteFlash", layout::kFirstDataPage, layout::kRestoredEndPage);
    // Then it reads back the sectors that the image and the restored pages fall in.
    AddCalls(names, "orvReadFlash", 0, SectorsOf(imagePages));
    AddCalls(names, "orvReadFlash", layout::kDataBlock / layout::kSector,
             SectorsOf(layout::kRestoredEndPage));
    return names;
}

std::string FirstDifference(const std::vector<std::string>& actual,
                            const std::vector<std::string>& expected) {
    const std::size_t common = std::min(actual.size(), expected.size());
    std::size_t i = 0;
    while (i < common && actual[i] == expected[i]) {
        ++i;
    }
    if (i == common && actual.size() == expected.size()) {
        return "";
    }
    return "call " + std::to_string(i) + " of " + std::to_string(actual.size()) + " is \"" +
           (i < actual.size() ? actual[i] : "(none)") + "\", expected \"" +
           (i < expected.size() ? expected[i] : "(none)") + "\" of " +
           std::to_string(expected.size());
}
