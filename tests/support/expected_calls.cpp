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

std::vector<std::string> PreparationCalls() {
    std::vector<std::string> names = {"orvOpenDevice", "orvGetDeviceType"};
    for (int k = 0; k < flash_map::kDataBlockSectors; ++k) {
        names.push_back("orvReadFlash " + std::to_string(flash_map::kDataBlockFirstSector + k));
    }
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
    const auto read = [](std::size_t sector) { return "orvReadFlash " + std::to_string(sector); };
    std::vector<std::string> names = PreparationCalls();
    // The worker reads the first data sector again, to know the device before the erase.
    names.push_back(read(flash_map::kDataBlockFirstSector));
    names.push_back("orvClearFlash");
    const int imagePages = layout::ImagePages(imageLength);
    for (int page = 0; page < imagePages; ++page) {
        names.push_back("orvWriteFlash " + std::to_string(page));
    }
    for (int page = layout::kFirstDataPage; page < layout::kRestoredEndPage; ++page) {
        names.push_back("orvWriteFlash " + std::to_string(page));
    }
    // Then it reads back the sectors that the image and the restored pages fall in.
    for (std::size_t sector = 0; sector * layout::kSector < imagePages * layout::kPage; ++sector) {
        names.push_back(read(sector));
    }
    for (std::size_t sector = layout::kDataBlock / layout::kSector;
         sector * layout::kSector < layout::kRestoredEndPage * layout::kPage; ++sector) {
        names.push_back(read(sector));
    }
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
