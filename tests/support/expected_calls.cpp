#include "expected_calls.h"

#include <algorithm>

#include "kavix_flash.h"

std::vector<std::string> CallNames(const std::vector<kavix_test::DeviceCall>& calls) {
    std::vector<std::string> names;
    for (const kavix_test::DeviceCall& call : calls) {
        names.push_back(call.index < 0 ? call.function
                                       : call.function + " " + std::to_string(call.index));
    }
    return names;
}

namespace {

using namespace layout;

void AddCalls(std::vector<std::string>& names, const char* function, std::size_t first,
              std::size_t end) {
    for (std::size_t index = first; index < end; ++index) {
        names.push_back(function + (" " + std::to_string(index)));
    }
}

}  // namespace

std::vector<std::string> PreparationCalls() {
    std::vector<std::string> names = {"orvOpenDevice", "orvGetDeviceType"};
    AddCalls(names, "orvReadFlash", kDataBlock / kSector, kMiB / kSector);
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
    const std::size_t imagePages = ImagePages(imageLength);
    // The worker reads the data block again, to know the device before the erase, and the firmware
    // half, for the copy's record; after the writes it reads back the whole first MiB.
    std::vector<std::string> names = PreparationCalls();
    AddCalls(names, "orvReadFlash", kDataBlock / kSector, kMiB / kSector);
    AddCalls(names, "orvReadFlash", 0, kDataBlock / kSector);
    names.push_back("orvClearFlash");
    AddCalls(names, "orvWriteFlash", 0, imagePages);
    AddCalls(names, "orvWriteFlash", kFirstDataPage, kRestoredEndPage);
    AddCalls(names, "orvReadFlash", 0, kMiB / kSector);
    return names;
}

std::vector<std::string> FirstMiBReads() {
    std::vector<std::string> names;
    AddCalls(names, "orvReadFlash", 0, kMiB / kSector);
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
