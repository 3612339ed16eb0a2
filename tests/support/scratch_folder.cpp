#include "scratch_folder.h"

#include <random>

namespace fs = std::filesystem;

ScratchFolder::ScratchFolder(const std::string& prefix) {
    // ctest runs test programs in parallel: a random name keeps their folders apart, and one that
    // is taken already is never shared.
    std::random_device random;
    do {
        path = fs::temp_directory_path() / (prefix + "-" + std::to_string(random()));
    } while (!fs::create_directories(path));
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}
