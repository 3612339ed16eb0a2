#include "scratch_folder.h"

#include <atomic>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

long ProcessId() {
#ifdef _WIN32
    return long(_getpid());
#else
    return long(getpid());
#endif
}

}  // namespace

ScratchFolder::ScratchFolder(const std::string& prefix) {
    static std::atomic<int> counter{0};
    // ctest runs test programs in parallel: the process id keeps their folders apart.
    path = fs::temp_directory_path() /
           (prefix + "-" + std::to_string(ProcessId()) + "-" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
}
